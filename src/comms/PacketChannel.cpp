#include "comms/PacketChannel.h"

#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "comms/DebugLog.h"
#include "comms/Link.h"
#include "comms/PacketChannelPool.h"

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

// The two characters after the text are its CRC-8, high nibble first.
bool CheckDigitsMatch(const char* packet, std::size_t textLength, std::size_t length) {
    if (length != textLength + kCheckDigits)
        return false;
    std::uint32_t sent = 0;
    return ParseHex(std::string_view(packet + textLength, kCheckDigits), sent) &&
           Crc8(packet, textLength) == sent;
}

} // namespace

CPacketChannel::CPacketChannel(CPacketChannelPool* pool)
    : pool_(pool), queue_(kQueuedPackets), buffer_(new char[kBufferSize]) {}

CPacketChannel::~CPacketChannel() {
    // Deleted by the pool while a link still points here: leave the link nothing stale.
    std::lock_guard<std::mutex> guard(lock_);
    CPacketChannel* self = this;
    if (link_)
        link_->channel_.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

bool CPacketChannel::Attach(CLink* link) {
    if (!link)
        return false;
    std::lock_guard<std::mutex> guard(lock_);
    link_ = link;
    link->channel_.store(this, std::memory_order_release);
    return true;
}

CLink* CPacketChannel::GetLink() const {
    std::lock_guard<std::mutex> guard(lock_);
    return link_;
}

void CPacketChannel::DetachLink(CLink* link) {
    std::lock_guard<std::mutex> guard(lock_);
    if (link_ == link)
        link_ = nullptr;
}

void CPacketChannel::AddRef() {
    references_.fetch_add(1, std::memory_order_relaxed);
}

void CPacketChannel::Release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
        pool_->Delete(this);
}

bool CPacketChannel::SendPacket(const std::string& text) {
    // The link is taken under the lock but written outside it, so that no lock
    // is held while the port's own are taken; the link's owner destroys it only
    // after the worker has stopped sending.
    CLink* link = GetLink();
    if (!link)
        return false;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::uint8_t crc = Crc8(text);
    const char check[kCheckDigits] = {kHex[crc >> 4], kHex[crc & 0x0F]};
    link->Write(&kStart, 1);
    bool written = link->Write(text);
    link->Write(check, kCheckDigits);
    link->Write(&kEnd, 1);
    return written;
}

bool CPacketChannel::WaitPacket(int timeoutMs) {
    return packetEvent_.Wait(timeoutMs);
}

bool CPacketChannel::ReceivePacket(std::string& packet) {
    return queue_.Pop(packet);
}

void CPacketChannel::Signal() {
    packetEvent_.Set();
}

void CPacketChannel::ResetReceiver() {
    resetPending_.store(true, std::memory_order_release);
    queue_.Clear();
}

bool CPacketChannel::OnBytes(const void* bytes, std::size_t count) {
    if (!bytes || count == 0)
        return false;
    if (resetPending_.exchange(false, std::memory_order_acq_rel))
        ClearReceiver();
    const char* p = static_cast<const char*>(bytes);
    for (std::size_t i = 0; i < count; ++i)
        OnByte(p[i]);
    return true;
}

void CPacketChannel::ClearReceiver() {
    inPacket_ = false;
    breaks_ = 0;
    length_ = 0;
}

void CPacketChannel::TraceByte(char b) const {
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
    } else if (length_ == kBufferSize) {
        // Too long for any packet: drop it whole and wait for the next start.
        CDebugLog::Write(">DROP - longer than %zu bytes\n", kMaxPacket);
        ClearReceiver();
        return;
    } else {
        buffer_[length_++] = b; // a '~' inside a packet is data
    }
    if (breaks_ == kBreaksPerPacket)
        CompletePacket();
}

void CPacketChannel::CompletePacket() {
    std::size_t length = length_ > kCheckDigits ? length_ - kCheckDigits : length_;
    CDebugLog::Write(">ETX\n");
    if (checkDigits_.load(std::memory_order_relaxed) &&
        !CheckDigitsMatch(buffer_.get(), length, length_)) {
        rejected_.fetch_add(1, std::memory_order_relaxed);
        std::lock_guard<std::mutex> guard(lock_);
        if (link_)
            link_->OnBadPacket(std::string_view(buffer_.get(), length_));
        ClearReceiver();
        return;
    }
    queue_.Push(buffer_.get(), length);
    Signal();
    ClearReceiver();
}

} // namespace tornu
