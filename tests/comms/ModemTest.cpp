// The modem over a scripted line: its replies and their log, the dial, the
// data call it carries for the packet channel, a lost link and the hang-up.
// Waits run on the fake's clock, so a 60-second dial time-out takes no time.
#include "comms/Modem.h"

#include "comms/FakeStream.h"

#include "ModemLog.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace tornu;
using tornu::test::TempDir;

namespace {

using Lines = std::vector<std::string>;

struct ModemOnFake {
    TempDir dir;
    CFakeStream line;
    std::unique_ptr<CModem> modem = std::make_unique<CModem>(line, "/dev/ttyUSB0", dir.Path());

    // Closes the log; its lines.
    Lines Log() {
        modem.reset();
        return test::ModemLogLines(dir / "ttyUSB0_modem.log");
    }
};

} // namespace

TEST(Modem, ResultsEndWaitsUnsolicitedLinesAndRingDoNot) {
    ModemOnFake m;
    EXPECT_TRUE(m.line.Rts());
    ASSERT_TRUE(m.modem->SendCommand("at", true));
    m.line.Queue("\r\nRING\r\n");
    EXPECT_FALSE(m.modem->WaitReply(1000));
    EXPECT_EQ(m.line.NowMs(), 1000);
    m.line.Queue("\r\n+CLIP: \"+79161234567\",145\r\n\r\nHELLO\r\n\r\n+CSQ: 20,99\r\n"
                 "\r\nNO CARRIER\r\n\r\nOK\r\n");
    EXPECT_TRUE(m.modem->WaitReply(1000));
    EXPECT_EQ(m.modem->LastResult(), CModemReplyParser::kNoCarrier);
    EXPECT_TRUE(m.modem->WaitReply(1000)); // the second result, from the same read
    EXPECT_EQ(m.modem->LastResult(), CModemReplyParser::kOk);
    m.line.Queue("\r\n> ");
    EXPECT_TRUE(m.modem->Sleep(500)); // a result during a pause ends the next wait at once
    EXPECT_TRUE(m.modem->WaitReply(1000));
    EXPECT_EQ(m.modem->LastResult(), CModemReplyParser::kPrompt);
    EXPECT_EQ(m.line.Writes(), Lines{"at\r"});
    EXPECT_EQ(m.Log(), (Lines{
                           "---------------OPEN--------------------",
                           "SEND COMMAND    - [at]",
                           "ANSWER          - [RING]",
                           "INFO            - [+CLIP: \"+79161234567\",145<CR><LF>]",
                           "UNDEFINE ANSWER - [HELLO]",
                           "UNDEFINE INFO   - [+CSQ: 20,99<CR><LF>]",
                           "ANSWER          - [NO CARRIER]",
                           "ANSWER          - [OK]",
                           "ANSWER          - [>]",
                           "---------------CLOSE--------------------",
                       }));
}

TEST(Modem, SendAndWaitWaitsAgainForTheExpectedResult) {
    ModemOnFake m;
    m.line.When("at\r", "\r\nERROR\r\n");
    std::string answer;
    EXPECT_FALSE(m.modem->SendAndWait("at", 1000, CModemReplyParser::kOk, &answer));
    EXPECT_EQ(m.line.NowMs(), 1000); // ERROR came at once, then one more wait
    m.line.When("ati\r", "\r\nOK\r\n");
    EXPECT_TRUE(m.modem->SendAndWait("ati", 1000, CModemReplyParser::kOk, &answer));
    EXPECT_EQ(answer, "OK");
}

