// The pending marks on the document's side: what the tree is told when an
// item's first mark comes, a mark of a rolled-back edit gone with it, a file
// load marking what it changed, and a new password's mark kept in memory.
#include "DocTestFixture.h"

#include "db/DbTransaction.h"
#include "db/Device.h"
#include "db/DeviceParam.h"
#include "doc/PendingNodes.h"

namespace tornu::test {
namespace {

TEST_F(DocTest, PendingMarksReachTheTreeAndGoWithARolledBackEdit) {
    Start();
    CTreeNode& partition = AddDevice(AddTerminal(7), 1, kPartition8, "Склад");
    CPendingChanges& pending = doc->Workspace().Database().Pending();
    // The terminal's loop configuration written: nothing pending.
    ASSERT_TRUE(pending.Clear(7, kTerminalItself, PendingKind::Loops));
    EXPECT_FALSE(HasPendingChanges(Node(7)));

    view.told.clear();
    ASSERT_EQ(doc->Editor().EditParam(partition, "DLYIN", "35").outcome, EditOutcome::Stored);
    // The edited item, then the terminal's, whose overlay came with it.
    EXPECT_EQ(view.told, (std::vector<std::pair<Told, CTreeNode*>>{{Told::Changed, &partition},
                                                                   {Told::Changed, &Node(7)}}));
    EXPECT_TRUE(HasPendingChanges(Node(7)));
    view.told.clear();
    ASSERT_EQ(doc->Editor().EditParam(partition, "DLYOUT", "50").outcome, EditOutcome::Stored);
    EXPECT_EQ(view.told.size(), 1u) << "no overlay changed";

    CDevice& device = *partition.Device();
    CDeviceParam* chime = nullptr;
    for (const auto& param : device.Params())
        if (param->Name() == "CHIME")
            chime = param;
    ASSERT_NE(chime, nullptr);
    {
        CDbTransaction transaction(&doc->Workspace().Database());
        ASSERT_TRUE(chime->SetValue(chime->Value() == "1" ? "0" : "1"));
        EXPECT_TRUE(pending.IsPending(7, {1, PendingKind::Param, "CHIME"}));
        transaction.End(false);
    }
    EXPECT_FALSE(pending.IsPending(7, {1, PendingKind::Param, "CHIME"}));
    EXPECT_EQ(Count("pending_change", "item='CHIME'"), 0);
    EXPECT_TRUE(pending.IsPending(7, {1, PendingKind::Param, "DLYIN"}));

    // A key list from a file: the codes it changed, not the owners.
    const std::string keys = dir / "keys.txt";
    WriteBytes(keys, "4500004433221101,Иванов\r\n");
    ASSERT_TRUE(doc->Editor().LoadKeyList(partition, keys));
    EXPECT_EQ(Count("pending_change", "kind='key'"), 1);
    EXPECT_TRUE(pending.IsPending(7, {1, PendingKind::Key, "0"}));
}

// A new password lives in this program only, and so does its mark: another
// program, or this one started again, has nothing to write.
TEST_F(DocTest, ANewPasswordsMarkLivesAsLongAsThePassword) {
    Start();
    AddTerminal(7);
    CPendingChanges& pending = doc->Workspace().Database().Pending();
    ASSERT_TRUE(doc->Workspace().FindTerminal(7)->SetNewPassword("link2"));
    const PendingItem password{kTerminalItself, PendingKind::Password, {}};
    EXPECT_TRUE(pending.IsPending(7, password));
    EXPECT_EQ(Count("pending_change", "kind='password'"), 0);
    pending.Forget(); // as after "Обновить"
    EXPECT_TRUE(pending.IsPending(7, password));

    ScriptedOperator otherOp;
    CTornuCfgDoc other(otherOp, dir.Path());
    ASSERT_TRUE(other.OnNewDocument());
    EXPECT_FALSE(other.Workspace().Database().Pending().IsPending(7, password));

    ASSERT_TRUE(pending.Clear(7, kTerminalItself, PendingKind::Password));
    EXPECT_FALSE(pending.IsPending(7, password));
}

} // namespace
} // namespace tornu::test
