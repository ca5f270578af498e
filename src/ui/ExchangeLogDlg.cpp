#include "ui/ExchangeLogDlg.h"

#include "doc/ListFiles.h"
#include "doc/Operator.h"
#include "ui/ExchangeLogModel.h"
#include "ui/ListRowDelegate.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tornu::ui {

CExchangeLogDlg::CExchangeLogDlg(CExchangeMonitor& monitor, CQtOperator& op, QWidget* parent)
    : QDialog(parent), monitor_(monitor), operator_(op), model_(new CExchangeLogModel(this)),
      list_(new QTableView(this)),
      busy_(new QProgressBar(this)), state_(new QLabel(this)),
      save_(new QPushButton(QStringLiteral("Сохранить лог..."), this)) {
    setWindowTitle(QStringLiteral("Лог"));
    setSizeGripEnabled(true);
    list_->setObjectName(QStringLiteral("log"));
    state_->setObjectName(QStringLiteral("state"));
    save_->setObjectName(QStringLiteral("saveLog"));
    list_->setModel(model_);
    // At least the classic 120 pixels, and room for the whole time stamp.
    list_->setColumnWidth(
        0, std::max(120, ColumnWidthFor(*list_, "00.00.0000 00:00:00")));
    list_->setColumnWidth(1, 300);
    list_->horizontalHeader()->setStretchLastSection(true);
    ShowRowsOnly(*list_);
    // Indeterminate while the exchange runs.
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setMaximumWidth(160);
    // Enter must not press it: the window ignores Enter and Esc.
    save_->setAutoDefault(false);
    connect(save_, &QPushButton::clicked, this, &CExchangeLogDlg::SaveLog);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    auto* below = new QHBoxLayout;
    below->addWidget(busy_);
    below->addWidget(state_, 1);
    below->addWidget(save_);
    layout->addLayout(below);
    resize(560, 360);

    since_.start();
    ShowBusy();
    timer_.setInterval(kPollMs);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CExchangeLogDlg::Tick);
    timer_.start();
}

const std::vector<ExchangeLogLine>& CExchangeLogDlg::Lines() const { return model_->Lines(); }

void CExchangeLogDlg::ShowBusy() {
    const qint64 seconds = since_.elapsed() / 1000;
    const QString elapsed = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10,
                                                                         QLatin1Char('0'));
    if (cancelling_)
        state_->setText(QStringLiteral("Отмена обмена: связь завершается... %1").arg(elapsed));
    else
        state_->setText(QStringLiteral("Идет обмен... %1").arg(elapsed));
}

void CExchangeLogDlg::Append(const std::vector<ExchangeLogLine>& lines) {
    if (lines.empty())
        return;
    // The newest row stays in sight unless the operator has scrolled up.
    QScrollBar* bar = list_->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    model_->Append(lines);
    if (atEnd)
        list_->scrollToBottom();
}

void CExchangeLogDlg::Tick() {
    std::vector<ExchangeLogLine> lines;
    const bool ended = monitor_.Poll(lines);
    Append(lines);
    if (cancelling_) {
        if (ended) {
            done(static_cast<int>(ExchangeLogEnd::Cancelled));
            return;
        }
        ShowBusy();
        timer_.start();
        return;
    }
    if (!ended) {
        ShowBusy();
        timer_.start();
        return;
    }
    ended_ = true;
    busy_->setRange(0, 1);
    busy_->setValue(1);
    state_->setText(QStringLiteral("Обмен завершен"));
    // No leaves the window open, without the timer: the close box ends it.
    if (operator_.Ask(kExchangeEndedQuestion))
        done(static_cast<int>(ExchangeLogEnd::Closed));
}

void CExchangeLogDlg::RequestClose() {
    if (cancelling_)
        return;
    // Ended, even when the timer has not seen it yet: nothing to cancel.
    if (ended_ || !monitor_.Running()) {
        done(static_cast<int>(ExchangeLogEnd::Closed));
        return;
    }
    // No tick while the question is up: the exchange's end waits for the answer.
    timer_.stop();
    if (!operator_.Ask(kCancelExchangeQuestion)) {
        timer_.start();
        return;
    }
    // The worker hangs up the call before it ends, which takes seconds: the
    // timer goes on showing the lines and sees the end.
    cancelling_ = true;
    ShowBusy();
    monitor_.RequestCancel();
    timer_.start();
}

void CExchangeLogDlg::SaveLog() {
    const std::optional<QString> path =
        operator_.ChooseFile(FileDialogKind::Save, QStringLiteral("exchange-log.txt"), this);
    if (!path)
        return;
    if (!monitor_.SaveLog(S(*path), model_->Lines()))
        operator_.Message(std::string(kCannotCreateFileMessage) + S(*path));
}

void CExchangeLogDlg::reject() { RequestClose(); }

void CExchangeLogDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestClose();
}

void CExchangeLogDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace tornu::ui
