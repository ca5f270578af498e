// The terminal's replies read and applied to the records as the exchange
// does it, checked in the rows of a real database; and the worker's snapshot
// brought along with the same replies, checked against what the records
// build afterwards.
#include "RecordTestFixture.h"

#include "protocol/CommandSet.h"
#include "protocol/ErrorText.h"

#include <ctime>

namespace tornu {
namespace {

using test::Spec;

constexpr std::time_t kNow = 1700000000;

// Terminal 7 as NewTerminal7 makes it.
class ApplyReplyTest : public test::RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        terminal = NewTerminal7();
        ASSERT_TRUE(terminal);
        part = terminal->FindDevice(1);
        slave = terminal->FindDevice(5);
    }

    // As the exchange takes a reply: read into a value, then applied.
    CResult Terminal(const std::string& command, const std::string& data,
                     const char* out = nullptr) {
        const auto value = ReadTerminalReply(Spec(command, out), CTermMessage(7, 1, data));
        return value ? terminal->ApplyReply(*value) : CResult::Fail("unreadable");
    }
    CResult Device(CDevice* device, const std::string& command, const std::string& data,
                   const char* out = nullptr) {
        const auto value =
            ReadDeviceReply(device->Snapshot(), Spec(command, out), CTermMessage(7, 1, data));
        return value ? device->ApplyReply(*value, kNow) : CResult::Fail("unreadable");
    }
    // The first column of every row, joined with ",".
    std::string Column(const std::string& statement) {
        std::string values;
        for (const auto& row : Rows(statement))
            values += (values.empty() ? "" : ",") + row[0];
        return values;
    }
    std::string DeviceColumn(const char* column) {
        return Column(std::string("SELECT ") + column + " FROM device WHERE id=1");
    }
    std::string Param(const char* name, int device = 1) {
        return Column("SELECT param_value FROM device_param WHERE device_id=" +
                      std::to_string(device) + " AND name='" + name + "'");
    }

    std::unique_ptr<CTerminal> terminal;
    CDevice* part = nullptr;
    CDevice* slave = nullptr;
};

TEST_F(ApplyReplyTest, TerminalReplies) {
    EXPECT_TRUE(Terminal("NUM=39", "CFG=M1=2(5,6,),S5=1(16,),;"));
    EXPECT_EQ(Column("SELECT term_config FROM terminal"), "M1=2(5,6,),S5=1(16,),");
    EXPECT_EQ(Column("SELECT type FROM sensor ORDER BY id"), "5,6,16");
    terminal->SetNewPassword("new");
    EXPECT_TRUE(Terminal("NUM=97", "NPSWD=O'Neil';"));
    EXPECT_EQ(Column("SELECT password FROM terminal"), "O'Neil'");
    EXPECT_EQ(terminal->NewPassword(), "");

    test::WriteBytes("kept.bin", "old");
    EXPECT_FALSE(Terminal("NUM=60;FILE=O", "FILE=0G;", "kept.bin"));
    EXPECT_EQ(test::ReadBytes("kept.bin"), "old") << "a bad file reply leaves the file alone";
    EXPECT_FALSE(Terminal("NUM=60;FILE=O", "FILE=00;", "no/such/dir.bin"));
    EXPECT_TRUE(Terminal("NUM=60;FILE=O", "FILE=4142;", "kept.bin"));
    EXPECT_EQ(test::ReadBytes("kept.bin"), "AB");
    EXPECT_TRUE(Terminal("NUM=60;FILE=O", "X=1;", "kept.bin"));
    EXPECT_EQ(test::ReadBytes("kept.bin"), "AB") << "a reply without a file leaves it alone";
}

