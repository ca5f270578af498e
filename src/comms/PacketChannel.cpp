#include "comms/PacketChannel.h"

#include "comms/DebugLog.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"

#include <algorithm>
#include <cctype>

namespace tornu {
namespace {

constexpr char kStart = '~';
constexpr char kEnd = '\r';
constexpr int kBreaksPerPacket = 2;
constexpr std::size_t kCheckDigits = 2;
// The text of the longest packet kept and its check digits.
constexpr std::size_t kBufferSize = CPacketChannel::kMaxPacket + kCheckDigits;

bool IsBreak(char b) {
    return b == '\r' || b == '\n';
}

// The text ends with the key of a pair whose value is a password; the byte
// trace hides those values as the saved exchange log does. The key starts a
// pair, or follows the header's digits in the first one.
bool EndsWithSecretKey(std::string_view text) {
    for (std::string_view key : {"PASS=", "NPASS=", "NPSWD="}) {
        if (!text.ends_with(key))
            continue;
        const std::size_t at = text.size() - key.size();
        if (at == 0 || !std::isalpha(static_cast<unsigned char>(text[at - 1])))
            return true;
    }
    return false;
}

// The two characters after the text are its CRC-8, high nibble first.
bool CheckDigitsMatch(std::string_view packet, std::size_t textLength) {
    if (packet.size() != textLength + kCheckDigits)
        return false;
    std::uint32_t sent = 0;
    return ParseHex(packet.substr(textLength), sent) && Crc8(packet.data(), textLength) == sent;
}

} // namespace

CPacketChannel::CPacketChannel(IByteStream& stream) : stream_(stream) {}

bool CPacketChannel::Send(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::uint8_t crc = Crc8(text);
    std::string frame;
    frame.reserve(text.size() + 4);
    frame += kStart;
    frame += text;
    frame += kHex[crc >> 4];
    frame += kHex[crc & 0x0F];
    frame += kEnd;
    return stream_.Write(frame);
}

StreamStatus CPacketChannel::Receive(std::string& packet, int timeoutMs) {
    if (TakePacket(packet))
        return StreamStatus::kData;
    const std::int64_t deadline = stream_.NowMs() + std::max(timeoutMs, 0);
    std::string bytes;
    for (bool first = true;; first = false) {
        const std::int64_t left = deadline - stream_.NowMs();
        if (left <= 0 && !first)
            return StreamStatus::kTimeOut;
        bytes.clear();
        const StreamStatus status =
            stream_.Read(bytes, static_cast<int>(std::max<std::int64_t>(left, 0)));
        if (status == StreamStatus::kGone || status == StreamStatus::kInterrupted)
            return status;
        Feed(bytes);
        if (TakePacket(packet))
            return StreamStatus::kData;
    }
}

void CPacketChannel::Reset() {
    ClearReceiver();
    packets_.clear();
}

bool CPacketChannel::TakePacket(std::string& packet) {
    if (packets_.empty())
        return false;
    packet = std::move(packets_.front());
    packets_.pop_front();
    return true;
}

void CPacketChannel::Feed(std::string_view bytes) {
    for (char b : bytes)
        OnByte(b);
}

void CPacketChannel::ClearReceiver() {
    inPacket_ = false;
    inSecret_ = false;
    breaks_ = 0;
    current_.clear();
}

void CPacketChannel::TraceByte(char b) const {
    if (inSecret_ && b != ';' && !IsBreak(b))
        CDebugLog::Write("OnReceive, BYTE: ***\n");
    else
        CDebugLog::Write("OnReceive, BYTE: 0x%02X (char %c)\n", static_cast<unsigned char>(b), b);
    CDebugLog::Write(inPacket_ ? ">BYTE - WETX\n" : ">BYTE - WSTX\n");
}

void CPacketChannel::OnByte(char b) {
    if (CDebugLog::Enabled())
        TraceByte(b);
    if (!inPacket_) {
        if (b == kStart) {
            CDebugLog::Write(">STX\n");
            ClearReceiver();
            inPacket_ = true;
        }
        return;
    }
    if (IsBreak(b)) {
        ++breaks_;
    } else if (current_.size() == kBufferSize) {
        // Too long for any packet: drop it whole and wait for the next start.
        CDebugLog::Write(">DROP - longer than %zu bytes\n", kMaxPacket);
        ClearReceiver();
        return;
    } else {
        current_ += b; // a '~' inside a packet is data
        inSecret_ = b != ';' && (inSecret_ || EndsWithSecretKey(current_));
    }
    if (breaks_ == kBreaksPerPacket)
        CompletePacket();
}

void CPacketChannel::CompletePacket() {
    const std::size_t length =
        current_.size() > kCheckDigits ? current_.size() - kCheckDigits : current_.size();
    CDebugLog::Write(">ETX\n");
    if (checkDigits_ && !CheckDigitsMatch(current_, length)) {
        ++rejected_;
        if (onBadPacket_)
            onBadPacket_(current_);
        ClearReceiver();
        return;
    }
    if (packets_.size() == kQueuedPackets)
        packets_.pop_front();
    current_.resize(length);
    packets_.push_back(std::move(current_));
    ClearReceiver();
}

} // namespace tornu
