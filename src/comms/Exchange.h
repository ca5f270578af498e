#pragma once
// One data call to one terminal in which a list of commands is carried out,
// run on a worker thread: modem settings, the port, initialisation, dialling
// (or emulation), the terminal's receipt, the login, every command with its
// reply, the closing message, hang-up.
//
// Threads: Start, PopStatus, TakeReply, ReplyApplied, Results, GetState,
// WaitActivity, RequestCancel and Cancel belong to the caller's thread (the
// document's); everything else runs on the worker, which alone reads and
// writes the port and touches nothing but its own copy of the job. Two
// hand-overs: the status lines and results under statusLock_, and the reply
// the worker waits on to be applied under replyLock_. state_ and cancelled_
// are atomic flags; a cancel reaches a waiting worker through the stream's
// Interrupt and the reply wait's condition.
#include "comms/ActivitySignal.h"
#include "comms/ByteStream.h"
#include "comms/ExchangeJob.h"
#include "settings/Result.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tornu {

class CIniFile;
class CModem;
class CPacketChannel;
class CTermMessage;

// Why an exchange ended, for a caller that decides what follows (a fleet's
// queue dials a busy line again, but not a terminal that refused its password).
enum class ExchangeEnd : int {
    kNone,          // running, or never started
    kCompleted,     // the command phase ended on a live call (see each command's outcome)
    kNoPhone,       // nothing to dial
    kNoPassword,    // no link password
    kPortFailed,    // the port could not be opened, or went away
    kModemSilent,   // the modem did not answer "at"
    kBusy,          // BUSY
    kNoAnswer,      // NO ANSWER
    kNoCarrier,     // NO CARRIER, or the call lost before the commands
    kDialFailed,    // any other dial failure (no result, NO DIALTONE, ERROR)
    kNoReceipt,     // no readable receipt, or the login not answered
    kBadReceipt,    // a receipt with another code
    kLoginRefused,  // the link password refused
    kLinkLost,      // the call was lost during the commands
    kStoreFailed,   // a reply could not be stored: the session was ended
    kCancelled,
};

class CExchange {
public:
    enum State : int { kRunning = 0, kFinished = 1, kFailed = 2 };

    // Time-outs and pauses, in protocol milliseconds.
    static constexpr int kInitReplyMs = 1000;
    static constexpr int kPauseBeforeAtMs = 3000;
    static constexpr int kAtReplyMs = 1000;
    static constexpr int kReceiptMs = 10000;
    static constexpr int kLoginMs = 5000;
    static constexpr int kCommandMs = 10000;
    static constexpr int kAttempts = 5;

    // Opens the line the modem is on, on the worker thread: the stream, or
    // null and why not (the operator's words, or nothing more to say).
    using StreamFactory = std::function<std::unique_ptr<IByteStream>(
        const std::string& port, std::uint32_t speed, CResult& why)>;

    // The settings object is only read, by Start, on the caller's thread.
    explicit CExchange(const CIniFile& settings);
    // Cancels a running exchange and waits for it.
    ~CExchange();
    CExchange(const CExchange&) = delete;
    CExchange& operator=(const CExchange&) = delete;

    // Starts an exchange with the job's commands in order. False when the
    // list is empty or an exchange is still running.
    bool Start(ExchangeJob job);
    // Takes the oldest status line; false when none is waiting.
    bool PopStatus(std::string& line);
    // The reply the worker waits on to be applied; false when none waits.
    // The worker goes on once ReplyApplied tells it the outcome.
    bool TakeReply(PendingReply& reply);
    // The reply taken last was applied, or why not: the command then fails
    // with "Невозможно обработать ответ" and the reason. With `stop` it could
    // not be stored (the database failed): no further command is sent, the
    // session ends with its closing message and the exchange fails.
    void ReplyApplied(CResult applied, bool stop = false);
    // Each command's outcome so far, in the job's order.
    std::vector<CommandOutcome> Results() const;
    // Returns when a status line or a reply waits, the exchange has ended,
    // or `ms` (real milliseconds) have passed.
    void WaitActivity(int ms);
    // kRunning, kFinished (the login passed and the command phase ended) or
    // kFailed (failed or cancelled). Once it has left kRunning the port is closed.
    int GetState() const { return state_.load(); }
    // Why it ended; kNone while it runs. Set before the state leaves kRunning.
    ExchangeEnd EndCause() const { return static_cast<ExchangeEnd>(cause_.load()); }
    // Asks the exchange to stop after its current step and returns at once;
    // GetState shows the end. A cancelled session sends no closing message,
    // posts no further line, and hangs up.
    void RequestCancel();
    // RequestCancel, then waits until the worker has ended. True.
    bool Cancel();

