#include "comms/Modem.h"

#include "comms/PacketChannel.h"
#include "comms/PacketChannelPool.h"
#include "comms/TimeScale.h"

#include "PtyHelpers.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

using namespace tornu;
using tornu::test::Eventually;
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
    tm.tm_mday = 9;
    tm.tm_mon = 2;
    tm.tm_year = 125;
    tm.tm_hour = 14;
    tm.tm_min = 30;
    tm.tm_sec = 0;
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

TEST(ModemLogName, PortNameOrLastPartOfThePath) {
    EXPECT_EQ(CModem::LogFileName("COM1"), "COM1_modem.log");
    EXPECT_EQ(CModem::LogFileName("/dev/ttyUSB0"), "ttyUSB0_modem.log");
}

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

TEST(ModemDataMode, WritesOnlyInDataMode) {
    ModemWithChannel m;
    EXPECT_FALSE(m.modem.Write("abc", 3));
    EXPECT_FALSE(m.channel->SendPacket("0012020002"));
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    EXPECT_TRUE(m.modem.IsDataMode());
    // The port is closed: the bytes are lost, but data-mode writes report no errors.
    EXPECT_TRUE(m.modem.Write("abc", 3));
}

TEST(ModemDataMode, BytesGoToTheChannel) {
    ModemWithChannel m;
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    m.modem.Feed("noise~001206000239B1\r\n");
    std::string packet;
    ASSERT_TRUE(m.channel->ReceivePacket(packet));
    EXPECT_EQ(packet, "001206000239");
}

TEST(ModemDataMode, PlusesRightAfterOtherDataPassThrough) {
    ModemWithChannel m;
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    m.modem.Feed("~AB+++CD\r\n");
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
    CTimeScale::Sleep(3000); // well past the (scaled) second of silence
    m.modem.Feed("++");
    EXPECT_TRUE(m.modem.IsDataMode());
    m.modem.Feed("+");
    EXPECT_FALSE(m.modem.IsDataMode());
    // Back in command mode the modem's replies are results again.
    m.modem.Feed("\r\nOK\r\n");
    EXPECT_EQ(m.modem.LastResult(), CModemReplyParser::kOk);
    std::string packet;
    EXPECT_FALSE(m.channel->ReceivePacket(packet));
}

TEST(ModemDataMode, TwoPlusesAfterSilenceAreData) {
    CScopedTimeScale fast(0.001);
    ModemWithChannel m;
    ASSERT_TRUE(m.modem.Connect(nullptr, true));
    m.modem.Feed("~AB");
    CTimeScale::Sleep(3000);
    m.modem.Feed("++CD\r\n");
    EXPECT_TRUE(m.modem.IsDataMode());
    std::string packet;
    ASSERT_TRUE(m.channel->ReceivePacket(packet));
    EXPECT_EQ(packet, "AB++");
}

TEST(ModemConnect, FailsWithoutChannel) {
    TestModem modem;
    int result = 5;
    EXPECT_FALSE(modem.Connect(nullptr, true, &result));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(modem.IsDataMode());
}

