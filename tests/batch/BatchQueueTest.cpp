// The fleet queue over scripted lines and a virtual clock: what each way a
// call ends does to its terminal, retries after their delay, a port that
// fails leaving the pool, and a stop that leaves the job to resume.
#include "batch/BatchQueue.h"

#include "comms/FakeStream.h"
#include "protocol/ConfigText.h"
#include "protocol/Crc8.h"
#include "protocol/TermMessage.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

namespace tornu {
namespace {

const std::string kOk = "\r\nOK\r\n";

std::string Text(int number, int code, const std::string& data) {
    std::string text;
    CTermMessage(number, code, data).BuildText(text);
    return text;
}
std::string Frame(const std::string& text) {
    return "~" + text + HexByte(Crc8(text)) + "\r\n";
}
std::string Sent(const std::string& text) {
    return "~" + text + HexByte(Crc8(text)) + "\r";
}

// How a scripted terminal answers; `calls` limits the fault to the first calls.
struct FleetTerminal {
    int number;
    std::string fault; // "", busy, noanswer, password, command, drop, hold
    int calls = 0;     // 0: every call
};

// Terminals +7000<n> behind every port; each open gives a fresh line.
class CFakeFleet {
public:
    explicit CFakeFleet(std::vector<FleetTerminal> terminals) : terminals_(std::move(terminals)) {}

    std::set<std::string> deadPorts;   // cannot be opened
    std::set<std::string> silentPorts; // the modem does not answer

    std::unique_ptr<IByteStream> Open(const std::string& port, CResult& why) {
        if (deadPorts.count(port)) {
            why = CResult::Fail("порт " + port + " не найден");
            return nullptr;
        }
        auto line = std::make_unique<CFakeStream>();
        CFakeStream* raw = line.get();
        if (!silentPorts.count(port)) {
            line->When("AT&F", kOk);
            line->When("at\r", kOk);
        }
        line->When("+++", kOk);
        line->When("ath0", kOk);
        line->OnWrite([this, raw](std::string_view written) {
            if (written.rfind("atd", 0) == 0)
                Dial(*raw, std::string(written.substr(3, written.find('\r') - 3)));
        });
        return line;
    }

private:
    void Dial(CFakeStream& line, const std::string& phone) {
        const FleetTerminal* terminal = nullptr;
        for (const FleetTerminal& t : terminals_)
            if ("+7000" + std::to_string(t.number) == phone)
                terminal = &t;
        std::string fault;
        {
            std::lock_guard lock(mutex_);
            const int call = ++dials_[phone];
            if (terminal && (terminal->calls == 0 || call <= terminal->calls))
                fault = terminal->fault;
        }
        if (!terminal || fault == "noanswer")
            return line.Queue("\r\nNO ANSWER\r\n");
        if (fault == "busy")
            return line.Queue("\r\nBUSY\r\n");
        if (fault == "hold")
            return line.HoldNextIdleRead();
        const int n = terminal->number;
        line.When(Sent(Text(n, 4, "link")),
                  Frame(fault == "password" ? Text(n, 70, "5") : Text(n, 6, "")));
        line.When(Sent(Text(n, 16, "RZD=01;PASS=1;")),
                  fault == "command" ? Frame(Text(n, 70, "6"))
                  : fault == "drop"  ? std::string("\r\nNO CARRIER\r\n")
                                     : Frame(Text(n, 16, "DLYIN=5;")));
        line.Queue("\r\nCONNECT 9600\r\n" + Frame(Text(n, 4, "")));
    }

    std::vector<FleetTerminal> terminals_;
    std::mutex mutex_;
    std::map<std::string, int> dials_;
};

class CFakeClock : public IBatchClock {
public:
    std::int64_t NowMs() override { return now; }
    void Idle(CActivitySignal&, std::uint64_t, int ms) override { now += ms; }
    std::int64_t now = 0;
};

// Records what the queue tells; terminals it knows are those in `known`.
class CRecordingSink : public IBatchSink {
public:
    std::set<int> known;
    std::map<int, BatchCallEnd> ended; // the last end of each terminal
    std::map<int, int> applied;
    std::map<int, std::string> skipped;
    std::vector<std::string> started; // "terminal@port#attempt"
    std::vector<std::string> lostPorts;

