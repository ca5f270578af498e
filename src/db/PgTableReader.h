#pragma once
// Every row of a table of the PostgreSQL server, read with the server's own
// client library instead of the driver: the driver takes the whole result
// into its own copy and then hands out each cell through a call of its own,
// which made it slower than the server and the transfer together. Here the
// rows come through a cursor, some thousands at a time, and each cell is
// given where the library keeps it; memory stays bounded for a fleet of any
// size. Cells are the driver's texts: NULL as an empty text.
#include "db/TableReader.h"

#include <memory>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tornu {

class CConfigDatabase;

class CPgTableReader final : public ITableReader {
public:
    // A reader of the server the database's connection string names, when
    // its driver is PostgreSQL's and the library can follow every key of the
    // string (PostgresParams); else null, as when the server does not answer.
    // Every table is read in one snapshot.
    static std::unique_ptr<CPgTableReader> ForDatabase(CConfigDatabase& db);
    ~CPgTableReader() override;

    bool Open(const char* table, const char* columns, const char* orderBy) override;
    bool Next(DbRow& row) override;
    bool Failed() const override { return failed_; }

private:
    explicit CPgTableReader(pg_conn* server) : server_(server) {}

    // The next rows of the cursor; false at its end or on a failure.
    bool Fetch();
    void Clear();

    pg_conn* server_;
    pg_result* rows_ = nullptr;
    int row_ = 0;
    bool cursor_ = false;
    bool ended_ = true;
    std::vector<std::string_view> cells_;
    bool failed_ = false;
};

} // namespace tornu