TEST(ModemOpen, FailureOpensNoLog) {
    TempDir dir;
    TestModem modem;
    modem.SetLogFolder(dir.Path());
    EXPECT_FALSE(modem.Open((dir / "no-such-tty"), 9600));
    EXPECT_FALSE(modem.Log().IsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

namespace {

// Plays a GSM modem on the master side of a pseudo-terminal: answers commands
// from a table, enters data mode on the replies marked so, collects the data
// bytes and goes back to command mode on "+++" from the program.
class FakeModem {
public:
    explicit FakeModem(PtyPair& pty) : pty_(pty), thread_([this] { Run(); }) {}
    ~FakeModem() { Stop(); }

    void Answer(const std::string& command, const std::string& reply, bool connect = false) {
        std::lock_guard lock(mutex_);
        replies_[command] = {reply, connect};
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Bytes from the far end of the call (or the modem itself).
    void Send(const std::string& bytes) { pty_.Write(bytes); }
    // The far end's "+++": the modem drops back to command mode.
    void SendEscape() {
        {
            std::lock_guard lock(mutex_);
            dataMode_ = false;
        }
        Send("+++");
    }

    std::vector<std::string> Commands() const {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    std::string Data() const {
        std::lock_guard lock(mutex_);
        return data_;
    }
    bool InDataMode() const { return dataMode_; }

private:
    struct Reply {
        std::string text;
        bool connect;
    };

    void Run() {
        while (!stop_) {
            pollfd p{pty_.Master(), POLLIN, 0};
            if (poll(&p, 1, 10) <= 0)
                continue;
            char buffer[256];
            ssize_t n = read(pty_.Master(), buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i)
                OnByte(buffer[i]);
        }
    }

    void OnByte(char c) {
        std::lock_guard lock(mutex_);
        if (dataMode_) {
            data_ += c;
            if (data_.size() >= 3 && data_.compare(data_.size() - 3, 3, "+++") == 0) {
                dataMode_ = false;
                pty_.Write("\r\nOK\r\n");
            }
        } else if (c != '\r') {
            line_ += c;
        } else {
            commands_.push_back(line_);
            auto it = replies_.find(line_);
            line_.clear();
            if (it == replies_.end()) {
                pty_.Write("\r\nERROR\r\n");
                return;
            }
            dataMode_ = it->second.connect;
            pty_.Write(it->second.text);
        }
    }

    PtyPair& pty_;
    mutable std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<std::string> commands_;
    std::string line_;
    std::string data_;
    std::atomic<bool> dataMode_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

const std::string kNumber = "+79161234567";

class ModemOverPty : public ::testing::Test {
protected:
    ModemOverPty() : fake_(pty_) {
        fake_.Answer(CModem::kDefaultInit, "\r\nOK\r\n");
        fake_.Answer("at", "\r\nOK\r\n");
        fake_.Answer("atd" + kNumber, "\r\nCONNECT 9600\r\n", true);
        fake_.Answer("ath0", "\r\nOK\r\n");
        m_.modem.SetLogFolder(dir_.Path());
    }

    std::string LogPath() const { return dir_ / CModem::LogFileName(pty_.SlavePath()); }

    // Waits generously: the time scale makes the modem's own waits short.
    static constexpr int kWait = 100000;

    CScopedTimeScale fast_{0.01};
    TempDir dir_;
    PtyPair pty_;
    FakeModem fake_;
    ModemWithChannel m_;
};

} // namespace

TEST_F(ModemOverPty, WholeSession) {
    CModem& modem = m_.modem;
    ASSERT_TRUE(modem.Open(pty_.SlavePath(), 9600));
    EXPECT_TRUE(modem.SendAndWait(CModem::kDefaultInit, kWait));
    std::string answer;
    EXPECT_TRUE(modem.SendAndWait("at", kWait, CModemReplyParser::kOk, &answer));
    EXPECT_EQ(answer, "OK");

    int result = -5;
    ASSERT_TRUE(modem.Connect(kNumber.c_str(), false, &result));
    EXPECT_TRUE(modem.IsDataMode());

    // A packet from the terminal, with stray bytes before it and split writes.
    fake_.Send("\x01zz~00120600");
    fake_.Send("0239B1\r");
    fake_.Send("\n");
    ASSERT_TRUE(m_.channel->WaitPacket(kWait));
    std::string packet;
    ASSERT_TRUE(m_.channel->ReceivePacket(packet));
    EXPECT_EQ(packet, "001206000239");

    // A packet to the terminal goes out framed, byte for byte.
    ASSERT_TRUE(m_.channel->SendPacket("001202000239"));
    EXPECT_TRUE(Eventually([&] { return fake_.Data() == "~001202000239B1\r"; }));

    // The far end escapes after a (scaled) second of silence.
    CTimeScale::Sleep(3000);
    fake_.SendEscape();
    ASSERT_TRUE(Eventually([&] { return !modem.IsDataMode(); }));
    EXPECT_TRUE(modem.SendAndWait("at", kWait, CModemReplyParser::kOk));

    // Dial again and hang up with the escape.
    ASSERT_TRUE(modem.Connect(kNumber.c_str(), false));
    ASSERT_TRUE(fake_.InDataMode());
    EXPECT_TRUE(modem.HangUp(true));
    EXPECT_FALSE(modem.IsDataMode());
    EXPECT_TRUE(Eventually([&] { return !fake_.InDataMode(); }));
    // Close purges the line: let the fake take "ath0" first, as a real modem
    // does within the (here scaled) wait for its reply.
    EXPECT_TRUE(Eventually([&] { return fake_.Commands().size() == 6; }));
    EXPECT_TRUE(modem.Close());

    std::vector<std::string> commands = {CModem::kDefaultInit, "at",  "atd" + kNumber, "at",
                                         "atd" + kNumber,      "ath0"};
    EXPECT_EQ(fake_.Commands(), commands);
    EXPECT_EQ(fake_.Data(), "~001202000239B1\r+++");

    std::vector<std::string> log = LogLines(LogPath());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "---------------OPEN--------------------");
    EXPECT_EQ(log.back(), "---------------CLOSE--------------------");
    // A reply may be logged before the command it answers: the command line is
    // written once all its bytes are out, and the reader does not wait for it.
    auto count = [&log](const std::string& line) {
        return std::count(log.begin(), log.end(), line);
    };
    EXPECT_EQ(count("SEND COMMAND    - [AT&FE0Q0V1&C1&D2S0=0]"), 1);
    EXPECT_EQ(count("SEND COMMAND    - [at]"), 2);
    EXPECT_EQ(count("SEND COMMAND    - [atd+79161234567]"), 2);
    EXPECT_EQ(count("SEND COMMAND    - [ath0]"), 1);
    EXPECT_EQ(count("ANSWER          - [CONNECT 9600]"), 2);
    EXPECT_GE(count("ANSWER          - [OK]"), 3);
}

TEST_F(ModemOverPty, FailedDialReportsTheResult) {
    fake_.Answer("atd" + kNumber, "\r\nRING\r\n\r\nBUSY\r\n");
    ASSERT_TRUE(m_.modem.Open(pty_.SlavePath(), 9600));
    int result = -5;
    EXPECT_FALSE(m_.modem.Connect(kNumber.c_str(), false, &result));
    EXPECT_EQ(result, CModemReplyParser::kBusy);
    EXPECT_FALSE(m_.modem.IsDataMode());
}

TEST_F(ModemOverPty, NoReplyToDialTimesOut) {
    fake_.Answer("atd" + kNumber, "");
    ASSERT_TRUE(m_.modem.Open(pty_.SlavePath(), 9600));
    int result = -5;
    EXPECT_FALSE(m_.modem.Connect(kNumber.c_str(), false, &result));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(m_.modem.IsDataMode());
}

TEST_F(ModemOverPty, UnexpectedResultDoesNotSatisfyTheWait) {
    fake_.Answer("at", "\r\nERROR\r\n");
    ASSERT_TRUE(m_.modem.Open(pty_.SlavePath(), 9600));
    std::string answer = "unchanged";
    EXPECT_FALSE(m_.modem.SendAndWait("at", 20000, CModemReplyParser::kOk, &answer));
    EXPECT_EQ(m_.modem.LastResult(), CModemReplyParser::kError);
    EXPECT_EQ(answer, "unchanged");
    // Any result will do when none is expected.
    EXPECT_TRUE(m_.modem.SendAndWait("at", kWait, CModem::kAnyReply, &answer));
    EXPECT_EQ(answer, "ERROR");
}

TEST_F(ModemOverPty, DialNumberLengthLimit) {
    const std::string longest(CModem::kMaxNumber, '5');
    fake_.Answer("atd" + longest, "\r\nNO CARRIER\r\n");
    ASSERT_TRUE(m_.modem.Open(pty_.SlavePath(), 9600));
    int result = -5;
    EXPECT_FALSE(m_.modem.Connect((longest + "5").c_str(), false, &result));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(m_.modem.Connect(longest.c_str(), false, &result));
    EXPECT_EQ(result, CModemReplyParser::kNoCarrier);
    EXPECT_EQ(fake_.Commands(), std::vector<std::string>{"atd" + longest});
}

TEST_F(ModemOverPty, DeviceVanishingMidCall) {
    ASSERT_TRUE(m_.modem.Open(pty_.SlavePath(), 9600));
    ASSERT_TRUE(m_.modem.Connect(kNumber.c_str(), false));
    fake_.Stop();
    pty_.CloseMaster();
    // Nothing hangs: data writes report nothing, commands fail, waits end.
    EXPECT_TRUE(m_.modem.Write("abc", 3));
    EXPECT_FALSE(m_.modem.SendAndWait("at", kWait, CModemReplyParser::kOk));
    EXPECT_TRUE(m_.modem.HangUp(true));
    EXPECT_TRUE(m_.modem.Close());
}