    std::optional<ExchangeJob> MakeJob(int terminal, std::string& why) override {
        if (!known.count(terminal)) {
            why = "Нет базового модуля " + std::to_string(terminal);
            return std::nullopt;
        }
        DeviceSnapshot partition;
        partition.terminal = terminal;
        partition.address = 1;
        partition.password = "1";
        partition.params = {{"DLYIN", "0", "0", true, true}};
        CommandSpec status;
        status.code = 16;
        return ExchangeJob{"+7000" + std::to_string(terminal), "link", partition,
                           {{status, "Состояние"}}};
    }
    CResult ApplyReply(int terminal, const PendingReply&, bool&) override {
        ++applied[terminal];
        return CResult::Ok();
    }
    void Started(int terminal, const std::string& port, int attempt) override {
        started.push_back(std::to_string(terminal) + "@" + port + "#" + std::to_string(attempt));
    }
    void Ended(const BatchCallEnd& end) override { ended[end.terminal] = end; }
    void Skipped(int terminal, const std::string& why) override { skipped[terminal] = why; }
    void PortLost(const std::string& port, const std::string& why) override {
        lostPorts.push_back(port + ": " + why);
    }
};

std::vector<BatchPort> Ports(std::initializer_list<const char*> names) {
    std::vector<BatchPort> ports;
    for (const char* name : names) {
        BatchPort port{name, CIniFile()};
        port.modem.SetValue("Modem", "ComPort", name);
        ports.push_back(std::move(port));
    }
    return ports;
}

class BatchQueueTest : public ::testing::Test {
protected:
    bool Run(CFakeFleet& fleet, std::vector<BatchPort> ports, const std::vector<int>& terminals,
             std::function<bool()> stop = {}) {
        CBatchQueue queue(std::move(ports), settings, sink, &clock);
        queue.SetModemLogFolder(dir.Path().string());
        queue.SetStreamFactory([&fleet](const std::string& port, std::uint32_t, CResult& why) {
            return fleet.Open(port, why);
        });
        const bool finished = queue.Run(terminals, stop);
        left = queue.Left();
        portsLeft = queue.PortsLeft();
        return finished;
    }

