#pragma once
// A byte channel that packets are written to (the modem in data mode). The
// packet channel attached to it gets the bytes the link receives.
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace tornu {

class CPacketChannel;

class CLink {
public:
    explicit CLink(std::string name);
    CLink(const CLink&) = delete;
    CLink& operator=(const CLink&) = delete;
    // Detaches the channel and releases the reference the link holds on it.
    virtual ~CLink();

    // True when a reply came within timeoutMs.
    virtual bool WaitReply(int timeoutMs) = 0;
    // True when the bytes were taken for sending. Derived classes that override
    // one overload should bring the other in with `using CLink::Write;`.
    virtual bool Write(const std::string& buffer) { return Write(buffer.data(), buffer.size()); }
    virtual bool Write(const void* bytes, std::size_t length) = 0;

    // A packet (its check digits included) that the channel dropped because
    // its check digits are wrong. Called on the reader thread.
    virtual void OnBadPacket(std::string_view /*packet*/) {}

    const std::string& GetName() const { return name_; }
    // The attached channel, or null. Safe from the reader thread.
    CPacketChannel* GetChannel() const { return channel_.load(std::memory_order_acquire); }

protected:
    // A derived link calls this first in its destructor so that no packet is
    // written through a half-destroyed object; later calls do nothing.
    void DetachChannel();

private:
    friend class CPacketChannel; // sets and clears channel_ when attaching and deleting

    std::string name_;
    std::atomic<CPacketChannel*> channel_{nullptr};
};

} // namespace tornu
