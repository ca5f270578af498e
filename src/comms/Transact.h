#pragma once
// Message exchange over the packet channel, on the exchange worker thread.

namespace tornu {

class CPacketChannel;
class CTermMessage;

// Sends `out` and waits up to timeoutMs for a packet, sending again after
// each time-out while attempts remain (at least one send). True when a packet
// came and was read into `in`, whatever its code; `out` and `in` may be the
// same object: the reply then replaces the message sent. False at once when
// `out` cannot be formed, a send fails, the link is lost, the wait is
// interrupted or the packet cannot be read.
bool Transact(CPacketChannel& channel, const CTermMessage& out, CTermMessage& in, int timeoutMs,
              int attempts);

// Sends the message without waiting for a reply. False when it cannot be formed
// or sent.
bool SendOnly(CPacketChannel& channel, const CTermMessage& message);

} // namespace tornu
