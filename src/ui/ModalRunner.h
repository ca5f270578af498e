#pragma once
// Every modal dialog, message box and pop-up menu of the program, and every
// hand-over to the desktop, goes through this one object: the program
// executes them, the tests answer them without a nested event loop.
class QAction;
class QUrl;
class QDialog;
class QMenu;
class QPoint;

namespace tornu::ui {

class CModalRunner {
public:
    virtual ~CModalRunner() = default;
    // QDialog::exec(): the dialog's result code.
    virtual int Exec(QDialog& dialog);
    // A window beside the main window (not modal); its end comes through
    // its finished signal.
    virtual void Show(QDialog& dialog);
    // QMenu::exec() at a global position: the chosen action, already
    // triggered, or null.
    virtual QAction* Popup(QMenu& menu, const QPoint& at);
    // A file or page opened with the desktop's handler for it.
    virtual bool OpenUrl(const QUrl& url);
};

} // namespace tornu::ui
