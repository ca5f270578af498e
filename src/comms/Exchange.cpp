#include "comms/Exchange.h"

#include "catalogue/CommandDesc.h"
#include "catalogue/DescriptionText.h"
#include "comms/ExchangeTarget.h"
#include "comms/PacketChannel.h"
#include "comms/TimeScale.h"
#include "comms/Transact.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include <cstdio>

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

class CExchange::CWorker : public CThread {
public:
    explicit CWorker(CExchange& exchange) : exchange_(exchange) {}
    ~CWorker() override { Wait(); }

protected:
    unsigned Run() override { return exchange_.Run(); }

private:
    CExchange& exchange_;
};

CExchange::CExchange(const CIniFile& settings) : settings_(settings) {
    pool_.Create()->Attach(&modem_);
}

CExchange::~CExchange() {
    Cancel();
    worker_.reset();
}

void CExchange::SetModemLogFolder(const std::filesystem::path& folder) {
    modem_.SetLogFolder(folder);
}

bool CExchange::Start(CExchangeTarget* target, std::vector<CCommandDesc*> commands) {
    if (!target || commands.empty())
        return false;
    if (worker_ && !worker_->Wait(0))
        return false;
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
    // A cancel of the last exchange may have left the packet event set; it
    // would pass for this exchange's receipt.
    if (CPacketChannel* channel = modem_.GetChannel())
        channel->WaitPacket(0);
    worker_ = std::make_unique<CWorker>(*this);
    worker_->Start();
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

// The worker owns the modem while it runs, so cancel only wakes it (from a
// packet wait) and lets it hang up and close the port itself.
bool CExchange::Cancel() {
    RequestCancel();
    if (worker_)
        worker_->Wait();
    return true;
}

void CExchange::RequestCancel() {
    cancelled_ = true;
    // A dial or a modem reply is not waited for to its time-out.
    if (worker_ && !worker_->Wait(0))
        modem_.AbortWait();
    if (CPacketChannel* channel = modem_.GetChannel()) {
        channel->AddRef();
        channel->Signal();
        channel->Release();
    }
}

bool CExchange::PostStatus(const std::string& text, bool error, CCommandDesc* command) {
    std::string line = error ? std::string(kReportErrorPrefix) + text : text;
    std::lock_guard lock(statusLock_);
    if (error && command)
        command->SetResult(kCommandFailed, line);
    statusQueue_.push_back(std::move(line));
    return !error;
}

bool CExchange::Abort(const std::string& text) {
    PostStatus(text, true);
    state_ = kFailed;
    return true;
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

unsigned CExchange::Run() {
    RunExchange();
    return 0;
}

void CExchange::RunExchange() {
    PostStatus("Начало обмена");
    const ModemSettings& settings = modemSettings_;
    phone_ = target_->Phone();
    password_ = target_->LinkPassword();
    if (phone_.empty()) {
        Abort("Не задан номер телефона");
        return;
    }
    if (password_.empty()) {
        Abort("Не задан пароль на связь");
        return;
    }
    PostStatus("Инициализация модема ...");
    if (!modem_.Open(settings.port, settings.speed)) {
        const std::string& cause = modem_.OpenError();
        Abort(std::string("Невозможно открыть порт модема") + (cause.empty() ? "" : ": " + cause));
        return;
    }
    // Before dialling: the receipt is checked too.
    if (CPacketChannel* channel = modem_.GetChannel())
        channel->SetCheckDigits(settings.checkDigits);
    if (!InitModem(settings)) {
        CloseModem(false);
        if (!cancelled_)
            Abort("Модем не отвечает" + LinkLossText());
        state_ = kFailed;
        return;
    }
    int result = -1;
    if (!ConnectModem(settings, result)) {
        CloseModem(false);
        // A cancel posts nothing more.
        if (!cancelled_)
            Abort("Невозможно установить соединение: " +
                  (modem_.LinkLost() ? LinkLossText().substr(2) : DialFailure(result)));
        state_ = kFailed;
        return;
    }
    CPacketChannel* channel = modem_.GetChannel();
    if (!channel) {
        CloseModem(true);
        Abort("Не задан протокол обмена");
        return;
    }
    channel->AddRef();
    const SessionEnd end = RunSession(*channel);
    channel->Release();
    CloseModem(true);
    state_ = end == SessionEnd::kNormal ? kFinished : kFailed;
}

bool CExchange::InitModem(const ModemSettings& settings) {
    if (settings.emulation)
        return true;
    modem_.SendAndWait(CModem::kDefaultInit, kInitReplyMs);
    if (!settings.init.empty())
        modem_.SendAndWait(settings.init, kInitReplyMs);
    CTimeScale::Sleep(kPauseBeforeAtMs);
    return modem_.SendAndWait("at", kAtReplyMs, CModemReplyParser::kOk);
}

// Emulation treats the port as a data link that is already up: "+EMUL"
// tells a terminal wired to the port directly that no modem is in between.
std::string CExchange::LinkLossText() const {
    switch (modem_.LinkLost()) {
    case CModem::kCarrierLost:
        return ": связь потеряна (NO CARRIER)";
    case CModem::kDeviceGone:
        return ": связь потеряна (порт модема закрыт или отключен)";
    default:
        return {};
    }
}

bool CExchange::ConnectModem(const ModemSettings& settings, int& result) {
    if (settings.emulation) {
        PostStatus("Соединение в режиме эмуляции ...");
        modem_.SendCommand("+EMUL", true);
    } else {
        PostStatus("Дозвон (# " + phone_ + ") ...");
    }
    return modem_.Connect(phone_.c_str(), settings.emulation, &result);
}

void CExchange::CloseModem(bool hangUp) {
    if (hangUp)
        modem_.HangUp(true);
    modem_.Close();
}

// One message object serves the whole session: the receipt gives it the
// terminal number that every later message carries.
CExchange::SessionEnd CExchange::RunSession(CPacketChannel& channel) {
    CTermMessage message;
    PostStatus(std::string(kReportWaitingReceipt));
    if (!WaitReceipt(channel, message) || !Login(channel, message))
        return SessionEnd::kFailed;
    for (CCommandDesc* command : commands_) {
        bool cancelled = false;
        if (RunCommand(channel, *command, message, cancelled))
            continue;
        if (cancelled)
            return SessionEnd::kCancelled;
        break;
    }
    SendClosing(channel, message);
    return SessionEnd::kNormal;
}

// Without a packet the session goes on, and the login then cannot be formed.
bool CExchange::WaitReceipt(CPacketChannel& channel, CTermMessage& message) {
    if (!channel.WaitPacket(CTimeScale::Ms(kReceiptMs)))
        return true;
    if (!ReceiveMessage(channel, message))
        return PostStatus(std::string(kReportNoReceipt) + LinkLossText(), true);
    if (message.GetCode() != kCodeReceipt)
        return PostStatus(std::string(kReportBadReceipt), true);
    return true;
}

bool CExchange::Login(CPacketChannel& channel, CTermMessage& message) {
    message.SetCode(kCodeReceipt);
    message.SetData(password_);
    if (!Transact(channel, message, message, CTimeScale::Ms(kLoginMs), kAttempts))
        return PostStatus(std::string(kReportLoginNotSent) + LinkLossText(), true);
    std::string report;
    if (!JudgeLoginAnswer(message, report))
        return PostStatus(report, true);
    return true;
}

bool CExchange::RunCommand(CPacketChannel& channel, CCommandDesc& command, CTermMessage& message,
                           bool& cancelled) {
    if ((cancelled = cancelled_.load()))
        return false;
    PostStatus(std::string(kReportCommandStarted) + command.Description());
    if (!target_->BuildCommand(command, message)) {
        const std::string cause = target_->BuildRefusal(command);
        PostStatus(std::string(kReportCannotBuild) + (cause.empty() ? "" : ": " + cause), true,
                   &command);
        return true;
    }
    const bool passed = Transact(channel, message, message, CTimeScale::Ms(kCommandMs), kAttempts);
    if ((cancelled = cancelled_.load()))
        return false;
    if (!passed) {
        PostStatus(std::string(kReportCannotSend) + LinkLossText(), true, &command);
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
