#include "db/OdbcConnection.h"
#include "db/ConfigDatabase.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <tuple>

namespace tornu {
namespace {

using test::TempDir;
using test::WriteBytes;

class OdbcConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.Connect(CConfigDatabase::DefaultConnectString(dir.Path().string())))
            << db.LastError();
        ASSERT_TRUE(db.ExecDirect("CREATE TABLE t (id int,name varchar(40),memo TEXT,raw blob)"))
            << db.LastError();
    }

    std::string Script(const std::string& name, const std::string& bytes) {
        WriteBytes(dir / name, bytes);
        return dir / name;
    }

    TempDir dir;
    COdbcConnection db;
};

// Texts and their quoting are the records' (RecordChangeTest); here values
// longer than a fetch buffer or a varchar's declared size, read in turn.
TEST_F(OdbcConnectionTest, LongValuesComeBackWhole) {
    std::string big;
    for (int i = 0; big.size() < 200000; ++i)
        big += "ПАРАМ" + std::to_string(i) + "=значение;";
    const std::string name = std::string(600, 'x') + "Ж";
    ASSERT_TRUE(db.ExecDirect("INSERT INTO t (id,name,memo) VALUES(1," +
                              tornu::test::SqlQuote(name) + "," + tornu::test::SqlQuote(big) +
                              ")"));
    ASSERT_TRUE(db.ExecDirect("SELECT memo,name FROM t"));
    ASSERT_TRUE(db.FetchNext());
    EXPECT_EQ(db.ColumnText(0), big);
    EXPECT_EQ(db.ColumnText(1), name);
    EXPECT_FALSE(db.FetchNext());
}

TEST_F(OdbcConnectionTest, BinaryColumnsReadRawBytes) {
    ASSERT_TRUE(db.ExecDirect("INSERT INTO t (id,raw) VALUES(1,x'00FF410042')"));
    ASSERT_TRUE(db.ExecDirect("SELECT raw FROM t"));
    ASSERT_TRUE(db.Fetch());
    EXPECT_EQ(db.ColumnText(0), std::string("\0\xff\x41\0\x42", 5));
}

TEST_F(OdbcConnectionTest, ColumnsDescribeTheResult) {
    ASSERT_TRUE(db.ExecDirect("INSERT INTO t (id,name) VALUES(7,NULL)"));
    ASSERT_TRUE(db.ExecDirect("SELECT * FROM t"));
    ASSERT_EQ(db.ColumnCount(), 4);
    EXPECT_EQ(db.ColumnName(1), "name");
    EXPECT_EQ(db.ColumnType(1), SQL_VARCHAR);
    EXPECT_EQ(db.ColumnSize(1), 40u);
    EXPECT_EQ(db.ColumnType(2), SQL_LONGVARCHAR);
    ASSERT_TRUE(db.Fetch());
    // NULL reads as an empty text and as 0; columns beyond the result as nothing.
    EXPECT_EQ(std::tuple(db.ColumnInt(0), db.ColumnText(1), db.ColumnInt(1), db.ColumnText(4),
                         db.ColumnText(-1), db.ColumnInt(9)),
              std::tuple(7, std::optional<std::string>(""), 0, std::optional<std::string>(),
                         std::optional<std::string>(), 0));
    EXPECT_FALSE(db.Fetch());
}

TEST_F(OdbcConnectionTest, FailedStatementGivesDiagnosticText) {
    EXPECT_FALSE(db.ExecDirect("SELECT COUNT(*) FROM nosuch"));
    EXPECT_EQ(db.LastError(), "SQLExecDirect, State: HY000, Native Error: 1, Error Message: "
                              "[SQLite]no such table: nosuch (1)");
    EXPECT_EQ(db.ColumnCount(), 0);
}

TEST(OdbcConnectionErrors, EveryOperationFailsWhenNotConnected) {
    COdbcConnection db;
    EXPECT_FALSE(db.ExecDirect("SELECT 1"));
    EXPECT_EQ(db.LastError(), "Stmt is NULL");
    EXPECT_FALSE(db.Fetch());
    EXPECT_EQ(db.ColumnText(0), std::nullopt);
    EXPECT_FALSE(db.Connect("Driver=NoSuchDriver;Database=/tmp/x.db"));
    EXPECT_FALSE(db.IsConnected());
    EXPECT_EQ(db.LastError(), "SQLConnect, State: 01000, Native Error: 0, Error Message: "
                              "[unixODBC][Driver Manager]Can't open lib 'NoSuchDriver' : "
                              "file not found");
    EXPECT_FALSE(db.ExecDirect("SELECT 1"));
}

