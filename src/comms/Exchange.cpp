#include "comms/Exchange.h"

#include "catalogue/DescriptionText.h"
#include "comms/Modem.h"
#include "comms/PacketChannel.h"
#include "comms/SerialPort.h"
#include "comms/Transact.h"
#include "protocol/CommandSet.h"
#include "protocol/ErrorText.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>

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

// The command's message from the node's snapshot; the clock command takes
// the time it is built at.
BuiltCommand Build(const ExchangeNode& node,
                   const CommandSpec& spec) {
    return std::visit(
        Overloaded{[&](const TerminalSnapshot& terminal) {
                       return BuildTerminalCommand(terminal, spec, std::time(nullptr));
                   },
                   [&](const DeviceSnapshot& device) { return BuildDeviceCommand(device, spec); }},
        node);
}

std::optional<ReplyValue> Read(const ExchangeNode& node,
                               const CommandSpec& spec, const CTermMessage& reply) {
    return std::visit(
        Overloaded{[&](const TerminalSnapshot&) { return ReadTerminalReply(spec, reply); },
                   [&](const DeviceSnapshot& device) {
                       return ReadDeviceReply(device, spec, reply);
                   }},
        node);
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

bool CExchange::Start(ExchangeJob job) {
    if (job.commands.empty())
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
    job_ = std::move(job);
    // Read here, on the caller's thread, which owns the settings object.
    modemSettings_ = ReadSettings();
    {
        std::lock_guard lock(replyLock_);
        pending_.reset();
        verdict_.reset();
        taken_ = false;
    }
    storeFailed_ = false;
    {
        std::lock_guard lock(statusLock_);
        statusQueue_.clear();
        results_.assign(job_.commands.size(), CommandOutcome{});
        state_ = kRunning;
        cancelled_ = false;
        cause_ = static_cast<int>(ExchangeEnd::kNone);
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

std::vector<CommandOutcome> CExchange::Results() const {
    std::lock_guard lock(statusLock_);
    return results_;
}

bool CExchange::TakeReply(PendingReply& reply) {
    std::lock_guard lock(replyLock_);
    if (!pending_ || taken_)
        return false;
    reply = *pending_;
    taken_ = true;
    return true;
}

void CExchange::ReplyApplied(CResult applied, bool stop) {
    {
        std::lock_guard lock(replyLock_);
        if (!taken_)
            return;
        verdict_ = std::move(applied);
        verdictStops_ = stop;
    }
    replyChanged_.notify_all();
}

void CExchange::WaitActivity(int ms) {
    const auto busy = [&] {
        {
            std::lock_guard lock(replyLock_);
            if (pending_ && !taken_)
                return true;
        }
        return state_.load() != kRunning;
    };
    std::unique_lock lock(statusLock_);
    activity_.wait_for(lock, std::chrono::milliseconds(ms),
                       [&] { return !statusQueue_.empty() || busy(); });
}

void CExchange::Signal() {
    { std::lock_guard lock(statusLock_); }
    activity_.notify_all();
    if (signal_)
        signal_->Notify();
}

CResult CExchange::HandOver(std::size_t index, ReplyValue value, bool& stop) {
    {
        std::lock_guard lock(replyLock_);
        pending_ = PendingReply{index, std::move(value)};
        taken_ = false;
        verdict_.reset();
        verdictStops_ = false;
    }
    Signal();
    std::unique_lock lock(replyLock_);
    replyChanged_.wait(lock, [&] { return verdict_.has_value() || cancelled_.load(); });
    // A reply nobody took before the cancel is dropped, as it would have
    // been before it was read.
    pending_.reset();
    stop = verdict_ && verdictStops_;
    return verdict_ ? *std::exchange(verdict_, std::nullopt) : CResult::Fail({});
}

// The worker owns the line while it runs, so a cancel only wakes it from
// its wait and lets it hang up and close the port itself.
void CExchange::RequestCancel() {
    cancelled_ = true;
    {
        std::lock_guard lock(lineLock_);
        if (line_)
            line_->Interrupt();
    }
    { std::lock_guard lock(replyLock_); }
    replyChanged_.notify_all();
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

bool CExchange::PostStatus(const std::string& text, bool error, std::optional<std::size_t> index) {
    std::string line = error ? std::string(kReportErrorPrefix) + text : text;
    {
        std::lock_guard lock(statusLock_);
        if (error && index)
            results_[*index] = {kCommandFailed, line};
        statusQueue_.push_back(std::move(line));
    }
    activity_.notify_all();
    if (signal_)
        signal_->Notify();
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
    const State end = RunExchange();
    if (cancelled_)
        cause_ = static_cast<int>(ExchangeEnd::kCancelled);
    else
        SetCause(end == kFinished ? ExchangeEnd::kCompleted : ExchangeEnd::kDialFailed);
    state_ = end;
    Signal();
    std::lock_guard lock(endLock_);
    ended_ = true;
    endedChanged_.notify_all();
}

void CExchange::SetCause(ExchangeEnd cause) {
    int none = static_cast<int>(ExchangeEnd::kNone);
    cause_.compare_exchange_strong(none, static_cast<int>(cause));
}

ExchangeNode& CExchange::NodeOf(std::size_t index) {
    const std::size_t target = job_.commands[index].target;
    return target > 0 && target <= job_.others.size() ? job_.others[target - 1] : job_.node;
}

CExchange::State CExchange::RunExchange() {
    PostStatus("Начало обмена");
    if (job_.phone.empty()) {
        SetCause(ExchangeEnd::kNoPhone);
        PostStatus("Не задан номер телефона", true);
        return kFailed;
    }
    if (job_.linkPassword.empty()) {
        SetCause(ExchangeEnd::kNoPassword);
        PostStatus("Не задан пароль на связь", true);
        return kFailed;
    }
    PostStatus("Инициализация модема ...");
    CResult why;
    std::unique_ptr<IByteStream> line =
        openLine_ ? openLine_(modemSettings_.port, modemSettings_.speed, why) : nullptr;
    if (!line) {
        SetCause(ExchangeEnd::kPortFailed);
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
        SetCause(modem.LinkLost() == CModem::kDeviceGone ? ExchangeEnd::kPortFailed
                                                          : ExchangeEnd::kModemSilent);
        if (!cancelled_)
            PostStatus("Модем не отвечает" + LinkLossText(modem), true);
        return kFailed;
    }
    int result = -1;
    if (cancelled_ || !ConnectModem(modem, result)) {
        SetCause(DialCause(modem, result));
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

ExchangeEnd CExchange::DialCause(const CModem& modem, int result) {
    if (modem.LinkLost())
        return LostOr(modem, ExchangeEnd::kDialFailed);
    switch (result) {
    case CModemReplyParser::kBusy:
        return ExchangeEnd::kBusy;
    case CModemReplyParser::kNoAnswer:
        return ExchangeEnd::kNoAnswer;
    case CModemReplyParser::kNoCarrier:
        return ExchangeEnd::kNoCarrier;
    default:
        return ExchangeEnd::kDialFailed;
    }
}

ExchangeEnd CExchange::LostOr(const CModem& modem, ExchangeEnd otherwise) {
    switch (modem.LinkLost()) {
    case CModem::kCarrierLost:
        return ExchangeEnd::kNoCarrier;
    case CModem::kDeviceGone:
        return ExchangeEnd::kPortFailed;
    default:
        return otherwise;
    }
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
        PostStatus("Дозвон (# " + job_.phone + ") ...");
    }
    return modem.Connect(job_.phone.c_str(), modemSettings_.emulation, &result);
}

// One message object serves the whole session: the receipt gives it the
// terminal number that every later message carries.
CExchange::SessionEnd CExchange::RunSession(CModem& modem, CPacketChannel& channel) {
    CTermMessage message;
    PostStatus(std::string(kReportWaitingReceipt));
    if (!WaitReceipt(modem, channel, message) || !Login(modem, channel, message))
        return cancelled_ ? SessionEnd::kCancelled : SessionEnd::kFailed;
    for (std::size_t index = 0; index < job_.commands.size(); ++index) {
        if (RunCommand(modem, channel, index, message))
            continue;
        if (cancelled_)
            return SessionEnd::kCancelled;
        break;
    }
    // A reply that could not be stored ends the session as properly as the
    // last command would, but the exchange has failed.
    SendClosing(channel, message);
    return storeFailed_ ? SessionEnd::kFailed : SessionEnd::kNormal;
}

// Without a packet the session goes on, and the login then cannot be formed.
bool CExchange::WaitReceipt(CModem& modem, CPacketChannel& channel, CTermMessage& message) {
    std::string packet;
    const StreamStatus status = channel.Receive(packet, kReceiptMs);
    if (status == StreamStatus::kTimeOut)
        return true;
    if (cancelled_)
        return false;
    if (status != StreamStatus::kData || !message.ReadText(packet)) {
        SetCause(LostOr(modem, ExchangeEnd::kNoReceipt));
        return PostStatus(std::string(kReportNoReceipt) + LinkLossText(modem), true);
    }
    if (message.GetCode() != kCodeReceipt) {
        SetCause(ExchangeEnd::kBadReceipt);
        return PostStatus(std::string(kReportBadReceipt), true);
    }
    return true;
}

bool CExchange::Login(CModem& modem, CPacketChannel& channel, CTermMessage& message) {
    if (cancelled_)
        return false;
    message.SetCode(kCodeReceipt);
    message.SetData(job_.linkPassword);
    if (!Transact(channel, message, message, kLoginMs, kAttempts)) {
        SetCause(LostOr(modem, ExchangeEnd::kNoReceipt));
        if (!cancelled_)
            PostStatus(std::string(kReportLoginNotSent) + LinkLossText(modem), true);
        return false;
    }
    std::string report;
    if (!JudgeLoginAnswer(message, report)) {
        SetCause(ExchangeEnd::kLoginRefused);
        return PostStatus(report, true);
    }
    return true;
}

bool CExchange::RunCommand(CModem& modem, CPacketChannel& channel, std::size_t index,
                           CTermMessage& message) {
    if (cancelled_)
        return false;
    const ExchangeCommand& command = job_.commands[index];
    PostStatus(std::string(kReportCommandStarted) + command.description);
    BuiltCommand built = Build(NodeOf(index), command.spec);
    if (!built.message) {
        PostStatus(std::string(kReportCannotBuild) +
                       (built.refusal.empty() ? "" : ": " + built.refusal),
                   true, index);
        return true;
    }
    message = std::move(*built.message);
    const bool passed = Transact(channel, message, message, kCommandMs, kAttempts);
    if (cancelled_)
        return false;
    if (!passed) {
        SetCause(modem.LinkLost() == CModem::kDeviceGone ? ExchangeEnd::kPortFailed
                                                          : ExchangeEnd::kLinkLost);
        PostStatus(std::string(kReportCannotSend) + LinkLossText(modem), true, index);
        return false;
    }
    std::string report;
    if (!JudgeCommandAnswer(command.spec.code, message, report)) {
        PostStatus(report, true, index);
        return true;
    }
    std::optional<ReplyValue> value = Read(NodeOf(index), command.spec, message);
    if (!value) {
        PostStatus(std::string(kReportCannotProcess), true, index);
        return true;
    }
    return Deliver(index, std::move(*value));
}

bool CExchange::Deliver(std::size_t index, ReplyValue value) {
    // The records keep what a reply said even when its rows fail: the next
    // command is built from it either way.
    std::visit([&](auto& node) { FollowReply(node, value); }, NodeOf(index));
    const FileReply* file = std::get_if<FileReply>(&value);
    const bool noFile = file && !file->bytes;
    bool stop = false;
    const CResult applied = HandOver(index, std::move(value), stop);
    if (cancelled_)
        return false;
    if (!applied) {
        PostStatus(std::string(kReportCannotProcess) +
                       (applied.Error().empty() ? "" : ": " + applied.Error()),
                   true, index);
        // Later replies could not be stored either.
        storeFailed_ = stop;
        if (stop)
            SetCause(ExchangeEnd::kStoreFailed);
        return !stop;
    }
    if (noFile)
        PostStatus(std::string(kReportNoFileInReply));
    PostStatus(std::string(kReportOk));
    std::lock_guard lock(statusLock_);
    results_[index] = {kCommandDone, {}};
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
