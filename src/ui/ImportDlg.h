#pragma once
// "Импорт данных ПЦН Торну": the folder of the station's table, typed or
// chosen with "Выбрать".
#include <QDialog>

class QLineEdit;

namespace tornu::ui {

class CQtOperator;

class CImportDlg : public QDialog {
    Q_OBJECT
public:
    CImportDlg(const QString& initial, CQtOperator& op, QWidget* parent = nullptr);
    QLineEdit* Path() const { return path_; }
    // "Выбрать": the folder chooser, starting at the working directory.
    void Choose();

private:
    CQtOperator& operator_;
    QLineEdit* path_;
};

} // namespace tornu::ui
