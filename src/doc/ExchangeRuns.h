#pragma once
// The exchanges the document runs: "Выполнить команду ..." for a node, with
// the password questions, the operator's choice of commands, the log and the
// results. Several run at once, each on its own modem port and with its own
// log window; a port carries one exchange at a time. While an exchange runs,
// its terminal is held: the editor refuses changes of that terminal's nodes.
#include "catalogue/CommandDesc.h"
#include "doc/ExchangeMonitor.h"
#include "doc/Operator.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tornu {

class CConfigTree;
class CDevice;
class CExchange;
class CIniFile;
class CTerminal;
class CTreeNode;
class CWorkspace;

inline constexpr const char* kNoPartitionPasswordQuestion = "Не задан пароль раздела. Продолжить?";
inline constexpr const char* kNoLinkPasswordQuestion = "Не задан пароль на связь. Продолжить?";
inline constexpr const char* kExchangeStartFailedMessage = "Невозможно запустить обмен";
inline constexpr const char* kTerminalInExchangeMessage =
    "С этим базовым модулем уже идет обмен";
inline constexpr const char* kTerminalInBatchMessage =
    "С этим базовым модулем идет пакетный обмен. Дождитесь окончания его вызова";

// "Порт модема COM2 занят: по нему уже идет обмен".
std::string PortBusyMessage(const std::string& port);
// The port an exchange will open, as the modem settings name it.
std::string ModemPortName(const CIniFile& settings);

// What became of "Выполнить команду ...".
enum class ExchangeOutcome {
    NotStarted,  // a question answered No, or the choice cancelled
    StartFailed, // "Невозможно запустить обмен", or the port or terminal busy
    Running,     // the log window watches it beside the main window
    Finished,    // the session ended normally: see each command's result
    Failed,      // the exchange failed before or during the login, or a reply
                 // could not be stored
    Cancelled,   // the operator cancelled it
};

// One exchange with one node: its worker (which works from its own copy of
// the node and the chosen commands) and its monitor.
class CExchangeRun {
public:
    CExchangeRun(CTerminal& terminal, CDevice* device, std::string port,
                 std::vector<CCommandDesc*> chosen, bool showResults);
    ~CExchangeRun();
    CExchangeRun(const CExchangeRun&) = delete;
    CExchangeRun& operator=(const CExchangeRun&) = delete;

    CTerminal& Terminal() const { return terminal_; }
    CDevice* Device() const { return device_; }
    const std::string& Port() const { return port_; }
    CExchange& Exchange() { return *exchange_; }
    CExchangeMonitor& Monitor() { return *monitor_; }
    const std::vector<CCommandDesc*>& Chosen() const { return chosen_; }
    bool ShowResults() const { return showResults_; }

private:
    friend class CExchangeRuns;

    CTerminal& terminal_;
    CDevice* device_;
    std::string port_;
    std::vector<CCommandDesc*> chosen_; // the catalogue's, for the results after the end
    bool showResults_;
    bool replaceAll_ = false; // "yes for all" to replacing pending values
    std::unique_ptr<CExchange> exchange_;
    std::unique_ptr<CExchangeMonitor> monitor_;
};

class CExchangeRuns {
public:
    CExchangeRuns(CWorkspace& workspace, CConfigTree& tree);
    // Cancels what runs and waits for it.
    ~CExchangeRuns();
    CExchangeRuns(const CExchangeRuns&) = delete;
    CExchangeRuns& operator=(const CExchangeRuns&) = delete;

    // "Выполнение команд..." / "Выполнить команду ..." for `node`: the
    // password questions, the commands offered by kind with their remembered
    // files, the operator's choice, the exchange with its log, then the
    // node's views refreshed and, when asked for, the results. Running while
    // a log window watches it beside the main window; the rest follows when
    // that window closes.
    ExchangeOutcome RunCommands(CTreeNode& node);
    // "Записать изменения": as RunCommands, with exactly the write commands
    // that carry the node's pending changes ticked.
    ExchangeOutcome WritePendingChanges(CTreeNode& node);

    bool AnyRunning() const { return !runs_.empty() || !batchPorts_.empty(); }
    // An exchange with this terminal runs, its own or a fleet job's call.
    bool Holds(const CTerminal& terminal) const;
    // A fleet job's call of the terminal runs (true) or has ended.
    void HoldForBatch(int terminal, bool held);
    bool HeldByBatch(int terminal) const { return batchHeld_.count(terminal) != 0; }
    // The ports a running fleet job has taken; none when it has ended.
    void SetBatchPorts(std::set<std::string> ports) { batchPorts_ = std::move(ports); }
    // The first of `ports` that an exchange or a reservation uses now, or empty.
    std::string PortInUse(const std::set<std::string>& ports) const;
    const std::vector<std::unique_ptr<CExchangeRun>>& Runs() const { return runs_; }
    // A port that a run, a fleet job or an exchange outside these runs (a
    // comparison's reads) uses; those reserve it while they run.
    bool PortBusy(const std::string& port) const;
    void ReservePort(const std::string& port) { reserved_.push_back(port); }
    void ReleasePort(const std::string& port);

private:
    ExchangeOutcome Run(CTreeNode& node, bool pendingTicked);
    bool ConfirmPasswords(const CTreeNode& node);
    // The exchange started on its port, or null with the operator told why.
    CExchangeRun* StartRun(CTreeNode& node, const CommandChoice& choice);
    // The end of a run: told to the views, the results shown, the run gone.
    ExchangeOutcome Finish(CExchangeRun& run, ExchangeLogEnd end);
    // A reply of the run's worker applied to its records, on this thread.
    CExchangeMonitor::Verdict Apply(CExchangeRun& run, const PendingReply& reply);
    void Tell(CExchangeRun& run, bool started);

    CWorkspace& workspace_;
    CConfigTree& tree_;
    std::vector<std::unique_ptr<CExchangeRun>> runs_;
    std::set<int> batchHeld_;
    std::set<std::string> batchPorts_;
    std::vector<std::string> reserved_;
};

} // namespace tornu
