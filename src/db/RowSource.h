#pragma once
// Where a record in load form finds its row, and the loader its ids.
//
// CStatementRowSource asks the database one statement per question.
// CPreloadedRowSource reads each of the six tables with one query and
// answers from memory with the same rows: the whole configuration then loads
// in six statements instead of one per record.
#include "db/DbRecord.h"

#include <map>
#include <string>
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

    // Every table was read.
    bool IsComplete() const { return complete_; }

    bool TerminalIds(std::vector<int>& ids) override;
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    bool Load(CDbRecord& record) override;

private:
    using Rows = std::unordered_map<RowKey, DbRow, RowKeyHash>;

    bool ReadTable(CConfigDatabase& db, const std::string& table, Rows& rows);
    void IndexIds(const std::string& table, const DbRow& row);

    bool complete_ = true;
    std::unordered_map<std::string, Rows> tables_;
    std::vector<int> terminalIds_;
    std::unordered_map<int, std::vector<int>> deviceIds_;
    std::map<std::pair<int, int>, std::vector<int>> loopIds_;
};

} // namespace tornu
