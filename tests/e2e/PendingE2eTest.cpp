// Changes made in the program and not yet written to the terminal: marked by
// the edits, cleared by the exchanges that carry them to the simulated
// terminal, and guarded against a read that would replace them.
#include "E2eFixture.h"

#include "doc/PendingNodes.h"

namespace tornu::test {
namespace {

class PendingE2eTest : public E2eTest {
protected:
    // "kind:device:item" of every mark, in order.
    // The terminal's marks, stored ones and this program's new passwords.
    Lines Marks() {
        Lines marks;
        for (const PendingItem& item : doc->Workspace().Database().Pending().Items(kTerminal))
            marks.push_back(std::string(PendingKindName(item.kind)) + ":" +
                            std::to_string(item.device) + ":" + item.item);
        std::sort(marks.begin(), marks.end());
        return marks;
    }
    std::vector<std::string> Names(const std::vector<CCommandDesc*>& commands) {
        std::vector<std::string> names;
        for (const CCommandDesc* command : commands)
            names.push_back(command->Name());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(PendingE2eTest, EditsMarkWhatTheWritesThatCarryItClear) {
    CTreeNode& partition = Node(kTerminal, 1);
    // Adding the devices changed the loop configuration.
    EXPECT_EQ(Marks(), Lines{"loops:-1:"});
    ASSERT_EQ(doc->Editor().EditParam(partition, "DLYIN", "35").outcome, EditOutcome::Stored);
    ASSERT_EQ(doc->Editor().EditParam(partition, "OBJNAME", "Склад").outcome, EditOutcome::Stored);
    ASSERT_TRUE(doc->Editor().SetPhoneNumber(partition, 1, "+79005550000"));
    ASSERT_TRUE(doc->Editor().SetKey(partition, 1, "4500004433221101", std::string("Иванов")));
    ASSERT_TRUE(Device(1).SetNewPassword("part2"));
    EXPECT_EQ(Marks(), (Lines{"key:1:1", "loops:-1:", "param:1:DLYIN", "param:1:OBJNAME",
                              "password:1:", "phone:1:1"}));
    EXPECT_TRUE(HasPendingChanges(Node(kTerminal)));
    EXPECT_TRUE(HasPendingChanges(partition));
    EXPECT_FALSE(HasPendingChanges(Node(kTerminal, 0)));
    EXPECT_FALSE(HasPendingChanges(Node(kTerminal, 5)));
    // The option views mark them.
    const ParamGridModel grid = *doc->Editor().ParamGrid(partition);
    for (const ParamGridRow& row : grid.rows)
        EXPECT_EQ(row.pending, row.name == "DLYIN" || row.name == "OBJNAME") << row.name;
    const PhoneBookModel book = *doc->Editor().PhoneBook(partition);
    EXPECT_TRUE(book.rows[1].pending);
    EXPECT_FALSE(book.rows[0].pending);
    const std::vector<KeyRow> keys = *doc->Editor().KeyList(partition);
    EXPECT_FALSE(keys[0].pending);
    EXPECT_TRUE(keys[1].pending);

    // A write restricted to its list clears only what it carried.
    StartSimulator();
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("WriteDelays")}, false};
    };
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::Finished);
    EXPECT_EQ(Marks(), (Lines{"key:1:1", "loops:-1:", "param:1:OBJNAME", "password:1:",
                              "phone:1:1"}));

    // "Записать изменения": exactly the writes that carry the rest.
    EXPECT_EQ(doc->Exchanges().WritePendingChanges(partition), ExchangeOutcome::Finished);
    EXPECT_EQ(Names(op.results), (std::vector<std::string>{"ChangePartitionPassword", "WriteKeys",
                                                           "WriteParams", "WritePhoneBook"}));
    for (const CCommandDesc* command : op.results)
        EXPECT_EQ(command->ResultState(), kCommandDone) << command->Name();
    EXPECT_EQ(Marks(), Lines{"loops:-1:"});
    EXPECT_FALSE(HasPendingChanges(partition));

    ASSERT_TRUE(Terminal().SetNewPassword("link2"));
    EXPECT_EQ(doc->Exchanges().WritePendingChanges(Node(kTerminal)), ExchangeOutcome::Finished);
    EXPECT_EQ(Names(op.results),
              (std::vector<std::string>{"ChangeLinkPassword", "WriteLoopConfig"}));
    StopSimulator();
    EXPECT_EQ(Marks(), Lines{});
    EXPECT_FALSE(HasPendingChanges(Node(kTerminal)));
    EXPECT_EQ(sim.FindDevice(1)->password, "part2");
    EXPECT_EQ(sim.linkPassword, "link2");
}

