#pragma once
// The packet codec over a byte stream (the modem's data call): frames the
// outgoing message texts and cuts the incoming bytes into packets.
//
// Frame on the line:  '~'  text  CRC-8 of the text as two upper-case hex digits  CR
// The terminal ends its packets with CR LF: a packet is complete at the second
// CR or LF after its '~'; its last two characters are the check digits. With
// the check on (the exchange turns it on unless the settings say otherwise) a
// packet whose digits do not match its text is dropped as if it were lost, so
// that the sender's repeated attempts recover it, and the handler is told.
//
// Used on one thread (the exchange worker), which reads the stream only while
// it waits for a packet.
#include "comms/ByteStream.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace tornu {

class CPacketChannel {
public:
    // Longest packet text kept (check digits not counted); a longer one is dropped whole.
    static constexpr std::size_t kMaxPacket = 65536;
    // Packets cut and not yet taken; one more drops the oldest.
    static constexpr std::size_t kQueuedPackets = 10;

    explicit CPacketChannel(IByteStream& stream);
    CPacketChannel(const CPacketChannel&) = delete;
    CPacketChannel& operator=(const CPacketChannel&) = delete;

    // Frames the text and writes the frame in one go; false when the stream refuses it.
    bool Send(std::string_view text);
    // The oldest packet not yet taken, reading the stream for up to timeoutMs
    // when there is none: kData with `packet`, or why there is none.
    StreamStatus Receive(std::string& packet, int timeoutMs);
    // Forgets the packet being received and every packet not yet taken.
    void Reset();

    // Cuts received bytes into packets, which Receive and TakePacket hand out.
    void Feed(std::string_view bytes);
    // Moves the oldest packet out; false when none is waiting.
    bool TakePacket(std::string& packet);

    // Whether the check digits of received packets are verified; off until
    // turned on, for equipment that sends no valid digits.
    void SetCheckDigits(bool verify) { checkDigits_ = verify; }
    bool CheckDigits() const { return checkDigits_; }
    // Told of each packet (check digits included) dropped for its digits.
    void OnBadPacket(std::function<void(std::string_view)> handler) {
        onBadPacket_ = std::move(handler);
    }
    // Packets dropped for wrong check digits since the channel was made.
    int RejectedPackets() const { return rejected_; }

private:
    void OnByte(char b);
    void TraceByte(char b) const;
    void CompletePacket();
    void ClearReceiver();

    IByteStream& stream_;
    std::deque<std::string> packets_;
    std::function<void(std::string_view)> onBadPacket_;
    bool checkDigits_ = false;
    int rejected_ = 0;
    // The packet being received: text and check digits.
    bool inPacket_ = false;
    bool inSecret_ = false; // in the value of a password pair, for the trace
    int breaks_ = 0;
    std::string current_;
};

} // namespace tornu
