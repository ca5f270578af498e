#pragma once
// The document's operator interface answered with Qt message boxes and
// dialogs, every one of them run through the modal runner.
#include "doc/Operator.h"

class QWidget;

namespace tornu::ui {

class CModalRunner;

inline constexpr const char* kProgramTitle = "Торну-конфигуратор";

class CQtOperator : public IOperator {
public:
    explicit CQtOperator(CModalRunner& runner) : runner_(runner) {}

    // Boxes are centred on this window once it exists.
    void SetWindow(QWidget* window) { window_ = window; }
    CModalRunner& Runner() { return runner_; }

    void Message(const std::string& text) override;
    bool Ask(const std::string& text) override;
    std::optional<std::string> ChooseFolder(const std::string& initial) override;
    std::optional<std::string> AskPassword(PasswordMode mode) override;

private:
    CModalRunner& runner_;
    QWidget* window_ = nullptr;
};

} // namespace tornu::ui
