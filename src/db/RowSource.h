#pragma once
// Where a record in load form finds its row, and the loader its ids.
//
// CStatementRowSource asks the database one statement per question.
// CPreloadedRowSource reads each of the six tables with one query and
// answers from memory with the same rows: the whole configuration then loads
// in six statements instead of one per record.
#include "db/DbRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tornu {

class CConfigDatabase;

class IRowSource {
public:
    virtual ~IRowSource() = default;

    // Ids in ascending order, as the table holds them; invalid ones are the
    // loader's to skip. False when the table cannot be read.
    virtual bool TerminalIds(std::vector<int>& ids) = 0;
    virtual bool DeviceIds(int terminal, std::vector<int>& ids) = 0;
    virtual bool LoopIds(int terminal, int device, std::vector<int>& ids) = 0;
    // Reads the record's row into it; false when there is none.
    virtual bool Load(CDbRecord& record) = 0;
};

class CStatementRowSource final : public IRowSource {
public:
    explicit CStatementRowSource(CConfigDatabase& db) : db_(db) {}

    bool TerminalIds(std::vector<int>& ids) override;
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    bool Load(CDbRecord& record) override { return record.Select(); }

private:
    bool QueryIds(const std::string& statement, std::vector<int>& ids);

    CConfigDatabase& db_;
};

class CPreloadedRowSource final : public IRowSource {
public:
    // Reads the six tables; a table that cannot be read answers nothing.
    explicit CPreloadedRowSource(CConfigDatabase& db);
    ~CPreloadedRowSource() override;

    // Every table was read.
    bool IsComplete() const { return complete_; }

    bool TerminalIds(std::vector<int>& ids) override;
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    bool Load(CDbRecord& record) override;

private:
    enum TableId { kTerminal, kDevice, kSensor, kParam, kPhone, kKey, kTableCount };

    // The rows of one table, cell after cell; the texts live in store_,
    // blocks that never move.
    struct Table {
        std::size_t columns = 0;
        std::vector<std::string_view> cells;
        std::size_t RowCount() const { return columns ? cells.size() / columns : 0; }
        DbRow Row(std::size_t index) const {
            return DbRow(cells).subspan(index * columns, columns);
        }
    };
    // The rows that belong to one device, each with the id or name that
    // finds it; a device has few, so they are searched in order.
    struct DeviceRows {
        std::vector<std::uint32_t> params;
        std::vector<std::pair<int, std::uint32_t>> phones;
        std::vector<std::pair<int, std::uint32_t>> keys;
    };

    static std::uint64_t Pair(int first, int second);
    bool ReadTable(CConfigDatabase& db, TableId id);
    std::string_view Keep(std::string_view text);
    void Index(TableId id, std::uint32_t index);
    bool Find(const CDbRecord& record, TableId& id, std::uint32_t& index) const;

    bool complete_ = true;
    Table tables_[kTableCount];
    std::vector<std::unique_ptr<char[]>> store_;
    std::size_t storeUsed_ = 0;
    std::size_t storeSize_ = 0;
    std::unordered_map<int, std::uint32_t> terminalRows_;
    std::unordered_map<std::uint64_t, std::uint32_t> deviceRows_;
    std::unordered_map<std::uint64_t, std::uint32_t> sensorRows_;
    std::unordered_map<std::uint64_t, DeviceRows> dependants_;
    std::vector<int> terminalIds_;
    std::unordered_map<int, std::vector<int>> deviceIds_;
    std::unordered_map<std::uint64_t, std::vector<int>> loopIds_;
};

} // namespace tornu