    // Where the modem writes its log; by default the working directory.
    void SetModemLogFolder(const std::filesystem::path& folder);
    // How the line is opened; by default a CSerialPort. Set before Start.
    void SetStreamFactory(StreamFactory factory);
    // Also told of every status line, reply and end (a caller that watches
    // several exchanges at once). Set before Start.
    void SetActivitySignal(std::shared_ptr<CActivitySignal> signal) { signal_ = std::move(signal); }
    // The default factory: the serial port at the speed, 8N1.
    static std::unique_ptr<IByteStream> OpenSerialPort(const std::string& port, std::uint32_t speed,
                                                       CResult& why);

private:
    enum class SessionEnd { kNormal, kFailed, kCancelled };
    struct ModemSettings {
        std::string port = "COM1";
        std::uint32_t speed = 9600;
        std::string init;
        bool emulation = false;
        bool checkDigits = true; // "CheckCrc=0" turns the check of received packets off
    };

    void Run();
    State RunExchange();
    State RunOnLine(IByteStream& line);
    ModemSettings ReadSettings() const;
    bool InitModem(CModem& modem);
    bool ConnectModem(CModem& modem, int& result);
    static ExchangeEnd DialCause(const CModem& modem, int result);
    // The call or the port lost, or else `otherwise`.
    static ExchangeEnd LostOr(const CModem& modem, ExchangeEnd otherwise);
    // ": " and how the call was lost, or empty while it is up.
    static std::string LinkLossText(const CModem& modem);
    SessionEnd RunSession(CModem& modem, CPacketChannel& channel);
    void SendClosing(CPacketChannel& channel, CTermMessage& message);
    bool WaitReceipt(CModem& modem, CPacketChannel& channel, CTermMessage& message);
    bool Login(CModem& modem, CPacketChannel& channel, CTermMessage& message);
    // False when no further command is to be tried.
    bool RunCommand(CModem& modem, CPacketChannel& channel, std::size_t index,
                    CTermMessage& message);
    // The command's reply: the worker's snapshot follows it, it is handed
    // over and its outcome posted. False when no further command is to be tried.
    bool Deliver(std::size_t index, ReplyValue value);
    // Hands the reply over and waits for the outcome of applying it; a
    // cancel ends the wait, and a reply not taken by then is dropped.
    CResult HandOver(std::size_t index, ReplyValue value, bool& stop);
    // Wakes WaitActivity.
    void Signal();
    // Publishes the line for RequestCancel (null: withdrawn).
    void SetLine(IByteStream* line);

    // The first cause set wins: what follows a failure only reports it.
    void SetCause(ExchangeEnd cause);
    // The node command `index` addresses.
    ExchangeNode& NodeOf(std::size_t index);

    // A status line, or with `error` an error line ("ОШИБКА: " + text) that
    // also fails command `index` when one is given. True for a plain line.
    bool PostStatus(const std::string& text, bool error = false,
                    std::optional<std::size_t> index = std::nullopt);

    const CIniFile& settings_;
    StreamFactory openLine_;
    std::filesystem::path logFolder_;
    std::shared_ptr<CActivitySignal> signal_;

    // Set by Start before the worker runs; the worker's own afterwards.
    ExchangeJob job_;
    ModemSettings modemSettings_;
    bool storeFailed_ = false; // a reply could not be stored: the session stops

    std::atomic<int> state_{kFailed};
    std::atomic<bool> cancelled_{false};
    std::atomic<int> cause_{static_cast<int>(ExchangeEnd::kNone)};
    mutable std::mutex statusLock_; // guards statusQueue_, results_ and activity_
    std::deque<std::string> statusQueue_;
    std::vector<CommandOutcome> results_;
    std::condition_variable activity_;

    std::mutex replyLock_; // guards pending_, taken_ and verdict_
    std::condition_variable replyChanged_;
    std::optional<PendingReply> pending_;
    bool taken_ = false;
    std::optional<CResult> verdict_;
    bool verdictStops_ = false;

    std::mutex lineLock_; // guards line_, which RequestCancel interrupts
    IByteStream* line_ = nullptr;

    std::thread worker_;
    std::mutex endLock_; // guards ended_
    std::condition_variable endedChanged_;
    bool ended_ = true; // the worker has done everything (but return)
};

} // namespace tornu
