#include "db/RowSource.h"

#include "db/ConfigDatabase.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tornu {

namespace {

void SortIds(std::vector<int>& ids) {
    std::sort(ids.begin(), ids.end());
}

// A key column as the database compares it with "term_id=%d": only a whole
// integer matches; NULL and other text match no number.
bool KeyColumn(DbRow row, std::size_t index, int& value) {
    if (index >= row.size() || row[index].empty() || row[index][0] == '+')
        return false;
    const std::string_view text = row[index];
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// The id a "SELECT id" statement gives for the row: leading number, NULL 0.
int IdColumn(DbRow row, std::size_t index) {
    return index < row.size() ? CDbRecord::ColumnNumber(row[index]) : 0;
}

const char* const kTableNames[] = {"terminal",     "device",       "sensor",
                                   "device_param", "device_phone", "device_key"};

constexpr std::size_t kStoreBlock = 1 << 20;

} // namespace

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

CPreloadedRowSource::CPreloadedRowSource(CConfigDatabase& db) {
    for (int id = 0; id < kTableCount; ++id)
        complete_ = ReadTable(db, static_cast<TableId>(id)) && complete_;
    for (auto& [terminal, ids] : deviceIds_)
        SortIds(ids);
    for (auto& [device, ids] : loopIds_)
        SortIds(ids);
    SortIds(terminalIds_);
}

CPreloadedRowSource::~CPreloadedRowSource() = default;

std::uint64_t CPreloadedRowSource::Pair(int first, int second) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32 |
           static_cast<std::uint32_t>(second);
}

std::string_view CPreloadedRowSource::Keep(std::string_view text) {
    if (text.empty())
        return {};
    if (store_.empty() || storeUsed_ + text.size() > storeSize_) {
        storeSize_ = std::max(kStoreBlock, text.size());
        store_.push_back(std::make_unique<char[]>(storeSize_));
        storeUsed_ = 0;
    }
    char* at = store_.back().get() + storeUsed_;
    std::memcpy(at, text.data(), text.size());
    storeUsed_ += text.size();
    return {at, text.size()};
}

bool CPreloadedRowSource::ReadTable(CConfigDatabase& db, TableId id) {
    if (!db.Execute(std::string("SELECT * FROM ") + kTableNames[id]))
        return false;
    COdbcConnection& connection = db.Connection();
    Table& table = tables_[id];
    table.columns = static_cast<std::size_t>(std::max(connection.ColumnCount(), 0));
    if (table.columns == 0)
        return false;
    std::uint32_t index = 0;
    while (db.Fetch()) {
        for (std::size_t column = 0; column < table.columns; ++column)
            table.cells.push_back(
                Keep(connection.ColumnView(static_cast<int>(column)).value_or(std::string_view())));
        Index(id, index++);
    }
    return true;
}

// Files the row under the key a record asks for, and its id under the
// questions of the loader. As a select by key finds the first such row, the
// first one stays.
void CPreloadedRowSource::Index(TableId id, std::uint32_t index) {
    const DbRow row = tables_[id].Row(index);
    int terminal = 0, device = 0, number = 0;
    switch (id) {
    case kTerminal:
        terminalIds_.push_back(IdColumn(row, 0));
        if (KeyColumn(row, 0, number))
            terminalRows_.try_emplace(number, index);
        break;
    case kDevice:
        if (!KeyColumn(row, 0, terminal))
            break;
        deviceIds_[terminal].push_back(IdColumn(row, 1));
        if (KeyColumn(row, 1, number))
            deviceRows_.try_emplace(Pair(terminal, number), index);
        break;
    case kSensor:
        if (!KeyColumn(row, 0, terminal))
            break;
        if (KeyColumn(row, 1, device))
            loopIds_[Pair(terminal, device)].push_back(IdColumn(row, 2));
        if (KeyColumn(row, 2, number))
            sensorRows_.try_emplace(Pair(terminal, number), index);
        break;
    default:
        if (!KeyColumn(row, 0, terminal) || !KeyColumn(row, 1, device) || row.size() <= 2)
            break;
        DeviceRows& rows = dependants_[Pair(terminal, device)];
        if (id == kParam)
            rows.params.push_back(index);
        else if (KeyColumn(row, 2, number))
            (id == kPhone ? rows.phones : rows.keys).emplace_back(number, index);
        break;
    }
}

bool CPreloadedRowSource::Find(const CDbRecord& record, TableId& id, std::uint32_t& index) const {
    const auto* name =
        std::find_if(std::begin(kTableNames), std::end(kTableNames),
                     [&](const char* n) { return std::strcmp(n, record.Table()) == 0; });
    if (name == std::end(kTableNames))
        return false;
    id = static_cast<TableId>(name - std::begin(kTableNames));
    const RowKey key = record.Key();
    auto lookUp = [&](const auto& map, auto mapKey) {
        auto found = map.find(mapKey);
        if (found == map.end())
            return false;
        index = found->second;
        return true;
    };
    if (id == kTerminal)
        return lookUp(terminalRows_, key.id);
    if (id == kDevice)
        return lookUp(deviceRows_, Pair(key.terminal, key.id));
    if (id == kSensor)
        return lookUp(sensorRows_, Pair(key.terminal, key.id));
    auto device = dependants_.find(Pair(key.terminal, key.device));
    if (device == dependants_.end())
        return false;
    if (id == kParam) {
        for (std::uint32_t row : device->second.params)
            if (tables_[kParam].Row(row)[2] == key.name) {
                index = row;
                return true;
            }
        return false;
    }
    for (const auto& [number, row] : id == kPhone ? device->second.phones : device->second.keys)
        if (number == key.id) {
            index = row;
            return true;
        }
    return false;
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
    auto found = loopIds_.find(Pair(terminal, device));
    if (found == loopIds_.end())
        ids.clear();
    else
        ids = found->second;
    return complete_;
}

bool CPreloadedRowSource::Load(CDbRecord& record) {
    TableId id;
    std::uint32_t index = 0;
    if (!Find(record, id, index))
        return false;
    record.ReadRow(tables_[id].Row(index));
    return true;
}

} // namespace tornu
