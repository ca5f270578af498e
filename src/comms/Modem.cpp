#include "comms/Modem.h"

#include "comms/PacketChannel.h"
#include "comms/TimeScale.h"
#include "settings/Encoding.h"

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

CModem::CModem() : CLink("Модем") {}

CModem::~CModem() {
    // The reader must stop before the channel goes: it hands bytes to it.
    Shutdown();
    DetachChannel();
}

std::string CModem::LogFileName(const std::string& port) {
    std::size_t slash = port.find_last_of('/');
    std::string base = slash == std::string::npos ? port : port.substr(slash + 1);
    return base + "_modem.log";
}

void CModem::SetLogFolder(const std::filesystem::path& folder) {
    logFolder_ = folder;
}

void CModem::ResetParser() {
    std::lock_guard lock(parserLock_);
    parser_.Reset();
}

void CModem::EnterDataMode() {
    linkLost_ = kLinkUp;
    plusCount_ = 0;
    lastRxTick_ = 0;
    ReplyEvent().Reset();
    dataMode_ = true;
}

bool CModem::Open(const std::string& port, std::uint32_t speed) {
    dataMode_ = false;
    linkLost_ = kLinkUp;
    aborted_ = false;
    plusCount_ = 0;
    lastRxTick_ = 0;
    ResetParser();
    if (!CSerialPort::Open(port, speed, 8, kNoParity, kOneStopBit))
        return false;
    SetLine(kSetRts);
    if (logFolder_.empty())
        log_.Open(LogFileName(port));
    else
        log_.OpenIn({logFolder_}, LogFileName(port));
    log_.Write("---------------OPEN--------------------");
    return true;
}

bool CModem::Close() {
    log_.Write("---------------CLOSE--------------------");
    log_.Close();
    CSerialPort::Close();
    return true;
}

// Every byte is attempted even after one failed.
bool CModem::WriteAll(const std::string& bytes) {
    bool ok = true;
    for (char c : bytes)
        ok = WriteByte(static_cast<std::uint8_t>(c)) && ok;
    return ok;
}

bool CModem::SendCommand(const std::string& text, bool addCr) {
    dataMode_ = false;
    ResetParser();
    lastResult_ = -1;
    ReplyEvent().Reset();
    bool ok = WriteAll(text);
    if (addCr)
        ok = WriteByte('\r') && ok;
    if (!ok)
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
    if (replied && answer) {
        std::lock_guard lock(parserLock_);
        *answer = parser_.Answer();
    }
    return replied;
}

bool CModem::Connect(const char* number, bool direct, int* result) {
    if (result)
        *result = -1;
    // A longer number would not fit the dial command; nothing is sent.
    if (!direct && number && Utf8Length(number) > kMaxNumber)
        return false;
    SetLine(kSetDtr);
    CPacketChannel* channel = GetChannel();
    if (!channel)
        return false;
    channel->ResetReceiver();
    if (direct) {
        EnterDataMode();
        return true;
    }
    bool sent = SendCommand(number ? std::string("atd") + number : std::string("ata"), true);
    channel->ResetReceiver();
    const bool replied = sent && WaitReply(kDialTimeoutMs);
    if (aborted_) {
        // The character that abandons the dial is on its way: let the modem
        // take it and answer before the port is closed and its queue purged.
        WaitReply(kAbortReplyMs);
        if (result)
            *result = -1;
        return false;
    }
    if (!replied) {
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
        CTimeScale::Sleep(kEscapeGuardMs);
        WriteAll("+++");
    }
    dataMode_ = false;
    if (!escape)
        return true;
    CTimeScale::Sleep(kEscapeGuardMs);
    SetLine(kClrDtr);
    CTimeScale::Sleep(kDtrDropMs);
    if (!SendCommand("ath0", true))
        SendCommand("ath0", true);
    WaitReply(kHangUpReplyMs);
    SetLine(kSetDtr);
    return true;
}

bool CModem::WaitReply(int timeoutMs) {
    return CSerialPort::WaitReply(timeoutMs);
}

bool CModem::Write(const void* bytes, std::size_t length) {
    if (!dataMode_)
        return false;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < length; ++i)
        WriteByte(p[i]);
    return true;
}

void CModem::AbortWait() {
    aborted_ = true;
    if (IsOpen() && !dataMode_)
        WriteByte('\r');
    ReplyEvent().Set();
}

void CModem::LoseLink(LinkLoss loss) {
    if (!dataMode_ && loss == kCarrierLost)
        return;
    int expected = kLinkUp;
    if (!linkLost_.compare_exchange_strong(expected, loss))
        return;
    dataMode_ = false;
    log_.Printf("LINK LOST       - [%s]", loss == kCarrierLost ? "NO CARRIER" : "device gone");
    ReplyEvent().Set();
    if (CPacketChannel* channel = GetChannel())
        channel->Signal();
}

void CModem::OnCommEvent(std::uint32_t mask) {
    if (mask & kEvErr)
        LoseLink(kDeviceGone);
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

void CModem::OnBadPacket(std::string_view packet) {
    log_.Printf("BAD CHECK DIGITS - [%s] dropped", CLogFile::Printable(packet).c_str());
}

void CModem::OnReceive(std::uint8_t byte) {
    if (dataMode_)
        OnDataByte(byte);
    else
        OnCommandByte(byte);
    lastRxTick_ = CTimeScale::NowMs();
}

void CModem::OnCommandByte(std::uint8_t byte) {
    int answerCode;
    int infoCode;
    std::string answer;
    std::string info;
    {
        std::lock_guard lock(parserLock_);
        parser_.Feed(byte);
        answerCode = parser_.TakeAnswerCode();
        infoCode = parser_.TakeInfoCode();
        if (answerCode != CModemReplyParser::kNone)
            answer = CLogFile::Printable(parser_.Answer());
        if (infoCode != CModemReplyParser::kNone)
            info = CLogFile::Printable(parser_.Info());
    }
    if (answerCode == CModemReplyParser::kUnknown) {
        log_.Printf("UNDEFINE ANSWER - [%s]", answer.c_str());
    } else if (answerCode >= 0) {
        log_.Printf("ANSWER          - [%s]", answer.c_str());
        // A call coming in does not end a wait.
        if (answerCode != CModemReplyParser::kRing) {
            lastResult_ = answerCode;
            ReplyEvent().Set();
        }
    }
    if (infoCode == CModemReplyParser::kUnknown)
        log_.Printf("UNDEFINE INFO   - [%s]", info.c_str());
    else if (infoCode >= 0)
        log_.Printf("INFO            - [%s]", info.c_str());
}

// "+++" after a second of silence is the far end's escape back to command
// mode; its third '+' is kept from the channel.
void CModem::OnDataByte(std::uint8_t byte) {
    bool escaped = false;
    if (byte != '+') {
        plusCount_ = 0;
    } else if (plusCount_ > 0) {
        if (++plusCount_ == 3) {
            dataMode_ = false;
            plusCount_ = 0;
            escaped = true;
        }
    } else {
        std::int64_t last = lastRxTick_;
        if (last == 0 || CTimeScale::NowMs() - last >= CTimeScale::Ms(kPlusSilenceMs))
            plusCount_ = 1;
    }
    if (escaped)
        return;
    WatchDataLine(byte);
    if (!dataMode_)
        return;
    if (CPacketChannel* channel = GetChannel())
        channel->OnBytes(&byte, 1);
}

} // namespace tornu
