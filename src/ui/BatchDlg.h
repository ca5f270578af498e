#pragma once
// "Пакетный обмен": the window of fleet jobs beside the main window. The job
// chooser lists every operator's stored jobs; the table shows the chosen
// job's terminals; the progress bar and the counts "выполнено / ошибка /
// осталось" with the expected end follow the run, which its timer drives on
// this thread. Start or resume, pause, cancel, the report to CSV, and a
// terminal's log on a double click. Closing the window hides it: a run goes
// on, and the operator keeps working in the main window meanwhile.
#include "ui/BatchJobDlg.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace tornu {
class CBatchSession;
class CTornuCfgDoc;
} // namespace tornu

namespace tornu::ui {

class CBatchModel;
class CQtOperator;

class CBatchDlg : public QDialog {
    Q_OBJECT
public:
    // How often a running job is looked at.
    static constexpr int kPollMs = 100;

    // `terminals` gives what the new-job dialog offers, from the tree.
    CBatchDlg(CTornuCfgDoc& doc, CQtOperator& op, std::function<BatchTerminalChoice()> terminals,
              QWidget* parent = nullptr);
    ~CBatchDlg() override;

    CBatchSession& Session() const { return *session_; }
    CBatchModel& Model() const { return *model_; }
    QComboBox* Jobs() const { return jobs_; }
    QTableView* Table() const { return table_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Counts() const { return counts_; }
    QLabel* State() const { return state_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* PauseButton() const { return pause_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Fills the chooser again, `select` chosen (0: the newest job).
    void ReloadJobs(int select = 0);
    // "Новое задание...": the dialog over the tree's terminals; the job made
    // is shown here. False when none was made.
    bool NewJob();
    // The buttons' actions.
    void Start();
    void Pause(bool paused);
    void Cancel();
    void ExportReport();
    void ShowLog(int row);
    // One step of a running job and the window brought up to date; what the
    // timer calls.
    void Poll();

private:
    void Choose(int index);
    void UpdateState();
    void Fail(const std::string& text);

    CTornuCfgDoc& doc_;
    CQtOperator& operator_;
    std::function<BatchTerminalChoice()> terminals_;
    std::unique_ptr<CBatchSession> session_;
    CBatchModel* model_;
    QComboBox* jobs_;
    QPushButton* newJob_;
    QTableView* table_;
    QProgressBar* progress_;
    QLabel* counts_;
    QLabel* state_;
    QPushButton* start_;
    QPushButton* pause_;
    QPushButton* cancel_;
    QPushButton* export_;
    QTimer* timer_;
    bool opened_ = false;
};

} // namespace tornu::ui
