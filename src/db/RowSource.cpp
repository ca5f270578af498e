#include "db/RowSource.h"

#include "db/ConfigDatabase.h"
#include "db/Tables.h"
#include "db/Terminal.h"
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

// The rows of `table` that belong to `terminal`, every column.
bool QueryTerminalRows(CConfigDatabase& db, const char* table, int terminal,
                       std::vector<std::vector<std::string>>& rows) {
    const DbValue key[] = {terminal};
    return db.Query(std::string("SELECT * FROM ") + table + " WHERE term_id=?", key, rows);
}

} // namespace

bool ReadKeyColumn(DbRow row, std::size_t index, int& value) {
    if (index >= row.size() || row[index].empty() || row[index][0] == '+')
        return false;
    const std::string_view text = row[index];
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool CStatementRowSource::QueryIds(const std::string& statement, std::span<const DbValue> values,
                                   std::vector<int>& ids) {
    ids.clear();
    std::vector<std::vector<std::string>> rows;
    if (!db_.Query(statement, values, rows))
        return false;
    for (const auto& row : rows)
        ids.push_back(row.empty() ? 0 : CDbRecord::ColumnNumber(row[0]));
    SortIds(ids);
    return true;
}

bool CStatementRowSource::TerminalIds(std::vector<int>& ids) {
    return QueryIds("SELECT id FROM terminal", {}, ids);
}

bool CStatementRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    const DbValue key[] = {terminal};
    return QueryIds("SELECT id FROM device WHERE term_id=?", key, ids);
}

bool CStatementRowSource::LoopIds(int terminal, int device, std::vector<int>& ids) {
    const DbValue keys[] = {terminal, device};
    return QueryIds("SELECT id FROM sensor WHERE term_id=? AND device_id=?", keys, ids);
}

CPreloadedRowSource::CPreloadedRowSource() = default;
CPreloadedRowSource::~CPreloadedRowSource() = default;

bool CPreloadedRowSource::CRows::Add(DbRow row) {
    constexpr std::size_t kLongText = 32;
    columns_ = row.size();
    for (std::string_view cell : row) {
        const bool share = shareLongTexts_ && cell.size() >= kLongText;
        if (share)
            if (auto found = longTexts_.find(cell); found != longTexts_.end()) {
                cells_.push_back(found->second);
                continue;
            }
        // The offsets are 32 bits: a table of 4 GiB of text is no configuration.
        if (text_.size() + cell.size() > UINT32_MAX)
            return false;
        const Cell stored{static_cast<std::uint32_t>(text_.size()),
                          static_cast<std::uint32_t>(cell.size())};
        text_.append(cell);
        cells_.push_back(stored);
        if (share)
            longTexts_.emplace(cell, stored);
    }
    return true;
}

DbRow CPreloadedRowSource::CRows::Row(std::size_t index,
                                      std::vector<std::string_view>& cells) const {
    cells.resize(columns_);
    for (std::size_t column = 0; column < columns_; ++column) {
        const Cell cell = cells_[index * columns_ + column];
        cells[column] = std::string_view(text_).substr(cell.offset, cell.size);
    }
    return cells;
}

// Keeps the room, for the next terminal's rows.
void CPreloadedRowSource::CRows::Clear() {
    text_.clear();
    cells_.clear();
    longTexts_.clear();
}

void CPreloadedRowSource::CRows::Shrink() {
    text_.shrink_to_fit();
    cells_.shrink_to_fit();
    longTexts_.clear();
}

