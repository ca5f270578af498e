// Two programs on one database, as two operators sharing a server: what one
// writes the other refuses or sees after "Обновить". Runs on SQLite and, with
// TORNU_TEST_CONNECT, on the server; the start-up case needs the server.
#include "DocTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "db/Device.h"
#include "doc/NodeJob.h"
#include "protocol/CommandSet.h"
#include "protocol/TermMessage.h"

#include <functional>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

using namespace tornu;
using namespace tornu::test;

namespace {

class TwoOperatorsTest : public DocTest {
protected:
    TwoOperatorsTest() {
        Start();
        other = std::make_unique<CTornuCfgDoc>(otherOp, dir.Path());
        other->Tree().AddObserver(otherView);
        EXPECT_TRUE(other->OnNewDocument());
    }

    ScriptedOperator otherOp;
    RecordingView otherView;
    std::unique_ptr<CTornuCfgDoc> other;
};

TEST_F(TwoOperatorsTest, NumberTheOtherHasJustUsedIsRefusedWithNothingWritten) {
    AddTerminal(7, kBm4, 4);
    const std::string before = DumpTables(doc->Workspace().Database());
    EXPECT_FALSE(other->Editor().NewTerminal(
        {.number = "7", .hostType = kBm16, .phone = "+7911", .password = "other"}));
    // With the database's own words about the taken number.
    ASSERT_EQ(otherOp.messages.size(), 1u);
    EXPECT_EQ(otherOp.messages[0].rfind(std::string(kAddTerminalFailedMessage) + "\r\n", 0), 0u)
        << otherOp.messages[0];
    EXPECT_TRUE(other->Workspace().Terminals().empty());
    EXPECT_TRUE(other->Tree().Model().Empty());
    EXPECT_EQ(DumpTables(doc->Workspace().Database()), before);
}

TEST_F(TwoOperatorsTest, ReloadShowsTheOthersChangesAndKeepsTheSelection) {
    AddTerminal(7);
    AddDevice(Node(7), 1, kPartition8, "Офис");
    AddTerminal(8);
    other->Reload();
    other->Tree().Select(other->FindNode(7, 1));
    ASSERT_TRUE(other->Tree().Selected());

    ASSERT_TRUE(doc->Workspace().FindTerminal(7)->FindDevice(1)->SetName("Склад"));
    ASSERT_TRUE(doc->Editor().DeleteNode(Node(8)));
    AddTerminal(9);
    CTreeNode* again = other->Reload();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Device()->Name(), "Склад");
    EXPECT_EQ(otherView.shown, again);
    EXPECT_EQ(other->Workspace().FindTerminal(8), nullptr);
    EXPECT_NE(other->Workspace().FindTerminal(9), nullptr);

    // The selected node's record is gone: nothing is selected.
    ASSERT_TRUE(doc->Editor().DeleteNode(Node(7)));
    EXPECT_EQ(other->Reload(), nullptr);
    EXPECT_EQ(otherView.shown, nullptr);
    EXPECT_TRUE(otherOp.messages.empty());
}

