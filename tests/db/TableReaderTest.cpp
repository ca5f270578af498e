// The ways the load reads a table give the same cells, whatever the cells
// hold, and the file reader is used only for an SQLite file, the server's
// library only for a server.
#include "db/ConfigDatabase.h"
#include "db/PgTableReader.h"
#include "db/TableReader.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace tornu {
namespace {

std::vector<std::vector<std::string>> ReadAll(ITableReader& reader, const char* table,
                                              const char* orderBy = nullptr) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_TRUE(reader.Open(table, nullptr, orderBy));
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
    EXPECT_FALSE(file->Open("nosuch", nullptr, nullptr));
    EXPECT_FALSE(driver.Open("nosuch", nullptr, nullptr));
}

// More rows than one fetch of the cursor brings, an empty table and a
// table read again after another.
TEST(TableReaderTest, ServerLibraryAndDriverGiveTheSameCells) {
    test::TempDir dir;
    test::ScopedCwd inDir(dir.Path());
    CConfigDatabase db(test::FreshTestDatabaseSettings());
    ASSERT_TRUE(db.IsConnected());
    if (!test::OnServer()) {
        EXPECT_FALSE(CPgTableReader::ForDatabase(db)) << "an SQLite file is no server";
        GTEST_SKIP() << "needs the server (TORNU_TEST_CONNECT)";
    }
    ASSERT_TRUE(db.Execute("DROP TABLE IF EXISTS odd"));
    ASSERT_TRUE(db.Execute("DROP TABLE IF EXISTS none"));
    ASSERT_TRUE(db.Execute("CREATE TABLE odd (a bigint, b varchar(40), c TEXT)"));
    ASSERT_TRUE(db.Execute("CREATE TABLE none (a int)"));
    ASSERT_TRUE(db.Execute("INSERT INTO odd VALUES (NULL,NULL,''),"
                           "(-9223372036854775808,'Окно ''1''','x7'),"
                           "(9223372036854775807,'1.5',' '),(0,'',NULL)"));
    ASSERT_TRUE(db.Execute("INSERT INTO odd SELECT n, 'ряд ' || n, repeat('z', n % 300) "
                           "FROM generate_series(1, 20000) AS n"));
    auto server = CPgTableReader::ForDatabase(db);
    ASSERT_TRUE(server);
    COdbcTableReader driver(db);
    const auto fromServer = ReadAll(*server, "odd", "a,b");
    EXPECT_EQ(fromServer.size(), 20004u);
    EXPECT_EQ(fromServer, ReadAll(driver, "odd", "a,b"));
    EXPECT_TRUE(ReadAll(*server, "none").empty());
    EXPECT_EQ(ReadAll(*server, "odd"), ReadAll(driver, "odd"));
    EXPECT_FALSE(server->Open("nosuch", nullptr, nullptr));
}

TEST(TableReaderTest, FileOfConnectionString) {
    EXPECT_EQ(SqliteFileOf("DRIVER={SQLite3}; database = {/a b;c.db} ", "SQLite"), "/a b;c.db");
    EXPECT_EQ(SqliteFileOf("Driver=SQLite3;Database=/a/b.db", "PostgreSQL"), "");
}

} // namespace
} // namespace tornu
