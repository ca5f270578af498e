// The loop configuration text built from the records and applied back to the
// loop types.
#include "RecordTestFixture.h"

#include "db/LoopConfiguration.h"

namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

class LoopConfigurationTest : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        terminal = NewTerminal(1, test::kHostWithModule, 0);
        CDevice* partition = terminal->CreateDevice(1, BusType(test::kPartitionType));
        partition->SetLoopCount(2);
        partition->CreateSlave(5, BusType(test::kExpanderType))->SetLoopCount(1);
        partition->CreateSlave(7, BusType(test::kRelayType))->SetLoopCount(1);
        terminal->CreateDevice(2, BusType(test::kPartitionType))->SetLoopCount(1);
        ASSERT_TRUE(terminal->DistributeLoops());
        terminal->FindLoop(1)->SetType(1);
        terminal->FindLoop(3)->SetType(16);
    }

    std::vector<int> Types(int address) {
        std::vector<int> types;
        for (const CSensor* loop : terminal->FindDevice(address)->Loops())
            types.push_back(loop->Type());
        return types;
    }

    std::unique_ptr<CTerminal> terminal;
};

TEST_F(LoopConfigurationTest, BuildsOneEntryPerDeviceSlavesAfterTheirMaster) {
    std::string text;
    ASSERT_TRUE(terminal->BuildLoopConfiguration(text));
    EXPECT_EQ(text, "M0=0(),M1=2(1,0,),S5=1(16,),RK7=1(0,),M2=1(0,),");
    std::string entry;
    ASSERT_TRUE(terminal->FindDevice(5)->BuildLoopEntry(entry));
    EXPECT_EQ(entry, "S5=1(16,)");
}

TEST_F(LoopConfigurationTest, TerminalWithoutDevicesHasAnEmptyText) {
    auto bare = NewTerminal(2, test::kHostWithoutModule);
    std::string text = "x";
    ASSERT_TRUE(bare->BuildLoopConfiguration(text));
    EXPECT_EQ(text, "");
}

TEST_F(LoopConfigurationTest, TextBuiltReadBackAndAppliedSetsTheTypes) {
    std::string text;
    terminal->BuildLoopConfiguration(text);
    // The terminal echoes it with other types; the relay's two-letter code
    // must read back.
    std::string echoed = "M0=0(),M1=2(5,6,),S5=1(9,),RK7=1(4,),M2=1(3,),";
    ASSERT_TRUE(terminal->SetLoopConfiguration(echoed));
    EXPECT_EQ(Types(1), (std::vector<int>{5, 6}));
    EXPECT_EQ(Types(5), (std::vector<int>{9}));
    EXPECT_EQ(Types(7), (std::vector<int>{4}));
    EXPECT_EQ(Types(2), (std::vector<int>{3}));
    EXPECT_EQ(Count("sensor", "term_id=1 AND ((id=1 AND type=5) OR (id=2 AND type=6) OR "
                              "(id=3 AND type=9) OR (id=4 AND type=4) OR (id=5 AND type=3))"),
              5);
    EXPECT_EQ(Count("terminal", "id=1 AND term_config='" + echoed + "'"), 1);
    auto terminals = Reload();
    std::string rebuilt;
    terminals[0]->BuildLoopConfiguration(rebuilt);
    EXPECT_EQ(rebuilt, echoed);
    EXPECT_EQ(terminals[0]->ReadConfiguration(), echoed);
}

TEST_F(LoopConfigurationTest, ReadBackStopsAtTheFirstBadEntry) {
    // Device 1 is applied, device 9 does not exist, device 2 is never reached.
    EXPECT_FALSE(terminal->ApplyLoopConfiguration("M1=2(5,6,),M9=1(3,),M2=1(3,),"));
    EXPECT_EQ(Types(1), (std::vector<int>{5, 6}));
    EXPECT_EQ(Types(2), (std::vector<int>{0}));
    EXPECT_FALSE(terminal->ApplyLoopConfiguration("M1=3(7,7,),M2=1(3,),"));
    EXPECT_EQ(Types(1), (std::vector<int>{5, 6})) << "count mismatch changes nothing";
    EXPECT_EQ(Types(2), (std::vector<int>{0}));
}

TEST_F(LoopConfigurationTest, LongerListSetsOnlyTheExistingLoops) {
    EXPECT_TRUE(terminal->ApplyLoopConfiguration("M2=3(8,9,10,),"));
    EXPECT_EQ(Types(2), (std::vector<int>{8}));
    EXPECT_EQ(terminal->Loops().size(), 5u) << "no loop added";
}

TEST_F(LoopConfigurationTest, BadTextIsStillStoredWhole) {
    const std::string text = "M1=x,O'Hara";
    EXPECT_TRUE(terminal->SetLoopConfiguration(text));
    EXPECT_EQ(Rows("SELECT term_config FROM terminal"),
              (std::vector<std::vector<std::string>>{{text}}));
}

} // namespace
} // namespace tornu
