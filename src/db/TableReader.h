#pragma once
// Every row of one table, one after another: how the load reads the
// configuration.
//
// COdbcTableReader reads through the database's own connection, so it works
// with any driver. CSqliteTableReader reads the embedded SQLite file directly
// and read-only, without the driver: the driver copies every cell into an
// allocation of its own and takes a lock for each, which made the driver
// alone twice as slow as the file itself. Both give each cell as the driver
// gives it: text, NULL as an empty text.
#include "db/DbRecord.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tornu {

class CConfigDatabase;

class ITableReader {
public:
    virtual ~ITableReader() = default;
    // Starts on every row of `table` with the columns `columns` names
    // ("term_id,id,name") or null for all, in the order of the columns
    // `orderBy` names ("term_id,id") or null for the table's own; false when
    // the table cannot be read.
    virtual bool Open(const char* table, const char* columns, const char* orderBy) = 0;
    // The next row, valid until the next call; false at the end and on a
    // failure, which Failed() then tells.
    virtual bool Next(DbRow& row) = 0;
    virtual bool Failed() const = 0;
};

class COdbcTableReader final : public ITableReader {
public:
    explicit COdbcTableReader(CConfigDatabase& db) : db_(db) {}

    bool Open(const char* table, const char* columns, const char* orderBy) override;
    bool Next(DbRow& row) override;
    bool Failed() const override { return failed_; }

private:
    CConfigDatabase& db_;
    std::vector<std::string_view> cells_;
    bool failed_ = false;
};

class CSqliteTableReader final : public ITableReader {
public:
    // A reader of the database's file when it is an SQLite file named by the
    // connection string ("Database=..."), else null. Every table is read in
    // one snapshot.
    static std::unique_ptr<CSqliteTableReader> ForDatabase(CConfigDatabase& db);
    ~CSqliteTableReader() override;

    bool Open(const char* table, const char* columns, const char* orderBy) override;
    bool Next(DbRow& row) override;
    bool Failed() const override { return failed_; }

private:
    explicit CSqliteTableReader(sqlite3* file) : file_(file) {}

    sqlite3* file_;
    sqlite3_stmt* statement_ = nullptr;
    std::vector<std::string_view> cells_;
    // Integer cells written out as text, one slot per column.
    std::vector<std::array<char, 24>> numbers_;
    std::vector<std::string> blobs_;
    bool failed_ = false;
};

// The file a connection string names as "Database" when its driver is
// SQLite's; empty otherwise.
std::string SqliteFileOf(std::string_view connect, std::string_view dbmsName);

} // namespace tornu