bool CPreloadedRowSource::Read(ITableReader& reader) {
    if (!reader.Open("terminal", nullptr, nullptr))
        return false;
    DbRow row;
    int id = 0;
    for (std::uint32_t index = 0; reader.Next(row); ++index) {
        if (!terminals_.Add(row))
            return false;
        terminalIds_.push_back(IdColumn(row, 0));
        if (ReadKeyColumn(row, 0, id))
            terminalRows_.emplace_back(id, index);
    }
    if (reader.Failed())
        return false;
    terminals_.Shrink();
    // Of equal ids the first row is found, as a select by key finds it.
    std::stable_sort(terminalRows_.begin(), terminalRows_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    SortIds(terminalIds_);
    // Ordered by the unique index, so that each terminal's rows come
    // together and in the order the loader asks for them; only the columns
    // the start needs (the key columns first).
    static const std::string kStartColumns = kDeviceTable.Names(kDeviceStartColumns);
    if (!reader.Open("device", kStartColumns.c_str(), "term_id,id"))
        return false;
    reader_ = &reader;
    return true;
}

bool CPreloadedRowSource::Failed() const {
    return !reader_ || reader_->Failed();
}

void CPreloadedRowSource::ReadDevicesOf(int terminal) {
    batchTerminal_ = terminal;
    batch_.Clear();
    batchRows_.clear();
    while (reader_) {
        if (haveAhead_) {
            if (aheadTerminal_ > terminal)
                break;
            haveAhead_ = false;
            if (aheadTerminal_ == terminal)
                AddDevice(ahead_.Row(0, row_));
            continue;
        }
        DbRow row;
        if (ended_ || !reader_->Next(row)) {
            ended_ = true;
            break;
        }
        int owner = 0;
        // A row whose terminal is no whole number belongs to none.
        if (!ReadKeyColumn(row, 0, owner) || owner < terminal)
            continue;
        if (owner == terminal) {
            AddDevice(row);
            continue;
        }
        ahead_.Clear();
        ahead_.Add(row);
        aheadTerminal_ = owner;
        haveAhead_ = true;
        break;
    }
    std::stable_sort(batchRows_.begin(), batchRows_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

void CPreloadedRowSource::AddDevice(DbRow row) {
    int address = 0;
    if (ReadKeyColumn(row, 1, address)) {
        batchRows_.emplace_back(address, static_cast<std::uint32_t>(batch_.Count()));
        batch_.Add(row);
    }
}

bool CPreloadedRowSource::TerminalIds(std::vector<int>& ids) {
    ids = terminalIds_;
    return true;
}

bool CPreloadedRowSource::DeviceIds(int terminal, std::vector<int>& ids) {
    ids.clear();
    if (terminal == batchTerminal_)
        for (const auto& [address, row] : batchRows_)
            ids.push_back(address);
    return true;
}

bool CPreloadedRowSource::LoopIds(int, int, std::vector<int>& ids) {
    ids.clear();
    return false;
}

bool CPreloadedRowSource::Load(CDbRecord& record) {
    const std::string_view table = record.Table();
    const RowKey key = record.Key();
    auto first = [](const std::vector<std::pair<int, std::uint32_t>>& rows, int wanted) {
        return std::lower_bound(rows.begin(), rows.end(), wanted,
                                [](const auto& entry, int id) { return entry.first < id; });
    };
    if (table == "terminal") {
        // The terminals come in ascending order: its devices are next in the stream.
        ReadDevicesOf(key.id);
        const auto found = first(terminalRows_, key.id);
        if (found == terminalRows_.end() || found->first != key.id)
            return false;
        record.ReadRow(terminals_.Row(found->second, row_));
        return true;
    }
    if (table != "device" || key.terminal != batchTerminal_)
        return false;
    const auto found = first(batchRows_, key.id);
    if (found == batchRows_.end() || found->first != key.id)
        return false;
    record.ReadRow(batch_.Row(found->second, row_), kDeviceStartColumns);
    return true;
}

bool CTerminalRowSource::Read(CConfigDatabase& db) {
    static const char* const kNames[] = {"sensor", "device_param", "device_phone", "device_key"};
    for (int id = 0; id < kTableCount; ++id) {
        if (!QueryTerminalRows(db, kNames[id], terminal_, tables_[id].rows))
            return false;
        File(static_cast<TableId>(id));
    }
    static const std::string kLater = "SELECT " + kDeviceTable.Names(kDeviceLaterColumns) +
                                      " FROM device WHERE term_id=?";
    const DbValue key[] = {terminal_};
    if (!db.Query(kLater, key, devices_))
        return false;
    for (std::size_t index = 0; index < devices_.size(); ++index) {
        const std::vector<std::string_view> cells(devices_[index].begin(), devices_[index].end());
        int address = 0;
        if (ReadKeyColumn(cells, 0, address))
            deviceRows_.emplace_back(address, index);
    }
    std::stable_sort(deviceRows_.begin(), deviceRows_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return true;
}

bool CTerminalRowSource::LoadLaterColumns(CDbRecord& device, int address) const {
    const auto found = std::lower_bound(
        deviceRows_.begin(), deviceRows_.end(), address,
        [](const auto& entry, int wanted) { return entry.first < wanted; });
    if (found == deviceRows_.end() || found->first != address)
        return false;
    const auto& row = devices_[found->second];
    device.ReadRow(std::vector<std::string_view>(row.begin(), row.end()), kDeviceLaterColumns);
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
