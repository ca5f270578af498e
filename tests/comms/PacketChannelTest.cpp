// The packet codec: frames out in one write, packets cut from the bytes in
// with their check digits, and Transact's attempts over a scripted stream.
// Whole sessions run in ExchangeTest and end to end in tests/e2e.
#include "comms/PacketChannel.h"

#include "comms/DebugLog.h"
#include "comms/FakeStream.h"
#include "comms/Transact.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace tornu;

namespace {

using Packets = std::vector<std::string>;

// A packet as the terminal frames it, its check digits spoilt by `damage`.
std::string Frame(const std::string& text, int damage = 0) {
    return "~" + text + HexByte(static_cast<std::uint8_t>(Crc8(text) ^ damage)) + "\r\n";
}

// A message as the configurator frames it.
std::string Sent(const std::string& text) {
    return "~" + text + HexByte(Crc8(text)) + "\r";
}

Packets TakeAll(CPacketChannel& channel) {
    Packets packets;
    for (std::string packet; channel.TakePacket(packet);)
        packets.push_back(packet);
    return packets;
}

} // namespace

TEST(PacketChannel, FramesGoOutInOneWrite) {
    CFakeStream line;
    CPacketChannel channel(line);
    EXPECT_TRUE(SendOnly(channel, CTermMessage(12, 2, "39")));
    EXPECT_EQ(line.Writes(), std::vector<std::string>{"~001202000239B1\r"});
    // A message that cannot be formed sends nothing.
    EXPECT_FALSE(SendOnly(channel, CTermMessage(65536, 4, "x")));
    CTermMessage reply;
    EXPECT_FALSE(Transact(channel, CTermMessage(12, -1), reply, 1, 5));
    EXPECT_EQ(line.Writes().size(), 1u);
    line.Unplug();
    EXPECT_FALSE(channel.Send("0012020000"));
}

