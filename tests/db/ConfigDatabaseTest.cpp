#include "db/ConfigDatabase.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace tornu {
namespace {

using test::kTableNames;
using test::ScopedCwd;
using test::TempDir;
using test::WriteBytes;

// Names of the tables or indexes of the file, sorted.
std::vector<std::string> SchemaNames(CConfigDatabase& db, const char* type) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_TRUE(db.Query(CConfigDatabase::Format(
                             "SELECT name FROM sqlite_master WHERE type='%s' ORDER BY name", type),
                         rows))
        << db.LastError();
    std::vector<std::string> names;
    for (const auto& row : rows)
        names.push_back(row.at(0));
    return names;
}

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

int CountRows(CConfigDatabase& db, const std::string& table) {
    std::vector<int> counts;
    EXPECT_TRUE(db.QueryInts("SELECT COUNT(*) FROM " + table, counts)) << db.LastError();
    return counts.empty() ? -1 : counts[0];
}

class ConfigDatabaseTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCwd cwd{dir.Path()};
};

// The first start makes the file with every table and index; a later one
// makes only what is missing.
TEST_F(ConfigDatabaseTest, OnlyTheMissingTableIsCreated) {
    {
        CConfigDatabase db;
        ASSERT_TRUE(db.IsConnected()) << db.LastError();
        EXPECT_TRUE(std::filesystem::exists(dir / "tornucfg.db"));
        EXPECT_EQ(SchemaNames(db, "index"),
                  (std::vector<std::string>{"device_index", "device_key_index", "device_param_index",
                                            "device_phone_index", "sensor_index", "terminal_index"}));
    }
    for (const char* missing : kTableNames) {
        SCOPED_TRACE(missing);
        {
            CConfigDatabase db;
            for (const char* table : kTableNames)
                ASSERT_TRUE(db.Execute(CConfigDatabase::Format("DELETE FROM %s", table)));
            ASSERT_TRUE(db.Execute("INSERT INTO terminal VALUES(5,'+7900','pw','TYPE=A;','')"));
            ASSERT_TRUE(db.Execute("INSERT INTO device_key VALUES(5,0,3,'01','Иванов')"));
            ASSERT_TRUE(db.Execute(std::string("DROP TABLE ") + missing));
        }
        CConfigDatabase db;
        std::vector<std::string> statements;
        db.Connection().SetTrace([&](const std::string& s) { statements.push_back(s); });
        ASSERT_TRUE(db.CheckSchema());
        EXPECT_EQ(statements.size(), 6u); // construction made it again
        EXPECT_EQ(SchemaNames(db, "index").size(), 6u);
        EXPECT_EQ(CountRows(db, "terminal"), std::string(missing) == "terminal" ? 0 : 1);
        EXPECT_EQ(CountRows(db, "device_key"), std::string(missing) == "device_key" ? 0 : 1);
    }
}

// The file holds every password of the fleet: it and its journal files are
// the owner's alone, unless the file was given a mode of its own.
TEST_F(ConfigDatabaseTest, TheFileIsMadeForItsOwner) {
    const mode_t umask = ::umask(022);
    for (const unsigned mode : {0600u, 0640u}) {
        if (mode != 0600u) {
            ASSERT_EQ(::chmod((dir / "tornucfg.db").c_str(), mode), 0);
        }
        CConfigDatabase db;
        ASSERT_TRUE(db.Execute("DELETE FROM terminal")) << db.LastError();
        for (const char* file : {"tornucfg.db", "tornucfg.db-wal", "tornucfg.db-shm"})
            EXPECT_EQ(Mode(dir / file), mode) << file;
    }
    ::umask(umask);
}

TEST_F(ConfigDatabaseTest, ProgramSettingsNameTheDataSource) {
    CIniFile program;
    program.SetValue("TonruDataSource", "Connect", "Driver=SQLite3;Database=" + dir / "other.db");
    program.SetValue("TonruDataSource", "CharSet", "OEM");
    CConfigDatabase db(program);
    ASSERT_TRUE(db.IsConnected()) << db.LastError();
    EXPECT_TRUE(std::filesystem::exists(dir / "other.db"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tornucfg.db"));
    EXPECT_EQ(db.Connection().GetCharSet(), COdbcConnection::Oem);
}

TEST(ConnectionSettings, DefaultUnlessTheSectionHasConnect) {
    const std::string fallback = "Driver=SQLite3;Database=/w/tornucfg.db;JournalMode=WAL;"
                                 "SyncPragma=NORMAL;Timeout=5000";
    EXPECT_EQ(CConfigDatabase::DefaultConnectString("/w/"), fallback);
    for (const auto& [connect, expected] :
         {std::pair{"", fallback}, {"DSN=shared", "DSN=shared"}}) {
        CIniFile program;
        program.SetValue("TonruDataSource", "InitScriptFileName", "init.sql");
        program.SetValue("Main", "Connect", "DSN=elsewhere");
        program.SetValue("TonruDataSource", "Connect", connect);
        CIniFile settings = CConfigDatabase::ConnectionSettings(program, "/w");
        std::string value;
        EXPECT_TRUE(settings.GetValue("TonruDataSource", "Connect", value));
        EXPECT_EQ(value, expected);
        EXPECT_TRUE(settings.GetValue("TonruDataSource", "InitScriptFileName", value));
        EXPECT_FALSE(settings.GetValue("Main", "Connect", value));
    }
}

} // namespace
} // namespace tornu
