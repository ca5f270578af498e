#pragma once
// The terminals of a fleet job run over a pool of modem ports: each port
// carries one terminal at a time, terminals are taken in order, a busy line
// or no answer is dialled again after a delay up to a number of attempts, a
// refused password or command fails that terminal at once and the job goes
// on, and a port that fails (gone, its modem silent) leaves the pool while
// the others go on.
//
// Threads: everything runs on the caller's thread (the one that owns the
// records, to which the sink applies the replies); only the exchanges' workers
// run beside it. Run waits on them all at once, never sleeping; a window
// drives the same steps with Start and Poll from its timer, never waiting.
#include "comms/ActivitySignal.h"
#include "comms/Exchange.h"
#include "settings/IniFile.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tornu {

// What the end of one call means for its terminal.
enum class BatchVerdict {
    kDone,       // every command carried out and its reply applied
    kRetry,      // the line was busy, nobody answered, the call was lost
    kFailed,     // refused: the password, a command, the terminal itself
    kPortFailed, // the port or its modem failed: not the terminal's fault
    kCancelled,  // stopped by the operator: the terminal stays to do
};

// The verdict of an exchange that ended with `cause` and these outcomes.
BatchVerdict JudgeExchange(ExchangeEnd cause, const std::vector<CommandOutcome>& results);

// One modem of the pool: its port and the keys of a "Modem" section.
struct BatchPort {
    std::string name; // the port, as "ComPort" gives it
    CIniFile modem;   // section "Modem", as an exchange reads it
};

struct BatchSettings {
    int attempts = 3;          // calls per terminal in one run
    int retryDelayMs = 60000;  // before a busy or unanswered terminal is dialled again
};

// How one call of a terminal ended.
struct BatchCallEnd {
    int terminal = 0;
    int attempt = 0;            // of this run, from 1
    BatchVerdict verdict = BatchVerdict::kFailed;
    bool final = false;         // no further call follows in this run
    std::string cause;          // the error line that decided it; empty when done
    std::vector<std::string> log;
    std::vector<CommandOutcome> results;
};

// The queue's side of the records and the job's rows; called on the queue's thread.
class IBatchSink {
public:
    virtual ~IBatchSink() = default;
    // The call's commands for the terminal; nothing, with why, when it has
    // gone (it is then skipped), or without a why when another program runs
    // it or has run it (it is then left to that one).
    virtual std::optional<ExchangeJob> MakeJob(int terminal, std::string& why) = 0;
    // With `stop` the reply could not be stored (the database failed): the
    // call ends there.
    virtual CResult ApplyReply(int terminal, const PendingReply& reply, bool& stop) = 0;
    virtual void Started(int terminal, const std::string& port, int attempt) = 0;
    virtual void Ended(const BatchCallEnd& end) = 0;
    virtual void Skipped(int terminal, const std::string& why) = 0;
    // A port left the pool.
    virtual void PortLost(const std::string& port, const std::string& why) = 0;
};

// Time for the retry delays. The real one waits on the exchanges' signal;
// a test's moves on at once.
class IBatchClock {
public:
    virtual ~IBatchClock() = default;
    virtual std::int64_t NowMs() = 0;
    // Nothing runs: wait `ms` for a retry to fall due, or for the signal.
    virtual void Idle(CActivitySignal& signal, std::uint64_t seen, int ms) = 0;
};

class CBatchQueue {
public:
    // How long a wait lasts at most before a stop request is looked at.
    static constexpr int kWakeMs = 200;

    CBatchQueue(std::vector<BatchPort> ports, BatchSettings settings, IBatchSink& sink,
                IBatchClock* clock = nullptr);
    ~CBatchQueue();
    CBatchQueue(const CBatchQueue&) = delete;
    CBatchQueue& operator=(const CBatchQueue&) = delete;

    // How each exchange opens its line (tests: fake streams); by default the serial port.
    void SetStreamFactory(CExchange::StreamFactory factory) { factory_ = std::move(factory); }
    void SetModemLogFolder(std::string folder) { logFolder_ = std::move(folder); }

    // Runs the terminals in order until every one has ended, the pool is
    // empty, or `stop` says so; a stop cancels the running calls and waits
    // for them. True when nothing is left to do.
    bool Run(const std::vector<int>& terminals, const std::function<bool()>& stop = {});

    // The same run in steps: Start queues the terminals, each Poll applies
    // what the calls say, ends those that have ended and starts what is due,
    // without waiting. Poll is true while work is left; once it is false,
    // Left() tells what was not ended.
    void Start(const std::vector<int>& terminals);
    bool Poll();
    // Until something happens, a retry falls due or kWakeMs pass: between
    // polls, for callers without a timer.
    void Wait();
    // The running calls are asked to stop; Poll goes on until they have.
    void Stop();
    // Paused, no terminal is started; the running calls finish.
    void Pause(bool paused) { paused_ = paused; }
    bool Paused() const { return paused_; }
    bool Stopping() const { return stopping_; }
    // A call runs.
    bool Running() const;

    // Ports still in the pool.
    std::size_t PortsLeft() const;
    // Terminals not ended when Run returned (a stop, or no port left).
    const std::vector<int>& Left() const { return left_; }

private:
    struct Item {
        int terminal = 0;
        int attempts = 0;
        std::int64_t notBefore = 0;
    };
    struct Slot {
        BatchPort port;
        std::unique_ptr<CExchange> exchange;
        std::optional<Item> item;
        std::vector<std::string> log;
        bool lost = false;
    };

    // Applies what the running exchanges say and ends those that have ended.
    void Collect();
    void End(Slot& slot);
    // Starts the next ready terminal on each free port.
    void Dispatch();

    std::vector<Slot> slots_;
    BatchSettings settings_;
    IBatchSink& sink_;
    std::unique_ptr<IBatchClock> ownClock_;
    IBatchClock& clock_;
    CExchange::StreamFactory factory_;
    std::string logFolder_;
    std::shared_ptr<CActivitySignal> signal_ = std::make_shared<CActivitySignal>();
    std::deque<Item> queue_;
    std::vector<int> left_;
    bool stopping_ = false;
    bool paused_ = false;
    std::uint64_t seen_ = 0; // the signal's count before the last poll
};

} // namespace tornu
