#include "ui/PasswordDlg.h"
#include "ui/DialogButtons.h"

#include "doc/Workspace.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace tornu::ui {

CPasswordDlg::CPasswordDlg(PasswordMode mode, IOperator& op, QWidget* parent)
    : QDialog(parent), mode_(mode), operator_(op), field_(new QLineEdit(this)) {
    setWindowTitle(mode == PasswordMode::Login ? QStringLiteral("Вход в программу")
                                               : QStringLiteral("Введите новый пароль"));
    field_->setObjectName(QStringLiteral("password"));
    field_->setEchoMode(QLineEdit::Password);
    field_->setMinimumWidth(220);
    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Пароль"), field_);
    form->addRow(buttons);
}

QString CPasswordDlg::Text() const { return field_->text(); }

void CPasswordDlg::accept() {
    // A new password may be empty: it removes the login.
    if (mode_ == PasswordMode::Login && field_->text().isEmpty()) {
        operator_.Message(kEmptyPasswordMessage);
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
