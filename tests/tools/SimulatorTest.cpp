// The simulator's modem, line and faults, driven by bytes and a clock; one
// smoke test through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "SimTestUtil.h"
#include "TestUtil.h"
#include "comms/TimeScale.h"
#include "sim/PtyRunner.h"

namespace tornu {
namespace {

using test::ConfiguratorFrame;
using test::FramesIn;
using test::Joined;

const std::string kTerminal = "[Terminal]\nNumber=12\nLinkPassword=1234\n";
const std::string kBase = "[Device 1]\nMaster=-1\nPassword=1111\nLoop.1=3,0\n"
                          "[Modem]\nDialDelay=100\nReceiptDelay=100\n";

class SimulatorTest : public ::testing::Test {
protected:
    // `extra` lines are added to the base state, in its modem section unless
    // they open a section of their own.
    void Start(const std::string& extra = {}, const std::string& terminal = {}) {
        std::string error;
        ASSERT_TRUE(state_.Read(kTerminal + terminal + kBase + extra, ".", error)) << error;
    }
    std::string Send(const std::string& bytes) {
        sim_.Receive(bytes, now_);
        return Joined(sim_.TakeOutput());
    }
    std::string Wait(std::int64_t ms) {
        now_ += ms;
        sim_.Tick(now_);
        return Joined(sim_.TakeOutput());
    }
    // Dials and returns what came up to and including the receipt.
    std::string Connect() {
        std::string out = Send("ATD+79001234567\r");
        out += Wait(100);
        return out + Wait(100);
    }
    std::string Message(int code, const std::string& data) {
        now_ += 10;
        return Send(ConfiguratorFrame(CTermMessage(12, code, data)));
    }
    std::pair<int, std::string> Reply(int code, const std::string& data) {
        const auto frames = FramesIn(Message(code, data));
        if (frames.size() != 1)
            return {-1, std::to_string(frames.size()) + " frames"};
        return {frames[0].message.GetCode(), frames[0].message.GetData()};
    }

