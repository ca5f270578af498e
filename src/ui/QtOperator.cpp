#include "ui/QtOperator.h"

#include "ui/ExchangeDlg.h"
#include "ui/ExchangeLogDlg.h"
#include "ui/ImportDlg.h"
#include "ui/ModalRunner.h"
#include "ui/PasswordDlg.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>


namespace tornu::ui {

void CQtOperator::Message(const std::string& text) {
    // The core ends lines Windows-style; a box shows one break per line.
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kProgramTitle),
                    Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, window_);
    runner_.Exec(box);
}

bool CQtOperator::Ask(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kProgramTitle),
                    Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Yes | QMessageBox::No, window_);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return runner_.Exec(box) == QMessageBox::Yes;
}

std::optional<std::string> CQtOperator::ChooseFolder(const std::string& initial) {
    CImportDlg dialog(Q(initial), *this, window_);
    if (runner_.Exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    return S(dialog.Path()->text());
}

std::optional<QString> CQtOperator::ChooseFile(FileDialogKind kind, const QString& start,
                                               QWidget* parent) {
    QFileDialog dialog(parent ? parent : window_);
    switch (kind) {
    case FileDialogKind::Open:
        dialog.setWindowTitle(QStringLiteral("Открыть"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogKind::Save:
        // Qt asks before overwriting unless told not to.
        dialog.setWindowTitle(QStringLiteral("Сохранить как"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogKind::Any:
        dialog.setWindowTitle(QStringLiteral("Выбор файла"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QStringLiteral("All Files (*)"));
        break;
    case FileDialogKind::Folder:
        dialog.setWindowTitle(QStringLiteral("Выбор папки"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!start.isEmpty()) {
        const QFileInfo info(start);
        if (info.isDir())
            dialog.setDirectory(start);
        else
            dialog.selectFile(start);
    }
    if (runner_.Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<CommandChoice> CQtOperator::ChooseCommands(const std::vector<CCommandDesc*>& offered) {
    CExchangeDlg dialog(CExchangeDlg::Form::Choice, offered, *this, window_);
    if (runner_.Exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    return CommandChoice{dialog.Chosen(), dialog.ShowResults()->isChecked()};
}

void CQtOperator::WatchExchange(CExchangeMonitor& monitor,
                                const std::function<void(ExchangeLogEnd)>& ended) {
    auto* dialog = new CExchangeLogDlg(monitor, *this, window_);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, ended](int end) {
        // After the event that closed the window: the monitor goes with the
        // run that `ended` finishes, and the window reads nothing more.
        dialog->deleteLater();
        const ExchangeLogEnd how = end == static_cast<int>(ExchangeLogEnd::Cancelled)
                                       ? ExchangeLogEnd::Cancelled
                                       : ExchangeLogEnd::Closed;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [ended, how] { ended(how); }, Qt::QueuedConnection);
    });
    runner_.Show(*dialog);
}

void CQtOperator::ShowCommandResults(const std::vector<CCommandDesc*>& commands) {
    CExchangeDlg dialog(CExchangeDlg::Form::Results, commands, *this, window_);
    runner_.Exec(dialog);
}

std::optional<std::string> CQtOperator::AskPassword(PasswordMode mode) {
    CPasswordDlg dialog(mode, *this, window_);
    if (runner_.Exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    return S(dialog.Text());
}

} // namespace tornu::ui
