// Deletion cascades and loop distribution, checked against the tables.
#include "RecordTestFixture.h"

namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

class RecordDeleteTest : public RecordTest {
protected:
    // Rows of the device at `address` of terminal 1 in all its tables.
    int RowsOf(int address) {
        const std::string a = std::to_string(address);
        int rows = Count("device", "term_id=1 AND id=" + a);
        for (const char* table : {"device_param", "device_phone", "device_key", "sensor"})
            rows += Count(table, "term_id=1 AND device_id=" + a);
        return rows;
    }
    std::vector<int> Addresses(const CTerminal& terminal) {
        std::vector<int> addresses;
        for (const auto& device : terminal.Devices())
            addresses.push_back(device->Address());
        return addresses;
    }
};

// The master's rows and items going with its slaves' are DocTest's
// DeletingMasterRemovesEverySlaveRowAndItem.
TEST_F(RecordDeleteTest, SlaveLeavesItsMastersListAndOnlyTheTerminalsOwnDevicesGo) {
    auto terminal = NewTerminal(1);
    CDevice* master = terminal->CreateDevice(5, BusType(test::kPartitionType));
    CDevice* first = master->CreateSlave(3, BusType(test::kExpanderType));
    master->CreateSlave(8, BusType(test::kExpanderType))->SetLoopCount(1);
    CDevice* above = master->CreateSlave(6, BusType(test::kRelayType));
    terminal->DistributeLoops();
    EXPECT_TRUE(terminal->DeleteDevice(terminal->FindDevice(8)));
    EXPECT_EQ(master->Slaves(), (std::vector<CDevice*>{first, above}));
    EXPECT_EQ(RowsOf(8), 0);
    EXPECT_EQ(Addresses(*terminal), (std::vector<int>{0, 3, 5, 6}));
    EXPECT_TRUE(terminal->Loops().empty());
    auto other = NewTerminal(2);
    EXPECT_FALSE(terminal->DeleteDevice(other->DeviceAt(0))) << "another terminal's";
    EXPECT_EQ(Count("device", "term_id=2"), 1);
}

TEST_F(RecordDeleteTest, TerminalTakesEveryRowOfItsNumber) {
    auto first = NewTerminal(1, test::kHostWithModule, 2);
    first->CreateDevice(5, BusType(test::kPartitionType))
        ->CreateSlave(6, BusType(test::kExpanderType));
    first->DistributeLoops();
    auto second = NewTerminal(2);
    // A row the load would leave out of memory goes as well.
    Exec("INSERT INTO device VALUES(1,9,'','',-1,-1,13,'','NAME=;',0)");
    EXPECT_TRUE(first->DeleteRows());
    first.reset();
    for (const char* table : {"device", "device_param", "device_phone", "device_key", "sensor"})
        EXPECT_EQ(Count(table, "term_id=1"), 0) << table;
    EXPECT_EQ(Count("terminal"), 1);
    EXPECT_EQ(Count("device_key", "term_id=2"), 15);
    EXPECT_TRUE(NewTerminal(1)) << "the number is free again";
}

TEST_F(RecordDeleteTest, DistributionStopsWhenTheTerminalsLoopsRunOut) {
    // Eight loop numbers; the devices ask for 4 + 4 + 2 + 4.
    auto terminal = NewTerminal(1, test::kHostWithModule, 4);
    CDevice* first = terminal->CreateDevice(2, BusType(test::kPartitionType));
    first->SetLoopCount(4);
    first->CreateSlave(3, BusType(test::kExpanderType))->SetLoopCount(2);
    terminal->CreateDevice(4, BusType(test::kPartitionType))->SetLoopCount(4);
    ASSERT_TRUE(terminal->DistributeLoops());
    EXPECT_EQ(terminal->FindDevice(2)->Loops().size(), 4u);
    EXPECT_TRUE(terminal->FindDevice(3)->Loops().empty());
    EXPECT_TRUE(terminal->FindDevice(4)->Loops().empty());
    EXPECT_EQ(Count("sensor"), 8);
    EXPECT_EQ(terminal->FirstFreeLoopNumber(), -1);
    EXPECT_FALSE(terminal->CreateLoop(*terminal->FindDevice(4), -1, 0));
    // After a deletion the freed numbers are taken first.
    ASSERT_TRUE(terminal->DeleteLoop(terminal->FindLoop(3)));
    CSensor* loop = terminal->CreateLoop(*terminal->FindDevice(4), -1, 1);
    ASSERT_TRUE(loop);
    EXPECT_EQ(loop->Number(), 3);
    EXPECT_EQ(Count("sensor", "id=3 AND device_id=4 AND type=1"), 1);
    // Numbers are unique, and a device takes no more loops than its type allows.
    EXPECT_FALSE(terminal->CreateLoop(*terminal->FindDevice(4), 3, 0));
    CDevice* relay = terminal->CreateDevice(5, BusType(test::kRelayType));
    ASSERT_TRUE(terminal->DeleteLoop(terminal->FindLoop(7)));
    ASSERT_TRUE(terminal->DeleteLoop(terminal->FindLoop(8)));
    EXPECT_TRUE(terminal->CreateLoop(*relay, 8, 0));
    EXPECT_FALSE(terminal->CreateLoop(*relay, 7, 0)) << "relay type has one loop";
    EXPECT_EQ(terminal->Loops().back()->Number(), 8) << "sorted by number";
}

} // namespace
} // namespace tornu