// The other program loaded terminal 40 before this one deleted it: whatever
// it then writes under the terminal is refused with the reason, nothing is
// written, and its tree lets the terminal go. The number made again later
// starts clean.
TEST_F(TwoOperatorsTest, WriteUnderATerminalTheOtherDeletedIsRefusedAndLeavesNoRows) {
    const struct {
        const char* name;
        const char* message;
        std::function<bool(CTornuCfgDoc&)> write;
    } cases[] = {
        {"new device", kAddDeviceFailedMessage,
         [](CTornuCfgDoc& d) {
             return d.Editor().NewDevice(*d.FindNode(40),
                                         {.address = 2, .busType = kPartition8, .loopCount = 2});
         }},
        {"new subordinate device", kAddDeviceFailedMessage,
         [](CTornuCfgDoc& d) {
             return d.Editor().NewDevice(*d.FindNode(40, 1), {.address = 5, .busType = kExpander});
         }},
        {"loop distribution", kDistributeLoopsFailedMessage,
         [](CTornuCfgDoc& d) { return d.Editor().DistributeLoops(*d.FindNode(40)); }},
        {"edit", kEditDeviceFailedMessage,
         [](CTornuCfgDoc& d) {
             return d.Editor().EditDevice(*d.FindNode(40, 1),
                                          {.address = 1, .busType = 0, .name = "Новое"});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AddDevice(AddTerminal(40), 1, kPartition8, "Офис", 4);
        other->Reload();
        ASSERT_TRUE(other->FindNode(40, 1));
        ASSERT_TRUE(doc->Editor().DeleteNode(Node(40)));
        otherOp.messages.clear();

        EXPECT_FALSE(c.write(*other));
        EXPECT_EQ(otherOp.messages, std::vector<std::string>{std::string(c.message) + "\r\n" +
                                                             kTerminalDeletedMessage});
        EXPECT_EQ(other->Workspace().FindTerminal(40), nullptr);
        EXPECT_EQ(other->FindNode(40), nullptr);
        for (const char* table : kTableNames)
            EXPECT_EQ(Count(table, std::string(table) == std::string("terminal") ? "id=40"
                                                                                  : "term_id=40"),
                      0)
                << table;
    }
}

// A row the other program holds in an open transaction: each operation
// waits once, fails whole and says why; a terminal whose rows could not be
// deleted stays.
TEST_F(TwoOperatorsTest, OperationOnARowTheOtherHoldsFailsOnceAndSaysWhy) {
    AddDevice(AddTerminal(12), 1, kPartition8, "Офис", 2);
    const std::string before = DumpTables(doc->Workspace().Database());
    const struct {
        const char* name;
        const char* message;
        std::function<bool()> operation;
    } cases[] = {
        {"edit", kEditTerminalFailedMessage,
         [&] {
             return doc->Editor().EditTerminal(
                 Node(12), {.number = "12", .hostType = 0, .phone = "+7111", .password = "new"});
         }},
        {"delete", kDeleteTerminalFailedMessage,
         [&] { return doc->Editor().DeleteNode(Node(12)); }},
    };
    CConfigDatabase& held = other->Workspace().Database();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(held.BeginTransaction());
        ASSERT_TRUE(held.Execute("UPDATE terminal SET phone='held' WHERE id=12"));
        op.messages.clear();
        EXPECT_FALSE(c.operation());
        EXPECT_TRUE(held.EndTransaction(false));
        ASSERT_EQ(op.messages.size(), 1u);
        const std::string& said = op.messages[0];
        EXPECT_EQ(said.rfind(std::string(c.message) + "\r\nошибка записи в базу данных: ", 0), 0u)
            << said;
        EXPECT_NE(said.find(OnServer() ? "lock timeout" : "locked"), std::string::npos) << said;
        EXPECT_EQ(DumpTables(doc->Workspace().Database()), before);
        EXPECT_NE(doc->FindNode(12, 1), nullptr);
        EXPECT_EQ(doc->Workspace().FindTerminal(12)->Phone(), "+7900") << "read back";
    }
}

// The unique indexes of the six tables, as the database lists them.
int IndexCount(CConfigDatabase& db) {
    std::vector<int> counts;
    EXPECT_TRUE(db.QueryInts(
        OnServer() ? "SELECT COUNT(*) FROM pg_indexes WHERE schemaname=current_schema() AND "
                     "indexname LIKE '%_index'"
                   : "SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name LIKE '%_index'",
        counts))
        << db.LastError();
    return counts.empty() ? -1 : counts[0];
}

// Two programs starting at the same moment on an empty database: one makes
// each table, the other finds it; both start, and the tables have their
// indexes. A few rounds, as the two meet at a different step each time.
TEST(TwoProgramsStarting, BothEndWithTheTablesAndTheirIndexes) {
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        TempDir dir;
        const CIniFile settings = FreshTestDatabaseSettings();
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        pid_t programs[2];
        for (pid_t& program : programs) {
            program = fork();
            ASSERT_GE(program, 0);
            if (program == 0) {
                char byte = 0;
                close(go[1]);
                const bool started = read(go[0], &byte, 1) == 1 &&
                                     CConfigDatabase(settings, dir.Path().string()).IsAvailable();
                _exit(started ? 0 : 1);
            }
        }
        close(go[0]);
        ASSERT_EQ(write(go[1], "gg", 2), 2);
        close(go[1]);
        for (pid_t program : programs) {
            int status = -1;
            ASSERT_EQ(waitpid(program, &status, 0), program);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        CConfigDatabase db(settings, dir.Path().string());
        ASSERT_TRUE(db.IsAvailable()) << db.Failure();
        EXPECT_EQ(IndexCount(db), 6);
    }
}

// The server restarted under a running program: the next operation
// reconnects once, says so and goes on. One whose connection drops in its
// middle fails whole and says so, and the one after it reconnects.
TEST_F(DocTest, ServerRestartMidSessionReconnectsOnceAndNothingIsHalfWritten) {
    if (!CanRestartServer())
        GTEST_SKIP() << "needs the server's control (scripts/pg-test.sh runs it alone)";
    Start();
    AddTerminal(7);
    ASSERT_TRUE(StopServer());
    ASSERT_TRUE(StartServer());
    op.messages.clear();
    EXPECT_TRUE(doc->Editor().EditTerminal(
        Node(7), {.number = "7", .hostType = 0, .phone = "+7222", .password = "link"}));
    EXPECT_EQ(op.messages, std::vector<std::string>{kReconnectedMessage});
    EXPECT_EQ(Rows("SELECT phone FROM terminal WHERE id=7"),
              (std::vector<std::vector<std::string>>{{"+7222"}}));

    bool dropped = false;
    doc->Workspace().Database().Connection().SetTrace([&](const std::string& statement) {
        if (dropped || statement.rfind("INSERT INTO device", 0) != 0)
            return;
        dropped = true;
        EXPECT_TRUE(StopServer());
        EXPECT_TRUE(StartServer());
    });
    const DeviceInput office{.address = 1, .busType = kPartition8, .loopCount = 2, .name = "Офис"};
    op.messages.clear();
    EXPECT_FALSE(doc->Editor().NewDevice(Node(7), office));
    ASSERT_TRUE(dropped);
    ASSERT_EQ(op.messages.size(), 1u);
    EXPECT_EQ(op.messages[0].rfind(std::string(kAddDeviceFailedMessage) +
                                       "\r\nошибка записи в базу данных: " + kConnectionLostText,
                                   0),
              0u)
        << op.messages[0];
    op.messages.clear();
    EXPECT_TRUE(doc->Editor().NewDevice(Node(7), office));
    EXPECT_EQ(op.messages, std::vector<std::string>{kReconnectedMessage});
    EXPECT_EQ(Count("device_key", "term_id=7 AND device_id=1"), 15);
}

// The server's connection string with one key's value replaced.
std::string WithKey(const std::string& connect, const std::string& key, const std::string& value) {
    return std::regex_replace(connect, std::regex("(^|;)" + key + "=[^;]*", std::regex::icase),
                              "$1" + key + "=" + value);
}

TEST_F(DocTest, ServerThatCannotBeReachedOrRefusesTheLoginIsSaidOnce) {
    if (!OnServer())
        GTEST_SKIP() << "needs the server (scripts/pg-test.sh)";
    const std::string server = TestServer();
    std::smatch match;
    ASSERT_TRUE(std::regex_search(server, match, std::regex("PWD=([^;]+)")));
    const std::string password = match[1];
    const struct {
        const char* name;
        std::string connect;
        const char* driverText;
    } cases[] = {
        {"server stopped", WithKey(server, "Port", "1"), "onnection refused"},
        {"login refused", WithKey(server, "PWD", "wrong-secret"), "password authentication"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIniFile settings;
        EXPECT_TRUE(settings.Load(dir / kSettingsFileName));
        settings.SetValue(CConfigDatabase::kSection, "Connect", c.connect);
        ASSERT_TRUE(settings.Save());
        op.messages.clear();
        Start();
        ASSERT_EQ(op.messages.size(), 1u);
        const std::string said = op.messages[0];
        EXPECT_EQ(said.rfind("Невозможно подключиться к базе данных (", 0), 0u) << said;
        EXPECT_NE(said.find(c.driverText), std::string::npos) << said;
        EXPECT_NE(said.find("PWD=***"), std::string::npos) << said;
        EXPECT_EQ(said.find("wrong-secret"), std::string::npos) << said;
        EXPECT_EQ(said.find(password), std::string::npos) << said;
        EXPECT_TRUE(doc->Tree().Model().Empty());
        // Later actions say the same, not that the number is taken.
        EXPECT_FALSE(doc->Editor().NewTerminal({.number = "13", .hostType = 0}));
        EXPECT_EQ(op.messages.back(), said);
        doc.reset();
    }
}

// A row another program holds in an open transaction: the reply waits a
// bounded time and fails with the driver's or the server's text.
TEST_F(TwoOperatorsTest, RowHeldByTheOtherFailsTheReplyAfterABoundedWait) {
    AddTerminal(12);
    ASSERT_TRUE(other->Workspace().Database().BeginTransaction());
    ASSERT_TRUE(other->Workspace().Database().Execute("UPDATE terminal SET phone='held' WHERE id=12"));
    CCommandDesc command;
    ASSERT_TRUE(command.Read("Cmd", "DESC=Команда;TYPE=T;NUM=39"));
    const std::optional<ReplyValue> reply =
        ReadTerminalReply(command.Spec(), CTermMessage(12, 39, "CFG=M0=1(8,),;"));
    ASSERT_TRUE(reply);
    const CResult applied = ApplyNodeReply(*doc->Workspace().FindTerminal(12), nullptr, *reply);
    EXPECT_FALSE(applied);
    const std::string& failure = applied.Error();
    EXPECT_EQ(failure.rfind("ошибка записи в базу данных: ", 0), 0u) << failure;
    EXPECT_NE(failure.find(OnServer() ? "lock timeout" : "locked"), std::string::npos) << failure;
    EXPECT_TRUE(other->Workspace().Database().EndTransaction(false));
}

} // namespace