TEST_F(ApplyReplyTest, StatusReplySetsInputsStatesAndTime) {
    int updates = 0;
    db->Connection().SetTrace([&](const std::string& s) { updates += s.rfind("UPDATE", 0) == 0; });
    EXPECT_TRUE(Device(part, "NUM=16", "DLYIN=45;MODE=2;SYS=0111;KEY=3;SHL=0013003F099100;"));
    db->Connection().SetTrace(nullptr);
    EXPECT_EQ(updates, 3) << "one statement each for the parameters, the loops and the device";
    EXPECT_EQ(Param("DLYIN"), "45");
    EXPECT_EQ(Param("MODE"), "0") << "an output parameter is never overwritten";
    EXPECT_EQ(DeviceColumn("systemstate || '/' || last_key"), "14/3");
    EXPECT_EQ(Column("SELECT state FROM sensor ORDER BY id"), "3,0,15")
        << "loop 3 is the expander's";
    char time[32];
    std::strftime(time, sizeof time, "%d.%m.%Y %H:%M:%S", std::localtime(&kNow));
    EXPECT_EQ(DeviceColumn("last_time"), time);
    EXPECT_TRUE(Device(part, "NUM=61;FILE=O", "FILE=41;SYS=1111;", "dev.bin"));
    EXPECT_EQ(test::ReadBytes("dev.bin"), "A");
    EXPECT_EQ(DeviceColumn("systemstate"), "14") << "a file reply is not a status";
    EXPECT_TRUE(Device(slave, "NUM=77", "TEMP=7'1;"));
    EXPECT_EQ(Param("TEMP", 5), "7'1");
}

TEST_F(ApplyReplyTest, PhoneBookAndKeysLandWholeOrNotAtAll) {
    EXPECT_FALSE(Device(part, "NUM=23", "SMS=+79001234567000005;DIA=0123FFFFFFFFabcdef;"));
    const std::string phones =
        "SELECT phone || '/' || mask FROM device_phone WHERE device_id=1 ORDER BY id";
    EXPECT_EQ(Column(phones), "/0,/0,/0,/0,/0,/0") << "nothing of a reply that does not read";
    EXPECT_EQ(DeviceColumn("last_time"), "") << "not usable, not stamped";
    EXPECT_TRUE(Device(part, "NUM=23",
                       "SMS=+79001234567000005,FFFFFFFFFFFF00000a;DIA=0123FFFFFFFFabcdef;DAT=;"));
    EXPECT_EQ(Column(phones), "+79001234567/5,/10,0123/11259375,/0,/0,/0");

    EXPECT_TRUE(Device(part, "NUM=38", "MKEY=a200000001b81c02;KEY1=BAD';KEY2=0000000000000000;"));
    EXPECT_EQ(Column("SELECT key_value FROM device_key WHERE device_id=1 ORDER BY id"),
              "a200000001b81c02,,0000000000000000,,,,,,,,,,,,");
    part->SetNewPassword("pending");
    EXPECT_TRUE(Device(part, "NUM=96", "NPASS=d'Art;"));
    EXPECT_EQ(DeviceColumn("password"), "d'Art");
    EXPECT_EQ(part->NewPassword(), "");
}

// A status writes its parameters, then its loop states, then the device row;
// whichever fails, the statements before it go too.
TEST_F(ApplyReplyTest, AFailedStatementRollsTheWholeReplyBack) {
    // The records keep what the reply said: each round brings new values.
    const struct {
        std::string table, reply;
    } rounds[] = {{"sensor", "DLYIN=45;SHL=0013;"}, {"device", "DLYIN=46;SHL=0014;"}};
    for (const auto& [table, reply] : rounds) {
        SCOPED_TRACE(table);
        Exec("ALTER TABLE " + table + " RENAME TO away");
        const CResult applied = Device(part, "NUM=16", reply);
        EXPECT_FALSE(applied);
        EXPECT_EQ(applied.Error().rfind("ошибка записи в базу данных: ", 0), 0u) << applied.Error();
        Exec("ALTER TABLE away RENAME TO " + table);
        EXPECT_EQ(Param("DLYIN"), "30") << "the parameters went with the failed statement";
        EXPECT_EQ(Column("SELECT state FROM sensor ORDER BY id"), "0,0,0");
        EXPECT_EQ(DeviceColumn("last_time"), "");
    }
}