// The marks are shared: a second program on the same database sees them,
// and its write clears them for both.
TEST_F(PendingE2eTest, MarksOutliveTheProgramThatMadeThem) {
    ASSERT_EQ(doc->Editor().EditParam(Node(kTerminal, 1), "DLYIN", "35").outcome,
              EditOutcome::Stored);
    CConfigDatabase other(doc->Workspace().Settings(), dir.Path().string());
    EXPECT_TRUE(other.Pending().IsPending(kTerminal, {1, PendingKind::Param, "DLYIN"}));
    // Marked again by the other: still one mark.
    EXPECT_TRUE(other.Pending().Mark(kTerminal, {1, PendingKind::Param, "DLYIN"}));
    EXPECT_TRUE(other.Pending().Mark(kTerminal, {kTerminalItself, PendingKind::Loops, {}}));
    EXPECT_EQ(Count("pending_change"), 2);
    EXPECT_TRUE(other.Pending().DeviceHasAny(kTerminal, 1));
    EXPECT_FALSE(other.Pending().DeviceHasAny(kTerminal, 5));
    EXPECT_TRUE(other.Pending().Clear(kTerminal, 1, PendingKind::Param));
    EXPECT_TRUE(HasPendingChanges(Node(kTerminal, 1))) << "read once, until the next reload";
    doc->Reload();
    EXPECT_FALSE(HasPendingChanges(Node(kTerminal, 1)));
}

struct ReplaceCase {
    const char* name;
    std::deque<ReplaceAnswer> answers;
    std::size_t questions;
    const char* dlyin;  // stored after the read; the simulator has 20
    const char* dlyout; // the simulator has 45
    Lines marks;        // of the parameters
};

class PendingReplaceTest : public PendingE2eTest,
                           public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(PendingReplaceTest, AReadAsksBeforeReplacingAPendingValue) {
    const ReplaceCase& test = GetParam();
    CTreeNode& partition = Node(kTerminal, 1);
    ASSERT_EQ(doc->Editor().EditParam(partition, "DLYIN", "35").outcome, EditOutcome::Stored);
    ASSERT_EQ(doc->Editor().EditParam(partition, "DLYOUT", "50").outcome, EditOutcome::Stored);
    op.replaceAnswers = test.answers;
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("ReadStatus")}, false};
    };
    StartSimulator();
    EXPECT_EQ(doc->Exchanges().RunCommands(partition), ExchangeOutcome::Finished);
    StopSimulator();
    ASSERT_EQ(op.questions.size(), test.questions);
    EXPECT_NE(op.questions[0].find("Параметр DLYIN: в программе 35, прочитано 20\r\n"),
              std::string::npos)
        << op.questions[0];
    EXPECT_TRUE(op.questions[0].ends_with(kReplacePendingQuestion));
    EXPECT_EQ(Param(1, "DLYIN"), test.dlyin);
    EXPECT_EQ(Param(1, "DLYOUT"), test.dlyout);
    EXPECT_EQ(Column("SELECT item FROM pending_change WHERE kind='param' ORDER BY item"),
              test.marks);
    // A replaced value stays in the history, in the reply's row.
    const std::string replaced =
        Value("SELECT old_value || '>' || new_value FROM change_history "
              "WHERE what='Параметр DLYIN' AND source='ответ прибора'");
    EXPECT_EQ(replaced, std::string(test.dlyin) == "20" ? "35>20" : "<none>");
}

// The loop configuration is one mark: each differing loop is asked about,
// and taking one loop from the terminal keeps the mark for the others.
TEST_F(PendingE2eTest, EveryPendingLoopIsAskedAboutAndTheMarkStays) {
    // Loops 1, 3, 4, 6, 7 and 10 of the simulator differ from the stored ones.
    op.replaceAnswers = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::No,
                         ReplaceAnswer::No,  ReplaceAnswer::No, ReplaceAnswer::No};
    op.choose = [&](const std::vector<CCommandDesc*>&) {
        return CommandChoice{{&Command("ReadLoopConfig")}, false};
    };
    StartSimulator();
    EXPECT_EQ(doc->Exchanges().RunCommands(Node(kTerminal)), ExchangeOutcome::Finished);
    StopSimulator();
    EXPECT_EQ(op.questions.size(), 6u);
    EXPECT_EQ(Column("SELECT type FROM sensor WHERE term_id=" + std::to_string(kTerminal) +
                     " AND id IN (1, 3) ORDER BY id"),
              (Lines{"1", "0"}));
    EXPECT_EQ(Marks(), Lines{"loops:-1:"});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PendingReplaceTest,
    ::testing::Values(
        ReplaceCase{"Yes", {ReplaceAnswer::Yes, ReplaceAnswer::Yes}, 2, "20", "45", {}},
        ReplaceCase{"No", {ReplaceAnswer::No, ReplaceAnswer::No}, 2, "35", "50",
                    {"DLYIN", "DLYOUT"}},
        ReplaceCase{"NoThenYes", {ReplaceAnswer::No, ReplaceAnswer::Yes}, 2, "35", "45",
                    {"DLYIN"}},
        ReplaceCase{"YesForAll", {ReplaceAnswer::YesToAll}, 1, "20", "45", {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tornu::test
