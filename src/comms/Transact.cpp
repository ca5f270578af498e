#include "comms/Transact.h"

#include "comms/PacketChannel.h"
#include "protocol/TermMessage.h"

#include <string>

namespace tornu {

bool Transact(CPacketChannel& channel, const CTermMessage& out, CTermMessage& in, int timeoutMs,
              int attempts) {
    std::string text;
    if (!out.BuildText(text))
        return false;
    std::string packet;
    for (int attempt = 1;; ++attempt) {
        if (!channel.Send(text))
            return false;
        const StreamStatus status = channel.Receive(packet, timeoutMs);
        if (status == StreamStatus::kData)
            return in.ReadText(packet);
        if (status != StreamStatus::kTimeOut || attempt >= attempts)
            return false;
    }
}

bool SendOnly(CPacketChannel& channel, const CTermMessage& message) {
    std::string text;
    return message.BuildText(text) && channel.Send(text);
}

} // namespace tornu
