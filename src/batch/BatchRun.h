#pragma once
// One run of a fleet job on the document's records: the queue's sink. It
// builds each terminal's call from the job's commands (terminal commands once
// for the terminal; device commands for every device of it that they fit),
// applies the replies to the records on this thread, and writes every start
// and end to the job's rows, so that a run that is stopped, killed or loses
// its power leaves the job resumable: a terminal is written done only after
// its last reply was applied, and one left running counts as not done.
#include "batch/BatchClaims.h"
#include "batch/BatchQueue.h"
#include "batch/BatchStore.h"
#include "batch/BatchText.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tornu {

class CCommandDesc;
class CDevice;
class CWorkspace;

class CBatchRun : public IBatchSink {
public:
    using Progress = std::function<void(const std::string& line)>;
    // A terminal's row as just written, with the port of a call that starts.
    using RowWritten = std::function<void(const BatchTerminal& row, const std::string& port)>;

    CBatchRun(CWorkspace& workspace, CBatchStore& store, BatchJob job);

    // A line for the operator at each start and end of a call.
    void OnProgress(Progress progress) { progress_ = std::move(progress); }
    void OnRow(RowWritten written) { rowWritten_ = std::move(written); }
    // The catalogue keys the job names that the catalogue does not know.
    std::vector<std::string> UnknownCommands() const;
    // Why the job cannot run: an input file of its commands is missing,
    // unreadable or too long. Empty when it can.
    std::string FileProblem() const;

    // Runs the terminals not done over `pool`: with `reopenFailed` those that
    // failed too (a resume), otherwise only those pending and those a dead
    // process left running. Returns when every one has ended, the pool is
    // empty, or `stop` says so; a failure is the database's.
    CResult Run(std::vector<BatchPort> pool, const std::function<bool()>& stop = {},
                bool reopenFailed = false);
    // The same run in the queue's steps (a window's timer): Start, then Poll
    // until it is false; Stop and Pause as the queue's. Failure() is the
    // database's first failed write.
    CResult Start(std::vector<BatchPort> pool, bool reopenFailed = false);
    bool Poll();
    void Wait() { queue_->Wait(); }
    void Stop() { queue_->Stop(); }
    void Pause(bool paused) { queue_->Pause(paused); }
    bool Paused() const { return queue_ && queue_->Paused(); }
    bool Stopping() const { return queue_ && queue_->Stopping(); }
    const CResult& Failure() const { return failure_; }
    // How each call opens its line (tests); by default the serial port.
    void SetStreamFactory(CExchange::StreamFactory factory) { factory_ = std::move(factory); }
    // Overrides the job's settings for this run (the command line's --attempts).
    void SetSettings(const BatchSettings& settings) { settings_ = settings; }
    void SetClock(IBatchClock* clock) { clock_ = clock; }

    // IBatchSink
    std::optional<ExchangeJob> MakeJob(int terminal, std::string& why) override;
    CResult ApplyReply(int terminal, const PendingReply& reply, bool& stop) override;
    void Started(int terminal, const std::string& port, int attempt) override;
    void Ended(const BatchCallEnd& end) override;
    void Skipped(int terminal, const std::string& why) override;
    void PortLost(const std::string& port, const std::string& why) override;

private:
    // What one terminal's call addresses: each command's device (null: the
    // terminal) and its node and key for the results.
    struct Call {
        std::vector<CDevice*> devices;
        std::vector<CommandSpec> specs; // without the input files: for the pending marks
        std::vector<BatchResultLine> lines;
    };

    void Write(const CResult& written, const BatchTerminal& row, const std::string& port = {});
    void Tell(const std::string& line);

    CWorkspace& workspace_;
    CBatchStore& store_;
    BatchJob job_;
    BatchSettings settings_;
    std::vector<std::string> types_; // the device types its device commands go to; none: all
    std::vector<CCommandDesc*> commands_;
    // Each command as the calls send it, its input file read once and its
    // output file the job's (each node then writes its own).
    std::vector<CommandSpec> specs_;
    std::vector<std::string> files_; // the input file of each, as named
    std::vector<std::string> unknown_;
    std::map<int, Call> calls_;
    std::map<int, int> attemptsBefore_; // of each terminal, in earlier runs
    Progress progress_;
    RowWritten rowWritten_;
    CExchange::StreamFactory factory_;
    IBatchClock* clock_ = nullptr;
    CResult failure_ = CResult::Ok(); // the first write that failed
    std::unique_ptr<CBatchClaims> claims_; // while a run lasts
    // Gone first: its calls are hung up before the claims are let go.
    std::unique_ptr<CBatchQueue> queue_;
};

} // namespace tornu
