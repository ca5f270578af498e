// Changes that write through: texts of any content, phone numbers and masks,
// key codes. Parameter edits of each kind are the views' (ViewModelTest).
#include "RecordTestFixture.h"


namespace tornu {
namespace {

using test::BusType;
using test::RecordTest;

using Table = std::vector<std::vector<std::string>>;

const char* const kAwkwardTexts[] = {"' OR 1=1 --", "Склад «Север» д'Артаньяна %s",
                                     "{fn UCASE('x')} ? C:\\dir", ""};

TEST_F(RecordTest, EveryTextSetterKeepsApostrophesAndCyrillic) {
    for (const char* text : kAwkwardTexts) {
        SCOPED_TRACE(text);
        for (const char* table :
             {"terminal", "device", "sensor", "device_param", "device_phone", "device_key"})
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
        {"02000000001B81CA2", false}, {"A200000001B81C0", false},
    };
    for (const auto& [code, valid] : keys) {
        EXPECT_EQ(key.SetKeyCode(code), valid) << code;
        if (valid)
            current = code;
        EXPECT_EQ(Rows("SELECT key_value FROM device_key WHERE id=2"), (Table{{current}})) << code;
    }
}

} // namespace
} // namespace tornu
