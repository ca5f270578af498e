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
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
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
    bool QueryIds(const std::string& statement, std::span<const DbValue> values,
                  std::vector<int>& ids);

    CConfigDatabase& db_;
};

class CTerminal;
class ITableReader;

// The terminal table read whole, and the device table read once in key
// order alongside the load: the loader asks for the terminals in ascending id
// order, and each one's device rows are taken from the stream as it is
// loaded, with the columns the start needs (kDeviceStartColumns). No copy of
// the device table is held (a fleet has hundreds of thousands of rows), and
// nothing of loops, parameters, phones and keys is read: they and the rest
// of the device rows wait for CTerminalRowSource.
class CPreloadedRowSource final : public IRowSource {
public:
    CPreloadedRowSource();
    ~CPreloadedRowSource() override;

    // Reads the terminal table and starts on the device table; false when
    // either cannot be read. The reader must outlive the load.
    bool Read(ITableReader& reader);
    // The device table could not be read to the end.
    bool Failed() const;

    bool TerminalIds(std::vector<int>& ids) override;
    // The devices of the terminal loaded last.
    bool DeviceIds(int terminal, std::vector<int>& ids) override;
    // No loop or dependant is read here: false.
    bool LoopIds(int terminal, int device, std::vector<int>& ids) override;
    bool Load(CDbRecord& record) override;

private:
    // Rows as places in one text. Long texts (the type description of every
    // row) repeat from row to row: in a table read whole each distinct one
    // is kept once.
    class CRows {
    public:
        explicit CRows(bool shareLongTexts) : shareLongTexts_(shareLongTexts) {}
        bool Add(DbRow row);
        DbRow Row(std::size_t index, std::vector<std::string_view>& cells) const;
        std::size_t Count() const { return columns_ ? cells_.size() / columns_ : 0; }
        void Clear();
        void Shrink();

    private:
        struct Cell {
            std::uint32_t offset;
            std::uint32_t size;
        };
        struct Hash {
            using is_transparent = void;
            std::size_t operator()(std::string_view text) const {
                return std::hash<std::string_view>()(text);
            }
        };
        bool shareLongTexts_;
        std::size_t columns_ = 0;
        std::string text_;
        std::vector<Cell> cells_;
        std::unordered_map<std::string, Cell, Hash, std::equal_to<>> longTexts_;
    };

    // Takes the device rows of `terminal` from the stream, passing over those
    // of terminals not asked for.
    void ReadDevicesOf(int terminal);
    void AddDevice(DbRow row);

    CRows terminals_{true};
    std::vector<std::pair<int, std::uint32_t>> terminalRows_; // id, row; sorted
    std::vector<int> terminalIds_;
    ITableReader* reader_ = nullptr;
    int batchTerminal_ = -1;
    CRows batch_{false};                                   // its device rows
    std::vector<std::pair<int, std::uint32_t>> batchRows_; // address, row; sorted
    CRows ahead_{false}; // the row read past the terminal, for the next one
    int aheadTerminal_ = 0;
    bool haveAhead_ = false;
    bool ended_ = false;
    std::vector<std::string_view> row_;
};

// One terminal's loops and its devices' parameters, phones and keys, and the
// columns of its device rows the start leaves: each table read with one
// query restricted to the terminal (their unique indexes lead with it), and
// matched as a select by key would match them: the first row of a key wins.
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
    // The columns of the device's row that the start does not read
    // (kDeviceLaterColumns); false when it has no row.
    bool LoadLaterColumns(CDbRecord& device, int address) const;

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
    std::vector<std::vector<std::string>> devices_;
    std::vector<std::pair<int, std::size_t>> deviceRows_; // address, row; sorted
};

} // namespace tornu
