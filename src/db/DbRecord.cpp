#include "db/DbRecord.h"

#include "catalogue/DescriptionText.h"
#include "db/ChangeHistory.h"
#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"

#include <vector>

namespace tornu {

void CDbRecord::ReadRow(DbRow row) {
    ReadRow(row, Describe().AllColumns());
}

void CDbRecord::ReadRow(DbRow row, ColumnMask mask) {
    const auto& columns = Describe().columns;
    std::size_t cell = 0;
    for (std::size_t i = 0; i < columns.size() && cell < row.size(); ++i) {
        if (!(mask & (ColumnMask(1) << i)))
            continue;
        if (columns[i].set)
            columns[i].set(*this, row[cell]);
        ++cell;
    }
}

void CDbRecord::AppendKeys(std::vector<DbValue>& values) const {
    const auto& columns = Describe().columns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].key)
            values.push_back(Value(i));
}

bool CDbRecord::Refuse(const CResult& why) const {
    if (CConfigDatabase* db = Database())
        db->Refuse(why.Error());
    return false;
}

bool CDbRecord::FitsColumns(ColumnMask mask, std::string_view text) const {
    const auto& columns = Describe().columns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (mask & (ColumnMask(1) << i))
            if (CResult fits = CheckColumnText(columns[i], text); !fits)
                return Refuse(fits);
    return true;
}

bool CDbRecord::Insert() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    const TableDesc& table = Describe();
    std::vector<DbValue> values;
    values.reserve(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        values.push_back(Value(i));
        if (values.back().kind == DbValue::Kind::Text)
            if (CResult fits = CheckColumnText(table.columns[i], values.back().text); !fits)
                return Refuse(fits);
    }
    return db->Execute(db->StatementsOf(table).insert, values);
}

bool CDbRecord::Update(ColumnMask mask) {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    mask &= ~Describe().KeyMask();
    if (mask == 0 || db->QueueUpdate(*this, mask))
        return true;
    std::vector<DbValue> values;
    const auto& columns = Describe().columns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (mask & (ColumnMask(1) << i)) {
            values.push_back(Value(i));
            if (values.back().kind == DbValue::Kind::Text)
                if (CResult fits = CheckColumnText(columns[i], values.back().text); !fits)
                    return Refuse(fits);
        }
    AppendKeys(values);
    return db->Execute(Describe().UpdateStatement(mask), values);
}

bool CDbRecord::Select() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    std::vector<DbValue> keys;
    AppendKeys(keys);
    std::vector<std::vector<std::string>> rows;
    if (!db->Query(db->StatementsOf(Describe()).select, keys, rows) || rows.empty())
        return false;
    const std::vector<std::string_view> columns(rows.front().begin(), rows.front().end());
    ReadRow(columns);
    return true;
}

bool CDbRecord::Delete() {
    CConfigDatabase* const db = Database();
    if (!db)
        return false;
    std::vector<DbValue> keys;
    AppendKeys(keys);
    return db->Execute(db->StatementsOf(Describe()).remove, keys);
}

bool CDbRecord::Write(ColumnMask mask, std::string_view old, std::string_view now) {
    CConfigDatabase* const db = Database();
    std::size_t column = 0;
    while (column < Describe().columns.size() && !(mask & (ColumnMask(1) << column)))
        ++column;
    // Only the fields an operator knows have a history: not the states and
    // times a reply refreshes.
    if (!db || old == now || column == Describe().columns.size() ||
        !Describe().columns[column].caption)
        return Update(mask);
    CDbTransaction transaction(db);
    const bool written = Update(mask) && db->History().Record(*this, column, old, now) &&
                         db->Pending().Changed(*this, column);
    return transaction.End(written) && written;
}

bool CDbRecord::MayReplace(ColumnMask mask, std::string_view stored, std::string_view read) const {
    CConfigDatabase* const db = Database();
    if (!db || stored == read)
        return true;
    std::size_t column = 0;
    while (column < Describe().columns.size() && !(mask & (ColumnMask(1) << column)))
        ++column;
    return column == Describe().columns.size() ||
           db->Pending().MayReplace(*this, column, stored, read);
}

std::string CDbRecord::ChangeName(std::size_t column) const {
    const char* caption = Describe().columns[column].caption;
    return caption ? caption : Describe().columns[column].name;
}

ColumnMask CDbRecord::Columns(std::initializer_list<std::string_view> names) const {
    return Describe().Mask(names);
}

int CDbRecord::ColumnNumber(std::string_view text) {
    return ReadLenientInteger(text);
}

} // namespace tornu
