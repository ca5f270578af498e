#pragma once
// The desktop program's side of fleet jobs: the stored jobs of every
// operator, the one shown in the window with its rows, and its run, driven by
// the window's timer on the document's thread. While a call runs its terminal
// is held (the editor and single exchanges refuse it) and the pool's ports
// are taken; a terminal's node is told to refresh when its call ends.
#include "batch/BatchRun.h"
#include "batch/BatchStore.h"
#include "batch/BatchViewModel.h"
#include "settings/Result.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tornu {

class CCommandDesc;
class CTornuCfgDoc;

// The commands a new job may carry: the terminal's, run once per terminal,
// and the devices', run for every device of it that offers them; in
// catalogue order, with their remembered files.
struct BatchCommandOffer {
    std::vector<CCommandDesc*> terminal;
    std::vector<CCommandDesc*> devices;
    std::vector<std::string> deviceTypes; // the catalogue's, to keep device commands to
};

inline constexpr const char* kBatchNoPortsMessage = "Не заданы порты модемов";
inline constexpr const char* kBatchUnknownCommandMessage = "Нет в каталоге команды ";

class CBatchSession {
public:
    explicit CBatchSession(CTornuCfgDoc& doc);
    // A run still going is stopped; its calls are hung up.
    ~CBatchSession();
    CBatchSession(const CBatchSession&) = delete;
    CBatchSession& operator=(const CBatchSession&) = delete;

    // Creates the job tables when they are missing.
    CResult Open();
    std::vector<BatchJob> Jobs();
    BatchCommandOffer OfferCommands();
    // The files chosen for the offered commands, remembered for next time.
    void RememberFiles(const BatchCommandOffer& offer);
    // A new job of these terminals, in this order (those not in the
    // configuration left out), owned by the user the program runs as; it
    // becomes the one shown.
    CResult CreateJob(BatchJob& job, const std::vector<int>& terminals);
    // Shows job `id` with its rows as stored; refused while a run goes on.
    CResult Choose(int id);
    const std::optional<BatchJob>& Job() const { return job_; }
    CBatchViewModel& Model() { return model_; }

    // Runs the shown job's pending terminals over the settings' modem pool,
    // with `retryFailed` the failed ones too; the failure says why in words.
    CResult Start(bool retryFailed);
    // One step of the run: true while it goes on. Never waits.
    bool Poll();
    // Until a call says something or a retry falls due: between polls, for
    // callers without a timer (tests).
    void Wait() {
        if (run_)
            run_->Wait();
    }
    bool Running() const { return run_ != nullptr; }
    void Pause(bool paused);
    bool Paused() const { return run_ && run_->Paused(); }
    // The running calls are asked to stop; Poll ends the run once they have.
    void Cancel();
    bool Cancelling() const { return run_ && run_->Stopping(); }
    // The database's failure that ended the last run, if one did.
    const CResult& LastFailure() const { return failure_; }

    // A terminal's last attempt's log, as stored.
    std::string TerminalLog(int terminal);
    // The report of the shown job written to `path` (UTF-8 CSV).
    bool ExportReport(const std::string& path);

    // For tests: how the calls open their lines, and the retry clock.
    void SetStreamFactory(CExchange::StreamFactory factory) { factory_ = std::move(factory); }
    void SetClock(IBatchClock* clock) { clock_ = clock; }

private:
    void OnRow(const BatchTerminal& row, const std::string& port);
    void Finish();

    CTornuCfgDoc& doc_;
    CBatchStore store_;
    std::optional<BatchJob> job_;
    CBatchViewModel model_;
    std::unique_ptr<CBatchRun> run_;
    std::vector<int> held_;
    CResult failure_ = CResult::Ok();
    CExchange::StreamFactory factory_;
    IBatchClock* clock_ = nullptr;
};

} // namespace tornu
