#pragma once
// The right pane for a terminal: its number, type, phone, passwords and the
// two loop configuration texts, all read-only.
#include "ui/OptionView.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace tornu {
class CTornuCfgDoc;
}

namespace tornu::ui {

class CQtOperator;

class CTerminalOptionsView : public QWidget, public COptionView {
    Q_OBJECT
public:
    CTerminalOptionsView(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent = nullptr);
    ~CTerminalOptionsView() override;


private:
    void Refresh() override;
    void Clear();

    CTornuCfgDoc& doc_;
    QLineEdit* number_;
    QLineEdit* type_;
    QLineEdit* phone_;
    QLineEdit* password_;
    QLineEdit* newPassword_;
    QPlainTextEdit* currentConfig_;
    QPlainTextEdit* readConfig_;
};

} // namespace tornu::ui
