#include "db/DbRecord.h"

#include "catalogue/DescriptionText.h"
#include "db/ConfigDatabase.h"

namespace tornu {

bool CDbRecord::Insert() {
    if (!db_)
        return false;
    std::string values;
    BuildClause(kInsertClause, values);
    if (values.empty())
        return false;
    return db_->Execute(std::string("INSERT INTO ") + table_ + " VALUES(" + values + ")");
}

bool CDbRecord::Update() {
    if (!db_)
        return false;
    std::string set;
    BuildClause(kUpdateClause, set);
    return db_->Execute(std::string("UPDATE ") + table_ + " " + set);
}

bool CDbRecord::Select() {
    if (!db_)
        return false;
    std::string where;
    BuildClause(kSelectClause, where);
    std::vector<std::vector<std::string>> rows;
    if (!db_->Query(std::string("SELECT * FROM ") + table_ + " WHERE " + where, rows) ||
        rows.empty())
        return false;
    const std::vector<std::string_view> columns(rows.front().begin(), rows.front().end());
    ReadRow(columns);
    return true;
}

bool CDbRecord::Delete() {
    if (!db_)
        return false;
    std::string where;
    BuildClause(kDeleteClause, where);
    return db_->Execute(std::string("DELETE FROM ") + table_ + " WHERE " + where);
}

int CDbRecord::ColumnNumber(std::string_view text) {
    return ReadLenientInteger(text);
}

std::string CDbRecord::Esc(std::string_view text) {
    return CConfigDatabase::Escape(text);
}

} // namespace tornu
