#pragma once
// Base of the configuration records. Each record mirrors one row of one
// table and writes itself through: creating it inserts the row, every change
// updates the columns it changed, deleting it deletes it. There is no save
// step.
//
// Every statement is made from the record's table description (db/Tables.h)
// and every value is bound, so no text of the operator's is ever part of a
// statement's text.
#include "db/TableDesc.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

class CDbRecord {
public:
    CDbRecord() = default;
    virtual ~CDbRecord() = default;
    CDbRecord(const CDbRecord&) = delete;
    CDbRecord& operator=(const CDbRecord&) = delete;

    virtual const TableDesc& Describe() const = 0;
    const char* Table() const { return Describe().name; }
    // Asked of the record rather than kept in it: a configuration holds
    // millions of records, and each pointer kept is megabytes.
    virtual CConfigDatabase* Database() const = 0;
    // The key columns of the record's row.
    virtual RowKey Key() const = 0;

    // Copies the columns of a row of the table into the fields, stopping at
    // the first column the row does not have.
    void ReadRow(DbRow row);
    // The same for a row of only the columns of `columns`, in stored order.
    void ReadRow(DbRow row, ColumnMask columns);

    // Each is one statement, durable when it returns; all fail at once
    // without a database. Insert writes every column and refuses a text
    // longer than its column. Select reads the row found into the fields and
    // is true only when there was one.
    bool Insert();
    bool Select();
    bool Delete();
    // Writes the columns of `columns` (none: nothing to write, true). While
    // an update batch is open the update waits for it and is written when
    // the batch ends.
    bool Update(ColumnMask columns);

    // The mask of the columns of those names.
    ColumnMask Columns(std::initializer_list<std::string_view> names) const;
    // The record's value of each column, in the table's order.
    DbValue Value(std::size_t column) const { return Describe().columns[column].get(*this); }

    // Integer column as the records read them: a leading decimal number,
    // 0 for NULL or text that is not a number.
    static int ColumnNumber(std::string_view text);

    // The field of `column` as the history names it: its caption, after
    // what the record is ("Шлейф 4: Комментарий").
    virtual std::string ChangeName(std::size_t column) const;

protected:
    // Sets a text field and writes its column through, with the change in
    // the history; a text longer than the column is refused with nothing
    // changed.
    template <class Field> bool SetText(std::string_view column, Field& field, std::string_view text) {
        const ColumnMask mask = Columns({column});
        if (!FitsColumns(mask, text))
            return false;
        if (!MayReplace(mask, std::string_view(field), text))
            return true;
        const std::string old{std::string_view(field)};
        field = text;
        return Write(mask, old, text);
    }
    template <class Field> bool SetNumber(std::string_view column, Field& field, int value) {
        const int old = field;
        if (old != value && !MayReplace(Columns({column}), std::to_string(old), std::to_string(value)))
            return true;
        field = value;
        return Write(Columns({column}), std::to_string(old), std::to_string(value));
    }
    // The update of one column that changed from `old` to `now`, and its
    // history row, in one transaction.
    bool Write(ColumnMask column, std::string_view old, std::string_view now);
    // False when a reply's value must not replace a pending one (the
    // operator kept it): the field stays as it is.
    bool MayReplace(ColumnMask column, std::string_view stored, std::string_view read) const;

private:
    // A refusal is said to the database as a failed statement would be.
    bool FitsColumns(ColumnMask columns, std::string_view text) const;
    bool Refuse(const CResult& why) const;
    // The key columns' values after `values`, for a WHERE of the keys.
    void AppendKeys(std::vector<DbValue>& values) const;
};

} // namespace tornu
