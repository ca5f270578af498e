// The data texts of terminal and device commands, byte for byte, built from
// records in a real database.
#include "RecordTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "protocol/TermMessage.h"

#include <ctime>

namespace tornu {
namespace {

using test::BusType;
using test::WriteBytes;

CCommandDesc Command(const std::string& text) {
    CCommandDesc command;
    EXPECT_TRUE(command.Read("Cmd", "DESC=Команда;TYPE=D;" + text)) << text;
    return command;
}

// Terminal 7: its module 0 ("p0"), partition 1 ("p1") with loops 1 and 2 of
// types 1 and 0, and its expander 5 with loop 3 of type 16.
class ProtocolCommandTest : public test::RecordTest {
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

    static constexpr std::time_t kNow = 1700000000;
    std::unique_ptr<CTerminal> terminal;
    CDevice* own = nullptr;
    CDevice* part = nullptr;
    CDevice* slave = nullptr;
};

TEST_F(ProtocolCommandTest, TerminalCommands) {
    char clock[32];
    const std::tm local = *std::localtime(&kNow);
    std::strftime(clock, sizeof clock, "%y/%m/%d,%H:%M:%S", &local);
    terminal->SetNewPassword("n'1");
    WriteBytes("in.bin", std::string("\x00\xAB\x7F", 3));
    WriteBytes("empty.bin", "");
    EXPECT_EQ(Data(nullptr, "NUM=39;FILE=I"), "RZD=0;PASS=p0;");
    EXPECT_EQ(Data(nullptr, "NUM=22"), std::string("RZD=0;PASS=p0;TIME=") + clock + ";");
    EXPECT_EQ(Data(nullptr, "NUM=97"), "RZD=0;PASS=p0;NPSWD=n'1;");
    EXPECT_EQ(Data(nullptr, "NUM=60;FILE=I"), "<none>") << "no file chosen";
    CCommandDesc withFile = Command("NUM=60;FILE=IO");
    withFile.SetFileName(kCommandFileIn, "in.bin");
    CTermMessage message;
    ASSERT_TRUE(terminal->BuildCommand(withFile, message));
    EXPECT_EQ(message.GetData(), "RZD=0;PASS=p0;FILE=00AB7F;");
    withFile.SetFileName(kCommandFileIn, "empty.bin");
    ASSERT_TRUE(terminal->BuildCommand(withFile, message));
    EXPECT_EQ(message.GetData(), "RZD=0;PASS=p0;FILE=;");
}

TEST_F(ProtocolCommandTest, InputFileLimitIs64000Bytes) {
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

TEST_F(ProtocolCommandTest, DeviceCommands) {
    ASSERT_TRUE(part->Keys()[0]->SetKeyCode("0000000000000000"));
    ASSERT_TRUE(part->Keys()[2]->SetKeyCode("a200000001b81c02"));
    ASSERT_TRUE(part->SetParamValue("OBJNAME", "Склад 'А'"));
    ASSERT_TRUE(part->SetParamValue("DLYIN", ""));
    ASSERT_TRUE(part->Phones()[0]->SetPhoneNumber("+79001234567"));
    ASSERT_EQ(part->Phones()[0]->SetMaskBit(0, 1) + part->Phones()[0]->SetMaskBit(2, 1), 0);
    ASSERT_TRUE(part->Phones()[2]->SetPhoneNumber("0123"));
    ASSERT_TRUE(part->Phones()[2]->SetMask(0xABCDEF));
    ASSERT_TRUE(part->Phones()[3]->SetPhoneNumber("12345678901234"));
    part->SetNewPassword("np");
    const std::string prefix = "RZD=01;PASS=p1;";
    const std::string slavePrefix = "RZD=01;PASS=p1;DEVA=05;";
    EXPECT_EQ(Data(own, "NUM=16"), "RZD=00;PASS=p0;");
    EXPECT_EQ(Data(slave, "NUM=23"), slavePrefix);
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
    EXPECT_EQ(Data(part, "NUM=96"), prefix + "NPASS=np;");
    EXPECT_EQ(Data(part, "NUM=50;PLIST=AUTOARM"), prefix + "AUTOARM=0;");
    EXPECT_EQ(Data(part, "NUM=50"), prefix);
    EXPECT_EQ(Data(part, "NUM=50;PLIST=AUTOARM;FILE=I"), "<none>") << "no file chosen";
}

TEST_F(ProtocolCommandTest, CannotBuildWithoutDevicesOrMaster) {
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

} // namespace
} // namespace tornu