    test::TempDir dir; // the modems' logs
    BatchSettings settings{3, 60000};
    CFakeClock clock;
    CRecordingSink sink;
    std::vector<int> left;
    std::size_t portsLeft = 0;
};

TEST_F(BatchQueueTest, EachTerminalEndsAsItsCallsDo) {
    const struct {
        const char* name;
        FleetTerminal terminal;
        BatchVerdict verdict;
        int attempts;
        const char* cause;
        int applied;
    } cases[] = {
        {"answers", {1, ""}, BatchVerdict::kDone, 1, "", 1},
        {"busy twice", {2, "busy", 2}, BatchVerdict::kDone, 3, "", 1},
        {"never answers", {3, "noanswer"}, BatchVerdict::kRetry, 3,
         "Невозможно установить соединение: нет ответа (NO ANSWER)", 0},
        {"password refused", {4, "password"}, BatchVerdict::kFailed, 1,
         "Ошибка пароля доступа к терминалу", 0},
        {"command refused", {5, "command"}, BatchVerdict::kFailed, 1,
         "Ошибка пароля доступа к разделу", 0},
        {"call dropped once", {6, "drop", 1}, BatchVerdict::kDone, 2, "", 1},
    };
    std::vector<FleetTerminal> terminals;
    std::vector<int> order;
    for (const auto& c : cases) {
        terminals.push_back(c.terminal);
        order.push_back(c.terminal.number);
        sink.known.insert(c.terminal.number);
    }
    order.push_back(7); // not in the configuration
    CFakeFleet fleet(terminals);

    EXPECT_TRUE(Run(fleet, Ports({"COM1", "COM2"}), order));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BatchCallEnd& end = sink.ended[c.terminal.number];
        EXPECT_EQ(end.verdict, c.verdict);
        EXPECT_TRUE(end.final);
        EXPECT_EQ(end.attempt, c.attempts);
        EXPECT_EQ(end.cause, c.cause);
        EXPECT_EQ(sink.applied[c.terminal.number], c.applied);
    }
    EXPECT_EQ(sink.skipped[7], "Нет базового модуля 7");
    // Terminals are taken in order, the first two at once on the two ports.
    ASSERT_GE(sink.started.size(), 2u);
    EXPECT_EQ(sink.started[0], "1@COM1#1");
    EXPECT_EQ(sink.started[1], "2@COM2#1");
    // Two delays stand before the third call of a busy terminal.
    EXPECT_GE(clock.now, 2 * settings.retryDelayMs);
    EXPECT_TRUE(left.empty());
}

TEST_F(BatchQueueTest, AFailedPortLeavesThePoolAndItsTerminalGoesToAnother) {
    const struct {
        const char* name;
        bool dead; // the port cannot be opened; else its modem is silent
        const char* lost;
    } cases[] = {
        {"port gone", true, "COM1: Невозможно открыть порт модема: порт COM1 не найден"},
        {"modem silent", false, "COM1: Модем не отвечает"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sink = {};
        sink.known = {1, 2, 3};
        CFakeFleet fleet({{1, ""}, {2, ""}, {3, ""}});
        (c.dead ? fleet.deadPorts : fleet.silentPorts).insert("COM1");
        EXPECT_TRUE(Run(fleet, Ports({"COM1", "COM2"}), {1, 2, 3}));
        EXPECT_EQ(sink.lostPorts, std::vector<std::string>{c.lost});
        EXPECT_EQ(portsLeft, 1u);
        for (int terminal : {1, 2, 3}) {
            EXPECT_EQ(sink.ended[terminal].verdict, BatchVerdict::kDone) << terminal;
            EXPECT_EQ(sink.ended[terminal].attempt, 1) << terminal;
        }
    }

    // With no port left, the rest waits for another run.
    sink = {};
    sink.known = {1, 2};
    CFakeFleet fleet({{1, ""}, {2, ""}});
    fleet.deadPorts = {"COM1"};
    EXPECT_FALSE(Run(fleet, Ports({"COM1"}), {1, 2}));
    EXPECT_EQ(left, (std::vector<int>{1, 2}));
    EXPECT_EQ(portsLeft, 0u);
}

TEST_F(BatchQueueTest, AStopCancelsTheRunningCallAndLeavesTheRestToDo) {
    sink.known = {8, 1};
    CFakeFleet fleet({{8, "hold"}, {1, ""}});
    EXPECT_FALSE(Run(fleet, Ports({"COM1"}), {8, 1}, [&] { return !sink.started.empty(); }));
    EXPECT_EQ(sink.started, std::vector<std::string>{"8@COM1#1"});
    EXPECT_EQ(sink.ended[8].verdict, BatchVerdict::kCancelled);
    EXPECT_FALSE(sink.ended[8].final);
    EXPECT_EQ(left, (std::vector<int>{8, 1}));
}

TEST_F(BatchQueueTest, PolledAPauseLetsTheCallFinishAndAStopLeavesTheRest) {
    sink.known = {1, 2, 8, 3};
    CFakeFleet fleet({{1, ""}, {2, ""}, {8, "hold"}, {3, ""}});
    CBatchQueue queue(Ports({"COM1"}), settings, sink, &clock);
    queue.SetModemLogFolder(dir.Path().string());
    queue.SetStreamFactory([&fleet](const std::string& port, std::uint32_t, CResult& why) {
        return fleet.Open(port, why);
    });
    // Each poll returns at once; waiting is the caller's (here Wait).
    const auto pollUntil = [&queue](const std::function<bool()>& done) {
        while (!done()) {
            ASSERT_TRUE(queue.Poll());
            queue.Wait();
        }
    };
    queue.Start({1, 2, 8, 3});
    EXPECT_TRUE(queue.Poll());
    EXPECT_EQ(sink.started, std::vector<std::string>{"1@COM1#1"});

    queue.Pause(true);
    pollUntil([&queue] { return !queue.Running(); });
    EXPECT_EQ(sink.ended[1].verdict, BatchVerdict::kDone);
    // Paused: nothing more starts, and the work is still there.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(queue.Poll());
    EXPECT_EQ(sink.started.size(), 1u);

    queue.Pause(false);
    pollUntil([this] { return sink.started.size() == 3; });
    EXPECT_EQ(sink.ended[2].verdict, BatchVerdict::kDone);
    queue.Stop();
    while (queue.Poll())
        queue.Wait();
    EXPECT_EQ(sink.ended[8].verdict, BatchVerdict::kCancelled);
    EXPECT_EQ(sink.started.back(), "8@COM1#1");
    EXPECT_EQ(queue.Left(), (std::vector<int>{8, 3}));
}

TEST(BatchVerdictTest, TheCauseAndTheCommandsDecide) {
    const CommandOutcome done{kCommandDone, {}};
    const CommandOutcome failed{kCommandFailed, "ОШИБКА: x"};
    const CommandOutcome open{kCommandNotCompleted, {}};
    const struct {
        ExchangeEnd cause;
        std::vector<CommandOutcome> results;
        BatchVerdict verdict;
    } cases[] = {
        {ExchangeEnd::kCompleted, {done, done}, BatchVerdict::kDone},
        {ExchangeEnd::kCompleted, {done, failed}, BatchVerdict::kFailed},
        {ExchangeEnd::kLinkLost, {done, failed, open}, BatchVerdict::kRetry},
        {ExchangeEnd::kStoreFailed, {failed, open}, BatchVerdict::kRetry},
        {ExchangeEnd::kNoCarrier, {open}, BatchVerdict::kRetry},
        {ExchangeEnd::kNoReceipt, {open}, BatchVerdict::kRetry},
        {ExchangeEnd::kBadReceipt, {open}, BatchVerdict::kFailed},
        {ExchangeEnd::kNoPhone, {open}, BatchVerdict::kFailed},
        {ExchangeEnd::kPortFailed, {done, open}, BatchVerdict::kPortFailed},
        {ExchangeEnd::kCancelled, {done, open}, BatchVerdict::kCancelled},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeExchange(c.cause, c.results), c.verdict) << static_cast<int>(c.cause);
}

} // namespace
} // namespace tornu
