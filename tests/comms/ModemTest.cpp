#include "comms/Modem.h"

#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/TimeScale.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using namespace tornu;
using tornu::test::PtyPair;
using tornu::test::ReadBytes;
using tornu::test::TempDir;

namespace {

// Gives the tests the reader thread's hook.
class TestModem : public CModem {
public:
    using CModem::OnReceive;
    void Feed(const std::string& bytes) {
        for (char c : bytes)
            OnReceive(static_cast<std::uint8_t>(c));
    }
};

std::tm FixedTime() {
    std::tm tm{};
    strptime("09.03.2025 14:30:00", "%d.%m.%Y %H:%M:%S", &tm);
    return tm;
}

// The log's lines without their time stamps.
std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    const std::string stampEnd = "] - ";
    for (std::string line; std::getline(in, line, '\n');) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        std::size_t at = line.find(stampEnd);
        EXPECT_EQ(at, 20u) << line;
        lines.push_back(line.substr(at + stampEnd.size(), line.size() - at - stampEnd.size() - 1));
    }
    return lines;
}

// The modem with a packet channel attached, as the exchange builds it. The
// pool outlives the modem, which releases the channel when it goes.
struct ModemWithChannel {
    CPacketChannelPool pool;
    TestModem modem;
    CPacketChannel* channel = nullptr;
    ModemWithChannel() {
        channel = pool.Create();
        channel->Attach(&modem);
    }
};

} // namespace

TEST(ModemCommandMode, ResultsEndWaitsUnsolicitedLinesAndRingDoNot) {
    TempDir dir;
    TestModem modem;
    modem.Log().SetTimeSource(FixedTime);
    ASSERT_TRUE(modem.Log().OpenIn({dir.Path()}, "m.log"));

    modem.Feed("\r\nRING\r\n");
    EXPECT_EQ(modem.LastResult(), -1);
    modem.Feed("\r\n+CLIP: \"+79161234567\",145\r\n\r\nHELLO\r\n\r\n+CSQ: 20,99\r\n");
    EXPECT_EQ(modem.LastResult(), -1);
    modem.Feed("\r\nNO CARRIER\r\n");
    EXPECT_EQ(modem.LastResult(), CModemReplyParser::kNoCarrier);
    modem.Feed("\r\n> ");
    EXPECT_EQ(modem.LastResult(), CModemReplyParser::kPrompt);

    std::vector<std::string> expected = {
        "ANSWER          - [RING]",       "INFO            - [+CLIP: \"+79161234567\",145<CR><LF>]",
        "UNDEFINE ANSWER - [HELLO]",      "UNDEFINE INFO   - [+CSQ: 20,99<CR><LF>]",
        "ANSWER          - [NO CARRIER]", "ANSWER          - [>]",
    };
    EXPECT_EQ(LogLines(dir / "m.log"), expected);
    EXPECT_EQ(ReadBytes(dir / "m.log").substr(0, 24), "[09.03.2025 14:30:00] - ");
}

TEST(ModemDataMode, WritesOnlyInDataModeAndPlusesAfterDataPassThrough) {
    TestModem alone;
    int result = 5;
    EXPECT_FALSE(alone.Connect(nullptr, true, &result)); // no channel
    EXPECT_EQ(result, -1);
    ModemWithChannel m;
    EXPECT_FALSE(m.modem.Write("abc", 3));
    EXPECT_FALSE(m.channel->SendPacket("0012020002"));
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    // The port is closed: the bytes are lost, but data-mode writes report no errors.
    EXPECT_TRUE(m.modem.Write("abc", 3));
    m.modem.Feed("noise~AB+++CD\r\n");
    EXPECT_TRUE(m.modem.IsDataMode());
    std::string packet;
    ASSERT_TRUE(m.channel->ReceivePacket(packet));
    EXPECT_EQ(packet, "AB+++");
}

TEST(ModemDataMode, ThreePlusesAfterSilenceReturnToCommandMode) {
    CScopedTimeScale fast(0.001);
    ModemWithChannel m;
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    m.modem.Feed("~AB");
    CTimeScale::Sleep(3000);  // well past the (scaled) second of silence
    m.modem.Feed("++CD\r\n"); // two pluses are data
    std::string packet;
    ASSERT_TRUE(m.channel->ReceivePacket(packet));
    EXPECT_EQ(packet, "AB++");
    CTimeScale::Sleep(3000);
    m.modem.Feed("++");
    EXPECT_TRUE(m.modem.IsDataMode());
    m.modem.Feed("+");
    EXPECT_FALSE(m.modem.IsDataMode());
    // Back in command mode the modem's replies are results again.
    m.modem.Feed("\r\nOK\r\n");
    EXPECT_EQ(m.modem.LastResult(), CModemReplyParser::kOk);
    EXPECT_FALSE(m.channel->ReceivePacket(packet));
}

// The results of a dial are the sessions' (tests/e2e); here a number the
// modem would not take is refused before anything is sent.
TEST(ModemDial, TooLongANumberIsNeverDialled) {
    CScopedTimeScale fast(0.01);
    TempDir dir;
    PtyPair pty;
    ModemWithChannel m;
    m.modem.SetLogFolder(dir.Path());
    ASSERT_TRUE(m.modem.Open(pty.SlavePath(), 9600));
    int result = -5;
    EXPECT_FALSE(m.modem.Connect(std::string(CModem::kMaxNumber + 1, '5').c_str(), false, &result));
    EXPECT_EQ(result, -1);
    char sent;
    EXPECT_EQ(read(pty.Master(), &sent, 1), -1); // written at once, had it been sent
}
