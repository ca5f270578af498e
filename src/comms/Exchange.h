#pragma once
// One data call to one terminal in which a list of commands is carried out,
// run on a worker thread: modem settings, initialisation, dialling (or
// emulation), the terminal's receipt, the login, every command with its
// reply, the closing message, hang-up.
//
// Threads: Start, PopStatus, GetState and Cancel belong to the user-interface
// thread; everything else runs on the worker. Cancel may also be called from
// another thread of the caller's, so that a window stays responsive while it
// waits. The status queue (and the
// command results the worker sets) is the only hand-over, under statusLock_;
// state_ and cancelled_ are atomic flags. The UI thread must leave the target,
// the command records and the settings object alone while the exchange runs.
#include "comms/Modem.h"
#include "comms/PacketChannelPool.h"
#include "comms/Thread.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tornu {

class CCommandDesc;
class CExchangeTarget;
class CIniFile;
class CPacketChannel;
class CTermMessage;

class CExchange {
public:
    enum State : int { kRunning = 0, kFinished = 1, kFailed = 2 };

    // Time-outs and pauses, in unscaled milliseconds.
    static constexpr int kInitReplyMs = 1000;
    static constexpr int kPauseBeforeAtMs = 3000;
    static constexpr int kAtReplyMs = 1000;
    static constexpr int kReceiptMs = 10000;
    static constexpr int kLoginMs = 5000;
    static constexpr int kCommandMs = 10000;
    static constexpr int kAttempts = 5;

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
    // kFailed (failed or cancelled).
    int GetState() const { return state_.load(); }
    // Stops the exchange after its current step and returns when the worker
    // has ended; a cancelled session sends no closing message. True.
    bool Cancel();
    // Asks the worker to stop after its current step and returns at once;
    // GetState shows the end.
    void RequestCancel();

    // Where the modem writes its log; by default the program's folder.
    void SetModemLogFolder(const std::filesystem::path& folder);
    const CModem& Modem() const { return modem_; }

private:
    class CWorker;
    enum class SessionEnd { kNormal, kFailed, kCancelled };
    struct ModemSettings {
        std::string port = "COM1";
        std::uint32_t speed = 9600;
        std::string init;
        bool emulation = false;
        bool checkDigits = true; // "CheckCrc=0" turns the check of received packets off
    };

    unsigned Run();
    void RunExchange();
    ModemSettings ReadSettings() const;
    bool InitModem(const ModemSettings& settings);
    bool ConnectModem(const ModemSettings& settings, int& result);
    // ": " and how the call was lost, or empty while it is up.
    std::string LinkLossText() const;
    void CloseModem(bool hangUp);
    SessionEnd RunSession(CPacketChannel& channel);
    void SendClosing(CPacketChannel& channel, CTermMessage& message);
    bool WaitReceipt(CPacketChannel& channel, CTermMessage& message);
    bool Login(CPacketChannel& channel, CTermMessage& message);
    // False when no further command is to be tried; `cancelled` tells why.
    bool RunCommand(CPacketChannel& channel, CCommandDesc& command, CTermMessage& message,
                    bool& cancelled);

    // A status line, or with `error` an error line ("ОШИБКА: " + text) that
    // also fails `command` when one is given. True for a plain line.
    bool PostStatus(const std::string& text, bool error = false, CCommandDesc* command = nullptr);
    // An error line and the failed state. True.
    bool Abort(const std::string& text);

    const CIniFile& settings_;
    // The pool outlives the modem, which holds the channel's first reference.
    CPacketChannelPool pool_;
    CModem modem_;

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

    // One thread object per exchange: a thread can be started only once.
    std::unique_ptr<CWorker> worker_;
};

} // namespace tornu
