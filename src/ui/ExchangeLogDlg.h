#pragma once
// "Лог": shown beside the main window while an exchange runs, one window
// per exchange. A 100 ms timer takes the status lines; the window shows that
// the exchange is busy and for how long, asks to close once it has ended,
// and cancels it from the close box. A cancel only asks the worker to stop:
// the timer sees the end, after the call is hung up, and closes the window.
#include "doc/ExchangeMonitor.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tornu::ui {

class CExchangeLogModel;
class CQtOperator;

class CExchangeLogDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPollMs = 100;

    CExchangeLogDlg(CExchangeMonitor& monitor, CQtOperator& op, QWidget* parent = nullptr);

    QTableView* List() const { return list_; }
    CExchangeLogModel& Model() const { return *model_; }
    QLabel* State() const { return state_; }
    QPushButton* SaveButton() const { return save_; }
    const std::vector<ExchangeLogLine>& Lines() const;
    bool Cancelling() const { return cancelling_; }
    // The close box: closes once the exchange has ended, else asks to cancel.
    void RequestClose();
    // "Сохранить лог...".
    void SaveLog();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Tick();
    void Append(const std::vector<ExchangeLogLine>& lines);
    void ShowBusy();

    CExchangeMonitor& monitor_;
    CQtOperator& operator_;
    CExchangeLogModel* model_;
    QTableView* list_;
    QProgressBar* busy_;
    QLabel* state_;
    QPushButton* save_;
    QTimer timer_;
    QElapsedTimer since_;
    bool ended_ = false;
    bool cancelling_ = false;
};

} // namespace tornu::ui
