#include "batch/BatchStore.h"

#include "db/ConfigDatabase.h"
#include "db/DbTransaction.h"
#include "db/TableDesc.h"
#include "protocol/TimeStamp.h"

#include <ctime>

namespace tornu {

namespace {

constexpr ColumnType kInt = ColumnType::Integer;
constexpr ColumnType kText = ColumnType::Text;

// Rows are bound and read by hand: no record stands behind them.
// name, type, length, key, caption, get, set
constexpr ColumnDesc kJobColumns[] = {
    {"id", kInt, 0, true, nullptr, nullptr, nullptr},
    {"name", kText, 100, false, "Название", nullptr, nullptr},
    {"owner", kText, 100, false, nullptr, nullptr, nullptr},
    {"created", kText, 40, false, nullptr, nullptr, nullptr},
    {"commands", kText, 0, false, nullptr, nullptr, nullptr},
    {"settings", kText, 0, false, nullptr, nullptr, nullptr},
    {"log", kText, 0, false, nullptr, nullptr, nullptr},
};
constexpr ColumnDesc kTerminalColumns[] = {
    {"job_id", kInt, 0, true, nullptr, nullptr, nullptr},
    {"term_id", kInt, 0, true, nullptr, nullptr, nullptr},
    {"position", kInt, 0, false, nullptr, nullptr, nullptr},
    {"state", kInt, 0, false, nullptr, nullptr, nullptr},
    {"attempts", kInt, 0, false, nullptr, nullptr, nullptr},
    {"cause", kText, 0, false, nullptr, nullptr, nullptr},
    {"started", kText, 40, false, nullptr, nullptr, nullptr},
    {"ended", kText, 40, false, nullptr, nullptr, nullptr},
    {"log", kText, 0, false, nullptr, nullptr, nullptr},
    {"results", kText, 0, false, nullptr, nullptr, nullptr},
};

ColumnMask Columns(const TableDesc& table, std::initializer_list<const char*> names) {
    ColumnMask mask = 0;
    for (const char* name : names)
        mask |= ColumnMask(1) << table.IndexOf(name);
    return mask;
}

std::string SelectAll(const TableDesc& table, const std::string& rest) {
    std::string list;
    for (const ColumnDesc& column : table.columns)
        list.append(list.empty() ? "" : ",").append(column.name);
    return "SELECT " + list + " FROM " + table.name + rest;
}

int Number(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (...) {
        return 0;
    }
}

BatchJob JobOf(const std::vector<std::string>& row) {
    return {Number(row[0]), row[1], row[2], row[3], row[4], row[5], row[6]};
}

} // namespace

const TableDesc kBatchJobTable{"batch_job", kJobColumns};
const TableDesc kBatchTerminalTable{"batch_terminal", kTerminalColumns};

const char* BatchStateCaption(int state) {
    switch (state) {
    case kBatchPending:
        return "ожидает";
    case kBatchRunning:
        return "выполняется";
    case kBatchDone:
        return "выполнено";
    case kBatchFailed:
        return "ошибка";
    case kBatchSkipped:
        return "пропущено";
    default:
        return "?";
    }
}

std::string CBatchStore::Now() {
    return SortableTimeStamp(std::time(nullptr));
}

CResult CBatchStore::Open() {
    db_.TakeFailedStatementError();
    for (const TableDesc* table : {&kBatchJobTable, &kBatchTerminalTable}) {
        if (db_.Execute(std::string("SELECT COUNT(*) FROM ") + table->name)) {
            db_.Connection().CloseCursor();
            continue;
        }
        if (!CConfigDatabase::IsMissingTableError(db_.LastError()))
            return db_.Outcome(false);
        db_.TakeFailedStatementError();
        if (!db_.Execute(table->CreateStatement()) || !db_.Execute(table->IndexStatement()))
            return db_.Outcome(false);
    }
    return CResult::Ok();
}

CResult CBatchStore::CreateJob(BatchJob& job, const std::vector<int>& terminals) {
    if (CResult fits = CheckColumnText(kBatchJobTable, "name", job.name); !fits)
        return fits;
    db_.TakeFailedStatementError();
    CDbTransaction transaction(&db_);
    std::vector<int> last;
    db_.QueryInts("SELECT MAX(id) FROM batch_job", last);
    job.id = (last.empty() ? 0 : last[0]) + 1;
    if (job.created.empty())
        job.created = Now();
    const DbValue jobRow[] = {job.id,       job.name,     job.owner, job.created,
                              job.commands, job.settings, job.log};
    bool done = db_.Execute(kBatchJobTable.InsertStatement(), jobRow);
    const std::string insert = kBatchTerminalTable.InsertStatement();
    for (std::size_t i = 0; done && i < terminals.size(); ++i) {
        const DbValue row[] = {job.id, terminals[i], static_cast<int>(i), kBatchPending, 0,
                               "", "", "", "", ""};
        done = db_.Execute(insert, row);
    }
    transaction.End(done);
    return db_.Outcome(done);
}

std::optional<BatchJob> CBatchStore::FindJob(int id) {
    std::vector<std::vector<std::string>> rows;
    const DbValue key[] = {id};
    if (!db_.Query(SelectAll(kBatchJobTable, " WHERE id=?"), key, rows) || rows.empty())
        return std::nullopt;
    return JobOf(rows[0]);
}

std::vector<BatchJob> CBatchStore::Jobs() {
    std::vector<std::vector<std::string>> rows;
    std::vector<BatchJob> jobs;
    if (db_.Query(SelectAll(kBatchJobTable, " ORDER BY id"), rows))
        for (const auto& row : rows)
            jobs.push_back(JobOf(row));
    return jobs;
}

std::vector<BatchTerminal> CBatchStore::Terminals(int job) {
    std::vector<std::vector<std::string>> rows;
    std::vector<BatchTerminal> terminals;
    const DbValue key[] = {job};
    if (!db_.Query(SelectAll(kBatchTerminalTable, " WHERE job_id=? ORDER BY position"), key, rows))
        return terminals;
    for (const auto& r : rows)
        terminals.push_back({Number(r[0]), Number(r[1]), Number(r[2]), Number(r[3]), Number(r[4]),
                             r[5], r[6], r[7], r[8], r[9]});
    return terminals;
}

CResult CBatchStore::MarkRunning(const BatchTerminal& row) {
    static const std::string update = kBatchTerminalTable.UpdateStatement(
        Columns(kBatchTerminalTable, {"state", "attempts", "started"}));
    db_.TakeFailedStatementError();
    const DbValue values[] = {kBatchRunning, row.attempts, row.started, row.job, row.terminal};
    return db_.Outcome(db_.Execute(update, values));
}

CResult CBatchStore::MarkEnded(const BatchTerminal& row) {
    static const std::string update = kBatchTerminalTable.UpdateStatement(
        Columns(kBatchTerminalTable, {"state", "attempts", "cause", "ended", "log", "results"}));
    db_.TakeFailedStatementError();
    const DbValue values[] = {row.state, row.attempts, row.cause,   row.ended,
                              row.log,   row.results,  row.job,     row.terminal};
    return db_.Outcome(db_.Execute(update, values));
}

CResult CBatchStore::AppendJobLog(int job, const std::string& line) {
    db_.TakeFailedStatementError();
    // Appended by the database: programs running the job together each add theirs.
    const std::string added = line + "\n";
    const DbValue values[] = {added, job};
    if (!db_.Execute("UPDATE batch_job SET log=log || ? WHERE id=?", values))
        return db_.Outcome(false);
    if (db_.Connection().RowCount() == 0)
        return CResult::Fail("Нет задания " + std::to_string(job));
    return CResult::Ok();
}

CResult CBatchStore::ReopenFailed(int job) {
    db_.TakeFailedStatementError();
    const DbValue values[] = {kBatchPending, job, kBatchFailed};
    return db_.Outcome(
        db_.Execute("UPDATE batch_terminal SET state=? WHERE job_id=? AND state=?", values));
}

int CBatchStore::State(int job, int terminal) {
    const DbValue key[] = {job, terminal};
    std::vector<int> state;
    if (!db_.QueryInts("SELECT state FROM batch_terminal WHERE job_id=? AND term_id=?", key, state) ||
        state.empty())
        return -1;
    return state[0];
}

} // namespace tornu
