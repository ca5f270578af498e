#pragma once
// "Параметры команды": the input and output file names of one command, each
// with a "Выбрать" button; a field the command has no file for is disabled.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tornu {
class CCommandDesc;
}

namespace tornu::ui {

class CQtOperator;

class CCommandParamsDlg : public QDialog {
    Q_OBJECT
public:
    CCommandParamsDlg(const CCommandDesc& command, CQtOperator& op, QWidget* parent = nullptr);

    QString Input() const;
    QString Output() const;
    // The names written back into the command, for the files it has.
    void Apply(CCommandDesc& command) const;

private:
    void Choose(QLineEdit* field);

    CQtOperator& operator_;
    QLineEdit* input_;
    QLineEdit* output_;
};

} // namespace tornu::ui
