#include "db/RowSource.h"

#include "db/ConfigDatabase.h"
#include "db/Terminal.h"
#include "db/TableReader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <unordered_map>

namespace tornu {

namespace {

void SortIds(std::vector<int>& ids) {
    std::sort(ids.begin(), ids.end());
}

// The id a "SELECT id" statement gives for the row: leading number, NULL 0.
int IdColumn(DbRow row, std::size_t index) {
    return index < row.size() ? CDbRecord::ColumnNumber(row[index]) : 0;
}

const char* const kTableNames[] = {"terminal", "device"};

// The rows of `table` that belong to `terminal`, every column.
bool QueryTerminalRows(CConfigDatabase& db, const char* table, int terminal,
                       std::vector<std::vector<std::string>>& rows) {
    return db.Query(
        CConfigDatabase::Format("SELECT * FROM %s WHERE term_id=%d", table, terminal), rows);
}

} // namespace

bool ReadKeyColumn(DbRow row, std::size_t index, int& value) {
    if (index >= row.size() || row[index].empty() || row[index][0] == '+')
        return false;
    const std::string_view text = row[index];
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool CStatementRowSource::QueryIds(const std::string& statement, std::vector<int>& ids) {
    ids.clear();
    std::vector<std::vector<std::string>> rows;
    if (!db_.Query(statement, rows))
        return false;
    for (const auto& row : rows)
        ids.push_back(row.empty() ? 0 : CDbRecord::ColumnNumber(row[0]));
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

CPreloadedRowSource::CPreloadedRowSource() = default;
CPreloadedRowSource::~CPreloadedRowSource() = default;

bool CPreloadedRowSource::Read(ITableReader& reader) {
    for (int id = 0; id < kTableCount; ++id)
        if (!ReadTable(reader, static_cast<TableId>(id)))
            return false;
    for (Index* index : {&terminalRows_, &deviceRows_, &deviceIds_}) {
        std::sort(index->begin(), index->end());
        index->shrink_to_fit();
    }
    SortIds(terminalIds_);
    return true;
}

CPreloadedRowSource::Entry CPreloadedRowSource::Key(int first, int second, std::uint32_t value) {
    return {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(second), value};
}

bool CPreloadedRowSource::FindFirst(const Index& index, Entry key, std::uint32_t& value) {
    const auto found = std::lower_bound(index.begin(), index.end(), key);
    if (found == index.end() || found->high != key.high || found->low != key.low)
        return false;
    value = found->value;
    return true;
}

void CPreloadedRowSource::Values(const Index& index, Entry key, std::vector<int>& values) {
    values.clear();
    for (auto at = std::lower_bound(index.begin(), index.end(), key);
         at != index.end() && at->high == key.high && at->low == key.low; ++at)
        values.push_back(static_cast<int>(at->value));
    // Stored unsigned: a negative id came after the others.
    SortIds(values);
}

bool CPreloadedRowSource::ReadTable(ITableReader& reader, TableId id) {
    if (!reader.Open(kTableNames[id]))
        return false;
    Table& table = tables_[id];
    // Long texts (the type description of every device) repeat from row to
    // row: each distinct one is kept once.
    constexpr std::size_t kLongText = 32;
    std::unordered_map<std::string, Cell> longTexts;
    DbRow row;
    std::uint32_t index = 0;
    while (reader.Next(row)) {
        File(id, row, index++);
        table.columns = row.size();
        for (std::string_view cell : row) {
            if (cell.size() >= kLongText)
                if (auto found = longTexts.find(std::string(cell)); found != longTexts.end()) {
                    table.cells.push_back(found->second);
                    continue;
                }
            // The offsets are 32 bits: a table of 4 GiB of text is no configuration.
            if (table.text.size() + cell.size() > UINT32_MAX)
                return false;
            const Cell stored{static_cast<std::uint32_t>(table.text.size()),
                              static_cast<std::uint32_t>(cell.size())};
            table.text.append(cell);
            table.cells.push_back(stored);
            if (cell.size() >= kLongText)
                longTexts.emplace(cell, stored);
        }
    }
    // Held while every record is made: no room to spare.
    table.text.shrink_to_fit();
    table.cells.shrink_to_fit();
    return !reader.Failed();
}

DbRow CPreloadedRowSource::Row(TableId id, std::uint32_t index) {
    const Table& table = tables_[id];
    row_.resize(table.columns);
    for (std::size_t column = 0; column < table.columns; ++column) {
        const Cell cell = table.cells[index * table.columns + column];
        row_[column] = std::string_view(table.text).substr(cell.offset, cell.size);
    }
    return row_;
}

// Files the row under the key a record asks for, and its id under the
// questions of the loader. As a select by key finds the first such row, the
// first one is found.
void CPreloadedRowSource::File(TableId id, DbRow row, std::uint32_t index) {
    int terminal = 0, number = 0;
    if (id == kTerminal) {
        terminalIds_.push_back(IdColumn(row, 0));
        if (ReadKeyColumn(row, 0, number))
            terminalRows_.push_back(Key(0, number, index));
        return;
    }
    if (!ReadKeyColumn(row, 0, terminal))
        return;
    deviceIds_.push_back(Key(0, terminal, static_cast<std::uint32_t>(IdColumn(row, 1))));
    if (ReadKeyColumn(row, 1, number))
        deviceRows_.push_back(Key(terminal, number, index));
}

bool CPreloadedRowSource::TerminalIds(std::vector<int>& ids) {
    ids = terminalIds_;
    return true;
}

bool CPreloadedRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    Values(deviceIds_, Key(0, terminal), ids);
    return true;
}

bool CPreloadedRowSource::LoopIds(int, int, std::vector<int>& ids) {
    ids.clear();
    return false;
}

bool CPreloadedRowSource::Load(CDbRecord& record) {
    const std::string_view table = record.Table();
    auto read = [&](TableId id, const Index& index, Entry key) {
        std::uint32_t row = 0;
        if (!FindFirst(index, key, row))
            return false;
        record.ReadRow(Row(id, row));
        return true;
    };
    if (table == kTableNames[kTerminal])
        return read(kTerminal, terminalRows_, Key(0, record.Key().id));
    if (table == kTableNames[kDevice]) {
        const RowKey key = record.Key();
        return read(kDevice, deviceRows_, Key(key.terminal, key.id));
    }
    return false;
}

bool CTerminalRowSource::Read(CConfigDatabase& db) {
    static const char* const kNames[] = {"sensor", "device_param", "device_phone", "device_key"};
    for (int id = 0; id < kTableCount; ++id) {
        if (!QueryTerminalRows(db, kNames[id], terminal_, tables_[id].rows))
            return false;
        File(static_cast<TableId>(id));
    }
    return true;
}

// Files each row under the key its record asks for, and each loop's number
// under its device. A row whose key columns hold no whole number matches no
// record; of equal keys the first row is found.
void CTerminalRowSource::File(TableId id) {
    Table& table = tables_[id];
    std::vector<std::string_view> cells;
    for (std::size_t index = 0; index < table.rows.size(); ++index) {
        const auto& row = table.rows[index];
        cells.assign(row.begin(), row.end());
        int terminal = 0, device = 0, number = 0;
        if (!ReadKeyColumn(cells, 0, terminal) || terminal != terminal_)
            continue;
        if (id == kSensor) {
            if (ReadKeyColumn(cells, 1, device))
                loopIds_.emplace_back(device, IdColumn(cells, 2));
            if (ReadKeyColumn(cells, 2, number))
                table.first.push_back({Key(0, number, {}), index});
            continue;
        }
        if (!ReadKeyColumn(cells, 1, device) || cells.size() <= 2)
            continue;
        if (id == kParam)
            table.first.push_back({Key(device, 0, row[2]), index});
        else if (ReadKeyColumn(cells, 2, number))
            table.first.push_back({Key(device, number, {}), index});
    }
    std::stable_sort(table.first.begin(), table.first.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::sort(loopIds_.begin(), loopIds_.end());
}

bool CTerminalRowSource::TerminalIds(std::vector<int>& ids) {
    ids.clear();
    return false;
}

bool CTerminalRowSource::DeviceIds(int, std::vector<int>& ids) {
    ids.clear();
    return false;
}

bool CTerminalRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    ids.clear();
    if (terminal != terminal_)
        return false;
    for (auto at = std::lower_bound(loopIds_.begin(), loopIds_.end(), std::pair(device, INT_MIN));
         at != loopIds_.end() && at->first == device; ++at)
        ids.push_back(at->second);
    return true;
}

CTerminalRowSource::TableId CTerminalRowSource::TableOf(std::string_view table, bool& known) {
    known = true;
    if (table == "sensor")
        return kSensor;
    if (table == "device_param")
        return kParam;
    if (table == "device_phone")
        return kPhone;
    known = table == "device_key";
    return kKey;
}

bool CTerminalRowSource::Load(CDbRecord& record) {
    bool known = false;
    const Table& table = tables_[TableOf(record.Table(), known)];
    RowKey key = record.Key();
    if (!known || key.terminal != terminal_)
        return false;
    const Key wanted(key.device, key.id, std::move(key.name));
    const auto found = std::lower_bound(
        table.first.begin(), table.first.end(), wanted,
        [](const auto& entry, const Key& k) { return entry.first < k; });
    if (found == table.first.end() || found->first != wanted)
        return false;
    const auto& row = table.rows[found->second];
    const std::vector<std::string_view> cells(row.begin(), row.end());
    record.ReadRow(cells);
    return true;
}

} // namespace tornu