TEST(OdbcConnectionSettings, ConnectKeyAndCharSet) {
    TempDir dir;
    CIniFile settings;
    settings.SetValue("S", "CharSet", "oem"); // matched without case
    COdbcConnection db;
    EXPECT_FALSE(db.Connect("S", settings));
    EXPECT_EQ(db.LastError(), "Не найден параметр Connect секция S");
    EXPECT_EQ(db.Section(), "S");
    EXPECT_FALSE(db.Connect("Driver=SQLite3;Database=" + dir / "missing-folder/x.db"));
    EXPECT_EQ(db.LastError().rfind("SQLConnect, State: ", 0), 0u) << db.LastError();
    settings.SetValue("S", "Connect", CConfigDatabase::DefaultConnectString(dir.Path()));
    ASSERT_TRUE(db.Connect("S", settings)) << db.LastError();
    EXPECT_EQ(db.GetCharSet(), COdbcConnection::Oem);
    settings.SetValue("S", "CharSet", "KOI8");
    ASSERT_TRUE(db.Connect("S", settings)) << db.LastError();
    EXPECT_EQ(db.GetCharSet(), COdbcConnection::Ansi) << "an unknown one does not keep the last";
}

TEST(OdbcConnectionSettings, InitScriptRunsAfterConnecting) {
    TempDir dir;
    WriteBytes(dir / "init.sql", "CREATE TABLE made_by_script (id int)");
    WriteBytes(dir / "empty.sql", "");
    CIniFile settings;
    settings.SetValue("S", "Connect", CConfigDatabase::DefaultConnectString(dir.Path()));
    settings.SetValue("S", "InitScriptFileName", dir / "empty.sql");
    COdbcConnection db;
    // An empty script is reported but the connection stands.
    EXPECT_TRUE(db.Connect("S", settings));
    EXPECT_EQ(db.LastError(), "Файла скрипта пустой: " + dir / "empty.sql");
    settings.SetValue("S", "InitScriptFileName", dir / "init.sql");
    ASSERT_TRUE(db.Connect("S", settings)) << db.LastError();
    EXPECT_TRUE(db.ExecDirect("SELECT COUNT(*) FROM made_by_script")) << db.LastError();
}

TEST(ScriptParameters, ReferencesAreReplacedOnce) {
    const std::string params = "TABLE=extra\r\nИмя=Пётр\r\nempty=\r\nx=%TABLE%\r\nTABLE=second";
    const struct {
        const char* name;
        const char* script;
        const char* expected;
    } cases[] = {
        {"value not rescanned", "%x%", "%TABLE%"},
        {"unknown name stays", "%nosuch%TABLE%", "%nosuch%TABLE%"},
        {"empty name", "%%TABLE%", "%extra"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SubstituteScriptParameters(c.script, params), c.expected);
    }
}

using RunScriptTest = OdbcConnectionTest;

TEST_F(RunScriptTest, RefusedFilesNameTheReason) {
    const std::string missing = dir / "missing.sql";
    EXPECT_FALSE(db.RunScript(missing));
    EXPECT_EQ(db.LastError(), "Невозможно открыть файл скрипта: " + missing);

    const std::string empty = Script("empty.sql", "");
    EXPECT_FALSE(db.RunScript(empty));
    EXPECT_EQ(db.LastError(), "Файла скрипта пустой: " + empty);

    const std::string binary = Script("binary.sql", std::string("SELECT 1\0", 9));
    EXPECT_FALSE(db.RunScript(binary));
    EXPECT_EQ(db.LastError(), "Файла скрипта должен быть текстовым: " + binary);
}

// Parameters are replaced; a Windows-1251 text ("Тест") is converted.
TEST_F(RunScriptTest, ScriptRunsAsOneStatementWithParameters) {
    const std::string params = "T=made\r\nV=Привет";
    ASSERT_TRUE(db.RunScript(Script("create.sql", "CREATE TABLE %T% (name TEXT)"), &params))
        << db.LastError();
    ASSERT_TRUE(db.RunScript(Script("insert.sql", "INSERT INTO %T% VALUES('%V%')"), &params))
        << db.LastError();
    // Without parameters the references stay as written.
    ASSERT_TRUE(db.RunScript(Script("insert2.sql", "INSERT INTO made VALUES('%V%')")));
    ASSERT_TRUE(db.RunScript(Script("cp.sql", "INSERT INTO made VALUES('\xD2\xE5\xF1\xF2')")));
    std::vector<std::string> names;
    ASSERT_TRUE(db.ExecDirect("SELECT name FROM made ORDER BY name"));
    while (db.Fetch())
        names.push_back(db.ColumnText(0).value_or("<null>"));
    EXPECT_EQ(names, (std::vector<std::string>{"%V%", "Привет", "Тест"}));
    EXPECT_FALSE(db.RunScript(Script("bad.sql", "INSERT INTO nosuch VALUES(1)")));
    EXPECT_EQ(db.LastError().rfind("SQLExecDirect, State: ", 0), 0u) << db.LastError();
}

} // namespace
} // namespace tornu
