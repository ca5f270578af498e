#pragma once
// "Сравнить с прибором": the reads run on the exchange worker with the log
// window showing them; then this window shows, side by side, each stored
// value and the terminal's that differ. "Взять значения прибора" stores the
// terminal's; "Записать значения базы..." opens "Обмен" for the node with
// the commands that write them ticked.
#include "doc/NodeComparison.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace tornu {
class CTornuCfgDoc;
class CTreeNode;
} // namespace tornu

namespace tornu::ui {

class CCompareModel;
class CQtOperator;

class CCompareDlg : public QDialog {
    Q_OBJECT
public:
    CCompareDlg(std::shared_ptr<CNodeComparison> comparison, CTornuCfgDoc& doc, CQtOperator& op,
                QWidget* parent = nullptr);

    // Starts the reads for `node`; the window follows when they have ended
    // (nothing when they were cancelled, a message when they failed).
    static void Run(CTornuCfgDoc& doc, CQtOperator& op, const CTreeNode& node, QWidget* parent);

    CCompareModel& Model() const { return *model_; }
    QTableView* List() const { return list_; }
    QPushButton* TakeButton() const { return take_; }
    QPushButton* WriteButton() const { return write_; }
    // "Взять значения прибора".
    void TakeTerminalValues();
    // "Записать значения базы...".
    void WriteStoredValues();

private:
    void Show();

    std::shared_ptr<CNodeComparison> comparison_;
    CTornuCfgDoc& doc_;
    CQtOperator& operator_;
    CCompareModel* model_;
    QTableView* list_;
    QLabel* count_;
    QPushButton* take_;
    QPushButton* write_;
};

} // namespace tornu::ui
