#pragma once
// Base of the configuration records. Each record mirrors one row of one
// table and writes itself through: creating it inserts the row, every change
// updates it, deleting it deletes it. There is no save step.
//
// A record builds the text of each statement's clause; the statements
// themselves are the same for every table:
//   INSERT INTO <table> VALUES(<clause 1>)
//   UPDATE <table> <clause 2>
//   SELECT * FROM <table> WHERE <clause 0>
//   DELETE FROM <table> WHERE <clause 3>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CConfigDatabase;

// The columns of one fetched row, in the table's column order; NULL reads as
// an empty text.
using DbRow = std::span<const std::string_view>;

// What identifies a row within its table: the integer columns of its unique
// index (unused ones 0) and, for a parameter, its name.
struct RowKey {
    int terminal = 0;
    int device = 0;
    int id = 0;
    std::string name;
    bool operator==(const RowKey&) const = default;
};

// A record's update in parts, so that the updates of many records of one
// table and condition can be written as one statement (db/UpdateBatch.h):
//   UPDATE <table> SET <column>=<value>,... WHERE <where> AND <keyColumn>=<key>
struct UpdateParts {
    std::string where;
    const char* keyColumn = nullptr;
    std::string key;                                         // a literal
    std::vector<std::pair<const char*, std::string>> values; // column, literal
};

class CDbRecord {
public:
    enum ClauseKind : int {
        kSelectClause = 0, // WHERE condition of the select
        kInsertClause = 1, // VALUES list of the insert
        kUpdateClause = 2, // SET clause with its own WHERE
        kDeleteClause = 3, // WHERE condition of the delete
    };

    CDbRecord() = default;
    virtual ~CDbRecord() = default;
    CDbRecord(const CDbRecord&) = delete;
    CDbRecord& operator=(const CDbRecord&) = delete;

    // The clause of `kind`; any other kind gives an empty text. Text values
    // stand between apostrophes with every inner apostrophe doubled.
    virtual void BuildClause(int kind, std::string& clause) const = 0;
    // Copies the columns of a row of the table into the fields, stopping at
    // the first column the row does not have.
    virtual void ReadRow(DbRow row) = 0;
    // The key columns of the record's row.
    virtual RowKey Key() const = 0;
    // The update clause in parts; false for a record whose updates are
    // written one by one.
    virtual bool BuildUpdateParts(UpdateParts& /*parts*/) const { return false; }

    // Each is one statement, durable when it returns; all fail at once
    // without a database. While an update batch is open an update waits for
    // it and is written when the batch flushes. Select reads the row found into the fields and
    // is true only when there was one.
    bool Insert();
    bool Update();
    bool Select();
    bool Delete();

    // Asked of the record rather than kept in it: a configuration holds
    // millions of records, and each pointer kept is megabytes.
    virtual const char* Table() const = 0;
    virtual CConfigDatabase* Database() const = 0;

    // Integer column as the records read them: a leading decimal number,
    // 0 for NULL or text that is not a number.
    static int ColumnNumber(std::string_view text);
    // Text for the '%s' places of a clause: apostrophes doubled.
    static std::string Esc(std::string_view text);
    // A text value as a literal: between apostrophes, inner ones doubled.
    static std::string Literal(std::string_view text);
    // The update clause (kind 2) that `parts` make.
    static std::string UpdateClause(const UpdateParts& parts);
};

} // namespace tornu
