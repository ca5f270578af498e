// The document's own exchanges against the simulator, with views that ask
// for their models while the workers run, as the windows do: the records
// stay the document's, so the views stay live and only the terminal an
// exchange holds refuses changes.
#include "E2eFixture.h"

#include <regex>

namespace tornu::test {
namespace {

TEST_F(E2eTest, ViewsStayLiveAndOnlyTheHeldTerminalRefusesEdits) {
    // Views are read between the exchange's steps: the modem's waits get
    // room to spare on a busy machine.
    CScopedTimeScale slower(0.2);
    StartSimulator();
    CTreeNode& partition = Node(kTerminal, 1);
    CTreeNode& other = AddDevice(AddTerminal(20), 1, kPartition8, "Склад");
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("ReadStatus")}, false};
    };
    int polls = 0;
    op.onPoll = [&] {
        if (polls++ > 0)
            return;
        EXPECT_TRUE(doc->Editor().DeviceView(partition));
        EXPECT_TRUE(doc->Editor().ParamGrid(partition));
        EXPECT_EQ(doc->Editor().EditParam(partition, "DLYIN", "5").outcome, EditOutcome::Ignored);
        EXPECT_EQ(op.messages.back(), kTerminalBusyMessage);
        EXPECT_FALSE(doc->Editor().DeleteNode(Node(kTerminal)));
        EXPECT_EQ(doc->Editor().EditParam(other, "DLYIN", "5").outcome, EditOutcome::Stored);
    };
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::Finished);
    StopSimulator();
    EXPECT_GT(polls, 0);
    const DeviceViewModel shown = *doc->Editor().DeviceView(partition);
    EXPECT_EQ(shown.system[0].text, "На охране");
    EXPECT_EQ(shown.lastKey, "2");
    EXPECT_EQ(Param(1, "DLYIN"), "20");
}

// Another program deleted the terminal after the exchange was chosen: its
// first reply cannot be stored, so no further command is sent, the call ends
// with the closing message and the exchange has failed, saying why.
TEST_F(E2eTest, AReplyThatCannotBeStoredEndsTheExchange) {
    StartSimulator();
    CConfigDatabase other(doc->Workspace().Settings(), dir.Path().string());
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        for (const char* table : kTableNames)
            EXPECT_TRUE(other.Execute(std::string("DELETE FROM ") + table + " WHERE " +
                                      (std::string_view(table) == "terminal" ? "id" : "term_id") + "=12"))
                << other.Failure() << other.LastError();
        return CommandChoice{{&Command("ReadStatus"), &Command("ReadKeys")}, false};
    };
    EXPECT_EQ(doc->Exchanges().RunCommands(Node(kTerminal, 1)), ExchangeOutcome::Failed);
    EXPECT_TRUE(Eventually([&] { return SimLogCount("-- call ended") > 0; }, 60000));
    StopSimulator();
    ASSERT_FALSE(op.log.empty());
    EXPECT_EQ(op.log.back(), std::string("ОШИБКА: Невозможно обработать команду: ") +
                                 kTerminalDeletedMessage);
    EXPECT_EQ(Command("ReadStatus").ResultState(), kCommandFailed);
    EXPECT_EQ(Command("ReadKeys").ResultState(), kCommandNotCompleted);
    EXPECT_EQ(SimLogCount("<- [0012] 38"), 0) << "ReadKeys";
    EXPECT_EQ(SimLogCount("<- [0012] 02 "), 1);
    EXPECT_EQ(Count("device", "term_id=12"), 0);
}

