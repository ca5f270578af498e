#include "db/TableDesc.h"

namespace tornu {

namespace {

std::string TypeText(const ColumnDesc& column) {
    if (column.type == ColumnType::Integer)
        return "int";
    return column.length > 0 ? "varchar(" + std::to_string(column.length) + ")" : "TEXT";
}

// "a=? AND b=?" of the key columns.
std::string KeyCondition(const TableDesc& table) {
    std::string condition;
    for (const ColumnDesc& column : table.columns)
        if (column.key)
            condition.append(condition.empty() ? "" : " AND ").append(column.name).append("=?");
    return condition;
}

std::string ColumnList(const TableDesc& table, ColumnMask mask, const char* suffix) {
    std::string list;
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (mask & (ColumnMask(1) << i))
            list.append(list.empty() ? "" : ",").append(table.columns[i].name).append(suffix);
    return list;
}

} // namespace

std::size_t TableDesc::IndexOf(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (column == columns[i].name)
            return i;
    return columns.size();
}

ColumnMask TableDesc::KeyMask() const {
    ColumnMask mask = 0;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].key)
            mask |= ColumnMask(1) << i;
    return mask;
}

ColumnMask TableDesc::Mask(std::initializer_list<std::string_view> names) const {
    ColumnMask mask = 0;
    for (std::string_view name : names)
        mask |= ColumnMask(1) << IndexOf(name);
    return mask;
}

std::string TableDesc::Names(ColumnMask mask) const {
    return ColumnList(*this, mask, "");
}

std::string TableDesc::CreateStatement() const {
    std::string statement = std::string("CREATE TABLE ") + name + " (";
    for (std::size_t i = 0; i < columns.size(); ++i)
        statement.append(i ? "," : "").append(columns[i].name).append(" ").append(
            TypeText(columns[i]));
    return statement + ")";
}

std::string TableDesc::IndexStatement() const {
    return std::string("CREATE UNIQUE INDEX ") + name + "_index ON " + name + " (" +
           ColumnList(*this, KeyMask(), "") + ")";
}

std::string TableDesc::InsertStatement() const {
    std::string places;
    for (std::size_t i = 0; i < columns.size(); ++i)
        places.append(i ? ",?" : "?");
    return std::string("INSERT INTO ") + name + " (" + ColumnList(*this, AllColumns(), "") +
           ") VALUES(" + places + ")";
}

std::string TableDesc::SelectStatement() const {
    return "SELECT " + ColumnList(*this, AllColumns(), "") + " FROM " + name + " WHERE " +
           KeyCondition(*this);
}

std::string TableDesc::DeleteStatement() const {
    return std::string("DELETE FROM ") + name + " WHERE " + KeyCondition(*this);
}

std::string TableDesc::UpdateStatement(ColumnMask mask) const {
    return std::string("UPDATE ") + name + " SET " + ColumnList(*this, mask, "=?") + " WHERE " +
           KeyCondition(*this);
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

CResult CheckColumnText(const ColumnDesc& column, std::string_view text) {
    // Most texts are short: only one that could be too long is counted.
    if (column.length <= 0 || text.size() <= static_cast<std::size_t>(column.length) ||
        CharacterCount(text) <= static_cast<std::size_t>(column.length))
        return CResult::Ok();
    return CResult::Fail(std::string("Поле \"") + (column.caption ? column.caption : column.name) +
                         "\" не может быть длиннее " + std::to_string(column.length) +
                         " символов");
}

CResult CheckColumnText(const TableDesc& table, std::string_view column, std::string_view text) {
    const std::size_t index = table.IndexOf(column);
    return index < table.columns.size() ? CheckColumnText(table.columns[index], text)
                                        : CResult::Ok();
}

} // namespace tornu
