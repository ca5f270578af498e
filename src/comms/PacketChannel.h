#pragma once
// Frames outgoing message texts and cuts the incoming bytes into packets.
//
// Frame on the line:  '~'  text  CRC-8 of the text as two upper-case hex digits  CR
// The terminal ends its packets with CR LF: a packet is complete at the second
// CR or LF after its '~'; its last two characters are the check digits. With
// the check on (the exchange turns it on unless the settings say otherwise) a
// packet whose digits do not match its text is dropped as if it were lost, so
// that the sender's repeated attempts recover it, and the link is told.
//
// Threads: OnBytes runs on the port reader thread, Send/Wait/Receive on the
// exchange worker, Signal on any thread. The reader hands a packet over by
// pushing it to the queue and then setting packetEvent.
#include "comms/Event.h"
#include "comms/PacketQueue.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace tornu {

class CLink;
class CPacketChannelPool;

class CPacketChannel {
public:
    // Longest packet text kept (check digits not counted); a longer one is dropped whole.
    static constexpr std::size_t kMaxPacket = 65536;
    // Packets kept unread; one more drops the oldest.
    static constexpr std::size_t kQueuedPackets = 10;

    CPacketChannel(const CPacketChannel&) = delete;
    CPacketChannel& operator=(const CPacketChannel&) = delete;

    // Moves the oldest received packet out; false when none is queued.
    virtual bool ReceivePacket(std::string& packet);
    // Frames the text and writes it through the link; the result is that of
    // writing the text itself. False without a link.
    virtual bool SendPacket(const std::string& text);
    // True when packetEvent was set (a packet came, or Signal) within timeoutMs.
    virtual bool WaitPacket(int timeoutMs);
    // Forgets the packet being received and every queued packet. Called by the
    // worker while no data flows; packetEvent stays as it is.
    virtual void ResetReceiver();
    // Received bytes, in order. False when there are none.
    virtual bool OnBytes(const void* bytes, std::size_t count);

    // Wakes a worker waiting in WaitPacket (cancel).
    void Signal();

    // Whether the check digits of received packets are verified; off until
    // turned on, for equipment that sends no valid digits.
    void SetCheckDigits(bool verify) { checkDigits_.store(verify); }
    bool CheckDigits() const { return checkDigits_.load(); }
    // Packets dropped for wrong check digits since the channel was made.
    int RejectedPackets() const { return rejected_.load(); }

    // Attaches the link it writes to; the link then holds the channel's first
    // reference. False for a null link.
    bool Attach(CLink* link);
    CLink* GetLink() const;

    // A holder adds a reference before use and releases it after; the last
    // release deletes the channel through its pool.
    void AddRef();
    void Release();
    int GetReferences() const { return references_.load(); }

protected:
    friend class CPacketChannelPool;
    friend class CLink;

    explicit CPacketChannel(CPacketChannelPool* pool);
    virtual ~CPacketChannel();

private:
    void OnByte(char b);
    void TraceByte(char b) const;
    void CompletePacket();
    void ClearReceiver();
    // Called by a link that is going away.
    void DetachLink(CLink* link);

    CPacketChannelPool* pool_;
    std::atomic<int> references_{1};
    mutable std::mutex lock_; // guards link_
    CLink* link_ = nullptr;
    CEvent packetEvent_;
    CPacketQueue queue_;

    // Receiver state, touched by the reader thread only; ResetReceiver asks
    // for it to be cleared before the next byte is taken.
    std::atomic<bool> resetPending_{false};
    std::atomic<bool> checkDigits_{false};
    std::atomic<int> rejected_{0};
    bool inPacket_ = false;
    int breaks_ = 0;
    std::size_t length_ = 0;
    std::unique_ptr<char[]> buffer_;
};

} // namespace tornu
