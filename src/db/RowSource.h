#pragma once
// Where a record in load form finds its row, and the loader its ids.
//
// CStatementRowSource asks the database one statement per question.
// CPreloadedRowSource answers from the terminal and device tables read whole
// (see below): the start-up load then takes two queries instead of one per
// record. CTerminalRowSource answers from one terminal's rows of the four
// tables of dependants, read when they are first needed.
#include "db/DbRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace tornu {

class CConfigDatabase;

// A key column as the database compares it with "term_id=%d": only a whole
// integer matches; NULL and other text match no number.
bool ReadKeyColumn(DbRow row, std::size_t index, int& value);

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

class CTerminal;
class ITableReader;

// The terminal and device tables read whole, each with one query, and
// answered from memory with the same rows: all that start-up reads. Loops,
// parameters, phones and keys are the bulk of a configuration and wait for
// CTerminalRowSource.
class CPreloadedRowSource final : public IRowSource {
public:
    CPreloadedRowSource();
    ~CPreloadedRowSource() override;

    // Reads the terminal and device tables; false when one cannot be read
    // whole.
    bool Read(ITableReader& reader);

    bool TerminalIds(std::vector<int>& ids) override;
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    // No loop or dependant is read here: false.
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    bool Load(CDbRecord& record) override;

private:
    enum TableId { kTerminal, kDevice, kTableCount };

    // The cells of one table, row after row, as places in one text.
    struct Cell {
        std::uint32_t offset;
        std::uint32_t size;
    };
    struct Table {
        std::size_t columns = 0;
        std::string text;
        std::vector<Cell> cells;
    };
    // A key (two numbers) and what it finds (a row, an id); sorted by key and
    // then by what it finds, so the first of equal keys comes first. Sorted
    // vectors rather than hash maps: they hold these tables in a third of the
    // memory.
    struct Entry {
        std::uint32_t high;
        std::uint32_t low;
        std::uint32_t value;
        bool operator<(const Entry& other) const {
            return std::tie(high, low, value) < std::tie(other.high, other.low, other.value);
        }
    };
    using Index = std::vector<Entry>;

    static Entry Key(int first, int second, std::uint32_t value = 0);
    static bool FindFirst(const Index& index, Entry key, std::uint32_t& value);
    static void Values(const Index& index, Entry key, std::vector<int>& values);
    bool ReadTable(ITableReader& reader, TableId id);
    DbRow Row(TableId id, std::uint32_t index);
    void File(TableId id, DbRow row, std::uint32_t index);

    Table tables_[kTableCount];
    std::vector<std::string_view> row_;
    Index terminalRows_; // id -> row
    Index deviceRows_;   // terminal and address -> row
    Index deviceIds_;    // terminal -> address (as the loader reads it)
    std::vector<int> terminalIds_;
};

// One terminal's loops and its devices' parameters, phones and keys: each of
// the four tables read with one query restricted to the terminal (their
// unique indexes lead with it), and matched as a select by key would match
// them: the first row of a key wins.
class CTerminalRowSource final : public IRowSource {
public:
    explicit CTerminalRowSource(int terminal) : terminal_(terminal) {}

    // False when a table cannot be read.
    bool Read(CConfigDatabase& db);

    // Not this source's questions: false.
    bool TerminalIds(std::vector<int>& ids) override;
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    // A loop, parameter, phone or key: reads its row; false when none.
    bool Load(CDbRecord& record) override;

private:
    enum TableId { kSensor, kParam, kPhone, kKey, kTableCount };
    // Device address, number and name, as RowKey holds them.
    using Key = std::tuple<int, int, std::string>;
    struct Table {
        std::vector<std::vector<std::string>> rows;
        std::vector<std::pair<Key, std::size_t>> first; // sorted by key
    };

    void File(TableId id);
    static TableId TableOf(std::string_view table, bool& known);

    int terminal_;
    Table tables_[kTableCount];
    std::vector<std::pair<int, int>> loopIds_; // device, number; sorted
};

} // namespace tornu
