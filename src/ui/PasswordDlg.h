#pragma once
// "Вход в программу": the program password at the start, or a new one
// ("Введите новый пароль"). It hands back the typed text; the document takes
// its digest.
#include "doc/Operator.h"

#include <QDialog>

class QLineEdit;

namespace tornu::ui {

class CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    CPasswordDlg(PasswordMode mode, IOperator& op, QWidget* parent = nullptr);
    QString Text() const;
    void accept() override;

private:
    PasswordMode mode_;
    IOperator& operator_;
    QLineEdit* field_;
};

} // namespace tornu::ui
