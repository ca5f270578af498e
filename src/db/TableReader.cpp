#include "db/TableReader.h"

#include "db/ConfigDatabase.h"
#include "db/ConnectString.h"

#include <sqlite3.h>

#include <charconv>
#include <strings.h>

namespace tornu {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace

std::string SqliteFileOf(std::string_view connect, std::string_view dbmsName) {
    return SameWord(dbmsName, "SQLite") ? SqliteDatabaseFile(connect) : std::string();
}

namespace {

std::string SelectAll(const char* table, const char* columns, const char* orderBy) {
    std::string text = std::string("SELECT ") + (columns ? columns : "*") + " FROM " + table;
    if (orderBy)
        text += std::string(" ORDER BY ") + orderBy;
    return text;
}

} // namespace

bool COdbcTableReader::Open(const char* table, const char* columns, const char* orderBy) {
    failed_ = !db_.Execute(SelectAll(table, columns, orderBy)) || db_.ColumnCount() <= 0;
    cells_.assign(failed_ ? 0 : static_cast<std::size_t>(db_.ColumnCount()), {});
    return !failed_;
}

bool COdbcTableReader::Next(DbRow& row) {
    if (failed_)
        return false;
    if (!db_.Fetch()) {
        failed_ = db_.Connection().FetchFailed();
        return false;
    }
    const COdbcConnection& connection = db_.Connection();
    for (std::size_t i = 0; i < cells_.size(); ++i)
        cells_[i] = connection.ColumnView(static_cast<int>(i)).value_or(std::string_view());
    row = cells_;
    return true;
}

std::unique_ptr<CSqliteTableReader> CSqliteTableReader::ForDatabase(CConfigDatabase& db) {
    const std::string path =
        SqliteFileOf(db.Connection().ConnectString(), db.Connection().DbmsName());
    if (path.empty())
        return nullptr;
    sqlite3* file = nullptr;
    if (sqlite3_open_v2(path.c_str(), &file, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK ||
        sqlite3_busy_timeout(file, CConfigDatabase::kBusyTimeoutMs) != SQLITE_OK ||
        sqlite3_exec(file, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(file);
        return nullptr;
    }
    return std::unique_ptr<CSqliteTableReader>(new CSqliteTableReader(file));
}

CSqliteTableReader::~CSqliteTableReader() {
    sqlite3_finalize(statement_);
    // Closing ends the read transaction and its snapshot.
    sqlite3_close_v2(file_);
}

bool CSqliteTableReader::Open(const char* table, const char* columns, const char* orderBy) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    const std::string text = SelectAll(table, columns, orderBy);
    failed_ = sqlite3_prepare_v2(file_, text.c_str(), static_cast<int>(text.size()), &statement_,
                                 nullptr) != SQLITE_OK ||
              sqlite3_column_count(statement_) <= 0;
    const auto count = failed_ ? 0 : static_cast<std::size_t>(sqlite3_column_count(statement_));
    cells_.assign(count, {});
    numbers_.resize(count);
    blobs_.resize(count);
    return !failed_;
}

bool CSqliteTableReader::Next(DbRow& row) {
    if (failed_)
        return false;
    const int rc = sqlite3_step(statement_);
    if (rc != SQLITE_ROW) {
        failed_ = rc != SQLITE_DONE;
        return false;
    }
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int column = static_cast<int>(i);
        switch (sqlite3_column_type(statement_, column)) {
        case SQLITE_NULL:
            cells_[i] = {};
            break;
        case SQLITE_INTEGER: {
            // Written here rather than by SQLite, which allocates each text.
            char* text = numbers_[i].data();
            const auto end = std::to_chars(text, text + numbers_[i].size(),
                                           sqlite3_column_int64(statement_, column))
                                 .ptr;
            cells_[i] = std::string_view(text, static_cast<std::size_t>(end - text));
            break;
        }
        case SQLITE_BLOB: {
            // As the driver writes a blob for a text buffer: X'41AB'.
            const auto* bytes =
                static_cast<const unsigned char*>(sqlite3_column_blob(statement_, column));
            const int size = sqlite3_column_bytes(statement_, column);
            std::string& text = blobs_[i];
            text = "X'";
            for (int b = 0; b < size; ++b) {
                text += "0123456789ABCDEF"[bytes[b] >> 4];
                text += "0123456789ABCDEF"[bytes[b] & 15];
            }
            text += "'";
            cells_[i] = text;
            break;
        }
        default: {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
            cells_[i] = text ? std::string_view(text, static_cast<std::size_t>(
                                                          sqlite3_column_bytes(statement_, column)))
                             : std::string_view();
        }
        }
    }
    row = cells_;
    return true;
}

} // namespace tornu
