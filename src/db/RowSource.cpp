#include "db/RowSource.h"

#include "db/ConfigDatabase.h"

#include <algorithm>
#include <charconv>

namespace tornu {

namespace {

void SortIds(std::vector<int>& ids) {
    std::sort(ids.begin(), ids.end());
}

// A key column as the database compares it with "term_id=%d": only a whole
// integer matches; NULL and other text match no number.
bool KeyColumn(const DbRow& row, std::size_t index, int& value) {
    if (index >= row.size())
        return false;
    const std::string& text = row[index];
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && !text.empty() && text[0] != '+';
}

// The id a "SELECT id" statement gives for the row: leading number, NULL 0.
int IdColumn(const DbRow& row, std::size_t index) {
    return index < row.size() ? CDbRecord::ColumnNumber(row[index]) : 0;
}

// The unique key of a row of `table`, in the form the records give
// (CDbRecord::Key); false when a key column holds no whole number.
bool RowKeyOf(const std::string& table, const DbRow& row, RowKey& key) {
    if (table == "terminal")
        return KeyColumn(row, 0, key.id);
    if (table == "device")
        return KeyColumn(row, 0, key.terminal) && KeyColumn(row, 1, key.id);
    if (table == "sensor")
        return KeyColumn(row, 0, key.terminal) && KeyColumn(row, 2, key.id);
    if (!KeyColumn(row, 0, key.terminal) || !KeyColumn(row, 1, key.device))
        return false;
    if (table == "device_param") {
        if (row.size() <= 2)
            return false;
        key.name = row[2];
        return true;
    }
    return KeyColumn(row, 2, key.id);
}

const char* const kTables[] = {"terminal",     "device",       "sensor",
                               "device_param", "device_phone", "device_key"};

} // namespace

bool CStatementRowSource::QueryIds(const std::string& statement, std::vector<int>& ids) {
    ids.clear();
    std::vector<DbRow> rows;
    if (!db_.Query(statement, rows))
        return false;
    for (const DbRow& row : rows)
        ids.push_back(IdColumn(row, 0));
    SortIds(ids);
    return true;
}

bool CStatementRowSource::TerminalIds(std::vector<int>& ids) {
    return QueryIds("SELECT id FROM terminal", ids);
}

bool CStatementRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    return QueryIds(CConfigDatabase::Format("SELECT id FROM device WHERE term_id=%d", terminal),
                    ids);
}

bool CStatementRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    return QueryIds(
        CConfigDatabase::Format("SELECT id FROM sensor WHERE term_id=%d AND device_id=%d", terminal,
                                device),
        ids);
}

CPreloadedRowSource::CPreloadedRowSource(CConfigDatabase& db) {
    for (const char* table : kTables)
        complete_ = ReadTable(db, table, tables_[table]) && complete_;
    for (auto& [terminal, ids] : deviceIds_)
        SortIds(ids);
    for (auto& [device, ids] : loopIds_)
        SortIds(ids);
    SortIds(terminalIds_);
}

bool CPreloadedRowSource::ReadTable(CConfigDatabase& db, const std::string& table, Rows& rows) {
    if (!db.Execute("SELECT * FROM " + table))
        return false;
    COdbcConnection& connection = db.Connection();
    const int count = connection.ColumnCount();
    while (db.Fetch()) {
        DbRow row;
        row.reserve(count);
        for (int index = 0; index < count; ++index)
            row.emplace_back(connection.ColumnView(index).value_or(std::string_view()));
        IndexIds(table, row);
        RowKey key;
        // As a select by key finds the first such row, the first one stays.
        if (RowKeyOf(table, row, key))
            rows.try_emplace(std::move(key), std::move(row));
    }
    return true;
}

void CPreloadedRowSource::IndexIds(const std::string& table, const DbRow& row) {
    int terminal = 0, device = 0;
    if (table == "terminal") {
        terminalIds_.push_back(IdColumn(row, 0));
    } else if (table == "device") {
        if (KeyColumn(row, 0, terminal))
            deviceIds_[terminal].push_back(IdColumn(row, 1));
    } else if (table == "sensor") {
        if (KeyColumn(row, 0, terminal) && KeyColumn(row, 1, device))
            loopIds_[{terminal, device}].push_back(IdColumn(row, 2));
    }
}

bool CPreloadedRowSource::TerminalIds(std::vector<int>& ids) {
    ids = terminalIds_;
    return complete_;
}

bool CPreloadedRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    auto found = deviceIds_.find(terminal);
    if (found == deviceIds_.end())
        ids.clear();
    else
        ids = found->second;
    return complete_;
}

bool CPreloadedRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    auto found = loopIds_.find({terminal, device});
    if (found == loopIds_.end())
        ids.clear();
    else
        ids = found->second;
    return complete_;
}

bool CPreloadedRowSource::Load(CDbRecord& record) {
    auto table = tables_.find(record.Table());
    if (table == tables_.end())
        return false;
    auto row = table->second.find(record.Key());
    if (row == table->second.end())
        return false;
    record.ReadRow(row->second);
    return true;
}

} // namespace tornu
