#include "comms/Modem.h"

#include "settings/Encoding.h"

#include <algorithm>
#include <utility>

namespace tornu {

namespace {

// Pauses around the "+++" escape: the modem wants a second of silence
// before and after it.
constexpr int kEscapeGuardMs = 1500;
constexpr int kDtrDropMs = 200;
constexpr int kHangUpReplyMs = 50;
// Silence before a "+++" from the line counts as an escape.
constexpr int kPlusSilenceMs = 1000;
// How long an abandoned dial is given to answer.
constexpr int kAbortReplyMs = 1000;

} // namespace

CModem::CModem(IByteStream& line, const std::string& port, const std::filesystem::path& logFolder)
    : line_(line) {
    line_.SetRts(true);
    if (logFolder.empty())
        log_.Open(LogFileName(port));
    else
        log_.OpenIn({logFolder}, LogFileName(port));
    log_.Write("---------------OPEN--------------------");
}

CModem::~CModem() {
    log_.Write("---------------CLOSE--------------------");
    log_.Close();
}

std::string CModem::LogFileName(const std::string& port) {
    std::size_t slash = port.find_last_of('/');
    std::string base = slash == std::string::npos ? port : port.substr(slash + 1);
    return base + "_modem.log";
}

void CModem::EnterDataMode() {
    linkLost_ = kLinkUp;
    plusCount_ = 0;
    lastRxMs_ = -1;
    replied_ = false;
    dataLine_.clear();
    dataLineIsPacket_ = false;
    dataMode_ = true;
}

bool CModem::SendCommand(const std::string& text, bool addCr) {
    // What the modem said before the command is handled first, as it came;
    // a cancel met there is kept for the wait that follows.
    if (Pump(0, Until::kDeadline) == StreamStatus::kInterrupted)
        line_.Interrupt();
    dataMode_ = false;
    parser_.Reset();
    lastResult_ = -1;
    replied_ = false;
    if (!line_.Write(addCr ? text + '\r' : text))
        return false;
    log_.Printf("SEND COMMAND    - [%s]", CLogFile::Printable(text).c_str());
    return true;
}

bool CModem::SendAndWait(const std::string& text, int timeoutMs, int expected,
                         std::string* answer) {
    if (!SendCommand(text, true))
        return false;
    bool replied = WaitReply(timeoutMs);
    while (replied && expected != kAnyReply && lastResult_ != expected)
        replied = WaitReply(timeoutMs);
    if (replied && answer)
        *answer = parser_.Answer();
    return replied;
}

bool CModem::WaitReply(int timeoutMs) {
    return AwaitReply(timeoutMs) == StreamStatus::kData;
}

StreamStatus CModem::AwaitReply(int timeoutMs) {
    // A result that came during a pause is not waited for again.
    if (std::exchange(replied_, false))
        return StreamStatus::kData;
    return Pump(std::max(timeoutMs / 100, 1) * 100, Until::kReply);
}

bool CModem::Connect(const char* number, bool direct, int* result) {
    if (result)
        *result = -1;
    // A longer number would not fit the dial command; nothing is sent.
    if (!direct && number && Utf8Length(number) > kMaxNumber)
        return false;
    line_.SetDtr(true);
    if (direct) {
        EnterDataMode();
        return true;
    }
    if (!SendCommand(number ? std::string("atd") + number : std::string("ata"), true))
        return false;
    const StreamStatus dial = AwaitReply(kDialTimeoutMs);
    if (dial == StreamStatus::kInterrupted) {
        // Any character abandons the dial; its answer is let in before the
        // port is closed and its queues purged.
        line_.Write("\r");
        WaitReply(kAbortReplyMs);
        return false;
    }
    if (dial != StreamStatus::kData) {
        if (result)
            *result = lastResult_;
        return false;
    }
    EnterDataMode();
    if (lastResult_ != CModemReplyParser::kConnect) {
        dataMode_ = false;
        if (result)
            *result = lastResult_;
        return false;
    }
    return true;
}

bool CModem::HangUp(bool escape) {
    if (escape) {
        Guard(kEscapeGuardMs);
        line_.Write("+++");
    }
    dataMode_ = false;
    if (!escape)
        return true;
    Guard(kEscapeGuardMs);
    line_.SetDtr(false);
    Guard(kDtrDropMs);
    if (!SendCommand("ath0", true))
        SendCommand("ath0", true);
    WaitReply(kHangUpReplyMs);
    line_.SetDtr(true);
    return true;
}

void CModem::Guard(int ms) {
    const std::int64_t end = line_.NowMs() + ms;
    for (std::int64_t left = ms; left > 0; left = end - line_.NowMs()) {
        if (Pump(static_cast<int>(left), Until::kDeadline) == StreamStatus::kGone)
            return; // nothing goes out any more
    }
}

bool CModem::Sleep(int ms) {
    return Pump(ms, Until::kDeadline) != StreamStatus::kInterrupted;
}

StreamStatus CModem::Read(std::string& into, int timeoutMs) {
    return Pump(timeoutMs, Until::kData, &into);
}

bool CModem::Write(const void* bytes, std::size_t length) {
    if (!dataMode_)
        return false;
    line_.Write(bytes, length);
    return true;
}

StreamStatus CModem::Pump(int timeoutMs, Until until, std::string* data) {
    const std::int64_t deadline = line_.NowMs() + std::max(timeoutMs, 0);
    for (bool first = true;; first = false) {
        if (HandleInbox(until, data))
            return StreamStatus::kData;
        if (until == Until::kData && linkLost_ != kLinkUp)
            return StreamStatus::kGone;
        const std::int64_t left = deadline - line_.NowMs();
        if (left <= 0 && !first)
            return StreamStatus::kTimeOut;
        switch (line_.Read(inbox_, static_cast<int>(std::max<std::int64_t>(left, 0)))) {
        case StreamStatus::kData:
            inboxTime_ = line_.NowMs();
            break;
        case StreamStatus::kGone:
            LoseLink(kDeviceGone);
            return StreamStatus::kGone;
        case StreamStatus::kInterrupted:
            return StreamStatus::kInterrupted;
        case StreamStatus::kTimeOut:
            break; // the deadline decides
        }
    }
}

bool CModem::HandleInbox(Until until, std::string* data) {
    const std::size_t before = data ? data->size() : 0;
    while (inboxAt_ < inbox_.size()) {
        const auto byte = static_cast<std::uint8_t>(inbox_[inboxAt_++]);
        if (dataMode_)
            OnDataByte(byte, data);
        else
            OnCommandByte(byte);
        lastRxMs_ = inboxTime_;
        if (until == Until::kReply && std::exchange(replied_, false))
            return true;
    }
    inbox_.clear();
    inboxAt_ = 0;
    return until == Until::kData && data && data->size() > before;
}

void CModem::OnCommandByte(std::uint8_t byte) {
    parser_.Feed(byte);
    const int answerCode = parser_.TakeAnswerCode();
    const int infoCode = parser_.TakeInfoCode();
    if (answerCode == CModemReplyParser::kUnknown) {
        log_.Printf("UNDEFINE ANSWER - [%s]", CLogFile::Printable(parser_.Answer()).c_str());
    } else if (answerCode >= 0) {
        log_.Printf("ANSWER          - [%s]", CLogFile::Printable(parser_.Answer()).c_str());
        // A call coming in does not end a wait.
        if (answerCode != CModemReplyParser::kRing) {
            lastResult_ = answerCode;
            replied_ = true;
        }
    }
    if (infoCode == CModemReplyParser::kUnknown)
        log_.Printf("UNDEFINE INFO   - [%s]", CLogFile::Printable(parser_.Info()).c_str());
    else if (infoCode >= 0)
        log_.Printf("INFO            - [%s]", CLogFile::Printable(parser_.Info()).c_str());
}

// "+++" after a second of silence is the far end's escape back to command
// mode; its third '+' is not passed on.
void CModem::OnDataByte(std::uint8_t byte, std::string* data) {
    if (byte != '+') {
        plusCount_ = 0;
    } else if (plusCount_ > 0) {
        if (++plusCount_ == 3) {
            dataMode_ = false;
            plusCount_ = 0;
            return;
        }
    } else if (lastRxMs_ < 0 || inboxTime_ - lastRxMs_ >= kPlusSilenceMs) {
        plusCount_ = 1;
    }
    WatchDataLine(byte);
    if (dataMode_ && data)
        data->push_back(static_cast<char>(byte));
}

// The modem reports a lost carrier as a result line between packets; a
// packet's line starts with '~' and never holds a break, so the two cannot
// be confused.
void CModem::WatchDataLine(std::uint8_t byte) {
    static constexpr std::string_view kNoCarrier = "NO CARRIER";
    if (byte == '\r' || byte == '\n') {
        if (!dataLineIsPacket_ && dataLine_ == kNoCarrier)
            LoseLink(kCarrierLost);
        dataLine_.clear();
        dataLineIsPacket_ = false;
        return;
    }
    if (dataLine_.empty() && !dataLineIsPacket_ && byte == '~')
        dataLineIsPacket_ = true;
    else if (!dataLineIsPacket_ && dataLine_.size() <= kNoCarrier.size())
        dataLine_ += static_cast<char>(byte);
}

void CModem::LoseLink(LinkLoss loss) {
    if (!dataMode_ && loss == kCarrierLost)
        return;
    if (linkLost_ != kLinkUp)
        return;
    linkLost_ = loss;
    dataMode_ = false;
    log_.Printf("LINK LOST       - [%s]", loss == kCarrierLost ? "NO CARRIER" : "device gone");
}

void CModem::OnBadPacket(std::string_view packet) {
    log_.Printf("BAD CHECK DIGITS - [%s] dropped", CLogFile::Printable(packet).c_str());
}

} // namespace tornu
