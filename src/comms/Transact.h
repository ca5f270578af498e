#pragma once
// Message exchange over a packet channel, on the exchange worker thread.
#include <string>

namespace tornu {

class CPacketChannel;
class CTermMessage;

// Sends `out` and waits up to timeoutMs for a packet, sending again while
// attempts remain (at least one send). True when a packet came and was read
// into `in`, whatever its code. `out` and `in` may be the same object: the
// reply then replaces the message sent. False at once when `out` cannot be
// formed or a send fails; false when the wake-up brought no packet (Signal) or
// the packet cannot be read.
bool Transact(CPacketChannel& channel, const CTermMessage& out, CTermMessage& in, int timeoutMs,
              int attempts);

// Sends the message without waiting for a reply. False when it cannot be formed
// or sent.
bool SendOnly(CPacketChannel& channel, const CTermMessage& message);

// Takes the oldest queued packet and reads it into the message. False when none
// is queued or it cannot be read.
bool ReceiveMessage(CPacketChannel& channel, CTermMessage& message);

} // namespace tornu
