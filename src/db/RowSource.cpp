#include "db/RowSource.h"

#include "db/ConfigDatabase.h"
#include "db/TableReader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>

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

std::uint64_t CPreloadedRowSource::Pair(int first, int second) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32 |
           static_cast<std::uint32_t>(second);
}

bool CPreloadedRowSource::FindFirst(const Index& index, std::uint64_t key, std::uint32_t& value) {
    const auto found = std::lower_bound(index.begin(), index.end(), Entry{key, 0});
    if (found == index.end() || found->key != key)
        return false;
    value = found->value;
    return true;
}

void CPreloadedRowSource::Values(const Index& index, std::uint64_t key, std::vector<int>& values) {
    values.clear();
    for (auto at = std::lower_bound(index.begin(), index.end(), Entry{key, 0});
         at != index.end() && at->key == key; ++at)
        values.push_back(static_cast<int>(at->value));
    // Stored unsigned: a negative id came after the others.
    SortIds(values);
}

bool CPreloadedRowSource::ReadTable(ITableReader& reader, TableId id) {
    if (!reader.Open(kTableNames[id]))
        return false;
    Table& table = tables_[id];
    DbRow row;
    std::uint32_t index = 0;
    while (reader.Next(row)) {
        table.columns = row.size();
        for (std::string_view cell : row) {
            table.text.append(cell);
            // The offsets are 32 bits: a table of 4 GiB of text is no configuration.
            if (table.text.size() > UINT32_MAX)
                return false;
            table.ends.push_back(static_cast<std::uint32_t>(table.text.size()));
        }
        File(id, row, index++);
    }
    // Held while every record is made: no room to spare.
    table.text.shrink_to_fit();
    table.ends.shrink_to_fit();
    return !reader.Failed();
}

DbRow CPreloadedRowSource::Row(TableId id, std::uint32_t index) {
    const Table& table = tables_[id];
    row_.resize(table.columns);
    const std::size_t first = index * table.columns;
    std::uint32_t begin = first ? table.ends[first - 1] : 0;
    for (std::size_t column = 0; column < table.columns; ++column) {
        const std::uint32_t end = table.ends[first + column];
        row_[column] = std::string_view(table.text).substr(begin, end - begin);
        begin = end;
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
            terminalRows_.push_back({Pair(0, number), index});
        break;
    case kDevice:
        if (!ReadKeyColumn(row, 0, terminal))
            break;
        deviceIds_.push_back(
            {Pair(0, terminal), static_cast<std::uint32_t>(IdColumn(row, 1))});
        if (ReadKeyColumn(row, 1, number))
            deviceRows_.push_back({Pair(terminal, number), index});
        break;
    default:
        if (!ReadKeyColumn(row, 0, terminal))
            break;
        if (ReadKeyColumn(row, 1, device))
            loopIds_.push_back(
                {Pair(terminal, device), static_cast<std::uint32_t>(IdColumn(row, 2))});
        if (ReadKeyColumn(row, 2, number))
            sensorRows_.push_back({Pair(terminal, number), index});
        break;
    }
}

bool CPreloadedRowSource::TerminalIds(std::vector<int>& ids) {
    ids = terminalIds_;
    return true;
}

bool CPreloadedRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    Values(deviceIds_, Pair(0, terminal), ids);
    return true;
}

bool CPreloadedRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    Values(loopIds_, Pair(terminal, device), ids);
    return true;
}

bool CPreloadedRowSource::Load(CDbRecord& record) {
    const std::string_view table = record.Table();
    auto read = [&](TableId id, const Index& index, std::uint64_t key) {
        std::uint32_t row = 0;
        if (!FindFirst(index, key, row))
            return false;
        record.ReadRow(Row(id, row));
        return true;
    };
    if (table == kTableNames[kTerminal])
        return read(kTerminal, terminalRows_, Pair(0, record.Key().id));
    if (table == kTableNames[kDevice]) {
        const RowKey key = record.Key();
        return read(kDevice, deviceRows_, Pair(key.terminal, key.id));
    }
    if (table == kTableNames[kSensor]) {
        const RowKey key = record.Key();
        return read(kSensor, sensorRows_, Pair(key.terminal, key.id));
    }
    // A device's dependants: FillDependants reads their rows.
    return true;
}

} // namespace tornu
