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

const char* const kTableNames[] = {"terminal", "device", "sensor"};

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
    for (Index* index : {&terminalRows_, &deviceRows_, &sensorRows_, &deviceIds_, &loopIds_}) {
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
        if (id == kSensor)
            continue;
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
    int terminal = 0, device = 0, number = 0;
    switch (id) {
    case kTerminal:
        terminalIds_.push_back(IdColumn(row, 0));
        if (ReadKeyColumn(row, 0, number))
            terminalRows_.push_back(Key(0, number, index));
        break;
    case kDevice:
        if (!ReadKeyColumn(row, 0, terminal))
            break;
        deviceIds_.push_back(Key(0, terminal, static_cast<std::uint32_t>(IdColumn(row, 1))));
        if (ReadKeyColumn(row, 1, number))
            deviceRows_.push_back(Key(terminal, number, index));
        break;
    default:
        if (!ReadKeyColumn(row, 0, terminal))
            break;
        if (ReadKeyColumn(row, 1, device))
            loopIds_.push_back(Key(terminal, device, static_cast<std::uint32_t>(IdColumn(row, 2))));
        if (ReadKeyColumn(row, 2, number))
            sensorRows_.push_back(Key(terminal, number, index));
        break;
    }
}

bool CPreloadedRowSource::TerminalIds(std::vector<int>& ids) {
    ids = terminalIds_;
    return true;
}

bool CPreloadedRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    Values(deviceIds_, Key(0, terminal), ids);
    return true;
}

bool CPreloadedRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    Values(loopIds_, Key(terminal, device), ids);
    return true;
}

bool CPreloadedRowSource::FillLoops(ITableReader& reader,
                                    const std::vector<std::unique_ptr<CTerminal>>& terminals) {
    if (!reader.Open(kTableNames[kSensor]))
        return false;
    DbRow row;
    int terminal = 0, number = 0;
    for (std::uint32_t index = 0; reader.Next(row); ++index) {
        std::uint32_t first = 0;
        if (!ReadKeyColumn(row, 0, terminal) || !ReadKeyColumn(row, 2, number) ||
            !FindFirst(sensorRows_, Key(terminal, number), first) || first != index)
            continue;
        const auto found = std::lower_bound(
            terminals.begin(), terminals.end(), terminal,
            [](const std::unique_ptr<CTerminal>& t, int id) { return t->Id() < id; });
        if (found == terminals.end() || (*found)->Id() != terminal)
            continue;
        if (CSensor* loop = (*found)->FindLoop(number))
            loop->ReadRow(row);
    }
    return !reader.Failed();
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
    if (table == kTableNames[kSensor]) {
        // The row is read into the loop by FillLoops.
        const RowKey key = record.Key();
        std::uint32_t row = 0;
        return FindFirst(sensorRows_, Key(key.terminal, key.id), row);
    }
    // A device's dependants: FillDependants reads their rows.
    return true;
}

} // namespace tornu
