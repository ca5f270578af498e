// The simulator's modem, line and faults, driven by bytes and a clock. Its
// pseudo-terminal runner carries every session of the end-to-end tests.
#include <gtest/gtest.h>

#include "CliTestUtil.h"
#include "SimTestUtil.h"
#include "sim/TerminalState.h"

#include <csignal>
#include <unistd.h>

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

// Silence, error replies, a lost call and the line faults are the sessions'
// (tests/e2e); a reply under another code is not.
TEST_F(SimulatorTest, WrongCodeReply) {
    Start("[Faults]\nWrongCode.17=18\n");
    Connect();
    EXPECT_EQ(Reply(4, "1234").first, 6);
    EXPECT_EQ(Reply(17, "RZD=01;PASS=1111;").first, 18);
    EXPECT_EQ(Reply(23, "RZD=01;PASS=1111;").first, 23);
}

// The program: its options, and a run until it is stopped that leaves the
// state saved and the log written.
TEST(SimProgram, OptionsAndARunUntilStopped) {
    test::TempDir dir;
    const std::pair<std::string, const char*> refused[] = {
        {"", "Usage:"},
        {"--link x --time-scale 0", "Usage:"},
        {"--link x --bogus 1", "Usage:"},
        {"--link " + (dir / "no/such/tty"), "tornucfg-sim: "},
        {"--link x --state " + (dir / "missing.sim"), "tornucfg-sim: "},
    };
    for (const auto& [args, message] : refused) {
        const std::string command = std::string(TORNU_SIM_PATH) + " " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        const std::string output(buffer, std::fread(buffer, 1, sizeof buffer, pipe));
        EXPECT_NE(WEXITSTATUS(pclose(pipe)), 0) << args;
        EXPECT_EQ(output.rfind(message, 0), 0u) << args << "\n" << output;
    }
    EXPECT_EQ(std::system((std::string(TORNU_SIM_PATH) + " --help >/dev/null").c_str()), 0);

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl(TORNU_SIM_PATH, TORNU_SIM_PATH, "--link", (dir / "tty").c_str(), "--state",
              TORNU_SOURCE_DIR "/tools/sim/example.sim", "--save-state", (dir / "saved.sim").c_str(),
              "--log", (dir / "sim.log").c_str(), "--time-scale", "0.01", nullptr);
        _exit(127);
    }
    close(out[1]);
    char ready[256];
    ASSERT_GT(read(out[0], ready, sizeof ready), 0); // the link is made before this line
    close(out[0]);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "tty"));
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    CTerminalState saved;
    std::string error;
    EXPECT_TRUE(saved.Load(dir / "saved.sim", error)) << error;
    EXPECT_EQ(saved.number, 12);
    EXPECT_NE(test::ReadBytes(dir / "sim.log").find("-- stopped"), std::string::npos);
}

} // namespace
} // namespace tornu
