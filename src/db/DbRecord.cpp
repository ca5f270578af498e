#include "db/DbRecord.h"

#include "catalogue/DescriptionText.h"
#include "db/ConfigDatabase.h"

namespace tornu {

std::size_t RowKeyHash::operator()(const RowKey& key) const {
    std::size_t hash = std::hash<std::string>()(key.name);
    for (int part : {key.terminal, key.device, key.id})
        hash = hash * 1000003u ^ static_cast<std::size_t>(static_cast<unsigned>(part));
    return hash;
}

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
    std::vector<DbRow> rows;
    if (!db_->Query(std::string("SELECT * FROM ") + table_ + " WHERE " + where, rows) ||
        rows.empty())
        return false;
    ReadRow(rows.front());
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
