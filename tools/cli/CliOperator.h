#pragma once
// The operator of the command-line front end: messages go to the standard
// error, questions are asked on the terminal (or answered yes), the password
// is read without echo, the commands are those named on the command line and
// the exchange log is printed as it comes.
#include "doc/Operator.h"

#include <csignal>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tornu::cli {

struct CliOptions {
    bool yes = false;                            // --yes
    bool keepPending = false;                    // --keep-pending
    std::optional<std::string> folder;           // the folder `import` names
    std::vector<std::string> commands;           // catalogue keys for `run`
    std::map<std::string, std::string> filesIn;  // --file-in COMMAND=PATH
    std::map<std::string, std::string> filesOut; // --file-out COMMAND=PATH
};

// Set by SIGINT while an exchange runs.
extern volatile std::sig_atomic_t g_interrupted;

class CCliOperator : public IOperator {
public:
    explicit CCliOperator(CliOptions options) : options_(std::move(options)) {}

    void Message(const std::string& text) override;
    bool Ask(const std::string& text) override;
    // Not asked: the read value is stored, or with --keep-pending the
    // program's; the line says which.
    ReplaceAnswer AskReplace(const std::string& text) override;
    std::optional<std::string> ChooseFolder(const std::string& initial) override;
    std::optional<std::string> AskPassword(PasswordMode mode) override;
    std::optional<CommandChoice> ChooseCommands(const std::vector<CCommandDesc*>& offered) override;
    void WatchExchange(CExchangeMonitor& monitor,
                       const std::function<void(ExchangeLogEnd)>& ended) override;
    void ShowCommandResults(const std::vector<CCommandDesc*>& commands) override;

    // What was shown with Message, in order (the front end decides its exit
    // status from the outcome, not from these).
    const std::vector<std::string>& Messages() const { return messages_; }
    // The commands handed to the exchange.
    const std::vector<CCommandDesc*>& Chosen() const { return chosen_; }

private:
    bool ApplyFiles(const std::vector<CCommandDesc*>& offered);

    CliOptions options_;
    std::vector<std::string> messages_;
    std::vector<CCommandDesc*> chosen_;
};

} // namespace tornu::cli
