// The two ways the load reads a table give the same cells, whatever the
// cells hold, and the file reader is used only for an SQLite file.
#include "db/ConfigDatabase.h"
#include "db/TableReader.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

std::vector<std::vector<std::string>> ReadAll(ITableReader& reader, const char* table,
                                              const char* orderBy = nullptr) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_TRUE(reader.Open(table, orderBy));
    DbRow row;
    while (reader.Next(row))
        rows.emplace_back(row.begin(), row.end());
    EXPECT_FALSE(reader.Failed());
    return rows;
}

TEST(TableReaderTest, FileAndDriverGiveTheSameCells) {
    test::TempDir dir;
    test::ScopedCwd inDir(dir.Path());
    CConfigDatabase db;
    ASSERT_TRUE(db.IsConnected());
    ASSERT_TRUE(db.Execute("CREATE TABLE odd (a int, b varchar(40), c TEXT)"));
    for (const char* values :
         {"NULL,NULL,''", "-9223372036854775808,'Окно ''1''','x7'", "9223372036854775807,1.5,' '",
          "'12abc',-0,X'41ab'", "0,'',NULL"})
        ASSERT_TRUE(db.Execute(std::string("INSERT INTO odd VALUES(") + values + ")"))
            << db.LastError();
    auto file = CSqliteTableReader::ForDatabase(db);
    ASSERT_TRUE(file);
    COdbcTableReader driver(db);
    const auto fromFile = ReadAll(*file, "odd");
    EXPECT_EQ(fromFile, ReadAll(driver, "odd"));
    EXPECT_EQ(fromFile.at(1).at(0), "-9223372036854775808");
    EXPECT_EQ(fromFile.at(0).at(0), "") << "NULL reads as an empty text";
    const auto ordered = ReadAll(*file, "odd", "a,b");
    EXPECT_EQ(ordered, ReadAll(driver, "odd", "a,b"));
    EXPECT_EQ(ordered.at(1).at(0), "-9223372036854775808");
    EXPECT_EQ(ordered.at(4).at(0), "12abc");
    EXPECT_FALSE(file->Open("nosuch", nullptr));
    EXPECT_FALSE(driver.Open("nosuch", nullptr));
}

TEST(TableReaderTest, FileOfConnectionString) {
    EXPECT_EQ(SqliteFileOf("Driver=SQLite3;Database=/a/b.db;Timeout=5000", "SQLite"), "/a/b.db");
    EXPECT_EQ(SqliteFileOf("DRIVER={SQLite3}; database = {/a b;c.db} ", "SQLite"), "/a b;c.db");
    EXPECT_EQ(SqliteFileOf("Driver=SQLite3;Database=/a/b.db", "PostgreSQL"), "");
    EXPECT_EQ(SqliteFileOf("DSN=config", "SQLite"), "");
}

} // namespace
} // namespace tornu
