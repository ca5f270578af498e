#pragma once
// One table of the configuration described once: its name and its columns
// in stored order, each with its type, its length limit, whether it is part
// of the unique index, and how a record gives and takes its value. Every
// statement of a record is made from this description, and every value goes
// to the driver bound, never spliced into the text.
#include "db/DbValue.h"
#include "settings/Result.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tornu {

class CDbRecord;

enum class ColumnType : unsigned char { Integer, Text };

struct ColumnDesc {
    const char* name;
    ColumnType type;
    // A text's limit in characters (varchar); 0 for TEXT and integers.
    int length;
    // Part of the table's unique index.
    bool key;
    // The field as the operator knows it, for the message on a text too
    // long; null for a column the program fills itself.
    const char* caption;
    // The record's value of the column; a text views the record.
    DbValue (*get)(const CDbRecord&);
    // Takes the column of a row read; null for the columns a record is
    // found by rather than reads.
    void (*set)(CDbRecord&, std::string_view);
};

// Columns chosen by their place, bit i for column i.
using ColumnMask = std::uint32_t;

struct TableDesc {
    const char* name;
    std::span<const ColumnDesc> columns;

    // Place of the column of that name; columns.size() when there is none.
    std::size_t IndexOf(std::string_view column) const;
    ColumnMask KeyMask() const;
    // The columns of those names.
    ColumnMask Mask(std::initializer_list<std::string_view> names) const;
    // "a,b,c": the names of the columns of `columns`, in stored order.
    std::string Names(ColumnMask columns) const;
    ColumnMask AllColumns() const { return (ColumnMask(1) << columns.size()) - 1; }

    // The stored format, exactly: "CREATE TABLE t (a int,b varchar(40),c TEXT)"
    // and "CREATE UNIQUE INDEX t_index ON t (a,b)".
    std::string CreateStatement() const;
    std::string IndexStatement() const;
    // "INSERT INTO t (a,b,c) VALUES(?,?,?)"
    std::string InsertStatement() const;
    // "SELECT a,b,c FROM t WHERE a=? AND b=?"
    std::string SelectStatement() const;
    // "DELETE FROM t WHERE a=? AND b=?"
    std::string DeleteStatement() const;
    // "UPDATE t SET c=?,d=? WHERE a=? AND b=?" for the columns of `columns`.
    std::string UpdateStatement(ColumnMask columns) const;
};

// Characters of a UTF-8 text, as the databases count a varchar's length.
std::size_t CharacterCount(std::string_view text);

// Whether `text` fits the column: a failure names the field and its limit.
CResult CheckColumnText(const TableDesc& table, std::string_view column, std::string_view text);
CResult CheckColumnText(const ColumnDesc& column, std::string_view text);

} // namespace tornu
