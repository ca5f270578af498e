#include "comms/Transact.h"

#include "comms/PacketChannel.h"
#include "protocol/TermMessage.h"

namespace tornu {

bool Transact(CPacketChannel& channel, const CTermMessage& out, CTermMessage& in, int timeoutMs,
              int attempts) {
    std::string buffer;
    if (!out.BuildText(buffer))
        return false;
    for (int attempt = 1;; ++attempt) {
        if (!channel.SendPacket(buffer))
            return false;
        if (channel.WaitPacket(timeoutMs))
            break;
        if (attempt >= attempts)
            return false;
    }
    // A wake-up by Signal finds the queue empty.
    return channel.ReceivePacket(buffer) && in.ReadText(buffer);
}

bool SendOnly(CPacketChannel& channel, const CTermMessage& message) {
    std::string text;
    return message.BuildText(text) && channel.SendPacket(text);
}

bool ReceiveMessage(CPacketChannel& channel, CTermMessage& message) {
    std::string packet;
    return channel.ReceivePacket(packet) && message.ReadText(packet);
}

} // namespace tornu
