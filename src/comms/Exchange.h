#pragma once
// One data call to one terminal in which a list of commands is carried out,
// run on a worker thread: modem settings, the port, initialisation, dialling
// (or emulation), the terminal's receipt, the login, every command with its
// reply, the closing message, hang-up.
//
// Threads: Start, PopStatus, GetState, RequestCancel and Cancel belong to the
// user-interface thread; everything else runs on the worker, which alone
// reads and writes the port. RequestCancel and Cancel may also be called from
// another thread of the caller's, so that a window stays responsive. The
// status queue (and the command results the worker sets) is the only
// hand-over, under statusLock_; state_ and cancelled_ are atomic flags, and
// a cancel reaches a waiting worker through the stream's Interrupt. The UI
// thread must leave the target, the command records and the settings object
// alone while the exchange runs.
#include "comms/ByteStream.h"
#include "settings/Result.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tornu {

class CCommandDesc;
class CExchangeTarget;
class CIniFile;
class CModem;
class CPacketChannel;
class CTermMessage;

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

    // Starts an exchange with the commands in order. False when the target is
    // missing, the list is empty or an exchange is still running.
    bool Start(CExchangeTarget* target, std::vector<CCommandDesc*> commands);
    // Takes the oldest status line; false when none is waiting.
    bool PopStatus(std::string& line);
    // kRunning, kFinished (the login passed and the command phase ended) or
    // kFailed (failed or cancelled). Once it has left kRunning the port is closed.
    int GetState() const { return state_.load(); }
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
    // ": " and how the call was lost, or empty while it is up.
    static std::string LinkLossText(const CModem& modem);
    SessionEnd RunSession(CModem& modem, CPacketChannel& channel);
    void SendClosing(CPacketChannel& channel, CTermMessage& message);
    bool WaitReceipt(CModem& modem, CPacketChannel& channel, CTermMessage& message);
    bool Login(CModem& modem, CPacketChannel& channel, CTermMessage& message);
    // False when no further command is to be tried.
    bool RunCommand(CModem& modem, CPacketChannel& channel, CCommandDesc& command,
                    CTermMessage& message);
    // Publishes the line for RequestCancel (null: withdrawn).
    void SetLine(IByteStream* line);

    // A status line, or with `error` an error line ("ОШИБКА: " + text) that
    // also fails `command` when one is given. True for a plain line.
    bool PostStatus(const std::string& text, bool error = false, CCommandDesc* command = nullptr);

    const CIniFile& settings_;
    StreamFactory openLine_;
    std::filesystem::path logFolder_;

    // Set by Start before the worker runs; the worker's own afterwards.
    CExchangeTarget* target_ = nullptr;
    std::vector<CCommandDesc*> commands_;
    ModemSettings modemSettings_;
    std::string phone_;
    std::string password_;

    std::atomic<int> state_{kFailed};
    std::atomic<bool> cancelled_{false};
    std::mutex statusLock_; // guards statusQueue_ and the command results
    std::deque<std::string> statusQueue_;

    std::mutex lineLock_; // guards line_, which RequestCancel interrupts
    IByteStream* line_ = nullptr;

    std::thread worker_;
    std::mutex endLock_; // guards ended_
    std::condition_variable endedChanged_;
    bool ended_ = true; // the worker has done everything (but return)
};

} // namespace tornu
