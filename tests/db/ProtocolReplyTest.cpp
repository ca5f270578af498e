// Replies of the terminal applied to the records and checked in the rows of
// a real database; reply texts are hostile where the line could make them so.
#include "RecordTestFixture.h"

#include "catalogue/CommandDesc.h"
#include "protocol/TermMessage.h"

#include <climits>
#include <ctime>

namespace tornu {
namespace {

using test::BusType;

CCommandDesc Command(const std::string& text, const char* output = nullptr) {
    CCommandDesc command;
    EXPECT_TRUE(command.Read("Cmd", "DESC=Команда;TYPE=D;" + text)) << text;
    if (output)
        command.SetFileName(kCommandFileOut, output);
    return command;
}

// Terminal 7 with partition 1 (loops 1 and 2) and its expander 5 (loop 3).
class ProtocolReplyTest : public test::RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        terminal = NewTerminal(7);
        ASSERT_TRUE(terminal);
        part = terminal->CreateDevice(1, BusType(test::kPartitionType));
        ASSERT_TRUE(part);
        slave = part->CreateSlave(5, BusType(test::kExpanderType));
        ASSERT_TRUE(slave);
        for (CDevice* device : {part, part, slave})
            ASSERT_TRUE(terminal->CreateLoop(*device, -1, 0));
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
    CDevice* part = nullptr;
    CDevice* slave = nullptr;
};

TEST_F(ProtocolReplyTest, TerminalReplies) {
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

TEST_F(ProtocolReplyTest, StatusReplySetsInputsStatesAndTime) {
    EXPECT_TRUE(Device(part, "NUM=16", "DLYIN=45;MODE=2;SYS=0110;KEY=3;SHL=0013003F099100;"));
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

TEST_F(ProtocolReplyTest, PhoneBookReply) {
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

TEST_F(ProtocolReplyTest, KeyAndPasswordReplies) {
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
