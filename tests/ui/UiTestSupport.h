#pragma once
// The desktop program in a fresh folder with the sample catalogue, its modal
// dialogs, message boxes and pop-up menus answered from a script.
#include "doc/TornuCfgDoc.h"
#include "ui/MainFrame.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"

#include "TestUtil.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tornu::test {

// A fresh folder, made current, with the sample catalogue as the program's settings.
struct ProgramFolder {
    ProgramFolder() {
        WriteBytes(dir / kSettingsFileName,
                   ReadBytes(std::string(TORNU_SOURCE_DIR) + "/data/tornucfg.ini"));
    }
    TempDir dir;
    ScopedCwd cwd{dir.Path()};
};

// A file step that must work; QVERIFY cannot stand in a function returning a value.
#define QVERIFY_RESULT(call)                                                                   \
    do {                                                                                       \
        if (!(call))                                                                           \
            QTest::qFail(#call, __FILE__, __LINE__);                                           \
    } while (false)

// The settings file of the current folder, as the program left it.
inline std::string Setting(const char* section, const char* key) {
    CIniFile file(kSettingsFileName);
    QVERIFY_RESULT(file.Load(kSettingsFileName));
    std::string value;
    file.GetValue(section, key, value);
    return value;
}

inline void SetSetting(const char* section, const char* key, const std::string& value) {
    CIniFile file(kSettingsFileName);
    QVERIFY_RESULT(file.Load(kSettingsFileName));
    file.SetValue(section, key, value);
    QVERIFY_RESULT(file.Save());
}

inline std::vector<std::vector<std::string>> Rows(CTornuCfgDoc& doc, const std::string& statement) {
    std::vector<std::vector<std::string>> rows;
    doc.Workspace().Database().Query(statement, rows);
    return rows;
}

class ScriptedRunner : public ui::CModalRunner {
public:
    using DialogStep = std::function<int(QDialog&)>;
    using MenuStep = std::function<QAction*(QMenu&)>;

    // Message boxes are read and answered ("Да" from `answers`, else OK);
    // any other dialog takes the next step of the script.
    int Exec(QDialog& dialog) override {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            messages << box->text();
            icons << box->icon();
            if (box->standardButtons().testFlag(QMessageBox::Yes)) {
                const bool yes = !answers.empty() && answers.front();
                if (!answers.empty())
                    answers.pop_front();
                return yes ? QMessageBox::Yes : QMessageBox::No;
            }
            return QMessageBox::Ok;
        }
        titles << dialog.windowTitle();
        if (dialogs.empty()) {
            QTest::qFail("a dialog the script does not answer", __FILE__, __LINE__);
            return QDialog::Rejected;
        }
        DialogStep step = std::move(dialogs.front());
        dialogs.pop_front();
        return step(dialog);
    }
    // A window beside the main one takes its step like a modal one; the
    // step runs it to its end.
    void Show(QDialog& dialog) override { Exec(dialog); }
    QAction* Popup(QMenu& menu, const QPoint&) override {
        menus << menu.objectName();
        if (menuSteps.empty())
            return nullptr;
        MenuStep step = std::move(menuSteps.front());
        menuSteps.pop_front();
        // Chosen is triggered, as the menu's own loop does.
        QAction* chosen = step(menu);
        if (chosen && chosen->isEnabled())
            chosen->trigger();
        return chosen;
    }
    bool OpenUrl(const QUrl& url) override {
        opened << url;
        return true;
    }

    QStringList messages;
    QList<QMessageBox::Icon> icons;
    QStringList titles;
    QStringList menus;
    QList<QUrl> opened;
    std::deque<bool> answers;
    std::deque<DialogStep> dialogs;
    std::deque<MenuStep> menuSteps;
};

// A menu step choosing the caption (null when the menu has none).
inline ScriptedRunner::MenuStep Choose(const QString& caption) {
    return [caption](QMenu& menu) -> QAction* {
        for (QAction* action : menu.actions())
            if (action->text() == caption)
                return action;
        return nullptr;
    };
}

// A dialog step that fills the dialog, then presses OK the way the button
// does (its own checks may keep it open) and reports how it ended.
template <class Dialog>
ScriptedRunner::DialogStep Answer(std::function<void(Dialog&)> fill) {
    return [fill](QDialog& dialog) {
        auto* typed = qobject_cast<Dialog*>(&dialog);
        if (!typed) {
            QTest::qFail("another dialog than the script expects", __FILE__, __LINE__);
            return int(QDialog::Rejected);
        }
        fill(*typed);
        if (dialog.result() != QDialog::Accepted)
            dialog.accept();
        return dialog.result();
    };
}

// A main menu action by its object name; null for none.
inline QAction* FrameAction(const ui::CMainFrame& frame, const char* name) {
    return frame.findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace tornu::test
