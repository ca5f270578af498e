// Arbitrary received bytes through the packet codec and the message reader;
// every message read is sent back out over the same scripted line.
#include "comms/FakeStream.h"
#include "comms/PacketChannel.h"
#include "comms/Transact.h"
#include "protocol/TermMessage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    tornu::CFakeStream line;
    tornu::CPacketChannel channel(line);
    // The first byte chooses the check of the digits and whether the bytes
    // are cut one at a time or come from the line in one read.
    channel.SetCheckDigits(data[0] & 2);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            channel.Feed(bytes.substr(i, 1));
    } else {
        line.Queue(std::string(bytes));
    }
    std::string packet;
    while (channel.Receive(packet, 1000) == tornu::StreamStatus::kData) {
        if (packet.size() > tornu::CPacketChannel::kMaxPacket)
            std::abort();
        tornu::CTermMessage message;
        if (!message.ReadText(packet))
            continue;
        std::string text;
        if (message.GetNumber() <= tornu::CTermMessage::kMaxNumber && !message.BuildText(text))
            std::abort(); // whatever was read can be sent back
        tornu::SendOnly(channel, message);
    }
    return 0;
}
