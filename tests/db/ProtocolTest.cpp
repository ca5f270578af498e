// The data texts of terminal and device commands, byte for byte, and the
// terminal's replies applied to the records, checked in the rows of a real
// database; reply texts are hostile where the line could make them so.
#include "RecordTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "protocol/TermMessage.h"

#include <climits>
#include <ctime>

namespace tornu {
namespace {

using test::BusType;
using test::WriteBytes;

CCommandDesc Command(const std::string& text, const char* output = nullptr) {
    CCommandDesc command;
    EXPECT_TRUE(command.Read("Cmd", "DESC=Команда;TYPE=D;" + text)) << text;
    if (output)
        command.SetFileName(kCommandFileOut, output);
    return command;
}

// Terminal 7: its module 0 ("p0"), partition 1 ("p1") with loops 1 and 2 of
// types 1 and 0, and its expander 5 with loop 3 of type 16.
class ProtocolTest : public test::RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        terminal = NewTerminal(7);
        ASSERT_TRUE(terminal);
        own = terminal->FindDevice(0);
        ASSERT_TRUE(own && own->SetPassword("p0"));
        part = terminal->CreateDevice(1, BusType(test::kPartitionType));
        ASSERT_TRUE(part && part->SetPassword("p1"));
        slave = part->CreateSlave(5, BusType(test::kExpanderType));
        ASSERT_TRUE(slave);
        ASSERT_TRUE(terminal->CreateLoop(*part, -1, 1));
        ASSERT_TRUE(terminal->CreateLoop(*part, -1, 0));
        ASSERT_TRUE(terminal->CreateLoop(*slave, -1, 16));
    }

    // The data text of the command, or "<none>" when it cannot be built.
    std::string Data(const CDevice* device, const std::string& command) {
        CTermMessage message(1, 2, "<none>");
        const bool built = device ? device->BuildCommand(Command(command), message)
                                  : terminal->BuildCommand(Command(command), message, kNow);
        EXPECT_EQ(built, message.GetData() != "<none>");
        if (built) {
            EXPECT_EQ(message.GetNumber(), 7);
            EXPECT_EQ(message.GetCode(), Command(command).Code());
        }
        return message.GetData();
    }
    bool Terminal(const std::string& command, const std::string& data, const char* out = nullptr) {
        return terminal->ProcessReply(Command(command, out), CTermMessage(7, 1, data));
    }
    bool Device(CDevice* device, const std::string& command, const std::string& data,
                const char* out = nullptr) {
        return device->ProcessReply(Command(command, out), CTermMessage(7, 1, data), kNow);
    }
    std::string Value(const std::string& statement) {
        const auto rows = Rows(statement);
        return rows.empty() || rows[0].empty() ? "<no row>" : rows[0][0];
    }
    std::string DeviceColumn(const char* column, int id = 1) {
        return Value(std::string("SELECT ") + column +
                     " FROM device WHERE id=" + std::to_string(id));
    }
    std::string Phone(int id) {
        return Value("SELECT phone || '/' || mask FROM device_phone WHERE device_id=1 AND id=" +
                     std::to_string(id));
    }
    std::string LoopStates() {
        std::string states;
        for (const auto& row : Rows("SELECT state FROM sensor ORDER BY id"))
            states += (states.empty() ? "" : ",") + row[0];
        return states.empty() ? "<no row>" : states;
    }

    static constexpr std::time_t kNow = 1700000000;
    std::unique_ptr<CTerminal> terminal;
    CDevice* own = nullptr;
    CDevice* part = nullptr;
    CDevice* slave = nullptr;
};

TEST_F(ProtocolTest, TerminalCommands) {
    char clock[32];
    const std::tm local = *std::localtime(&kNow);
    std::strftime(clock, sizeof clock, "%y/%m/%d,%H:%M:%S", &local);
    // The sessions check the others byte for byte (tests/e2e).
    WriteBytes("empty.bin", "");
    EXPECT_EQ(Data(nullptr, "NUM=22"), std::string("RZD=0;PASS=p0;TIME=") + clock + ";");
    EXPECT_EQ(Data(nullptr, "NUM=60;FILE=I"), "<none>") << "no file chosen";
    CCommandDesc withFile = Command("NUM=60;FILE=IO");
    withFile.SetFileName(kCommandFileIn, "empty.bin");
    CTermMessage message;
    ASSERT_TRUE(terminal->BuildCommand(withFile, message));
    EXPECT_EQ(message.GetData(), "RZD=0;PASS=p0;FILE=;");
}

TEST_F(ProtocolTest, InputFileLimitIs64000Bytes) {
    CCommandDesc command = Command("NUM=61;FILE=I");
    command.SetFileName(kCommandFileIn, "big.bin");
    CTermMessage message(7, 3, "old");
    WriteBytes("big.bin", std::string(64000, '\x5A'));
    ASSERT_TRUE(part->BuildCommand(command, message));
    EXPECT_EQ(message.GetData().size(), std::string("RZD=01;PASS=p1;FILE=;").size() + 128000);
    WriteBytes("big.bin", std::string(64001, '\x5A'));
    message = CTermMessage(7, 3, "old");
    EXPECT_FALSE(part->BuildCommand(command, message));
    EXPECT_FALSE(terminal->BuildCommand(command, message));
    EXPECT_EQ(message.GetData(), "old");
    EXPECT_EQ(message.GetCode(), 3);
}

