#pragma once
// "Базовый модуль": a new terminal, or the phone and passwords of one.
#include "doc/ConfigEditor.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace tornu::ui {

class CLoopCountBox;

class CTerminalDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { New, Edit };

    // `hostTypes` in catalogue order; `current` fills the fields in edit mode.
    CTerminalDlg(Mode mode, const CCatalogue& catalogue, IOperator& op,
                 const TerminalInput& current = {}, QWidget* parent = nullptr);

    TerminalInput Input() const;
    // Stays open with the document's answer while the input is incomplete.
    void accept() override;

private:
    void OnTypeChanged(int index);

    const CCatalogue& catalogue_;
    IOperator& operator_;
    QLineEdit* number_;
    QComboBox* type_;
    CLoopCountBox* loops_;
    QLineEdit* phone_;
    QLineEdit* password_;
    QLineEdit* newPassword_;
};

} // namespace tornu::ui
