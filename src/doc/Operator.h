#pragma once
// Everything the document shows to the operator or asks of him goes through
// this one interface: the desktop program answers it with message boxes and
// dialogs, the tests with a scripted operator.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tornu {

class CCommandDesc;
class CExchangeMonitor;

// What the exchange dialog "Обмен" returns from its choice form.
struct CommandChoice {
    std::vector<CCommandDesc*> chosen; // the ticked commands, in list order
    bool showResults = true; // "Показывать результат выполнения команд"
};

// How the log window ended.
enum class ExchangeLogEnd {
    Closed = 1,    // the exchange had ended
    Cancelled = 2, // the operator cancelled it
};

enum class PasswordMode {
    Login,       // "Вход в программу"
    NewPassword, // "Введите новый пароль"
};

// The question before a reply replaces a value changed in the program and
// not yet written to the terminal.
inline constexpr const char* kReplacePendingQuestion =
    "Значение изменено в программе и не записано в прибор. Заменить прочитанным?";

enum class ReplaceAnswer { Yes, No, YesToAll };

class IOperator {
public:
    virtual ~IOperator() = default;

    // A refusal or a failure: a message box with an OK button.
    virtual void Message(const std::string& text) = 0;
    // News that something went as asked, with an OK button; shown like any
    // message where the difference does not show.
    virtual void Inform(const std::string& text) { Message(text); }
    // A Yes/No question; true for Yes.
    virtual bool Ask(const std::string& text) = 0;
    // kReplacePendingQuestion with Yes, No and Yes for all; without a
    // third button, a Yes/No question.
    virtual ReplaceAnswer AskReplace(const std::string& text) {
        return Ask(text) ? ReplaceAnswer::Yes : ReplaceAnswer::No;
    }
    // A folder typed or chosen by the operator, the box starting with
    // `initial`; nothing when he cancels.
    virtual std::optional<std::string> ChooseFolder(const std::string& initial) = 0;
    // The password field as typed (an empty text when the field was left
    // empty); nothing when he cancels. The document takes the digest.
    virtual std::optional<std::string> AskPassword(PasswordMode mode) = 0;

    // ---- Running commands. The defaults choose nothing, wait for the
    // exchange without showing it and show no results.

    // The exchange dialog's choice form over the offered commands; the
    // operator may change their file names there. Nothing when he cancels.
    virtual std::optional<CommandChoice> ChooseCommands(const std::vector<CCommandDesc*>& offered);
    // The same form with `ticked` ticked at the start. Without a form the
    // ticked ones are chosen.
    virtual std::optional<CommandChoice> ChooseTickedCommands(const std::vector<CCommandDesc*>& offered,
                                                             const std::vector<CCommandDesc*>& ticked);
    // The log window of an exchange: polls it every 100 ms until it has
    // ended, or cancels it, then calls `ended` with how it ended. A window
    // may stay open beside the main window and return at once, calling
    // `ended` when it closes. The default waits without showing anything,
    // waiting between polls: only for callers without a window.
    virtual void WatchExchange(CExchangeMonitor& monitor,
                               const std::function<void(ExchangeLogEnd)>& ended);
    // The exchange dialog's results form.
    virtual void ShowCommandResults(const std::vector<CCommandDesc*>& /*commands*/) {}
};

} // namespace tornu
