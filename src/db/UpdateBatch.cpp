#include "db/UpdateBatch.h"

#include <algorithm>
#include <utility>

namespace tornu {

namespace {

// Updates of one table and columns whose rows share every key column but the
// last, so that one statement finds them all by the last.
struct Group {
    const TableDesc* table;
    ColumnMask columns;
    std::vector<DbValue> leading;
    std::vector<CDbRecord*> records;
};

constexpr std::size_t kBatchRows = 16;

bool Has(ColumnMask mask, std::size_t column) {
    return (mask & (ColumnMask(1) << column)) != 0;
}

std::size_t LastKey(const TableDesc& table) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].key)
            last = i;
    return last;
}

// The one statement that updates `columns` of `rows` rows of `table` that
// share every key column but the last. Its values: for each column in the
// table's order, the last key and the column of each row; then the shared
// key columns; then the last key of each row.
std::string BuildBatchUpdate(const TableDesc& table, ColumnMask columns, std::size_t rows) {
    const std::size_t last = LastKey(table);
    const char* key = table.columns[last].name;
    std::string statement = std::string("UPDATE ") + table.name + " SET ";
    bool first = true;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        if (!Has(columns, i))
            continue;
        statement.append(first ? "" : ",").append(table.columns[i].name).append("=CASE ").append(key);
        first = false;
        // A server takes a bound value of a CASE for a text without a cast.
        const char* then = table.columns[i].type == ColumnType::Integer ? " WHEN ? THEN CAST(? AS int)"
                                                                        : " WHEN ? THEN ?";
        for (std::size_t row = 0; row < rows; ++row)
            statement += then;
        statement += " END";
    }
    statement += " WHERE ";
    for (std::size_t i = 0; i < last; ++i)
        if (table.columns[i].key)
            statement.append(table.columns[i].name).append("=? AND ");
    statement.append(key).append(" IN (");
    for (std::size_t row = 0; row < rows; ++row)
        statement.append(row ? ",?" : "?");
    return statement + ")";
}

} // namespace

bool CConfigDatabase::QueueUpdate(CDbRecord& record, ColumnMask columns) {
    if (batchDepth_ == 0)
        return false;
    auto queued = std::find_if(queued_.begin(), queued_.end(),
                               [&](const auto& entry) { return entry.first == &record; });
    if (queued == queued_.end())
        queued_.emplace_back(&record, columns);
    else
        queued->second |= columns;
    return true;
}

bool CConfigDatabase::EndUpdateBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0)
        return true;
    std::vector<Group> groups;
    for (const auto& entry : std::exchange(queued_, {})) {
        CDbRecord* record = entry.first;
        const ColumnMask columns = entry.second;
        const TableDesc& table = record->Describe();
        const std::size_t last = LastKey(table);
        std::vector<DbValue> leading;
        for (std::size_t i = 0; i < last; ++i)
            if (table.columns[i].key)
                leading.push_back(record->Value(i));
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return g.table == &table && g.columns == columns && g.leading == leading;
        });
        if (group == groups.end())
            group = groups.insert(groups.end(), {&table, columns, std::move(leading), {}});
        group->records.push_back(record);
    }
    // The changes' history after the changes, in the same transaction.
    bool written = history_.Flush();
    for (const Group& group : groups) {
        if (group.records.size() == 1) {
            written = group.records.front()->Update(group.columns) && written;
            continue;
        }
        const TableDesc& table = *group.table;
        const std::size_t last = LastKey(table);
        // A CASE of n rows costs the database n*n steps to compile: long
        // groups go in slices.
        for (std::size_t from = 0; from < group.records.size(); from += kBatchRows) {
            const std::span<CDbRecord* const> rows =
                std::span(group.records).subspan(from, std::min(kBatchRows, group.records.size() - from));
            std::vector<DbValue> values;
            for (std::size_t column = 0; column < table.columns.size(); ++column)
                if (Has(group.columns, column))
                    for (CDbRecord* record : rows) {
                        values.push_back(record->Value(last));
                        values.push_back(record->Value(column));
                    }
            values.insert(values.end(), group.leading.begin(), group.leading.end());
            for (CDbRecord* record : rows)
                values.push_back(record->Value(last));
            written = Execute(BuildBatchUpdate(table, group.columns, rows.size()), values) && written;
        }
    }
    return written;
}

} // namespace tornu