TEST_F(ProtocolTest, DeviceCommands) {
    ASSERT_TRUE(part->Keys()[0]->SetKeyCode("0000000000000000"));
    ASSERT_TRUE(part->Keys()[2]->SetKeyCode("a200000001b81c02"));
    ASSERT_TRUE(part->SetParamValue("OBJNAME", "Склад 'А'"));
    ASSERT_TRUE(part->SetParamValue("DLYIN", ""));
    ASSERT_TRUE(part->Phones()[0]->SetPhoneNumber("+79001234567"));
    ASSERT_EQ(part->Phones()[0]->SetMaskBit(0, 1) + part->Phones()[0]->SetMaskBit(2, 1), 0);
    ASSERT_TRUE(part->Phones()[2]->SetPhoneNumber("0123"));
    ASSERT_TRUE(part->Phones()[2]->SetMask(0xABCDEF));
    ASSERT_TRUE(part->Phones()[3]->SetPhoneNumber("12345678901234"));
    // Prefixes, passwords and files are the sessions' (tests/e2e); here the lists.
    const std::string prefix = "RZD=01;PASS=p1;";
    const std::string slavePrefix = "RZD=01;PASS=p1;DEVA=05;";
    EXPECT_EQ(Data(part, "NUM=9"), prefix + "MKEY=0000000000000000;KEY1=;KEY2=a200000001b81c02;"
                                            "KEY3=;KEY4=;KEY5=;KEY6=;KEY7=;KEY8=;KEY9=;KEY10=;"
                                            "KEY11=;KEY12=;KEY13=;KEY14=;");
    EXPECT_EQ(Data(part, "NUM=17"),
              prefix + "DLYIN=30;UBATMIN=110;OBJNAME=Склад 'А';AUTOARM=0;MODE=0;");
    EXPECT_EQ(Data(part, "NUM=17;PLIST=MODE,DLYIN,DLY"), prefix + "DLYIN=30;MODE=0;");
    EXPECT_EQ(Data(slave, "NUM=17"), slavePrefix) << "TEMP is read only";
    EXPECT_EQ(Data(part, "NUM=24"), prefix + "SMS=+79001234567000005,FFFFFFFFFFFF000000,;"
                                             "DIA=0123FFFFFFFFABCDEF,123456789012000000,;"
                                             "DAT=FFFFFFFFFFFF000000,FFFFFFFFFFFF000000,;");
    EXPECT_EQ(Data(slave, "NUM=24"), slavePrefix + "SMS=;DIA=;DAT=;");
    EXPECT_EQ(Data(part, "NUM=50;PLIST=AUTOARM"), prefix + "AUTOARM=0;");
    EXPECT_EQ(Data(part, "NUM=50"), prefix);
    EXPECT_EQ(Data(part, "NUM=50;PLIST=AUTOARM;FILE=I"), "<none>") << "no file chosen";
}

TEST_F(ProtocolTest, CannotBuildWithoutDevicesOrMaster) {
    auto bare = NewTerminal(8, test::kHostWithoutModule);
    CTermMessage message(1, 2, "old");
    EXPECT_FALSE(bare->BuildCommand(Command("NUM=1"), message));
    EXPECT_FALSE(bare->BuildCommand(Command("NUM=40"), message));
    Exec("UPDATE device SET master_id=9 WHERE id=5");
    terminal.reset();
    auto terminals = Reload();
    CDevice* orphan = terminals[0]->FindDevice(5);
    ASSERT_TRUE(orphan);
    EXPECT_FALSE(orphan->BuildCommand(Command("NUM=16"), message));
    EXPECT_EQ(message.GetData(), "old");
}

TEST_F(ProtocolTest, TerminalReplies) {
    EXPECT_FALSE(terminal->ProcessReply(Command("NUM=39"), CTermMessage()));
    EXPECT_TRUE(Terminal("NUM=39", "CFG=M1=2(5,6,),S5=1(16,),;"));
    EXPECT_FALSE(Terminal("NUM=40", "CONF=M1=0(),;"));
    EXPECT_EQ(Value("SELECT term_config FROM terminal"), "M1=2(5,6,),S5=1(16,),");

    terminal->SetNewPassword("new");
    EXPECT_FALSE(Terminal("NUM=97", "NPASS=x;"));
    EXPECT_EQ(terminal->NewPassword(), "new");
    EXPECT_TRUE(Terminal("NUM=97", "NPSWD=O'Neil';"));
    EXPECT_EQ(Value("SELECT password FROM terminal"), "O'Neil'");
    EXPECT_EQ(terminal->NewPassword(), "");

    EXPECT_FALSE(Terminal("NUM=60;FILE=O", "X=1;", "none.bin"));
    EXPECT_FALSE(Terminal("NUM=60;FILE=O", "FILE=0G;", "bad.bin"));
    EXPECT_FALSE(Terminal("NUM=60;FILE=O", "FILE=00;", "no/such/dir.bin"));
}

