#include "ui/QtOperator.h"

#include "ui/ModalRunner.h"
#include "ui/PasswordDlg.h"
#include "ui/UiText.h"

#include <QFileDialog>
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
    QFileDialog dialog(window_, QStringLiteral("Выберите папку"), Q(initial));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (runner_.Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return S(dialog.selectedFiles().front());
}

std::optional<std::string> CQtOperator::AskPassword(PasswordMode mode) {
    CPasswordDlg dialog(mode, *this, window_);
    if (runner_.Exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    return S(dialog.Text());
}

} // namespace tornu::ui
