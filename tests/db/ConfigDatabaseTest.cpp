#include "db/ConfigDatabase.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tornu {
namespace {

using test::ScopedCwd;
using test::TempDir;
using test::WriteBytes;

const char* const kTables[] = {"terminal",     "device",       "sensor",
                               "device_param", "device_phone", "device_key"};

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

TEST_F(ConfigDatabaseTest, FirstStartCreatesFileTablesAndIndexes) {
    CConfigDatabase db;
    ASSERT_TRUE(db.IsConnected()) << db.LastError();
    EXPECT_TRUE(std::filesystem::exists(dir / "tornucfg.db"));
    EXPECT_EQ(SchemaNames(db, "table"),
              (std::vector<std::string>{"device", "device_key", "device_param", "device_phone",
                                        "sensor", "terminal"}));
    EXPECT_EQ(SchemaNames(db, "index"),
              (std::vector<std::string>{"device_index", "device_key_index", "device_param_index",
                                        "device_phone_index", "sensor_index", "terminal_index"}));
    for (const char* table : kTables)
        EXPECT_EQ(CountRows(db, table), 0) << table;
}

TEST_F(ConfigDatabaseTest, CompleteSchemaIsOnlyCounted) {
    { CConfigDatabase first; }
    CConfigDatabase db;
    std::vector<std::string> statements;
    db.Connection().SetTrace([&](const std::string& s) { statements.push_back(s); });
    EXPECT_TRUE(db.CheckSchema());
    std::vector<std::string> expected;
    for (const char* table : kTables)
        expected.push_back(std::string("SELECT COUNT(*) FROM ") + table);
    EXPECT_EQ(statements, expected);
}

TEST_F(ConfigDatabaseTest, OnlyTheMissingTableIsCreated) {
    for (const char* missing : kTables) {
        SCOPED_TRACE(missing);
        {
            CConfigDatabase db;
            for (const char* table : kTables)
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
        EXPECT_EQ(SchemaNames(db, "table").size(), 6u);
        EXPECT_EQ(SchemaNames(db, "index").size(), 6u);
        EXPECT_EQ(CountRows(db, "terminal"), std::string(missing) == "terminal" ? 0 : 1);
        EXPECT_EQ(CountRows(db, "device_key"), std::string(missing) == "device_key" ? 0 : 1);
    }
}

TEST_F(ConfigDatabaseTest, MissingTableGetsCreateAndIndexStatements) {
    CConfigDatabase db;
    std::vector<std::string> statements;
    db.Connection().SetTrace([&](const std::string& s) { statements.push_back(s); });
    ASSERT_TRUE(db.Execute("DROP TABLE device_key"));
    statements.clear();
    ASSERT_TRUE(db.CheckSchema());
    ASSERT_EQ(statements.size(), 8u);
    EXPECT_EQ(statements[5], "SELECT COUNT(*) FROM device_key");
    EXPECT_EQ(statements[6], "CREATE TABLE device_key (term_id int,device_id int,id int,"
                             "key_value varchar(40),key_owner varchar(100))");
    EXPECT_EQ(statements[7], "CREATE UNIQUE INDEX device_key_index ON device_key "
                             "(term_id,device_id,id)");
}

TEST_F(ConfigDatabaseTest, MemoColumnsKeepTextAsWritten) {
    CConfigDatabase db;
    for (const char* value : {"0012", "1e5", "-0", " 7 ", "3.10", "0x1F"}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(db.Execute("DELETE FROM terminal"));
        ASSERT_TRUE(db.Execute(CConfigDatabase::Format(
            "INSERT INTO terminal VALUES(1,'','','%s','%s')", value, value)));
        ASSERT_TRUE(db.Execute("SELECT config,term_config FROM terminal WHERE id=1"));
        ASSERT_TRUE(db.Fetch());
        EXPECT_EQ(db.Column(0), value);
        EXPECT_EQ(db.Column(1), value);
    }
}

TEST_F(ConfigDatabaseTest, UniqueIndexRefusesSecondRow) {
    CConfigDatabase db;
    ASSERT_TRUE(db.Execute("INSERT INTO sensor VALUES(1,0,1,0,0,'')"));
    EXPECT_FALSE(db.Execute("INSERT INTO sensor VALUES(1,2,1,0,0,'')"));
    EXPECT_EQ(db.LastError().rfind("SQLExecDirect, State: ", 0), 0u) << db.LastError();
}

TEST_F(ConfigDatabaseTest, RowsSurviveReopening) {
    {
        CConfigDatabase db;
        ASSERT_TRUE(db.Execute("INSERT INTO device_key VALUES(1,2,3," +
                               CConfigDatabase::Quote("0123456789ABCDEF") + "," +
                               CConfigDatabase::Quote("Д'Артаньян") + ")"));
    }
    CConfigDatabase db;
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(db.Query("SELECT * FROM device_key", rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "2", "3", "0123456789ABCDEF", "Д'Артаньян"}));
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

TEST_F(ConfigDatabaseTest, BadDataSourceLeavesEveryStatementFailing) {
    CIniFile program;
    program.SetValue("TonruDataSource", "Connect", "Driver=NoSuchDriver");
    CConfigDatabase db(program);
    EXPECT_FALSE(db.IsConnected());
    EXPECT_EQ(db.LastError().rfind("SQLConnect, State: ", 0), 0u) << db.LastError();
    EXPECT_FALSE(db.Execute("SELECT COUNT(*) FROM terminal"));
    EXPECT_EQ(db.LastError().rfind("SQLConnect, State: ", 0), 0u) << "the driver's text stays";
    EXPECT_FALSE(db.Fetch());
    std::vector<int> ids;
    EXPECT_FALSE(db.QueryInts("SELECT id FROM terminal", ids));
}

TEST(ConnectionSettings, DefaultUnlessTheSectionHasConnect) {
    const std::string fallback = "Driver=SQLite3;Database=/w/tornucfg.db;JournalMode=WAL;"
                                 "SyncPragma=NORMAL;Timeout=5000";
    EXPECT_EQ(CConfigDatabase::DefaultConnectString("/w"), fallback);
    EXPECT_EQ(CConfigDatabase::DefaultConnectString("/w/"), fallback);
    const struct {
        const char* name;
        const char* connect; // nullptr: no such key
        const char* expected;
    } cases[] = {{"no key", nullptr, fallback.c_str()},
                 {"empty key", "", fallback.c_str()},
                 {"own source", "DSN=shared", "DSN=shared"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIniFile program;
        program.SetValue("TonruDataSource", "InitScriptFileName", "init.sql");
        program.SetValue("Main", "Connect", "DSN=elsewhere");
        if (c.connect)
            program.SetValue("TonruDataSource", "Connect", c.connect);
        CIniFile settings = CConfigDatabase::ConnectionSettings(program, "/w");
        std::string value;
        EXPECT_TRUE(settings.GetValue("TonruDataSource", "Connect", value));
        EXPECT_EQ(value, c.expected);
        EXPECT_TRUE(settings.GetValue("TonruDataSource", "InitScriptFileName", value));
        EXPECT_EQ(value, "init.sql");
        EXPECT_FALSE(settings.GetValue("Main", "Connect", value));
    }
}

TEST(StatementText, EscapeQuoteAndFormat) {
    EXPECT_EQ(CConfigDatabase::Escape("it's ''"), "it''s ''''");
    EXPECT_EQ(CConfigDatabase::Quote("a'b"), "'a''b'");
    EXPECT_EQ(CConfigDatabase::Quote(""), "''");
    EXPECT_EQ(CConfigDatabase::Format("id=%d AND name = '%s'", 12, "x"), "id=12 AND name = 'x'");
    std::string big(100000, 'q');
    EXPECT_EQ(CConfigDatabase::Format("'%s'", big.c_str()), "'" + big + "'");
}

} // namespace
} // namespace tornu