    CTerminalState state_;
    std::vector<std::string> log_;
    CSimulator sim_{state_, [this](const std::string& line) { log_.push_back(line); }};
    std::int64_t now_ = 100000;
};

TEST_F(SimulatorTest, ModemDialogue) {
    const struct {
        const char* name;
        const char* modem;
        const char* terminal;
        const char* line;
        const char* answer;
    } cases[] = {
        {"init string", "", "", "AT&FE0Q0V1&C1&D2S0=0\r", "\r\nOK\r\n"},
        {"busy", "Dial=BUSY\n", "", "atd+79001234567\r", "\r\nBUSY\r\n"},
        {"no answer to the dial", "Dial=SILENT\n", "", "atd+79001234567\r", ""},
        {"another number", "", "Phone=+79001234567\n", "atd+7900\r", "\r\nNO ANSWER\r\n"},
        {"silent modem", "Answer=0\n", "", "at\r", ""},
        {"not a command", "", "", "hello\r", ""},
    };
    for (const auto& c : cases) {
        state_ = {};
        Start(c.modem, c.terminal);
        sim_.PeerClosed();
        std::string answer = Send(c.line);
        answer += Wait(100);
        EXPECT_EQ(answer, c.answer) << c.name;
        EXPECT_EQ(sim_.GetMode(), CSimulator::Mode::Command) << c.name;
    }
}

TEST_F(SimulatorTest, CallLoginAndEscape) {
    Start();
    const std::string connect = Connect();
    ASSERT_EQ(connect.substr(0, 16), "\r\nCONNECT 9600\r\n");
    const auto receipt = FramesIn(connect);
    ASSERT_EQ(receipt.size(), 1u);
    EXPECT_TRUE(receipt[0].checkOk);
    EXPECT_EQ(receipt[0].message.GetCode(), 4);
    EXPECT_EQ(receipt[0].message.GetNumber(), 12);
    EXPECT_EQ(Reply(4, "1234"), std::make_pair(6, std::string()));
    // Wrong check digits from the configurator: error 2.
    EXPECT_EQ(FramesIn(Send("~001216000000\r"))[0].message.GetData(), "2");
    // "+" right after other bytes is data, not an escape.
    EXPECT_EQ(Send("+++"), "");
    EXPECT_EQ(Wait(1000), "");
    EXPECT_EQ(Wait(1000), "");
    EXPECT_EQ(Send("+++"), "");
    EXPECT_EQ(Wait(999), "");
    EXPECT_EQ(Wait(1), "\r\nOK\r\n");
    EXPECT_EQ(sim_.GetMode(), CSimulator::Mode::Command);
    EXPECT_TRUE(sim_.CallUp());
    EXPECT_EQ(Send("ath0\r"), "\r\nOK\r\n");
    EXPECT_FALSE(sim_.CallUp());
    EXPECT_TRUE(sim_.TakeCallEnded());
}

TEST_F(SimulatorTest, EmulationOpensTheLinkWithoutAnAnswer) {
    Start();
    EXPECT_EQ(Send("+EMUL\r"), "");
    EXPECT_EQ(sim_.GetMode(), CSimulator::Mode::Data);
    EXPECT_EQ(FramesIn(Wait(100)).size(), 1u);
    sim_.PeerClosed();
    EXPECT_FALSE(sim_.CallUp());
    EXPECT_EQ(sim_.GetMode(), CSimulator::Mode::Command);
}

TEST_F(SimulatorTest, ReceiptFaults) {
    const struct {
        const char* name;
        const char* fault;
        std::size_t frames;
        int code; // -1: unreadable
    } cases[] = {
        {"none", "Receipt=none", 0, 0},
        {"garbled", "Receipt=garbled", 1, -1},
        {"another code", "Receipt=6", 1, 6},
    };
    for (const auto& c : cases) {
        state_ = {};
        Start(std::string("[Faults]\n") + c.fault + "\n");
        sim_.PeerClosed();
        const auto frames = FramesIn(Connect());
        ASSERT_EQ(frames.size(), c.frames) << c.name;
        if (c.frames) {
            EXPECT_EQ(frames[0].message.GetCode(), c.code) << c.name;
        }
    }
}

TEST_F(SimulatorTest, ReplyFaults) {
    Start("[Faults]\nSilent.4=2\nError.16=13\nWrongCode.17=18\nHangUpAt=4\n");
    Connect();
    EXPECT_EQ(Message(4, "1234"), "") << "first attempt";
    EXPECT_EQ(Message(4, "1234"), "") << "second attempt";
    EXPECT_EQ(Reply(4, "1234").first, 6);
    EXPECT_EQ(Reply(16, "RZD=01;PASS=1111;"), std::make_pair(70, std::string("13")));
    EXPECT_EQ(Reply(17, "RZD=01;PASS=1111;").first, 18);
    EXPECT_EQ(Reply(23, "RZD=01;PASS=1111;").first, 23);
    EXPECT_EQ(Message(38, "RZD=01;PASS=1111;"), "\r\nNO CARRIER\r\n") << "fourth command";
    EXPECT_FALSE(sim_.CallUp());
    EXPECT_EQ(Message(38, "RZD=01;PASS=1111;"), "") << "no call, no answer";
}

TEST_F(SimulatorTest, LineFaults) {
    Start("[Faults]\nBadCrc=1\nGarbage=1\nSplitBytes=1\n");
    Connect();
    sim_.Receive(ConfiguratorFrame(CTermMessage(12, 4, "1234")), now_);
    const auto chunks = sim_.TakeOutput();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_TRUE(chunks[0].split);
    EXPECT_NE(chunks[0].bytes[0], '~') << "stray bytes come first";
    const auto frames = FramesIn(chunks[0].bytes);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checkOk);
    EXPECT_EQ(frames[0].message.GetCode(), 6);
}

// The configurator's side: a raw serial line on the link.
class LinkEnd {
public:
    explicit LinkEnd(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~LinkEnd() { close(fd_); }
    bool IsOpen() const { return fd_ >= 0; }
    void Write(const std::string& bytes) {
        EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `end` has come after `from` or a generous limit passes.
    std::string ReadUntil(const std::string& end, char from = 0) {
        std::string got;
        auto done = [&] {
            const std::size_t start = from ? got.find(from) : 0;
            return start != std::string::npos && got.find(end, start) != std::string::npos;
        };
        while (!done()) {
            pollfd p{fd_, POLLIN, 0};
            char buffer[256];
            if (poll(&p, 1, 5000) <= 0)
                break;
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int fd_;
};

TEST_F(SimulatorTest, PseudoTerminalSmoke) {
    Start();
    CScopedTimeScale scale(0.01);
    test::TempDir dir;
    const std::string link = dir / "ttySIM";
    CPtyRunner runner(sim_);
    std::string error;
    ASSERT_TRUE(runner.Open(link, error)) << error;
    std::atomic<bool> stop{false};
    std::thread thread([&] { runner.Run(stop); });
    {
        LinkEnd port(link);
        ASSERT_TRUE(port.IsOpen());
        port.Write("AT&FE0Q0V1&C1&D2S0=0\r");
        EXPECT_EQ(port.ReadUntil("OK\r\n"), "\r\nOK\r\n");
        port.Write("atd+79001234567\r");
        const std::string connect = port.ReadUntil("\r\n", '~');
        EXPECT_EQ(connect.substr(0, 16), "\r\nCONNECT 9600\r\n");
        EXPECT_EQ(FramesIn(connect).size(), 1u) << "the receipt";
        port.Write(ConfiguratorFrame(CTermMessage(12, 4, "1234")));
        const auto frames = FramesIn(port.ReadUntil("\r\n", '~'));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].message.GetCode(), 6);
    }
    stop = true;
    thread.join();
    runner.Close();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

} // namespace
} // namespace tornu
