// Two programs on one database, as two operators sharing a server: what one
// writes the other refuses or sees after "Обновить". Runs on SQLite and, with
// TORNU_TEST_CONNECT, on the server; the start-up case needs the server.
#include "DocTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "db/Device.h"
#include "doc/NodeJob.h"
#include "protocol/CommandSet.h"
#include "protocol/TermMessage.h"

#include <regex>

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
    EXPECT_EQ(otherOp.messages, std::vector<std::string>{kAddTerminalFailedMessage});
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
