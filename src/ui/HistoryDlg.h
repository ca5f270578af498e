#pragma once
// "История изменений": a window beside the main window with the history of
// everything, a terminal or a device, newest first, its filters (since a
// time, who, source, text) and "Экспорт в CSV...".
#include "doc/HistoryViewModel.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tornu {
class CTornuCfgDoc;
class CTreeNode;
} // namespace tornu

namespace tornu::ui {

class CHistoryModel;
class CQtOperator;

class CHistoryDlg : public QDialog {
    Q_OBJECT
public:
    CHistoryDlg(CHistoryViewModel view, CQtOperator& op, QWidget* parent = nullptr);

    // Opens the window for `node` (everything without one); it closes itself.
    static CHistoryDlg* Open(CTornuCfgDoc& doc, CQtOperator& op, const CTreeNode* node,
                             QWidget* parent);

    CHistoryModel& Model() const { return *model_; }
    QTableView* List() const { return list_; }
    QCheckBox* SinceBox() const { return sinceOn_; }
    QDateTimeEdit* SinceEdit() const { return since_; }
    QLineEdit* WhoEdit() const { return who_; }
    QComboBox* SourceBox() const { return source_; }
    QLineEdit* TextEdit() const { return text_; }
    // The filters as they stand, read again.
    void ApplyFilters();
    // "Экспорт в CSV...".
    void Export();

private:
    CHistoryViewModel view_;
    CQtOperator& operator_;
    CHistoryModel* model_;
    QCheckBox* sinceOn_;
    QDateTimeEdit* since_;
    QLineEdit* who_;
    QComboBox* source_;
    QLineEdit* text_;
    QTableView* list_;
    QLabel* count_;
    QPushButton* export_;
    // Typing reads once the operator pauses.
    QTimer typed_;
};

} // namespace tornu::ui
