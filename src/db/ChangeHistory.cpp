#include "db/ChangeHistory.h"

#include "db/ConfigDatabase.h"
#include "db/DbRecord.h"
#include "db/Tables.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

namespace tornu {

namespace {

constexpr ColumnType kInt = ColumnType::Integer;
constexpr ColumnType kText = ColumnType::Text;

constexpr ColumnDesc kHistoryColumns[] = {
    {"changed_at", kText, 40, false, nullptr, nullptr, nullptr},
    {"os_user", kText, 100, false, nullptr, nullptr, nullptr},
    {"host", kText, 255, false, nullptr, nullptr, nullptr},
    {"db_user", kText, 100, false, nullptr, nullptr, nullptr},
    {"term_id", kInt, 0, false, nullptr, nullptr, nullptr},
    {"device_id", kInt, 0, false, nullptr, nullptr, nullptr},
    {"what", kText, 255, false, nullptr, nullptr, nullptr},
    {"old_value", kText, 0, false, nullptr, nullptr, nullptr},
    {"new_value", kText, 0, false, nullptr, nullptr, nullptr},
    {"source", kText, 100, false, nullptr, nullptr, nullptr},
    {"detail", kText, 255, false, nullptr, nullptr, nullptr},
};

constexpr const char* kPasswordChanged = "изменен";

// Sortable as text, to the microsecond, so that the newest comes first.
std::string Now() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    localtime_r(&tv.tv_sec, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(tv.tv_usec % 1000000));
    return text;
}

// A value of a length the column cannot take is cut: the change it records
// has been checked against its own column already.
std::string_view Fit(std::string_view text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t at = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && chars++ == limit)
            return text.substr(0, at);
    return text;
}

} // namespace

const TableDesc kChangeHistoryTable{"change_history", kHistoryColumns};

const char* ChangeSourceText(ChangeSource source) {
    switch (source) {
    case ChangeSource::Operator:
        return "изменение оператором";
    case ChangeSource::Reply:
        return "ответ прибора";
    case ChangeSource::Import:
        return "импорт данных ПЦН";
    case ChangeSource::FileLoad:
        return "загрузка из файла";
    case ChangeSource::Batch:
        return "пакетный обмен";
    }
    return "";
}

void CChangeHistory::SetAuthor(std::string osUser, std::string host, std::string dbUser) {
    osUser_ = std::move(osUser);
    host_ = std::move(host);
    dbUser_ = std::move(dbUser);
}

bool CChangeHistory::EnsureTable() {
    if (tableChecked_)
        return true;
    // Made when first needed rather than at start-up, and without a failing
    // probe: a failed statement would end a server's open transaction.
    std::string create = kChangeHistoryTable.CreateStatement();
    create.insert(std::string_view("CREATE TABLE ").size(), "IF NOT EXISTS ");
    // A node's history is read by terminal, newest first: without the index
    // a long history is read whole for one terminal.
    tableChecked_ = db_.Execute(create) &&
                    db_.Execute("CREATE INDEX IF NOT EXISTS change_history_term ON "
                                "change_history (term_id, changed_at)");
    return tableChecked_;
}

bool CChangeHistory::Insert(int terminal, int device, std::string_view what,
                            std::string_view oldValue, std::string_view newValue) {
    if (!EnsureTable())
        return false;
    queued_.push_back({Now(), std::string(Fit(osUser_, 100)), std::string(Fit(host_, 255)),
                       std::string(Fit(dbUser_, 100)), std::to_string(terminal),
                       std::to_string(device), std::string(Fit(what, 255)), std::string(oldValue),
                       std::string(newValue), ChangeSourceText(source_),
                       std::string(Fit(detail_, 255))});
    return db_.InUpdateBatch() || Flush();
}

