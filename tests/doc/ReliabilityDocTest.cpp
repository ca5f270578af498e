// What the document refuses before anything is written: texts that would
// break a message, terminal numbers no header can carry, values of a station
// table that would, and a database or settings file that cannot be read.
#include "DocTestFixture.h"

#include "db/ConfigDatabase.h"
#include "db/Tables.h"
#include "import/OdbBuilder.h"
#include "protocol/ConfigText.h"
#include "settings/Encoding.h"

#include <filesystem>

using namespace tornu;
using namespace tornu::test;

namespace {

using Strings = std::vector<std::string>;

class ReliabilityDocTest : public DocTest {};

TEST_F(ReliabilityDocTest, TextsThatWouldBreakAMessageAreRefusedWhereTyped) {
    Start();
    CTreeNode& terminal = AddTerminal(12);
    CTreeNode& part = AddDevice(terminal, 1, kPartition8, "Офис");
    const std::string before = Rows("SELECT * FROM terminal")[0][2] + Rows("SELECT * FROM device")[1][3];
    int refused = 0;
    for (const char* bad : {"1111;DEVA=05", "a\rb", "a\nb", "~0012"}) {
        EXPECT_FALSE(doc->Editor().EditTerminal(terminal, {.number = "12", .hostType = 0, .phone = "+7900",
                                                  .password = bad}));
        EXPECT_FALSE(doc->Editor().EditTerminal(terminal, {.number = "12", .hostType = 0, .phone = bad,
                                                  .password = "link"}));
        EXPECT_FALSE(doc->Editor().EditTerminal(
            terminal, {.number = "12", .hostType = 0, .phone = "+7900", .password = "link",
                       .newPassword = bad}));
        EXPECT_FALSE(doc->Editor().EditDevice(part, {.address = 1, .busType = 0, .name = bad}));
        EXPECT_FALSE(doc->Editor().EditDevice(part, {.address = 1, .busType = 0, .password = bad}));
        EXPECT_FALSE(doc->Editor().NewTerminal({.number = "13", .hostType = 0, .password = bad}));
        EXPECT_FALSE(part.Device()->SetPassword(bad));
        EXPECT_FALSE(part.Device()->SetNewPassword(bad));
        refused += 8;
    }
    for (const char* number : {"-1", "65536", "99999999999"}) {
        EXPECT_FALSE(doc->Editor().NewTerminal({.number = number, .hostType = 0}));
        ++refused;
    }
    EXPECT_TRUE(doc->Editor().NewTerminal({.number = "65535", .hostType = 0}));
    EXPECT_EQ(std::count(op.messages.begin(), op.messages.end(), kUnsafeTextMessage), 24);
    EXPECT_EQ(std::count(op.messages.begin(), op.messages.end(), kTerminalNumberRangeMessage), 3);
    EXPECT_EQ(Rows("SELECT * FROM terminal")[0][2] + Rows("SELECT * FROM device")[1][3], before);
    EXPECT_EQ(Count("terminal"), 2);
    std::printf("bad inputs refused with nothing changed: %d\n", refused);
}

TEST_F(ReliabilityDocTest, StationValuesThatWouldBreakAMessageAreSkipped) {
    Start();
    AddTerminal(5);
    WriteBytes(dir / "terminal.odb",
               StationLayout()
                   .Raw(StationRecord(5, "+7900;1", "ok"))
                   .Raw(StationRecord(5, "+7900111", "pw\r~"))
                   .Bytes());
    EXPECT_TRUE(doc->Editor().ImportStationData(dir.Path().string()));
    EXPECT_EQ(op.messages.back(), "Импортированы данные по 2 устройствам. Пропущено значений с "
                                  "недопустимыми символами: 2");
    EXPECT_EQ(Rows("SELECT phone,password FROM terminal"), (std::vector<Strings>{{"+7900111", "ok"}}));

    // No records of no size: an empty table, as the header says.
    WriteBytes(dir / "terminal.odb", StationLayout().RecordSize(0).HeaderCount(0).Bytes());
    EXPECT_TRUE(doc->Editor().ImportStationData(dir.Path().string()));
    EXPECT_EQ(op.messages.back(), "Импортированы данные по 0 устройствам");
}

// Texts longer than their columns, refused alike on both databases before
// anything is written, with the field and its limit: where typed, in a key
// list file, and in a station table, which skips and counts them.
TEST_F(ReliabilityDocTest, TextsLongerThanTheirColumnsAreRefusedBeforeAnythingIsWritten) {
    Start();
    CTreeNode& part = AddDevice(AddTerminal(5), 1, kPartition8, "Офис");
    const std::string before = DumpTables(doc->Workspace().Database());
    std::string owner;
    for (int i = 0; i < 150; ++i)
        owner += "я";
    const std::string ownerLimit = CheckColumnText(kDeviceKeyTable, "key_owner", owner).Error();
    ASSERT_FALSE(ownerLimit.empty());

    WriteBytes(dir / "keys.txt", Utf8ToCp1251("540000001E3C5A01,Иванов\r\n4500004433221101," +
                                              owner + "\r\n"));
    EXPECT_FALSE(doc->Editor().LoadKeyList(part, dir / "keys.txt"));
    EXPECT_EQ(op.messages.back(), ownerLimit);
    EXPECT_FALSE(doc->Editor().SetKey(part, 2, "540000001E3C5A01", owner));
    EXPECT_EQ(op.messages.back(), ownerLimit);
    const std::string name(256, 'x');
    EXPECT_FALSE(doc->Editor().EditDevice(part, {.address = 1, .busType = 0, .name = name}));
    EXPECT_EQ(op.messages.back(), CheckColumnText(kDeviceTable, "name", name).Error());
    EXPECT_EQ(DumpTables(doc->Workspace().Database()), before);

    const std::string phone(60, '7');
    WriteBytes(dir / "terminal.odb",
               OdbBuilder()
                   .Field("TermNum", 1, 4, 0)
                   .Field("PhoneNum", 0, 80, 4)
                   .Field("TermPassword", 0, 16, 84)
                   .RecordSize(100)
                   .Raw(RecordBytes(100, {{0, U32(5)}, {4, phone}, {84, "new"}}))
                   .Bytes());
    EXPECT_TRUE(doc->Editor().ImportStationData(dir.Path().string()));
    EXPECT_EQ(op.messages.back(),
              "Импортированы данные по 1 устройствам. Пропущено слишком длинных значений: 1 (" +
                  CheckColumnText(kTerminalTable, "phone", phone).Error() + ")");
    EXPECT_EQ(Rows("SELECT phone,password FROM terminal"), (std::vector<Strings>{{"+7900", "new"}}));
}

TEST_F(ReliabilityDocTest, AnUnreadableDatabaseIsSaidAndLeftAlone) {
    TORNU_SKIP_ON_SERVER("damages the file");
    const std::string garbage(8192, '\x5A');
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"not a database", [&] { WriteBytes(dir / "tornucfg.db", garbage); }},
        {"journal cannot be written", [&] {
             std::filesystem::create_directory(dir / "tornucfg.db-wal");
             std::filesystem::create_directory(dir / "tornucfg.db-shm");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* extra : {"tornucfg.db", "tornucfg.db-wal", "tornucfg.db-shm"})
            std::filesystem::remove_all(dir / extra);
        {
            Start();
            for (int id = 1; id <= 20; ++id)
                AddTerminal(id);
        }
        doc.reset();
        const std::string good = ReadBytes(dir / "tornucfg.db");
        for (const char* extra : {"tornucfg.db-wal", "tornucfg.db-shm"})
            std::filesystem::remove_all(dir / extra);
        c.damage();
        const std::string bytes = ReadBytes(dir / "tornucfg.db");
        op.messages.clear();
        Start();
        EXPECT_FALSE(doc->Workspace().Database().IsAvailable());
        ASSERT_EQ(op.messages.size(), 1u);
        EXPECT_NE(op.messages[0].find("данных ("), std::string::npos) << op.messages[0];
        EXPECT_NE(op.messages[0].find("tornucfg.db"), std::string::npos) << op.messages[0];
        EXPECT_TRUE(doc->Workspace().Terminals().empty());
        EXPECT_FALSE(doc->Editor().NewTerminal({.number = "13", .hostType = 0}));
        EXPECT_EQ(op.messages.back(), doc->Workspace().Database().Failure());
        doc.reset();
        EXPECT_EQ(ReadBytes(dir / "tornucfg.db"), bytes) << "written after all";
    }
}

TEST_F(ReliabilityDocTest, AnUnreadableSettingsFileIsSaid) {
    std::filesystem::remove(dir / kSettingsFileName);
    std::filesystem::create_directory(dir / kSettingsFileName);
    Start();
    ASSERT_FALSE(op.messages.empty());
    EXPECT_EQ(op.messages[0].rfind(kSettingsUnreadableMessage, 0), 0u) << op.messages[0];
}

} // namespace
