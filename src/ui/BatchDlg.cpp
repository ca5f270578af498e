#include "ui/BatchDlg.h"

#include "batch/BatchSession.h"
#include "doc/TornuCfgDoc.h"
#include "ui/BatchModel.h"
#include "ui/DialogButtons.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace tornu::ui {

namespace {

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QString JobCaption(const BatchJob& job) {
    return QStringLiteral("%1. %2 (%3, %4)")
        .arg(job.id)
        .arg(Q(job.name), Q(job.owner.empty() ? "?" : job.owner), Q(job.created));
}

} // namespace

CBatchDlg::CBatchDlg(CTornuCfgDoc& doc, CQtOperator& op,
                     std::function<BatchTerminalChoice()> terminals, QWidget* parent)
    : QDialog(parent), doc_(doc), operator_(op), terminals_(std::move(terminals)),
      session_(std::make_unique<CBatchSession>(doc)),
      model_(new CBatchModel(session_->Model(), this)), jobs_(new QComboBox(this)),
      newJob_(Button("Новое задание...", "newJob", this)), table_(new QTableView(this)),
      progress_(new QProgressBar(this)), counts_(new QLabel(this)), state_(new QLabel(this)),
      start_(Button("Запустить", "start", this)), pause_(Button("Пауза", "pause", this)),
      cancel_(Button("Отменить", "cancel", this)), export_(Button("Отчет CSV...", "export", this)),
      timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("batch"));
    setWindowTitle(QStringLiteral("Пакетный обмен"));
    setSizeGripEnabled(true);
    jobs_->setObjectName(QStringLiteral("jobs"));
    table_->setObjectName(QStringLiteral("terminals"));
    counts_->setObjectName(QStringLiteral("counts"));
    state_->setObjectName(QStringLiteral("state"));
    table_->setModel(model_);
    const int widths[] = {110, 100, 70, 80, 320, 140};
    for (int column = 0; column < model_->columnCount(); ++column)
        table_->setColumnWidth(column, widths[column]);
    table_->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    ShowRowsOnly(*table_);
    // Fixed rows: a job of thousands scrolls without measuring each one.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setMinimumSize(820, 320);
    table_->setToolTip(QStringLiteral("Двойной щелчок - лог базового модуля"));
    pause_->setCheckable(true);
    progress_->setFormat(QStringLiteral("%p%"));
    timer_->setInterval(kPollMs);

    connect(jobs_, &QComboBox::activated, this, &CBatchDlg::Choose);
    connect(newJob_, &QPushButton::clicked, this, [this] { NewJob(); });
    connect(start_, &QPushButton::clicked, this, &CBatchDlg::Start);
    connect(pause_, &QPushButton::toggled, this, &CBatchDlg::Pause);
    connect(cancel_, &QPushButton::clicked, this, &CBatchDlg::Cancel);
    connect(export_, &QPushButton::clicked, this, &CBatchDlg::ExportReport);
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { ShowLog(index.row()); });
    connect(timer_, &QTimer::timeout, this, &CBatchDlg::Poll);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Задание:"), this));
    top->addWidget(jobs_, 1);
    top->addWidget(newJob_);
    auto* progress = new QHBoxLayout;
    progress->addWidget(progress_, 1);
    progress->addWidget(counts_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(pause_);
    buttons->addWidget(cancel_);
    buttons->addSpacing(16);
    buttons->addWidget(export_);
    buttons->addStretch();
    buttons->addWidget(DialogButtons(*this, QDialogButtonBox::Close));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(progress);
    layout->addWidget(state_);
    layout->addLayout(buttons);

    if (CResult opened = session_->Open(); !opened)
        Fail("Невозможно открыть таблицы заданий: " + opened.Error());
    ReloadJobs();
}

CBatchDlg::~CBatchDlg() = default;

void CBatchDlg::Fail(const std::string& text) { operator_.Message(text); }

void CBatchDlg::ReloadJobs(int select) {
    const std::vector<BatchJob> jobs = session_->Jobs();
    jobs_->clear();
    int chosen = -1;
    for (const BatchJob& job : jobs) {
        jobs_->addItem(JobCaption(job), job.id);
        if (job.id == select || (select == 0 && (chosen < 0 || job.id > jobs_->itemData(chosen).toInt())))
            chosen = jobs_->count() - 1;
    }
    if (chosen >= 0) {
        jobs_->setCurrentIndex(chosen);
        Choose(chosen);
    } else {
        UpdateState();
    }
}

void CBatchDlg::Choose(int index) {
    if (session_->Running() || index < 0)
        return;
    if (CResult chosen = session_->Choose(jobs_->itemData(index).toInt()); !chosen)
        Fail(chosen.Error());
    model_->Reload();
    UpdateState();
}

