#include "comms/Exchange.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/DescriptionText.h"
#include "comms/ExchangeTarget.h"
#include "comms/Modem.h"
#include "comms/PacketChannel.h"
#include "comms/SerialPort.h"
#include "comms/Transact.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include <cstdio>
#include <string_view>
#include <system_error>

namespace tornu {

namespace {

constexpr const char* kModemSection = "Modem";

// A settings lookup that leaves the object untouched.
bool FindSetting(const CIniFile& settings, const std::string& key, std::string& value) {
    return settings.FindValue(kModemSection, key, value);
}

// The dial's final result in the operator's words.
std::string DialFailure(int result) {
    switch (result) {
    case CModemReplyParser::kBusy:
        return "абонент занят (BUSY)";
    case CModemReplyParser::kNoAnswer:
        return "нет ответа (NO ANSWER)";
    case CModemReplyParser::kNoCarrier:
        return "нет несущей (NO CARRIER)";
    case CModemReplyParser::kNoDialTone:
        return "нет гудка (NO DIALTONE)";
    case CModemReplyParser::kError:
        return "модем ответил ERROR";
    case -1:
        return "модем не ответил на набор номера";
    default:
        return "модем ответил отказом";
    }
}

} // namespace

CExchange::CExchange(const CIniFile& settings) : settings_(settings), openLine_(OpenSerialPort) {}

CExchange::~CExchange() {
    Cancel();
    if (worker_.joinable())
        worker_.join();
}

void CExchange::SetModemLogFolder(const std::filesystem::path& folder) {
    logFolder_ = folder;
}

void CExchange::SetStreamFactory(StreamFactory factory) {
    openLine_ = std::move(factory);
}

std::unique_ptr<IByteStream> CExchange::OpenSerialPort(const std::string& port, std::uint32_t speed,
                                                       CResult& why) {
    auto serial = std::make_unique<CSerialPort>();
    why = serial->Open(port, speed);
    if (!why)
        return nullptr;
    return serial;
}

bool CExchange::Start(CExchangeTarget* target, std::vector<CCommandDesc*> commands) {
    if (!target || commands.empty())
        return false;
    {
        std::lock_guard lock(endLock_);
        if (!ended_)
            return false;
        ended_ = false;
    }
    // The last worker has done everything; it only has to return.
    if (worker_.joinable())
        worker_.join();
    target_ = target;
    commands_ = std::move(commands);
    // Read here, on the caller's thread, which owns the settings object.
    modemSettings_ = ReadSettings();
    {
        std::lock_guard lock(statusLock_);
        statusQueue_.clear();
        state_ = kRunning;
        cancelled_ = false;
    }
    try {
        worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        state_ = kFailed;
        std::lock_guard lock(endLock_);
        ended_ = true;
        return false;
    }
    return true;
}

bool CExchange::PopStatus(std::string& line) {
    std::lock_guard lock(statusLock_);
    if (statusQueue_.empty())
        return false;
    line = std::move(statusQueue_.front());
    statusQueue_.pop_front();
    return true;
}

// The worker owns the line while it runs, so a cancel only wakes it from
// its wait and lets it hang up and close the port itself.
void CExchange::RequestCancel() {
    cancelled_ = true;
    std::lock_guard lock(lineLock_);
    if (line_)
        line_->Interrupt();
}

bool CExchange::Cancel() {
    RequestCancel();
    std::unique_lock lock(endLock_);
    endedChanged_.wait(lock, [&] { return ended_; });
    return true;
}

void CExchange::SetLine(IByteStream* line) {
    std::lock_guard lock(lineLock_);
    line_ = line;
}

bool CExchange::PostStatus(const std::string& text, bool error, CCommandDesc* command) {
    std::string line = error ? std::string(kReportErrorPrefix) + text : text;
    std::lock_guard lock(statusLock_);
    if (error && command)
        command->SetResult(kCommandFailed, line);
    statusQueue_.push_back(std::move(line));
    return !error;
}

CExchange::ModemSettings CExchange::ReadSettings() const {
    ModemSettings result;
    std::string value;
    if (FindSetting(settings_, "Emul", value) && !value.empty())
        result.emulation = ReadLenientInteger(value) != 0;
    if (FindSetting(settings_, "ComPort", value) && !value.empty())
        result.port = value;
    if (FindSetting(settings_, "Init", value) && !value.empty())
        result.init = value;
    if (FindSetting(settings_, "CheckCrc", value) && !value.empty())
        result.checkDigits = ReadLenientInteger(value) != 0;
    if (FindSetting(settings_, "ComSpeed", value) && ReadLenientInteger(value) > 0)
        result.speed = static_cast<std::uint32_t>(ReadLenientInteger(value));
    return result;
}

// The state is set last, once the port is closed and every line posted, so
// that a caller who sees the end finds them all.
void CExchange::Run() {
    state_ = RunExchange();
    std::lock_guard lock(endLock_);
    ended_ = true;
    endedChanged_.notify_all();
}

CExchange::State CExchange::RunExchange() {
    PostStatus("Начало обмена");
    phone_ = target_->Phone();
    password_ = target_->LinkPassword();
    if (phone_.empty()) {
        PostStatus("Не задан номер телефона", true);
        return kFailed;
    }
    if (password_.empty()) {
        PostStatus("Не задан пароль на связь", true);
        return kFailed;
    }
    PostStatus("Инициализация модема ...");
    CResult why;
    std::unique_ptr<IByteStream> line =
        openLine_ ? openLine_(modemSettings_.port, modemSettings_.speed, why) : nullptr;
    if (!line) {
        const std::string& cause = why.Error();
        PostStatus(std::string("Невозможно открыть порт модема") +
                       (cause.empty() ? "" : ": " + cause),
                   true);
        return kFailed;
    }
    SetLine(line.get());
    const State end = RunOnLine(*line);
    SetLine(nullptr);
    return end;
}

// From the modem's open to its close; a cancel posts nothing more.
CExchange::State CExchange::RunOnLine(IByteStream& line) {
    if (cancelled_)
        return kFailed;
    CModem modem(line, modemSettings_.port, logFolder_);
    if (!InitModem(modem)) {
        if (!cancelled_)
            PostStatus("Модем не отвечает" + LinkLossText(modem), true);
        return kFailed;
    }
    int result = -1;
    if (cancelled_ || !ConnectModem(modem, result)) {
        if (!cancelled_)
            PostStatus("Невозможно установить соединение: " +
                           (modem.LinkLost() ? LinkLossText(modem).substr(2) : DialFailure(result)),
                       true);
        return kFailed;
    }
    CPacketChannel channel(modem);
    channel.SetCheckDigits(modemSettings_.checkDigits);
    channel.OnBadPacket([&modem](std::string_view packet) { modem.OnBadPacket(packet); });
    const SessionEnd end = RunSession(modem, channel);
    modem.HangUp(true);
    return end == SessionEnd::kNormal ? kFinished : kFailed;
}

bool CExchange::InitModem(CModem& modem) {
    if (modemSettings_.emulation)
        return true;
    modem.SendAndWait(CModem::kDefaultInit, kInitReplyMs);
    if (!modemSettings_.init.empty() && !cancelled_)
        modem.SendAndWait(modemSettings_.init, kInitReplyMs);
    if (cancelled_ || !modem.Sleep(kPauseBeforeAtMs) || cancelled_)
        return false;
    return modem.SendAndWait("at", kAtReplyMs, CModemReplyParser::kOk);
}

std::string CExchange::LinkLossText(const CModem& modem) {
    switch (modem.LinkLost()) {
    case CModem::kCarrierLost:
        return ": связь потеряна (NO CARRIER)";
    case CModem::kDeviceGone:
        return ": связь потеряна (порт модема закрыт или отключен)";
    default:
        return {};
    }
}

// Emulation treats the port as a data link that is already up: "+EMUL"
// tells a terminal wired to the port directly that no modem is in between.
bool CExchange::ConnectModem(CModem& modem, int& result) {
    if (modemSettings_.emulation) {
        PostStatus("Соединение в режиме эмуляции ...");
        modem.SendCommand("+EMUL", true);
    } else {
        PostStatus("Дозвон (# " + phone_ + ") ...");
    }
    return modem.Connect(phone_.c_str(), modemSettings_.emulation, &result);
}

// One message object serves the whole session: the receipt gives it the
// terminal number that every later message carries.
CExchange::SessionEnd CExchange::RunSession(CModem& modem, CPacketChannel& channel) {
    CTermMessage message;
    PostStatus(std::string(kReportWaitingReceipt));
    if (!WaitReceipt(modem, channel, message) || !Login(modem, channel, message))
        return cancelled_ ? SessionEnd::kCancelled : SessionEnd::kFailed;
    for (CCommandDesc* command : commands_) {
        if (RunCommand(modem, channel, *command, message))
            continue;
        if (cancelled_)
            return SessionEnd::kCancelled;
        break;
    }
    SendClosing(channel, message);
    return SessionEnd::kNormal;
}

// Without a packet the session goes on, and the login then cannot be formed.
bool CExchange::WaitReceipt(CModem& modem, CPacketChannel& channel, CTermMessage& message) {
    std::string packet;
    const StreamStatus status = channel.Receive(packet, kReceiptMs);
    if (status == StreamStatus::kTimeOut)
        return true;
    if (cancelled_)
        return false;
    if (status != StreamStatus::kData || !message.ReadText(packet))
        return PostStatus(std::string(kReportNoReceipt) + LinkLossText(modem), true);
    if (message.GetCode() != kCodeReceipt)
        return PostStatus(std::string(kReportBadReceipt), true);
    return true;
}

bool CExchange::Login(CModem& modem, CPacketChannel& channel, CTermMessage& message) {
    if (cancelled_)
        return false;
    message.SetCode(kCodeReceipt);
    message.SetData(password_);
    if (!Transact(channel, message, message, kLoginMs, kAttempts)) {
        if (!cancelled_)
            PostStatus(std::string(kReportLoginNotSent) + LinkLossText(modem), true);
        return false;
    }
    std::string report;
    if (!JudgeLoginAnswer(message, report))
        return PostStatus(report, true);
    return true;
}

bool CExchange::RunCommand(CModem& modem, CPacketChannel& channel, CCommandDesc& command,
                           CTermMessage& message) {
    if (cancelled_)
        return false;
    PostStatus(std::string(kReportCommandStarted) + command.Description());
    if (!target_->BuildCommand(command, message)) {
        const std::string cause = target_->BuildRefusal(command);
        PostStatus(std::string(kReportCannotBuild) + (cause.empty() ? "" : ": " + cause), true,
                   &command);
        return true;
    }
    const bool passed = Transact(channel, message, message, kCommandMs, kAttempts);
    if (cancelled_)
        return false;
    if (!passed) {
        PostStatus(std::string(kReportCannotSend) + LinkLossText(modem), true, &command);
        return false;
    }
    std::string report;
    if (!JudgeCommandAnswer(command.Code(), message, report)) {
        PostStatus(report, true, &command);
        return true;
    }
    if (!target_->ProcessReply(command, message)) {
        const std::string cause = target_->ReplyFailure();
        PostStatus(std::string(kReportCannotProcess) + (cause.empty() ? "" : ": " + cause), true,
                   &command);
        return true;
    }
    PostStatus(std::string(kReportOk));
    std::lock_guard lock(statusLock_);
    command.SetResult(kCommandDone);
    return true;
}

// The closing message carries the code last held, as two digits; nothing
// answers it.
void CExchange::SendClosing(CPacketChannel& channel, CTermMessage& message) {
    char code[16];
    std::snprintf(code, sizeof code, "%02d", message.GetCode());
    message.SetData(code);
    message.SetCode(kCodeEndOfSession);
    SendOnly(channel, message);
}

} // namespace tornu
