#include "db/PgTableReader.h"

#include "db/ConfigDatabase.h"
#include "db/ConnectString.h"

#include <libpq-fe.h>

#include <string>

namespace tornu {

namespace {

// Rows a fetch of the cursor brings: few round trips, and no more held at
// once than a few megabytes.
constexpr int kFetchRows = 8192;

bool Command(pg_conn* server, const std::string& text) {
    PGresult* result = PQexec(server, text.c_str());
    const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    return done;
}

} // namespace

std::unique_ptr<CPgTableReader> CPgTableReader::ForDatabase(CConfigDatabase& db) {
    const std::optional<ServerParams> server =
        PostgresParams(db.Connection().ConnectString());
    if (!server)
        return nullptr;
    // The driver talks UTF-8 with the server ("PostgreSQL Unicode"); so does the
    // reader, whatever the server's or the environment's own encoding.
    std::vector<const char*> keys{"client_encoding", "connect_timeout"};
    std::vector<const char*> values{"UTF8", "10"};
    for (const auto& [key, value] : server->params) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    pg_conn* connection = PQconnectdbParams(keys.data(), values.data(), 0);
    std::unique_ptr<CPgTableReader> reader(new CPgTableReader(connection));
    if (PQstatus(connection) != CONNECTION_OK ||
        (!server->settings.empty() && !Command(connection, server->settings)) ||
        !Command(connection, "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"))
        return nullptr;
    return reader;
}

CPgTableReader::~CPgTableReader() {
    PQclear(rows_);
    // Closing ends the transaction and its snapshot.
    PQfinish(server_);
}

void CPgTableReader::Clear() {
    PQclear(rows_);
    rows_ = nullptr;
    row_ = 0;
}

bool CPgTableReader::Open(const char* table, const char* columns, const char* orderBy) {
    Clear();
    failed_ = cursor_ && !Command(server_, "CLOSE table_rows");
    std::string text = std::string("DECLARE table_rows NO SCROLL CURSOR FOR SELECT ") +
                       (columns ? columns : "*") + " FROM " + table;
    if (orderBy)
        text.append(" ORDER BY ").append(orderBy);
    cursor_ = !failed_ && Command(server_, text);
    failed_ = !cursor_;
    ended_ = failed_;
    // The first rows tell the columns, also of an empty table.
    if (!failed_ && !Fetch() && failed_)
        return false;
    cells_.assign(rows_ ? static_cast<std::size_t>(PQnfields(rows_)) : 0, {});
    failed_ = failed_ || cells_.empty();
    return !failed_;
}

bool CPgTableReader::Fetch() {
    Clear();
    rows_ = PQexec(server_, ("FETCH FORWARD " + std::to_string(kFetchRows) + " FROM table_rows").c_str());
    if (PQresultStatus(rows_) != PGRES_TUPLES_OK) {
        failed_ = true;
        ended_ = true;
        return false;
    }
    ended_ = PQntuples(rows_) < kFetchRows;
    return PQntuples(rows_) > 0;
}

bool CPgTableReader::Next(DbRow& row) {
    if (failed_ || !rows_)
        return false;
    if (row_ >= PQntuples(rows_) && (ended_ || !Fetch()))
        return false;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int column = static_cast<int>(i);
        cells_[i] = PQgetisnull(rows_, row_, column)
                        ? std::string_view()
                        : std::string_view(PQgetvalue(rows_, row_, column),
                                           static_cast<std::size_t>(PQgetlength(rows_, row_, column)));
    }
    ++row_;
    row = cells_;
    return true;
}

} // namespace tornu
