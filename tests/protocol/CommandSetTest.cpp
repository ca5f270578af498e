// The messages of the command set built from snapshots, byte for byte, and
// the refusals with their causes.
#include "protocol/CommandSet.h"
#include "protocol/TimeStamp.h"
#include "protocol/ErrorText.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace tornu {
namespace {

constexpr std::time_t kNow = 1700000000;
const char* const kRefused = "<refused>";

CommandSpec Spec(int code, std::vector<std::string> plist = {}, int files = 0,
                 std::optional<std::string> input = std::nullopt) {
    return {code, CommandKind::Device, std::move(plist), files, std::move(input), "out.bin"};
}

// Terminal 7: its module 0, partition 1 with loops of types 1 and 0, its
// expander 5 with one of type 16, and a slave 9 whose master is gone.
TerminalSnapshot Terminal() {
    TerminalSnapshot t;
    t.number = 7;
    t.password = "link";
    t.newPassword = "new";
    t.firstDevice = PartitionAccess{0, "p0"};
    t.loops = {{"M", {0, {}}, true},
               {"M", {1, {1, 0}}, true},
               {"S", {5, {16}}, true},
               {"RK", {9, {3}}, false}};
    return t;
}

// Partition 1 of terminal 7; TEMP is read only, MODE write only.
DeviceSnapshot Partition() {
    DeviceSnapshot d;
    d.terminal = 7;
    d.address = 1;
    d.password = "p1";
    d.newPassword = "np";
    d.params = {{"DLYIN", "", "30", true, true},
                {"UBATMIN", "110", "110", true, true},
                {"OBJNAME", "Склад 'А'", "Объект", true, true},
                {"MODE", "0", "0", false, true},
                {"TEMP", "700", "700", true, false}};
    d.phones = {{0, "+79001234567", 5},   {0, "", 0}, {1, "0123", 0xABCDEF},
                {1, "12345678901234", 0}, {2, "", 0}, {2, "", 0}};
    d.keys.assign(15, "");
    d.keys[0] = "0000000000000000";
    d.keys[2] = "a200000001b81c02";
    return d;
}

DeviceSnapshot Slave() {
    DeviceSnapshot d;
    d.terminal = 7;
    d.address = 5;
    d.master = 1;
    d.masterPassword = "p1";
    d.password = "own";
    return d;
}

// The data text, or kRefused followed by the cause.
std::string Data(const BuiltCommand& built, int code) {
    if (!built.message)
        return kRefused + built.refusal;
    EXPECT_EQ(built.message->GetNumber(), 7);
    EXPECT_EQ(built.message->GetCode(), code);
    EXPECT_TRUE(built.refusal.empty());
    return built.message->GetData();
}

TEST(CommandSet, TerminalCommands) {
    char clock[32];
    const std::tm local = LocalTime(kNow);
    std::strftime(clock, sizeof clock, "%y/%m/%d,%H:%M:%S", &local);
    TerminalSnapshot bare = Terminal();
    bare.firstDevice.reset();
    TerminalSnapshot noLoops = Terminal();
    noLoops.loops.resize(0);
    TerminalSnapshot noNewPassword = Terminal();
    noNewPassword.newPassword.clear();
    TerminalSnapshot unsafe = Terminal();
    unsafe.firstDevice->password = "p;0";
    TerminalSnapshot unsafeNew = Terminal();
    unsafeNew.newPassword = "a~b";
    const std::string prefix = "RZD=0;PASS=p0;";
    const std::string refusedUnsafe = kRefused + std::string(kRefusalUnsafePassword);
    const std::string refusedNoNew = kRefused + std::string(kRefusalNoNewPassword);
    const struct {
        const char* name;
        TerminalSnapshot terminal;
        CommandSpec command;
        std::string data;
    } cases[] = {
        {"check", Terminal(), Spec(1), prefix},
        {"clock", Terminal(), Spec(22), prefix + "TIME=" + clock + ";"},
        {"write loops, the unlisted slave left out", Terminal(), Spec(40),
         prefix + "CFG=M0=0(),M1=2(1,0,),S5=1(16,),;"},
        {"new password", Terminal(), Spec(97), prefix + "NPSWD=new;"},
        {"input file", Terminal(), Spec(60, {}, kCommandFileIn, "AB\x01\xFE"),
         prefix + "FILE=414201FE;"},
        {"empty input file", Terminal(), Spec(60, {}, kCommandFileIn | kCommandFileOut, ""),
         prefix + "FILE=;"},
        {"input file unreadable", Terminal(), Spec(60, {}, kCommandFileIn), kRefused},
        {"no device", bare, Spec(1), kRefused},
        {"no new password", noNewPassword, Spec(97), refusedNoNew},
        {"no loops", noLoops, Spec(40), kRefused},
        {"unsafe device password", unsafe, Spec(1), refusedUnsafe},
        {"unsafe new password", unsafeNew, Spec(97), refusedUnsafe},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Data(BuildTerminalCommand(c.terminal, c.command, kNow), c.command.code), c.data);
    }
    TerminalSnapshot zero = Terminal();
    zero.firstDevice->address = 12;
    EXPECT_EQ(Data(BuildTerminalCommand(zero, Spec(1), kNow), 1), "RZD=12;PASS=p0;")
        << "a terminal command pads nothing";
}