bool CChangeHistory::Flush() {
    // Rows of a few statements each: a statement's values cost SQLite time
    // that grows with the square of their count to compile.
    constexpr std::size_t kRowsPerStatement = 16;
    const std::vector<Row> rows = std::exchange(queued_, {});
    bool written = true;
    for (std::size_t from = 0; from < rows.size(); from += kRowsPerStatement) {
        const std::size_t count = std::min(kRowsPerStatement, rows.size() - from);
        std::string statement = db_.StatementsOf(kChangeHistoryTable).insert;
        const std::string place = statement.substr(statement.rfind('('));
        std::vector<DbValue> values;
        values.reserve(count * kColumns);
        for (std::size_t row = from; row < from + count; ++row) {
            if (row > from)
                statement += "," + place;
            for (std::size_t column = 0; column < kColumns; ++column) {
                const std::string& text = rows[row][column];
                // The terminal and device columns are numbers.
                values.push_back(column == 4 || column == 5
                                     ? DbValue(CDbRecord::ColumnNumber(text))
                                     : DbValue(text));
            }
        }
        written = db_.Execute(statement, values) && written;
    }
    return written;
}

bool CChangeHistory::Record(const CDbRecord& record, std::size_t column,
                            std::string_view oldValue, std::string_view newValue) {
    const TableDesc& table = record.Describe();
    const bool terminalRow = &table == &kTerminalTable;
    auto number = [&](const char* name) {
        const std::size_t at = table.IndexOf(name);
        return at < table.columns.size() ? record.Value(at).number : -1;
    };
    const int terminal = terminalRow ? number("id") : number("term_id");
    const int device = terminalRow ? -1 : &table == &kDeviceTable ? number("id") : number("device_id");
    if (std::string_view(table.columns[column].name) == "password")
        return Insert(terminal, device, record.ChangeName(column), {}, kPasswordChanged);
    return Insert(terminal, device, record.ChangeName(column), oldValue, newValue);
}

bool CChangeHistory::RecordNode(int terminal, int device, std::string_view what,
                                std::string_view oldValue, std::string_view newValue) {
    return Insert(terminal, device, what, oldValue, newValue);
}

bool CChangeHistory::Read(const HistoryFilter& filter, std::vector<HistoryEntry>& entries) {
    entries.clear();
    if (!EnsureTable())
        return false;
    std::string statement = "SELECT changed_at,os_user,host,db_user,term_id,device_id,what,"
                            "old_value,new_value,source,detail FROM change_history WHERE 1=1";
    std::vector<DbValue> values;
    if (filter.terminal) {
        statement += " AND term_id=?";
        values.emplace_back(*filter.terminal);
    }
    if (filter.device) {
        statement += " AND device_id=?";
        values.emplace_back(*filter.device);
    }
    if (!filter.since.empty()) {
        statement += " AND changed_at>=?";
        values.emplace_back(filter.since);
    }
    const std::string who = "%" + filter.who + "%";
    if (!filter.who.empty()) {
        statement += " AND (os_user LIKE ? OR host LIKE ? OR db_user LIKE ?)";
        values.insert(values.end(), {who, who, who});
    }
    const std::string text = "%" + filter.text + "%";
    if (!filter.text.empty()) {
        statement += " AND (what LIKE ? OR old_value LIKE ? OR new_value LIKE ?)";
        values.insert(values.end(), {text, text, text});
    }
    if (!filter.source.empty()) {
        statement += " AND source=?";
        values.emplace_back(filter.source);
    }
    statement += " ORDER BY changed_at DESC";
    std::vector<std::vector<std::string>> rows;
    if (!db_.Query(statement, values, rows))
        return false;
    for (auto& row : rows) {
        if (row.size() < 11)
            continue;
        entries.push_back({std::move(row[0]), std::move(row[1]), std::move(row[2]),
                           std::move(row[3]), CDbRecord::ColumnNumber(row[4]),
                           CDbRecord::ColumnNumber(row[5]), std::move(row[6]), std::move(row[7]),
                           std::move(row[8]), std::move(row[9]), std::move(row[10])});
    }
    return true;
}

CChangeSourceScope::CChangeSourceScope(CConfigDatabase* db, ChangeSource source,
                                       std::string detail)
    : history_(db ? &db->History() : nullptr) {
    if (!history_)
        return;
    source_ = std::exchange(history_->source_, source);
    detail_ = std::exchange(history_->detail_, std::move(detail));
}

CChangeSourceScope::~CChangeSourceScope() {
    if (!history_)
        return;
    history_->source_ = source_;
    history_->detail_ = std::move(detail_);
}

} // namespace tornu