TEST(Modem, DialResults) {
    struct Case {
        const char* name;
        std::string number;
        const char* answer; // to "atd"; nullptr: the dial is abandoned
        bool connected;
        int result;
        Lines writes;
        std::int64_t virtualMs;
    };
    const Case cases[] = {
        {"connect", "123", "\r\nCONNECT 9600\r\n", true, -1, {"atd123\r"}, 0},
        {"busy",
         "123",
         "\r\nRING\r\n\r\nBUSY\r\n",
         false,
         CModemReplyParser::kBusy,
         {"atd123\r"},
         0},
        {"unanswered for a minute", "123", "", false, -1, {"atd123\r"}, CModem::kDialTimeoutMs},
        {"abandoned", "123", nullptr, false, -1, {"atd123\r", "\r"}, 1000},
        {"number too long", std::string(CModem::kMaxNumber + 1, '5'), "", false, -1, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModemOnFake m;
        if (c.answer)
            m.line.When("atd", c.answer);
        else
            m.line.Interrupt(); // a cancel before the dial ends the first wait
        int result = -5;
        EXPECT_EQ(m.modem->Connect(c.number.c_str(), false, &result), c.connected);
        EXPECT_EQ(m.modem->IsDataMode(), c.connected);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(m.line.Writes(), c.writes);
        EXPECT_EQ(m.line.NowMs(), c.virtualMs);
    }
}

TEST(Modem, CarriesTheDataCallAndLeavesItOnTheFarEndsEscape) {
    ModemOnFake m;
    EXPECT_FALSE(m.modem->Write("abc", 3)); // command mode: refused
    ASSERT_TRUE(m.modem->Connect(nullptr, true));
    EXPECT_TRUE(m.line.Dtr());
    EXPECT_TRUE(m.modem->Write("abc", 3));
    EXPECT_EQ(m.line.Writes(), Lines{"abc"});
    std::string data;
    m.line.Queue("noise~AB+++CD\r\n"); // pluses amid data are data
    EXPECT_EQ(m.modem->Read(data, 1000), StreamStatus::kData);
    EXPECT_EQ(data, "noise~AB+++CD\r\n");
    data.clear();
    m.line.Queue("++X", 3000); // after silence, but only two
    EXPECT_EQ(m.modem->Read(data, 10000), StreamStatus::kData);
    EXPECT_EQ(data, "++X");
    data.clear();
    m.line.Queue("+++\r\nOK\r\n", 3000);
    EXPECT_EQ(m.modem->Read(data, 10000), StreamStatus::kData);
    EXPECT_EQ(m.modem->Read(data, 1000), StreamStatus::kTimeOut);
    EXPECT_EQ(data, "++"); // the third '+' is kept back
    EXPECT_FALSE(m.modem->IsDataMode());
    EXPECT_EQ(m.modem->LastResult(), CModemReplyParser::kOk); // a result again
    EXPECT_EQ(m.modem->LinkLost(), CModem::kLinkUp);
}

TEST(Modem, ALostLinkEndsTheDataCallAtOnce) {
    for (const bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "device gone" : "no carrier");
        ModemOnFake m;
        ASSERT_TRUE(m.modem->Connect(nullptr, true));
        std::string data;
        if (unplugged)
            m.line.Unplug();
        else
            m.line.Queue("~00\r\n\r\nNO CARRIER\r\n");
        while (m.modem->Read(data, 60000) == StreamStatus::kData) {
        }
        EXPECT_EQ(m.line.NowMs(), 0); // not a wait to its time-out
        EXPECT_EQ(m.modem->LinkLost(), unplugged ? CModem::kDeviceGone : CModem::kCarrierLost);
        EXPECT_FALSE(m.modem->IsDataMode());
        EXPECT_EQ(m.modem->Read(data, 60000), StreamStatus::kGone);
        EXPECT_FALSE(m.modem->SendAndWait("at", 1000, CModemReplyParser::kOk));
        EXPECT_TRUE(m.modem->HangUp(true));
        const Lines log = m.Log();
        EXPECT_EQ(std::count(log.begin(), log.end(),
                             unplugged ? "LINK LOST       - [device gone]"
                                       : "LINK LOST       - [NO CARRIER]"),
                  1);
    }
}

// The escape wants its seconds of silence even when a cancel has come.
TEST(Modem, HangUpKeepsItsGuardsThoughInterrupted) {
    ModemOnFake m;
    ASSERT_TRUE(m.modem->Connect(nullptr, true));
    m.line.When("ath0", "\r\nOK\r\n");
    m.line.Interrupt();
    EXPECT_TRUE(m.modem->HangUp(true));
    EXPECT_EQ(m.line.Writes(), (Lines{"+++", "ath0\r"}));
    EXPECT_EQ(m.line.NowMs(), 1500 + 1500 + 200);
    EXPECT_TRUE(m.line.Dtr());
    EXPECT_EQ(m.modem->LastResult(), CModemReplyParser::kOk);
}
