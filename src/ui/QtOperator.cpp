#include "ui/QtOperator.h"

#include "catalogue/CommandDesc.h"
#include "ui/CommandListModel.h"
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
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QLineEdit>
#include <QMessageBox>

#include <utility>

namespace tornu::ui {

namespace {

// The core ends lines Windows-style; a box shows one break per line.
QString BoxText(const std::string& text) {
    return Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

void CQtOperator::Message(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kProgramTitle), BoxText(text),
                    QMessageBox::Ok, window_);
    runner_.Exec(box);
}

void CQtOperator::Inform(const std::string& text) {
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kProgramTitle), BoxText(text),
                    QMessageBox::Ok, window_);
    runner_.Exec(box);
}

bool CQtOperator::Ask(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kProgramTitle), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No, window_);
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
        dialog.setNameFilter(QFileDialog::tr("All Files (*)"));
        break;
    case FileDialogKind::Folder:
        dialog.setWindowTitle(QStringLiteral("Выбор папки"));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    // Room for the names, sizes and types of a folder's files: Qt's own
    // dialog gives the columns and the places widths that fit English.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
    if (auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView& header = *files->header();
        header.setStretchLastSection(false);
        header.setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header.count(); ++column)
            header.setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (auto* places = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
        places->setSizes({150, 610});
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
    CCommandListModel& model = dialog.Model();
    for (int code : std::exchange(tick_, {}))
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.Command(row).Code() == code) {
                model.setData(model.index(row, CCommandListModel::kNumberColumn), Qt::Checked,
                              Qt::CheckStateRole);
                break;
            }
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
