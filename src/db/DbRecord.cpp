#include "db/DbRecord.h"

#include "catalogue/DescriptionText.h"
#include "db/ConfigDatabase.h"

namespace tornu {

bool CDbRecord::Insert() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    std::string values;
    BuildClause(kInsertClause, values);
    if (values.empty())
        return false;
    return db->Execute(std::string("INSERT INTO ") + Table() + " VALUES(" + values + ")");
}

bool CDbRecord::Update() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    if (db->QueueUpdate(*this))
        return true;
    std::string set;
    BuildClause(kUpdateClause, set);
    return db->Execute(std::string("UPDATE ") + Table() + " " + set);
}

bool CDbRecord::Select() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    std::string where;
    BuildClause(kSelectClause, where);
    std::vector<std::vector<std::string>> rows;
    if (!db->Query(std::string("SELECT * FROM ") + Table() + " WHERE " + where, rows) ||
        rows.empty())
        return false;
    const std::vector<std::string_view> columns(rows.front().begin(), rows.front().end());
    ReadRow(columns);
    return true;
}

bool CDbRecord::Delete() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    std::string where;
    BuildClause(kDeleteClause, where);
    return db->Execute(std::string("DELETE FROM ") + Table() + " WHERE " + where);
}

int CDbRecord::ColumnNumber(std::string_view text) {
    return ReadLenientInteger(text);
}

std::string CDbRecord::Esc(std::string_view text) {
    return CConfigDatabase::Escape(text);
}

std::string CDbRecord::Literal(std::string_view text) {
    return "'" + Esc(text) + "'";
}

std::string CDbRecord::UpdateClause(const UpdateParts& parts) {
    std::string clause = "SET ";
    for (const auto& [column, value] : parts.values)
        clause.append(clause.size() > 4 ? "," : "").append(column).append("=").append(value);
    return clause + " WHERE " + parts.where + " AND " + parts.keyColumn + "=" + parts.key;
}

} // namespace tornu
