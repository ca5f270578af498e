#pragma once
// The document's operator interface answered with Qt message boxes and
// dialogs, every one of them run through the modal runner.
#include "doc/Operator.h"

#include <QString>

#include <vector>

class QWidget;

namespace tornu::ui {

class CModalRunner;

inline constexpr const char* kProgramTitle = "Торну-конфигуратор";

// The system's file dialogs the program opens.
enum class FileDialogKind {
    Open,   // an existing file
    Save,   // any name, asking before overwriting
    Any,    // "Выбрать" of "Параметры команды": any name, all files
    Folder, // a folder
};

class CQtOperator : public IOperator {
public:
    explicit CQtOperator(CModalRunner& runner) : runner_(runner) {}

    // Boxes are centred on this window once it exists.
    void SetWindow(QWidget* window) { window_ = window; }
    CModalRunner& Runner() { return runner_; }

    // A refusal or failure carries the warning icon, news the information
    // icon, a question the question icon.
    void Message(const std::string& text) override;
    void Inform(const std::string& text) override;
    bool Ask(const std::string& text) override;
    std::optional<std::string> ChooseFolder(const std::string& initial) override;
    std::optional<std::string> AskPassword(PasswordMode mode) override;
    std::optional<CommandChoice> ChooseCommands(const std::vector<CCommandDesc*>& offered) override;
    // The next choice form opens with the first offered command of each of
    // these codes ticked.
    void TickCommands(std::vector<int> codes) { tick_ = std::move(codes); }
    // The log window, beside the main window: this returns at once and
    // `ended` is called when the window closes.
    void WatchExchange(CExchangeMonitor& monitor,
                       const std::function<void(ExchangeLogEnd)>& ended) override;
    void ShowCommandResults(const std::vector<CCommandDesc*>& commands) override;

    // A file or folder chosen in the system's dialog, starting at `start`;
    // nothing when cancelled.
    std::optional<QString> ChooseFile(FileDialogKind kind, const QString& start,
                                      QWidget* parent = nullptr);

private:
    CModalRunner& runner_;
    QWidget* window_ = nullptr;
    std::vector<int> tick_;
};

} // namespace tornu::ui