TEST(CommandSet, DeviceCommands) {
    const std::string prefix = "RZD=01;PASS=p1;";
    const std::string slavePrefix = "RZD=01;PASS=p1;DEVA=05;";
    DeviceSnapshot top0 = Partition();
    top0.address = 0;
    DeviceSnapshot orphan = Slave();
    orphan.masterPassword.reset();
    DeviceSnapshot noNewPassword = Partition();
    noNewPassword.newPassword.clear();
    DeviceSnapshot unsafe = Partition();
    unsafe.password = "p\r1";
    DeviceSnapshot unsafeMaster = Slave();
    unsafeMaster.masterPassword = "p;1";
    const std::string refusedUnsafe = kRefused + std::string(kRefusalUnsafePassword);
    const struct {
        const char* name;
        DeviceSnapshot device;
        CommandSpec command;
        std::string data;
    } cases[] = {
        {"keys", Partition(), Spec(9),
         prefix + "MKEY=0000000000000000;KEY1=;KEY2=a200000001b81c02;KEY3=;KEY4=;KEY5=;KEY6=;"
                  "KEY7=;KEY8=;KEY9=;KEY10=;KEY11=;KEY12=;KEY13=;KEY14=;"},
        {"status", Partition(), Spec(16), prefix},
        {"every writable parameter, empty as default", Partition(), Spec(17),
         prefix + "DLYIN=30;UBATMIN=110;OBJNAME=Склад 'А';MODE=0;"},
        {"listed parameters in the device's order", Partition(), Spec(17, {"MODE", "DLYIN", "DLY"}),
         prefix + "DLYIN=30;MODE=0;"},
        {"phone book: cut, padded, masks", Partition(), Spec(24),
         prefix + "SMS=+79001234567000005,FFFFFFFFFFFF000000,;"
                  "DIA=0123FFFFFFFFABCDEF,123456789012000000,;"
                  "DAT=FFFFFFFFFFFF000000,FFFFFFFFFFFF000000,;"},
        {"new password", Partition(), Spec(96), prefix + "NPASS=np;"},
        {"catalogue command with parameters", Partition(), Spec(50, {"AUTOARM", "MODE"}),
         prefix + "MODE=0;"},
        {"catalogue command with input file", Partition(),
         Spec(50, {"MODE"}, kCommandFileIn, "\xFF"), prefix + "FILE=FF;"},
        {"input file unreadable", Partition(), Spec(50, {"MODE"}, kCommandFileIn), kRefused},
        {"top-level device 0", top0, Spec(16), "RZD=00;PASS=p1;"},
        {"slave: its master's partition", Slave(), Spec(16), slavePrefix},
        {"slave without phones", Slave(), Spec(24), slavePrefix + "SMS=;DIA=;DAT=;"},
        {"slave whose master is gone", orphan, Spec(16), kRefused},
        {"no new password", noNewPassword, Spec(96), kRefused + std::string(kRefusalNoNewPassword)},
        {"unsafe own partition password", unsafe, Spec(16), refusedUnsafe},
        {"unsafe master password", unsafeMaster, Spec(16), refusedUnsafe},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Data(BuildDeviceCommand(c.device, c.command), c.command.code), c.data);
    }
}

// Data is UTF-8 in the message and Windows-1251 on the line; the length
// counts the bytes sent and widens past 9999.
TEST(CommandSet, LongAndCyrillicValuesOnTheLine) {
    DeviceSnapshot device = Partition();
    std::string name;
    for (int i = 0; i < 3000; ++i)
        name += "Ж";
    device.params[2].value = name;
    const BuiltCommand named = BuildDeviceCommand(device, Spec(17, {"OBJNAME"}));
    ASSERT_TRUE(named.message);
    EXPECT_EQ(named.message->GetData(), "RZD=01;PASS=p1;OBJNAME=" + name + ";");
    std::string text;
    ASSERT_TRUE(named.message->BuildText(text));
    EXPECT_EQ(text, "0007173024RZD=01;PASS=p1;OBJNAME=" + std::string(3000, '\xC6') + ";");

    const BuiltCommand file = BuildDeviceCommand(
        device, Spec(61, {}, kCommandFileIn, std::string(kCommandFileLimit, 'Z')));
    ASSERT_TRUE(file.message);
    ASSERT_TRUE(file.message->BuildText(text));
    EXPECT_EQ(text.substr(0, 20), "000761128021RZD=01;P");
    EXPECT_EQ(text.size(), 12u + 128021u);
    EXPECT_EQ(text.substr(text.size() - 5), "5A5A;");

    // Phone numbers are cut by characters; the mask keeps 24 bits.
    const std::vector<PhoneEntry> phones = {{2, "1", 0x1000000}, {0, "Ж12345678901234", 0xFF}};
    EXPECT_EQ(BuildPhoneBookText(phones), "SMS=Ж123456789010000FF,;DIA=;DAT=1FFFFFFFFFFF000000,;");
}

} // namespace
} // namespace tornu
