#include "db/ConfigDatabase.h"
#include "db/OdbcConnection.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

using test::TempDir;
using test::WriteBytes;

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

class RunScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.Connect(CConfigDatabase::DefaultConnectString(dir.Path().string())));
    }
    std::string Script(const std::string& name, const std::string& bytes) {
        WriteBytes(dir / name, bytes);
        return dir / name;
    }

    TempDir dir;
    COdbcConnection db;
};

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
