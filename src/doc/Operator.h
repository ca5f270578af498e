#pragma once
// Everything the document shows to the operator or asks of him goes through
// this one interface: the desktop program answers it with message boxes and
// dialogs, the tests with a scripted operator.
#include <optional>
#include <string>

namespace tornu {

enum class PasswordMode {
    Login,       // "Вход в программу"
    NewPassword, // "Введите новый пароль"
};

class IOperator {
public:
    virtual ~IOperator() = default;

    // A message box with an OK button.
    virtual void Message(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Ask(const std::string& text) = 0;
    // A folder typed or chosen by the operator, the box starting with
    // `initial`; nothing when he cancels.
    virtual std::optional<std::string> ChooseFolder(const std::string& initial) = 0;
    // The password field as typed (an empty text when the field was left
    // empty); nothing when he cancels. The document takes the digest.
    virtual std::optional<std::string> AskPassword(PasswordMode mode) = 0;
};

} // namespace tornu