// The server stopped while the exchange ran: the first reply cannot be
// stored, the rest are not asked for, and the call ends properly.
TEST_F(E2eTest, ServerStoppedDuringAnExchangeEndsItAtTheFirstReply) {
    if (!CanRestartServer())
        GTEST_SKIP() << "needs the server's control (scripts/pg-test.sh runs it alone)";
    StartSimulator();
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        EXPECT_TRUE(StopServer());
        return CommandChoice{{&Command("ReadStatus"), &Command("ReadKeys")}, false};
    };
    const ExchangeOutcome outcome = doc->Exchanges().RunCommands(Node(kTerminal, 1));
    EXPECT_TRUE(Eventually([&] { return SimLogCount("-- call ended") > 0; }, 60000));
    StopSimulator();
    ASSERT_TRUE(StartServer());
    EXPECT_EQ(outcome, ExchangeOutcome::Failed);
    ASSERT_FALSE(op.log.empty());
    EXPECT_EQ(op.log.back().rfind(std::string("ОШИБКА: Невозможно обработать команду: ошибка "
                                              "записи в базу данных: ") +
                                      kConnectionLostText,
                                  0),
              0u)
        << op.log.back();
    EXPECT_EQ(Command("ReadKeys").ResultState(), kCommandNotCompleted);
    EXPECT_EQ(SimLogCount("<- [0012] 38"), 0) << "ReadKeys";
    EXPECT_EQ(SimLogCount("<- [0012] 02 "), 1);
    EXPECT_EQ(Param(1, "DLYIN"), "30") << "the status was not stored";
}

// Two exchanges on two ports at once, each with its own log, while a view
// reads both nodes' models; a third on a port in use, or with a terminal
// already held, is refused.
TEST_F(E2eTest, TwoExchangesOnTwoPortsAtOnce) {
    // Two simulators and two workers share the machine's cores: the modems'
    // waits get room to spare.
    CScopedTimeScale slower(0.2);
    constexpr int kSecond = 13;
    AddTerminal(kSecond, kBm4, 4);
    doc->Workspace().FindTerminal(kSecond)->FindDevice(0)->SetPassword("0000");
    AddDevice(Node(kSecond), 1, kPartition8, "Цех", 4);
    EXPECT_TRUE(doc->Editor().DistributeLoops(Node(kSecond)));
    CTerminalState secondSim;
    std::string error;
    ASSERT_TRUE(secondSim.Read(std::regex_replace(kSimState, std::regex("Number=12"), "Number=13"),
                               dir.Path().string(), error))
        << error;
    SimOnPty second(secondSim);
    ASSERT_TRUE(second.Start(dir / "ttySIM2", error)) << error;
    StartSimulator();

    op.beside = true;
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("ReadStatus"), &Command("ReadKeys")}, false};
    };
    CTreeNode& first = Node(kTerminal, 1);
    CTreeNode& other = Node(kSecond, 1);
    EXPECT_EQ(doc->Exchanges().RunCommands(first), ExchangeOutcome::Running);
    EXPECT_EQ(doc->Exchanges().RunCommands(Node(kTerminal)), ExchangeOutcome::StartFailed);
    EXPECT_EQ(op.messages.back(), kTerminalInExchangeMessage);
    EXPECT_EQ(doc->Exchanges().RunCommands(other), ExchangeOutcome::StartFailed);
    EXPECT_EQ(op.messages.back(), PortBusyMessage(dir / "ttySIM"));
    doc->Workspace().Settings().SetValue("Modem", "ComPort", dir / "ttySIM2");
    EXPECT_EQ(doc->Exchanges().RunCommands(other), ExchangeOutcome::Running);
    ASSERT_EQ(op.watches.size(), 2u);
    EXPECT_EQ(doc->Exchanges().Runs().size(), 2u);

    std::vector<std::vector<ExchangeLogLine>> logs(2);
    std::vector<bool> ended(2, false);
    ASSERT_TRUE(Eventually(
        [&] {
            for (std::size_t i = 0; i < 2; ++i)
                if (!ended[i] && op.watches[i].monitor->Poll(logs[i])) {
                    ended[i] = true;
                    op.watches[i].ended(ExchangeLogEnd::Closed);
                }
            // A view reading both nodes while the workers run.
            EXPECT_TRUE(doc->Editor().DeviceView(first));
            EXPECT_TRUE(doc->Editor().KeyList(other));
            return ended[0] && ended[1];
        },
        60000));
    EXPECT_FALSE(doc->Exchanges().AnyRunning());
    for (const auto& log : logs) {
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().text, "OK");
    }
    EXPECT_EQ(Command("ReadKeys").ResultState(), kCommandDone);
    EXPECT_EQ(doc->Editor().DeviceView(first)->lastKey, "2");
    EXPECT_EQ(doc->Editor().DeviceView(other)->lastKey, "2");
    EXPECT_EQ(Value("SELECT key_value FROM device_key WHERE term_id=13 AND device_id=1 AND id=1"),
              "4500004433221101");
}

} // namespace
} // namespace tornu::test