TEST_F(ProtocolTest, StatusReplySetsInputsStatesAndTime) {
    int updates = 0;
    db->Connection().SetTrace([&](const std::string& s) { updates += s.rfind("UPDATE", 0) == 0; });
    EXPECT_TRUE(Device(part, "NUM=16", "DLYIN=45;MODE=2;SYS=0110;KEY=3;SHL=0013003F099100;"));
    db->Connection().SetTrace(nullptr);
    EXPECT_EQ(updates, 3) << "one statement each for the parameters, the loops and the device";
    EXPECT_EQ(Value("SELECT param_value FROM device_param WHERE device_id=1 AND name='DLYIN'"),
              "45");
    EXPECT_EQ(Value("SELECT param_value FROM device_param WHERE device_id=1 AND name='MODE'"), "0")
        << "an output parameter is never overwritten";
    EXPECT_EQ(DeviceColumn("systemstate"), "6");
    EXPECT_EQ(DeviceColumn("last_key"), "3");
    EXPECT_EQ(LoopStates(), "3,0,15") << "loop 3 is the expander's";
    char time[32];
    std::strftime(time, sizeof time, "%d.%m.%Y %H:%M:%S", std::localtime(&kNow));
    EXPECT_EQ(DeviceColumn("last_time"), time);
    EXPECT_TRUE(Device(part, "NUM=61;FILE=O", "FILE=41;SYS=1111;", "dev.bin"));
    EXPECT_EQ(test::ReadBytes("dev.bin"), "A");
    EXPECT_EQ(DeviceColumn("systemstate"), "6") << "a file reply is not a status";

    // Hostile values: nothing crashes, numbers are bounded, no row breaks.
    EXPECT_TRUE(Device(slave, "NUM=77", "TEMP=7'1;SYS=11;KEY=99999999999999999999;SHL=0x1G';"));
    EXPECT_EQ(Value("SELECT param_value FROM device_param WHERE device_id=5"), "7'1");
    EXPECT_EQ(DeviceColumn("systemstate", 5), "0");
    EXPECT_EQ(DeviceColumn("last_key", 5), std::to_string(INT_MAX));
    EXPECT_EQ(LoopStates(), "3,0,15");
    EXPECT_FALSE(part->ProcessReply(Command("NUM=16"), CTermMessage(7, CTermMessage::kNotSet)));
}

TEST_F(ProtocolTest, PhoneBookReply) {
    EXPECT_FALSE(Device(part, "NUM=23",
                        "SMS=+79001234567000005,FFFFFFFFFFFF00000a,extra;"
                        "DIA=0123FFFFFFFFabcdef;"))
        << "DAT missing";
    EXPECT_EQ((std::vector<std::string>{Phone(0), Phone(1), Phone(2)}),
              (std::vector<std::string>{"+79001234567/5", "/10", "0123/11259375"}));
    EXPECT_EQ(DeviceColumn("last_time"), "") << "not usable, not stamped";
    EXPECT_FALSE(Device(part, "NUM=23", "SMS=123;DIA=;DAT=;"));
    EXPECT_FALSE(Device(part, "NUM=23", "SMS=999FFFFFFFFFzzzzzz;DIA=;DAT=;"));
    EXPECT_EQ(Phone(0), "999/5") << "the number goes in before the mask is read";
    EXPECT_TRUE(Device(part, "NUM=23", "SMS=;DIA=;DAT=1FFFFFFFFFFF000001;"));
    EXPECT_EQ(Phone(4), "1/1");
    EXPECT_EQ(Phone(0), "999/5") << "an empty list keeps the entries";
    EXPECT_NE(DeviceColumn("last_time"), "");
}

TEST_F(ProtocolTest, KeyAndPasswordReplies) {
    EXPECT_FALSE(Device(part, "NUM=38", ""));
    EXPECT_TRUE(Device(part, "NUM=38",
                       "MKEY=a200000001b81c02;KEY1=BAD';KEY2=0000000000000000;KEY14=A2000000"
                       "01B81C03;"));
    std::string keys;
    for (const auto& row : Rows("SELECT key_value FROM device_key WHERE device_id=1 ORDER BY id"))
        keys += row[0] + ",";
    EXPECT_EQ(keys, "a200000001b81c02,,0000000000000000,,,,,,,,,,,,,");

    part->SetNewPassword("pending");
    EXPECT_FALSE(Device(part, "NUM=96", "NPSWD=x;"));
    EXPECT_EQ(part->NewPassword(), "pending");
    EXPECT_TRUE(Device(part, "NUM=96", "NPASS=d'Art;"));
    EXPECT_EQ(DeviceColumn("password"), "d'Art");
    EXPECT_EQ(part->NewPassword(), "");
}

} // namespace
} // namespace tornu
