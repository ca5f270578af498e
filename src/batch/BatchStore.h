#pragma once
// Fleet jobs kept in the configuration database beside its six tables, in
// two tables of their own: a job (name, owner, when it was made, its commands
// and settings) and one row per terminal of it (state, attempts, last cause,
// start and end of the last attempt, its log and each command's result).
// On a shared database every operator sees every job and its progress.
//
// Belongs to the thread that owns the database.
#include "settings/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace tornu {

class CConfigDatabase;
struct TableDesc;

enum BatchState : int { kBatchPending = 0, kBatchRunning, kBatchDone, kBatchFailed, kBatchSkipped };

// "ожидает", "выполняется", "выполнено", "ошибка", "пропущено".
const char* BatchStateCaption(int state);

struct BatchJob {
    int id = 0;
    std::string name{};
    std::string owner{};
    std::string created{};  // "%Y-%m-%d %H:%M:%S", local time
    std::string commands{}; // catalogue keys, comma-separated
    std::string settings{}; // configuration text: "ATTEMPTS=3;DELAY=60;"
    std::string log{};      // what befell the job as a whole (a port that left the pool)
};

struct BatchTerminal {
    int job = 0;
    int terminal = 0;
    int position = 0; // the order terminals are taken in
    int state = kBatchPending;
    int attempts = 0;
    std::string cause{};   // why the last attempt did not finish the terminal
    std::string started{}; // the last attempt's start
    std::string ended{};   // and end
    std::string log{};     // the last attempt's status lines, one a line
    std::string results{}; // "command\tstate\ttext" a line, in the call's order
};

extern const TableDesc kBatchJobTable;
extern const TableDesc kBatchTerminalTable;

class CBatchStore {
public:
    explicit CBatchStore(CConfigDatabase& db) : db_(db) {}

    // Creates the two tables and their indexes when they are missing.
    CResult Open();
    // A new job with its terminals pending in the given order, in one
    // transaction; its number, or the failure.
    CResult CreateJob(BatchJob& job, const std::vector<int>& terminals);
    std::optional<BatchJob> FindJob(int id);
    std::vector<BatchJob> Jobs();
    std::vector<BatchTerminal> Terminals(int job);
    // The attempt begins: running, attempts and start written.
    CResult MarkRunning(const BatchTerminal& row);
    // The attempt ended: state, cause, end, log and results written.
    CResult MarkEnded(const BatchTerminal& row);
    // A line added to the job's log.
    CResult AppendJobLog(int job, const std::string& line);
    // What failed goes back to pending (its attempts still counted). What a
    // process that died left running needs no reopening: it is run again by
    // whichever program claims it.
    CResult ReopenFailed(int job);
    // The terminal's state now, as another program may have left it; -1 when
    // it cannot be read.
    int State(int job, int terminal);

    // "%Y-%m-%d %H:%M:%S" of now, local time.
    static std::string Now();

private:
    CConfigDatabase& db_;
};

} // namespace tornu