TEST(PacketChannel, PacketsAreCutWithoutCheckDigits) {
    struct Case {
        const char* name;
        std::string bytes;
        Packets packets;
    };
    const std::string longest(CPacketChannel::kMaxPacket, 'A');
    const Case cases[] = {
        {"stray bytes before", "ab~001206000022\r\n", {"0012060000"}},
        {"breaks apart", "~0012060000\r22\n", {"0012060000"}},
        {"start inside a packet is data", "~ab~cdXX\n\n", {"ab~cd"}},
        {"one break is no end", "~0012060000XX\r", {}},
        {"two packets, noise between", "~AAAXX\r\nnoise\r\n~BBBXX\r\n", {"AAA", "BBB"}},
        {"two characters kept whole", "~AB\r\n", {"AB"}},
        {"longest kept", "~" + longest + "XX\r\n", {longest}},
        {"longer dropped whole", "~" + longest + "AXX\r\n~BBBXX\r\n", {"BBB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeStream line;
        CPacketChannel whole(line);
        whole.Feed(c.bytes);
        EXPECT_EQ(TakeAll(whole), c.packets);
        CPacketChannel byByte(line); // as slowly as the line may bring them
        for (char b : c.bytes)
            byByte.Feed(std::string_view(&b, 1));
        EXPECT_EQ(TakeAll(byByte), c.packets);
    }
}

TEST(PacketChannel, TheOldestOfElevenUntakenPacketsIsLost) {
    CFakeStream line;
    CPacketChannel channel(line);
    for (int i = 0; i <= static_cast<int>(CPacketChannel::kQueuedPackets); ++i)
        channel.Feed("~P" + std::to_string(i) + "XX\r\n");
    const Packets packets = TakeAll(channel);
    ASSERT_EQ(packets.size(), CPacketChannel::kQueuedPackets);
    EXPECT_EQ(packets.front(), "P1");
    channel.Feed("~P");
    channel.Reset(); // the half packet goes too
    channel.Feed("QXX\r\n~RXX\r\n");
    EXPECT_EQ(TakeAll(channel), Packets{"R"});
}

// A damaged packet is dropped as if lost and the handler hears of it.
TEST(PacketChannel, WrongCheckDigitsDropThePacketOnlyWhileTheCheckIsOn) {
    const std::string text = "0012060000";
    std::string lower = Frame(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::pair<std::string, bool> cases[] = {
        {Frame(text), true},
        {lower, true},
        {Frame(text, 0x01), false},
        {"~" + text + "\r\n", false}, // the last two characters are taken for digits
        {"~\r\n", false},
        {"~" + text + "ZZ\r\n", false},
    };
    CFakeStream line;
    CPacketChannel channel(line);
    Packets bad;
    channel.OnBadPacket([&](std::string_view packet) { bad.emplace_back(packet); });
    channel.SetCheckDigits(true);
    for (const auto& [bytes, taken] : cases) {
        channel.Feed(bytes);
        EXPECT_EQ(TakeAll(channel), taken ? Packets{text} : Packets{}) << bytes;
    }
    EXPECT_EQ(channel.RejectedPackets(), 4);
    ASSERT_EQ(bad.size(), 4u);
    EXPECT_EQ(bad[0], text + HexByte(Crc8(text) ^ 0x01));
    channel.SetCheckDigits(false);
    channel.Feed(Frame(text, 0x01));
    EXPECT_EQ(TakeAll(channel), Packets{text});
}

// Each attempt is one frame and one wait of the time-out, on the stream's
// clock: the silent case spends five of them in no time at all.
TEST(PacketChannel, TransactTriesAgainOnlyAfterATimeOut) {
    const std::string request = "0012160002Q1";
    const std::string reply = "0012160005SYS=1";
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> replies; // bytes, times
        bool unplugged = false;
        bool interrupted = false;
        bool answered;
        int frames;
        std::int64_t virtualMs;
    };
    const Case cases[] = {
        {"answered", {{Frame(reply), -1}}, false, false, true, 1, 0},
        {"damaged once",
         {{Frame(reply, 0x5A), 1}, {Frame(reply), -1}},
         false,
         false,
         true,
         2,
         10000},
        {"silent", {}, false, false, false, 5, 50000},
        {"unreadable reply", {{Frame("00120"), -1}}, false, false, false, 1, 0},
        {"link gone", {}, true, false, false, 1, 0},
        {"wait interrupted", {}, false, true, false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeStream line;
        for (const auto& [bytes, times] : c.replies)
            line.When(Sent(request), bytes, times);
        line.OnWrite([&](std::string_view) {
            if (c.unplugged)
                line.Unplug();
            if (c.interrupted)
                line.Interrupt();
        });
        CPacketChannel channel(line);
        channel.SetCheckDigits(true);
        CTermMessage message(12, 16, "Q1");
        EXPECT_EQ(Transact(channel, message, message, 10000, 5), c.answered);
        EXPECT_EQ(line.Writes(), std::vector<std::string>(c.frames, Sent(request)));
        EXPECT_EQ(line.NowMs(), c.virtualMs);
        EXPECT_EQ(message.GetData(), c.answered ? "SYS=1" : "Q1");
    }
}

// With the debug switch on every byte received is traced, but not those of a
// password: the trace may go to support as the saved log does.
TEST(PacketChannel, TheByteTraceHidesPasswords) {
    CFakeStream line;
    CPacketChannel channel(line);
    testing::internal::CaptureStderr();
    CDebugLog::SetEnabled(true);
    channel.Feed(Frame("0012960026RZD=0;PASS=qwer;NPASS=tyui;XY"));
    CDebugLog::SetEnabled(false);
    const std::string trace = testing::internal::GetCapturedStderr();
    for (char letter : std::string("qwertyui"))
        EXPECT_EQ(trace.find(std::string("(char ") + letter + ")"), std::string::npos) << letter;
    std::size_t hidden = 0;
    for (std::size_t at = trace.find("BYTE: ***"); at != std::string::npos;
         at = trace.find("BYTE: ***", at + 1))
        ++hidden;
    EXPECT_EQ(hidden, 8u);
    EXPECT_NE(trace.find("(char Y)"), std::string::npos);
    EXPECT_EQ(TakeAll(channel), Packets{"0012960026RZD=0;PASS=qwer;NPASS=tyui;XY"});
}