bool CBatchDlg::NewJob() {
    if (session_->Running()) {
        Fail("Идет пакетный обмен: новое задание можно создать после его окончания");
        return false;
    }
    const BatchCommandOffer offer = session_->OfferCommands();
    CBatchJobDlg dialog(terminals_ ? terminals_() : BatchTerminalChoice{}, offer, operator_, this);
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return false;
    session_->RememberFiles(offer);
    BatchJob job = dialog.Job();
    if (CResult made = session_->CreateJob(job, dialog.Terminals()); !made) {
        Fail("Невозможно создать задание: " + made.Error());
        return false;
    }
    ReloadJobs(job.id);
    return true;
}

void CBatchDlg::Start() {
    const CBatchViewModel::Counts counts = session_->Model().Totals();
    // A job that has ended somewhere is resumed: what failed is tried again.
    const bool resume = counts.left < static_cast<int>(session_->Model().Size());
    if (CResult started = session_->Start(resume); !started) {
        Fail(started.Error());
        return;
    }
    model_->Reload();
    pause_->setChecked(false);
    timer_->start();
    UpdateState();
}

void CBatchDlg::Pause(bool paused) {
    session_->Pause(paused);
    UpdateState();
}

void CBatchDlg::Cancel() {
    if (!session_->Running())
        return;
    // The calls are asked to stop; the timer sees them end.
    session_->Cancel();
    UpdateState();
}

void CBatchDlg::Poll() {
    const bool running = session_->Poll();
    model_->Refresh();
    if (!running) {
        timer_->stop();
        const CResult& failure = session_->LastFailure();
        if (!failure)
            Fail("Ошибка записи хода задания: " + failure.Error());
    }
    UpdateState();
}

void CBatchDlg::UpdateState() {
    const CBatchViewModel& rows = session_->Model();
    const CBatchViewModel::Counts counts = rows.Totals();
    const bool running = session_->Running();
    const bool chosen = session_->Job().has_value();
    const int total = static_cast<int>(rows.Size());
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(counts.done + counts.failed);
    QString text = QStringLiteral("выполнено: %1   ошибка: %2   осталось: %3")
                       .arg(counts.done)
                       .arg(counts.failed)
                       .arg(counts.left);
    if (running && counts.left > 0)
        if (const std::optional<std::int64_t> seconds = rows.SecondsLeft())
            text += QStringLiteral("   окончание ~ %1").arg(
                QDateTime::currentDateTime().addSecs(*seconds).toString(QStringLiteral("HH:mm")));
    counts_->setText(text);

    QString state;
    if (!chosen)
        state = QStringLiteral("Нет заданий: создайте новое");
    else if (session_->Cancelling())
        state = QStringLiteral("Отмена: ожидание окончания вызовов...");
    else if (running && session_->Paused())
        state = QStringLiteral("Пауза: новые вызовы не начинаются");
    else if (running)
        state = QStringLiteral("Выполняется");
    else if (counts.left == 0)
        state = QStringLiteral("Задание закончено");
    else
        state = QStringLiteral("Остановлено");
    state_->setText(state);

    start_->setText(counts.left < total && !running ? QStringLiteral("Продолжить") : QStringLiteral("Запустить"));
    start_->setEnabled(chosen && !running && (counts.left > 0 || counts.failed > 0));
    pause_->setEnabled(running && !session_->Cancelling());
    cancel_->setEnabled(running && !session_->Cancelling());
    export_->setEnabled(chosen);
    jobs_->setEnabled(!running);
    newJob_->setEnabled(!running);
}

void CBatchDlg::ExportReport() {
    if (!session_->Job())
        return;
    const std::optional<QString> path = operator_.ChooseFile(
        FileDialogKind::Save, Q(session_->Job()->name) + QStringLiteral(".csv"), this);
    if (path && !session_->ExportReport(S(*path)))
        Fail("Невозможно записать " + S(*path));
}

void CBatchDlg::ShowLog(int row) {
    const int terminal = model_->Terminal(row);
    if (terminal == 0)
        return;
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("terminalLog"));
    dialog.setWindowTitle(QStringLiteral("Лог базового модуля [%1]").arg(terminal, 4, 10, QLatin1Char('0')));
    dialog.setSizeGripEnabled(true);
    auto* text = new QPlainTextEdit(&dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    const std::string log = session_->TerminalLog(terminal);
    text->setPlainText(log.empty() ? QStringLiteral("Лог пуст: вызовов еще не было") : Q(log));
    text->setMinimumSize(640, 360);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(DialogButtons(dialog, QDialogButtonBox::Close));
    operator_.Runner().Exec(dialog);
}

} // namespace tornu::ui
