// A fleet job over two simulated modems, each with the whole fleet behind it:
// both ports carry calls at once, a busy terminal gets through on its second
// call, a refused password fails its terminal and the job goes on, and one
// call carries the terminal's command and its partition's.
#include "batch/BatchRun.h"
#include "batch/ModemPool.h"
#include "comms/TimeScale.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/DocTestFixture.h"
#include "sim/SimFleet.h"
#include "tools/SimTestUtil.h"

#include <mutex>
#include <thread>

namespace tornu::test {
namespace {

constexpr const char* kFleet = "+7000031 31 link\n+7000032 32 link busy*1\n"
                               "+7000033 33 link password\n+7000034 34 link\n"
                               "+7000035 35 link\n+7000036 36 link\n";

class BatchE2eTest : public DocTest {
protected:
    BatchE2eTest() {
        Start();
        CIniFile& settings = doc->Workspace().Settings();
        settings.SetValue("Modem", "ComPort", dir / "ttyA");
        settings.SetValue("Modem2", "ComPort", dir / "ttyB");
        for (int id = 31; id <= 36; ++id) {
            EXPECT_TRUE(doc->Editor().NewTerminal({.number = std::to_string(id),
                                                   .hostType = kBm4,
                                                   .loopCount = 0,
                                                   .phone = "+70000" + std::to_string(id),
                                                   .password = "link"}));
            EXPECT_TRUE(doc->Workspace().FindTerminal(id)->FindDevice(0)->SetPassword("0000"));
        }
        std::string error;
        EXPECT_TRUE(base_.Read("[Modem]\nDialDelay=200\nReceiptDelay=100\n"
                               "[Device 0]\nPassword=0000\nLoop.1=3,0\n",
                               ".", error))
            << error;
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(fleets_[i].Read(kFleet, base_, error)) << error;
            sims_[i] = std::make_unique<SimOnPty>(fleets_[i]);
            EXPECT_TRUE(sims_[i]->Start(dir / (i ? "ttyB" : "ttyA"), error)) << error;
        }
    }

    CScopedTimeScale fast_{0.05};
    CTerminalState base_;
    CSimFleet fleets_[2];
    std::unique_ptr<SimOnPty> sims_[2];
};

TEST_F(BatchE2eTest, TwoModemsCarryTheFleet) {
    CBatchStore store(doc->Workspace().Database());
    ASSERT_TRUE(store.Open());
    BatchJob job{0, "Район 4", "test", "", "SetClock,ReadStatus", "ATTEMPTS=2;DELAY=0;"};
    ASSERT_TRUE(store.CreateJob(job, {31, 32, 33, 34, 35, 36}));

    CBatchRun run(doc->Workspace(), store, job);
    std::vector<std::string> progress;
    run.OnProgress([&](const std::string& line) { progress.push_back(line); });
    ASSERT_TRUE(run.Run(ModemPool(doc->Workspace().Settings())));

    const std::vector<BatchTerminal> rows = store.Terminals(job.id);
    ASSERT_EQ(rows.size(), 6u);
    for (const BatchTerminal& row : rows) {
        SCOPED_TRACE(row.terminal);
        EXPECT_EQ(row.state, row.terminal == 33 ? kBatchFailed : kBatchDone) << row.cause;
        EXPECT_EQ(row.attempts, row.terminal == 32 ? 2 : 1);
        if (row.terminal == 33) {
            EXPECT_EQ(row.cause, "Ошибка пароля доступа к терминалу");
            continue;
        }
        EXPECT_EQ(row.results, std::to_string(row.terminal) + "\tSetClock\t1\t\n" +
                                   std::to_string(row.terminal) + "/0\tReadStatus\t1\t\n");
        EXPECT_NE(row.log.find("OK"), std::string::npos);
    }
    // Both ports took calls.
    const auto onPort = [&](const char* port) {
        return std::count_if(progress.begin(), progress.end(), [&](const std::string& line) {
            return line.find(dir / port) != std::string::npos;
        });
    };
    EXPECT_GT(onPort("ttyA"), 0);
    EXPECT_GT(onPort("ttyB"), 0);
}

// Two programs, each with its own modem, run one job at once (on the server
// as on the file): each terminal is run by one of them only.
TEST_F(BatchE2eTest, TwoProgramsRunningOneJobRunEachTerminalOnce) {
    CBatchStore store(doc->Workspace().Database());
    ASSERT_TRUE(store.Open());
    BatchJob job{0, "Район 5", "test", "", "SetClock", "ATTEMPTS=2;DELAY=0;"};
    ASSERT_TRUE(store.CreateJob(job, {31, 32, 34, 35, 36}));

    ScriptedOperator otherOp;
    CTornuCfgDoc other(otherOp, dir.Path());
    ASSERT_TRUE(other.OnNewDocument());
    CBatchStore otherStore(other.Workspace().Database());
    std::vector<BatchPort> pool = ModemPool(doc->Workspace().Settings());
    ASSERT_EQ(pool.size(), 2u);
    std::vector<std::string> otherProgress;
    std::thread second([&] {
        CBatchRun run(other.Workspace(), otherStore, job);
        run.OnProgress([&](const std::string& line) { otherProgress.push_back(line); });
        EXPECT_TRUE(run.Run({pool[1]}));
    });
    CBatchRun run(doc->Workspace(), store, job);
    std::vector<std::string> progress;
    run.OnProgress([&](const std::string& line) { progress.push_back(line); });
    EXPECT_TRUE(run.Run({pool[0]}));
    second.join();

    const auto starts = [](const std::vector<std::string>& lines, int terminal) {
        const std::string name = "[00" + std::to_string(terminal) + "] ";
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(name, 0) == 0 && line.find(BatchStateCaption(kBatchRunning)) !=
                                                   std::string::npos;
        });
    };
    for (const BatchTerminal& row : store.Terminals(job.id)) {
        SCOPED_TRACE(row.terminal);
        EXPECT_EQ(row.state, kBatchDone) << row.cause;
        // Busy 32 is called twice, by whichever program took it.
        EXPECT_EQ(row.attempts, row.terminal == 32 ? 2 : 1);
        EXPECT_EQ(starts(progress, row.terminal) + starts(otherProgress, row.terminal),
                  row.attempts);
    }
}

} // namespace
} // namespace tornu::test
