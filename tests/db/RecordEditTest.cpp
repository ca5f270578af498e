// Records made, changed and deleted with their dependants, and the numbers
// handed out: rows checked in the database.
#include "RecordTestFixture.h"

#include "db/LoopConfiguration.h"

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

// Changes that write through: texts of any content, phone numbers and masks,
// key codes. Parameter edits of each kind are the views' (ViewModelTest).
const char* const kAwkwardTexts[] = {"' OR 1=1 --", "Склад «Север» д'Артаньяна %s",
                                     "{fn UCASE('x')} ? C:\\dir", ""};

TEST_F(RecordTest, EveryTextSetterKeepsApostrophesAndCyrillic) {
    for (const char* text : kAwkwardTexts) {
        SCOPED_TRACE(text);
        for (const char* table : test::kTableNames)
            Exec(std::string("DELETE FROM ") + table);
        {
            auto terminal = NewTerminal(1, test::kHostWithModule, 1);
            ASSERT_TRUE(terminal);
            CDevice* device = terminal->CreateDevice(4, BusType(test::kPartitionType));
            ASSERT_TRUE(device);
            CSensor* loop = terminal->CreateLoop(*device, -1, 0);
            ASSERT_TRUE(loop);
            EXPECT_EQ(
                (std::vector<bool>{terminal->SetPhone(text), terminal->SetPassword(text),
                                   terminal->SetLoopConfiguration(text), device->SetName(text),
                                   device->SetPassword(text), device->SetLastTime(text),
                                   device->SetParamValue("OBJNAME", text),
                                   device->Keys()[3]->SetOwner(text), loop->SetName(text)}),
                std::vector<bool>(9, true));
        }
        auto terminals = Reload();
        ASSERT_EQ(terminals.size(), 1u);
        CTerminal& terminal = *terminals[0];
        CDevice* device = terminal.FindDevice(4);
        ASSERT_TRUE(device);
        ASSERT_EQ(device->Loops().size(), 1u);
        EXPECT_EQ(
            (std::vector<std::string_view>{
                terminal.Phone(), terminal.Password(), terminal.ReadConfiguration(), device->Name(),
                device->Password(), device->LastTime(), device->FindParam("OBJNAME")->Value(),
                device->Keys()[3]->Owner(), device->Loops()[0]->Name()}),
            std::vector<std::string_view>(9, text));
        EXPECT_FALSE(device->SetParamValue("dlyin", "1")) << "names are exact";
        EXPECT_EQ(Count("device"), 2) << "nothing dropped";
    }
}

// Phone numbers keep digits and a leading "+"; mask bits report the previous
// state; key codes are stored only with their check byte. Each writes through.
TEST_F(RecordTest, PhoneMaskAndKeyWriteThrough) {
    auto terminal = NewTerminal(1);
    CDevicePhone& phone = *terminal->DeviceAt(0)->Phones()[1];
    for (const auto& [typed, stored] :
         std::vector<std::pair<const char*, const char*>>{{"+7 (912) 345-67-89", "+79123456789"},
                                                          {"79123456789FFF", "79123456789"},
                                                          {" +7912", "7912"},
                                                          {"++7", "+7"}}) {
        ASSERT_TRUE(phone.SetPhoneNumber(typed));
        EXPECT_EQ(Rows("SELECT phone FROM device_phone WHERE id=1"), (Table{{stored}})) << typed;
    }
    EXPECT_EQ(phone.SetMaskBit(23, 1), 0);
    EXPECT_EQ(phone.SetMaskBit(23, 1), 1);
    EXPECT_EQ(phone.SetMaskBit(0, 1), 0);
    EXPECT_EQ(phone.SetMaskBit(0, 0), 1);
    for (const auto& [bit, value] : {std::pair{24, 1}, {-1, 1}, {3, 2}})
        EXPECT_EQ(phone.SetMaskBit(bit, value), -1) << bit << "=" << value;
    EXPECT_EQ(Rows("SELECT mask FROM device_phone WHERE id=1"), (Table{{"8388608"}}));

    CDeviceKey& key = *terminal->DeviceAt(0)->Keys()[2];
    std::string current;
    const std::pair<const char*, bool> keys[] = {
        {"A200000001B81C02", true},  // CRC A2 over 02 1C B8 01 00 00 00
        {"A300000001B81C02", false}, // CRC byte off by one
        {"02000000001B81CA2", false},
        {"A200000001B81C0", false},
    };
    for (const auto& [code, valid] : keys) {
        EXPECT_EQ(key.SetKeyCode(code), valid) << code;
        if (valid)
            current = code;
        EXPECT_EQ(Rows("SELECT key_value FROM device_key WHERE id=2"), (Table{{current}})) << code;
    }
}

// Deletion cascades and loop distribution, checked against the tables.
using RecordDeleteTest = RecordTest;

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
    EXPECT_EQ(Count("device", "term_id=1 AND id=8"), 0);
    for (const char* table : {"device_param", "device_phone", "device_key", "sensor"})
        EXPECT_EQ(Count(table, "term_id=1 AND device_id=8"), 0) << table;
    std::vector<int> addresses;
    for (const auto& device : terminal->Devices())
        addresses.push_back(device->Address());
    EXPECT_EQ(addresses, (std::vector<int>{0, 3, 5, 6}));
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

// The loop configuration text built from the records and applied back to the
// loop types.
using LoopConfigurationTest = RecordTest;

TEST_F(LoopConfigurationTest, TextReadBackIsStoredAndAppliedUpToTheFirstBadEntry) {
    auto terminal = NewTerminal(1, test::kHostWithModule, 0);
    CDevice* partition = terminal->CreateDevice(1, BusType(test::kPartitionType));
    partition->SetLoopCount(2);
    partition->CreateSlave(5, BusType(test::kExpanderType))->SetLoopCount(1);
    partition->CreateSlave(7, BusType(test::kRelayType))->SetLoopCount(1);
    terminal->CreateDevice(2, BusType(test::kPartitionType))->SetLoopCount(1);
    ASSERT_TRUE(terminal->DistributeLoops());
    terminal->FindLoop(1)->SetType(1);
    terminal->FindLoop(3)->SetType(16);
    using Types = std::vector<std::vector<int>>;
    auto loopTypes = [&] { // of devices 1, 5, 7 and 2
        Types types;
        for (int address : {1, 5, 7, 2}) {
            types.emplace_back();
            for (const CSensor* loop : terminal->FindDevice(address)->Loops())
                types.back().push_back(loop->Type());
        }
        return types;
    };
    // The terminal echoes it with other types; the relay's two-letter code must read back.
    const std::string echoed = "M0=0(),M1=2(5,6,),S5=1(9,),RK7=1(4,),M2=1(3,),";
    ASSERT_TRUE(terminal->SetLoopConfiguration(echoed));
    EXPECT_EQ(loopTypes(), (Types{{5, 6}, {9}, {4}, {3}}));
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
    EXPECT_EQ(loopTypes(), (Types{{1, 2}, {8}, {4}, {3}}));
    EXPECT_EQ(terminal->Loops().size(), 5u);
    // A text that does not read is still stored whole.
    EXPECT_TRUE(terminal->SetLoopConfiguration("M1=x,O'Hara"));
    EXPECT_EQ(Rows("SELECT term_config FROM terminal WHERE id=1"),
              (std::vector<std::vector<std::string>>{{"M1=x,O'Hara"}}));
}

} // namespace
} // namespace tornu
