// Arbitrary received bytes through the packet cutter and the message reader; every
// message read is sent back out through a link that discards the bytes.
#include "comms/Link.h"
#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "protocol/TermMessage.h"
#include "comms/Transact.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CNullLink : public tornu::CLink {
public:
    CNullLink() : CLink("null") {}
    ~CNullLink() override { DetachChannel(); }
    bool WaitReply(int) override { return false; }
    using CLink::Write;
    bool Write(const void*, std::size_t) override { return true; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tornu::CPacketChannelPool pool;
    CNullLink link;
    tornu::CPacketChannel* channel = pool.Create();
    channel->Attach(&link);
    // The first byte chooses between one call per byte (as the modem delivers) and one call.
    bool byteByByte = size > 0 && (data[0] & 1);
    if (byteByByte) {
        for (std::size_t i = 1; i < size; ++i)
            channel->OnBytes(data + i, 1);
    } else {
        channel->OnBytes(data, size);
    }
    std::string packet;
    while (channel->ReceivePacket(packet)) {
        tornu::CTermMessage message;
        if (!message.ReadText(packet))
            continue;
        std::string text;
        if (message.GetNumber() <= tornu::CTermMessage::kMaxNumber && !message.BuildText(text))
            std::abort(); // whatever was read can be sent back
        tornu::SendOnly(*channel, message);
    }
    return 0;
}
