// The loop configuration text built from the records and applied back to the
// loop types.
#include "RecordTestFixture.h"

#include "db/LoopConfiguration.h"

namespace tornu {
namespace {

using test::BusType;
using Types = std::vector<std::vector<int>>;

class LoopConfigurationTest : public test::RecordTest {
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

    // The loop types of devices 1, 5, 7 and 2.
    Types LoopTypes() {
        Types types;
        for (int address : {1, 5, 7, 2}) {
            types.emplace_back();
            for (const CSensor* loop : terminal->FindDevice(address)->Loops())
                types.back().push_back(loop->Type());
        }
        return types;
    }

    std::unique_ptr<CTerminal> terminal;
};

TEST_F(LoopConfigurationTest, TextReadBackIsStoredAndAppliedUpToTheFirstBadEntry) {
    // The terminal echoes it with other types; the relay's two-letter code must read back.
    const std::string echoed = "M0=0(),M1=2(5,6,),S5=1(9,),RK7=1(4,),M2=1(3,),";
    ASSERT_TRUE(terminal->SetLoopConfiguration(echoed));
    EXPECT_EQ(LoopTypes(), (Types{{5, 6}, {9}, {4}, {3}}));
    auto terminals = Reload();
    std::string rebuilt;
    terminals[0]->BuildLoopConfiguration(rebuilt);
    EXPECT_EQ(rebuilt, echoed);
    EXPECT_EQ(terminals[0]->ReadConfiguration(), echoed);

    // Device 1 is applied, device 9 does not exist, device 2 is never reached;
    // a count that does not match changes nothing; a longer list adds no loop.
    EXPECT_FALSE(terminal->ApplyLoopConfiguration("M1=2(1,2,),M9=1(3,),M2=1(7,),"));
    EXPECT_FALSE(terminal->ApplyLoopConfiguration("M1=3(7,7,),M2=1(7,),"));
    EXPECT_TRUE(terminal->ApplyLoopConfiguration("M5=3(8,9,10,),"));
    EXPECT_EQ(LoopTypes(), (Types{{1, 2}, {8}, {4}, {3}}));
    EXPECT_EQ(terminal->Loops().size(), 5u);
    // A text that does not read is still stored whole.
    EXPECT_TRUE(terminal->SetLoopConfiguration("M1=x,O'Hara"));
    EXPECT_EQ(Rows("SELECT term_config FROM terminal WHERE id=1"),
              (std::vector<std::vector<std::string>>{{"M1=x,O'Hara"}}));
}

} // namespace
} // namespace tornu