// A later command of the same exchange is built from the worker's snapshot,
// brought along with each reply; it must send what the records would send.
TEST_F(ApplyReplyTest, SnapshotFollowsRepliesAsTheRecordsDo) {
    ASSERT_TRUE(part->SetNewPassword("n1"));
    ASSERT_TRUE(slave->SetNewPassword("s1"));
    ASSERT_TRUE(terminal->SetNewPassword("t2"));
    const std::string refusedNoNew = "<refused>" + std::string(kRefusalNoNewPassword);
    const struct {
        const char* name;
        CDevice* device; // null: the terminal
        const char* command;
        const char* reply;
        const char* next;
        std::string sent; // the next command's data
    } steps[] = {
        {"status, then parameters", part, "NUM=16", "DLYIN=45;UBATMIN=99;MODE=2;", "NUM=17",
         "RZD=01;PASS=p1;DLYIN=45;UBATMIN=99;OBJNAME=Объект;AUTOARM=0;MODE=0;"},
        {"phone book read, then written", part, "NUM=23",
         "SMS=+7(900)12345000005,FFFFFFFFFFFF00000a;DIA=0123FFFFFFFFabcdef;DAT=;", "NUM=24",
         "RZD=01;PASS=p1;SMS=+790012345FF000005,FFFFFFFFFFFF00000A,;"
         "DIA=0123FFFFFFFFABCDEF,FFFFFFFFFFFF000000,;DAT=FFFFFFFFFFFF000000,FFFFFFFFFFFF000000,;"},
        {"keys read, then written", part, "NUM=38", "MKEY=a200000001b81c02;KEY2=0000000000000000;",
         "NUM=9",
         "RZD=01;PASS=p1;MKEY=a200000001b81c02;KEY1=;KEY2=0000000000000000;KEY3=;KEY4=;KEY5=;"
         "KEY6=;KEY7=;KEY8=;KEY9=;KEY10=;KEY11=;KEY12=;KEY13=;KEY14=;"},
        {"partition password, then a status", part, "NUM=96", "NPASS=n1;", "NUM=16",
         "RZD=01;PASS=n1;"},
        {"partition password twice", part, "NUM=96", "NPASS=n1;", "NUM=96", refusedNoNew},
        {"a slave's password is not its partition's", slave, "NUM=96", "NPASS=s1;", "NUM=16",
         "RZD=01;PASS=n1;DEVA=05;"},
        {"loops read, then written", nullptr, "NUM=39", "CFG=M1=2(5,6,),S5=1(3,),M0=1(9,),;",
         "NUM=40", "RZD=0;PASS=p0;CFG=M0=0(),M1=2(5,6,),S5=1(3,),;"},
        {"loops read up to an unknown device", nullptr, "NUM=40",
         "CFG=M1=2(7,7,),M9=1(1,),S5=1(8,),;", "NUM=40",
         "RZD=0;PASS=p0;CFG=M0=0(),M1=2(7,7,),S5=1(3,),;"},
        {"link password twice", nullptr, "NUM=97", "NPSWD=t2;", "NUM=97", refusedNoNew},
    };
    auto data = [](const BuiltCommand& built) {
        return built.message ? built.message->GetData() : "<refused>" + built.refusal;
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const CTermMessage reply(7, 1, step.reply);
        if (step.device) {
            DeviceSnapshot snapshot = step.device->Snapshot();
            const auto value = ReadDeviceReply(snapshot, Spec(step.command), reply);
            ASSERT_TRUE(value);
            ASSERT_TRUE(step.device->ApplyReply(*value, kNow));
            FollowReply(snapshot, *value);
            EXPECT_EQ(data(BuildDeviceCommand(snapshot, Spec(step.next))), step.sent);
            EXPECT_EQ(data(BuildDeviceCommand(step.device->Snapshot(), Spec(step.next))),
                      step.sent);
        } else {
            TerminalSnapshot snapshot = terminal->Snapshot();
            const auto value = ReadTerminalReply(Spec(step.command), reply);
            ASSERT_TRUE(value);
            ASSERT_TRUE(terminal->ApplyReply(*value));
            FollowReply(snapshot, *value);
            EXPECT_EQ(data(BuildTerminalCommand(snapshot, Spec(step.next), kNow)), step.sent);
            EXPECT_EQ(data(BuildTerminalCommand(terminal->Snapshot(), Spec(step.next), kNow)),
                      step.sent);
        }
    }
}

TEST_F(ApplyReplyTest, SnapshotsWithoutADeviceOrAMaster) {
    EXPECT_FALSE(NewTerminal(8, test::kHostWithoutModule)->Snapshot().firstDevice);
    Exec("UPDATE device SET master_id=9 WHERE id=5");
    terminal.reset();
    auto terminals = Reload();
    CDevice* orphan = terminals[0]->FindDevice(5);
    ASSERT_TRUE(orphan);
    EXPECT_FALSE(orphan->Snapshot().masterPassword);
    const TerminalSnapshot snapshot = terminals[0]->Snapshot();
    ASSERT_EQ(snapshot.loops.size(), 3u);
    EXPECT_FALSE(snapshot.loops.back().listed) << "an orphan is left out of the text";
    EXPECT_EQ(snapshot.firstDevice->password, "p0");
}

} // namespace
} // namespace tornu
