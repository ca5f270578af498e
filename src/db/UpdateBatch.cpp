#include "db/UpdateBatch.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tornu {

std::string BuildBatchUpdate(const char* table, const std::vector<UpdateParts>& rows) {
    const UpdateParts& first = rows.front();
    if (rows.size() == 1)
        return std::string("UPDATE ") + table + " " + CDbRecord::UpdateClause(first);
    std::string statement = std::string("UPDATE ") + table + " SET ";
    for (std::size_t column = 0; column < first.values.size(); ++column) {
        const std::string& value = first.values[column].second;
        statement.append(column ? "," : "").append(first.values[column].first).append("=");
        // A value every row shares needs no CASE: SQLite's planner compares
        // each literal of a statement with the others, so fewer is faster.
        if (std::all_of(rows.begin(), rows.end(),
                        [&](const UpdateParts& row) { return row.values[column].second == value; })) {
            statement += value;
            continue;
        }
        statement.append("CASE ").append(first.keyColumn);
        for (const UpdateParts& row : rows)
            statement.append(" WHEN ").append(row.key).append(" THEN ").append(
                row.values[column].second);
        statement += " END";
    }
    statement.append(" WHERE ").append(first.where).append(" AND ").append(first.keyColumn);
    statement += " IN (";
    for (std::size_t i = 0; i < rows.size(); ++i)
        statement.append(i ? "," : "").append(rows[i].key);
    return statement + ")";
}

namespace {

bool SameShape(const UpdateParts& a, const UpdateParts& b) {
    return a.where == b.where && std::strcmp(a.keyColumn, b.keyColumn) == 0 &&
           a.values.size() == b.values.size() &&
           std::equal(a.values.begin(), a.values.end(), b.values.begin(),
                      [](const auto& x, const auto& y) { return std::strcmp(x.first, y.first) == 0; });
}

} // namespace

bool CConfigDatabase::QueueUpdate(CDbRecord& record) {
    if (batchDepth_ == 0)
        return false;
    if (std::find(queued_.begin(), queued_.end(), &record) == queued_.end())
        queued_.push_back(&record);
    return true;
}

bool CConfigDatabase::EndUpdateBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0)
        return true;
    struct Group {
        const char* table;
        std::vector<UpdateParts> rows;
    };
    std::vector<Group> groups;
    bool written = true;
    for (CDbRecord* record : std::exchange(queued_, {})) {
        UpdateParts parts;
        if (!record->BuildUpdateParts(parts)) {
            written = record->Update() && written;
            continue;
        }
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return std::strcmp(g.table, record->Table()) == 0 && SameShape(g.rows.front(), parts);
        });
        if (group == groups.end())
            group = groups.insert(groups.end(), {record->Table(), {}});
        group->rows.push_back(std::move(parts));
    }
    for (const Group& group : groups)
        written = Execute(BuildBatchUpdate(group.table, group.rows)) && written;
    return written;
}

} // namespace tornu
