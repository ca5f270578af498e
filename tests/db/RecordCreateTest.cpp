// Creation of terminals and devices with their dependants, and the numbers
// handed out: rows checked in the database file.
#include "RecordTestFixture.h"

namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

using Table = std::vector<std::vector<std::string>>;

TEST_F(RecordTest, NewTerminalInsertsItsRowAndItsOwnModule) {
    TORNU_SKIP_ON_SERVER("reads the rows in insertion order (rowid)");
    auto terminal = NewTerminal(7, test::kHostWithModule, 3);
    ASSERT_TRUE(terminal);
    EXPECT_EQ(Rows("SELECT id,phone,password,config,term_config FROM terminal"),
              (Table{{"7", "+70000000000", "pw", test::kHostWithModule, ""}}));
    ASSERT_EQ(terminal->DeviceCount(), 1u);
    CDevice* own = terminal->DeviceAt(0);
    EXPECT_EQ(own->Address(), 0);
    EXPECT_EQ(own->LoopCountSetting(), 3);
    EXPECT_FALSE(own->SetLoopCount(5)) << "the type allows 4";
    // The module's type is the host type's device part, stored as its text.
    EXPECT_EQ(Rows("SELECT term_id,id,password,name,master_id,last_key,systemstate,last_time,"
                   "config,sensor_cnt FROM device"),
              (Table{{"7", "0", "", "", "-1", "-1", "13", "", test::kHostWithModule, "3"}}));
    // PLIST=DLYIN,MODE in catalogue order, defaults stored.
    EXPECT_EQ(Rows("SELECT name,param_value FROM device_param ORDER BY rowid"),
              (Table{{"DLYIN", "30"}, {"MODE", "0"}}));
    // TLN=2: two of each kind, SMS, voice, data.
    EXPECT_EQ(Rows("SELECT group_concat(type) FROM (SELECT type FROM device_phone "
                   "WHERE mask=0 AND phone='' ORDER BY id)"),
              (Table{{"0,0,1,1,2,2"}}));
    EXPECT_EQ(Count("device_key", "term_id=7 AND device_id=0 AND key_value='' AND key_owner=''"),
              15);
    EXPECT_FALSE(NewTerminal(7)) << "its row exists";
    // A loop count outside the module's type is left at zero.
    EXPECT_EQ(NewTerminal(8, test::kHostWithModule, 5)->DeviceAt(0)->LoopCountSetting(), 0);
}

TEST_F(RecordTest, DeviceAddressMustBeFreeAndInRange) {
    auto terminal = NewTerminal(1);
    const CBusDeviceType type = BusType(test::kPartitionType);
    EXPECT_FALSE(terminal->CreateDevice(0, type)) << "own module's address";
    EXPECT_FALSE(terminal->CreateDevice(16, type));
    ASSERT_TRUE(terminal->CreateDevice(15, type));
    ASSERT_TRUE(terminal->CreateDevice(3, type));
    EXPECT_FALSE(terminal->CreateDevice(3, type));
    EXPECT_EQ(Count("device"), 3);
    EXPECT_EQ(terminal->Devices()[1]->Address(), 3) << "sorted by address";
    EXPECT_EQ(terminal->FreeAddresses().size(), 13u);
    // Without a built-in module there is no device and address 0 is free.
    auto bare = NewTerminal(2, test::kHostWithoutModule);
    EXPECT_EQ(bare->DeviceCount(), 0u);
    EXPECT_EQ(bare->FreeAddresses(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(RecordTest, DeviceWhoseRowCannotBeWrittenIsNotKept) {
    auto terminal = NewTerminal(1);
    Exec("INSERT INTO device VALUES(1,5,'','',-1,-1,13,'','',0)");
    EXPECT_FALSE(terminal->CreateDevice(5, BusType(test::kPartitionType)));
    EXPECT_FALSE(terminal->FindDevice(5));
}

TEST(RecordWithoutDatabase, EveryStatementFails) {
    test::TempDir dir;
    ParamDescList params;
    CTerminal terminal(nullptr, &params, 1);
    EXPECT_FALSE(terminal.Insert());
    EXPECT_FALSE(terminal.Update(kTerminalTable.AllColumns()));
    EXPECT_FALSE(terminal.Select());
    EXPECT_FALSE(terminal.Delete());
    EXPECT_FALSE(
        CTerminal::Create(nullptr, &params, 1, "", "", test::HostType(test::kHostWithModule), 0));
}

} // namespace
} // namespace tornu
