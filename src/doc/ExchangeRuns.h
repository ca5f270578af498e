#pragma once
// The exchanges the document runs: "Выполнить команду ..." for a node, with
// the password questions, the operator's choice of commands, the log and the
// results. While an exchange runs, its terminal is held: the editor refuses
// changes of that terminal's nodes.
#include <memory>
#include <string>

namespace tornu {

class CConfigTree;
class CExchange;
class CTerminal;
class CTreeNode;
class CWorkspace;

inline constexpr const char* kNoPartitionPasswordQuestion = "Не задан пароль раздела. Продолжить?";
inline constexpr const char* kNoLinkPasswordQuestion = "Не задан пароль на связь. Продолжить?";
inline constexpr const char* kExchangeStartFailedMessage = "Невозможно запустить обмен";

// What became of "Выполнить команду ...".
enum class ExchangeOutcome {
    NotStarted,  // a question answered No, or the choice cancelled
    StartFailed, // "Невозможно запустить обмен"
    Finished,    // the session ended normally: see each command's result
    Failed,      // the exchange failed before or during the login
    Cancelled,   // the operator cancelled it
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
    // node's views refreshed and, when asked for, the results.
    ExchangeOutcome RunCommands(CTreeNode& node);

    bool AnyRunning() const { return running_ != nullptr; }
    // An exchange with this terminal runs.
    bool Holds(const CTerminal& terminal) const;

    CExchange& Exchange() { return *exchange_; }

private:
    bool ConfirmPasswords(const CTreeNode& node);

    CWorkspace& workspace_;
    CConfigTree& tree_;
    const CTerminal* running_ = nullptr;
    std::unique_ptr<CExchange> exchange_;
};

} // namespace tornu
