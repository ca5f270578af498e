// "Пакетный обмен" headless: its table model under Qt's model tester, a job
// made from the tree's selection, and a run over scripted modem lines,
// driven by polls, paused and cancelled while the main window works on and
// refuses the terminal in its call.
#include "UiTestSupport.h"

#include "batch/BatchSession.h"
#include "batch/BatchViewModel.h"
#include "catalogue/CommandDesc.h"
#include "comms/FakeStream.h"
#include "ui/BatchDlg.h"
#include "ui/BatchJobDlg.h"
#include "ui/BatchModel.h"
#include "ui/CommandListModel.h"
#include "ui/ExchangeDlg.h"
#include "ui/TerminalView.h"
#include "ui/TreeItemModel.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTreeView>

using namespace tornu;
using namespace tornu::test;
using namespace tornu::ui;

namespace {

const std::string kOk = "\r\nOK\r\n";

// A modem line: the terminal +70008 answers and then says nothing more (its
// call runs until cancelled); every other one does not answer.
std::unique_ptr<IByteStream> Line(const std::string&, std::uint32_t, CResult&) {
    auto line = std::make_unique<CFakeStream>();
    CFakeStream* raw = line.get();
    for (const char* command : {"AT&F", "AT+CBST", "at\r", "+++", "ath0"})
        line->When(command, kOk);
    line->OnWrite([raw](std::string_view written) {
        if (written.rfind("atd", 0) != 0)
            return;
        if (written.find("+70008") != std::string_view::npos)
            raw->HoldNextIdleRead();
        else
            raw->Queue("\r\nNO ANSWER\r\n");
    });
    return line;
}

} // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<ScriptedRunner> runner;
    std::unique_ptr<CQtOperator> op;
    std::unique_ptr<CTornuCfgDoc> doc;
    std::unique_ptr<CMainFrame> frame;

    void AddTerminal(int id) {
        TerminalInput input;
        input.number = std::to_string(id);
        input.hostType = 0;
        input.phone = "+7000" + std::to_string(id);
        input.password = "1234";
        QVERIFY(doc->Editor().NewTerminal(input));
    }
    QString Cell(CBatchDlg& window, int row, int column) {
        return window.Model().index(row, column).data().toString();
    }
    // Polls as the window's timer would, waiting between polls for the calls.
    void PollUntil(CBatchDlg& window, const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            window.Poll();
            window.Session().Wait();
        }
        QVERIFY(done());
    }

private slots:
    void init() {
        folder = std::make_unique<ProgramFolder>();
        runner = std::make_unique<ScriptedRunner>();
        op = std::make_unique<CQtOperator>(*runner);
        doc = std::make_unique<CTornuCfgDoc>(*op, folder->dir.Path());
        frame = std::make_unique<CMainFrame>(*doc, *op);
        QVERIFY(frame->Start());
        for (int id : {1, 2, 8})
            AddTerminal(id);
    }
    void cleanup() {
        QVERIFY2(runner->dialogs.empty(), "the script has unused dialog steps");
        frame.reset();
        doc.reset();
        op.reset();
        runner.reset();
        folder.reset();
    }

    void tableModelKeepsQtsRules() {
        CBatchViewModel rows;
        CBatchModel model(rows);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::vector<BatchTerminal> stored(3);
        for (int i = 0; i < 3; ++i)
            stored[static_cast<std::size_t>(i)].terminal = 10 + i;
        rows.Reset(stored);
        model.Reload();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.headerData(CBatchViewModel::kCause, Qt::Horizontal).toString(), QStringLiteral("Причина"));

        // Two rows change between refreshes: one signal over both.
        QList<std::pair<int, int>> changed;
        connect(&model, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first, const QModelIndex& last) { changed.append({first.row(), last.row()}); });
        BatchTerminal row = stored[0];
        row.state = kBatchRunning;
        row.attempts = 1;
        rows.Apply(row, "COM1");
        row = stored[2];
        row.state = kBatchFailed;
        row.cause = "нет ответа";
        rows.Apply(row, "");
        QVERIFY(model.Refresh());
        QCOMPARE(changed, (QList<std::pair<int, int>>{{0, 2}}));
        QCOMPARE(model.index(0, CBatchViewModel::kModem).data().toString(), QStringLiteral("COM1"));
        QCOMPARE(model.index(2, CBatchViewModel::kCause).data().toString(), QStringLiteral("нет ответа"));
        QVERIFY(!model.Refresh());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.Terminal(1), 11);

        rows.Reset({});
        model.Reload();
        QCOMPARE(model.rowCount(), 0);
    }

    void aJobIsMadeFromTheTreesSelection() {
        // Ctrl-clicks select terminals 1 and 8; the current item stays the one shown.
        QTreeView* tree = frame->TreePane().Tree();
        const CTreeItemModel& items = frame->TreePane().Model();
        QItemSelectionModel* selection = tree->selectionModel();
        const auto proxyOf = [&](int id) {
            const QModelIndex source = items.IndexOf(doc->FindNode(id));
            return static_cast<QSortFilterProxyModel*>(tree->model())->mapFromSource(source);
        };
        selection->setCurrentIndex(proxyOf(1), QItemSelectionModel::ClearAndSelect);
        selection->setCurrentIndex(proxyOf(8), QItemSelectionModel::Select);
        // A third Ctrl-clicked on and off again: the other two stay selected.
        selection->setCurrentIndex(proxyOf(2), QItemSelectionModel::Select);
        selection->setCurrentIndex(proxyOf(2), QItemSelectionModel::Deselect);
        QCoreApplication::processEvents();
        QCOMPARE(frame->TreePane().SelectedTerminals(), (std::vector<int>{1, 8}));
        QCOMPARE(doc->Tree().Selected(), doc->FindNode(1));
        QCOMPARE(frame->TreePane().ShownTerminals(), (std::vector<int>{1, 2, 8}));

        QString offered;
        runner->dialogs.push_back(Answer<CBatchJobDlg>([&](CBatchJobDlg& dialog) {
            offered = dialog.Source(0)->text();
            QVERIFY(dialog.Source(0)->isChecked());
            // Nothing chosen yet: the dialog says so and stays.
            dialog.accept();
            QCOMPARE(runner->messages.last(), QString::fromUtf8(kChooseCommandMessage));
            // A command whose input file is not given cannot go either.
            CCommandListModel& commands = dialog.TerminalCommands();
            const auto tick = [&commands](const char* name, bool on) {
                for (int row = 0; row < commands.rowCount(); ++row)
                    if (commands.Command(row).Name() == name)
                        commands.setData(commands.index(row, 0), on ? Qt::Checked : Qt::Unchecked,
                                         Qt::CheckStateRole);
            };
            tick("LoadFirmware", true);
            dialog.accept();
            QVERIFY2(runner->messages.last().startsWith(QStringLiteral("Не задан входной файл команды LoadFirmware")),
                     qPrintable(runner->messages.last()));
            tick("LoadFirmware", false);
            tick("LinkTest", true);
            dialog.Name()->setText(QStringLiteral("Состояние"));
            const QList<QListWidgetItem*> keyboards =
                dialog.DeviceTypes()->findItems(QStringLiteral("Клавиатура КЛ-2"), Qt::MatchExactly);
            QCOMPARE(keyboards.size(), 1);
            keyboards[0]->setCheckState(Qt::Checked);
        }));
        // Then the window shows the job.
        QString shownJob;
        int shownRows = 0;
        runner->dialogs.push_back([&](QDialog& dialog) {
            auto& window = static_cast<CBatchDlg&>(dialog);
            shownJob = window.Jobs()->currentText();
            shownRows = window.Model().rowCount();
            return int(QDialog::Rejected);
        });
        FrameAction(*frame, "batchJob")->trigger();
        QCOMPARE(offered, QStringLiteral("Выбранные в дереве (2)"));
        QVERIFY2(shownJob.contains(QStringLiteral("Состояние")), qPrintable(shownJob));
        QCOMPARE(shownRows, 2);
        const auto stored = Rows(*doc, "SELECT term_id FROM batch_terminal ORDER BY position");
        QCOMPARE(stored.size(), std::size_t(2));
        QCOMPARE(stored[1][0], std::string("8"));
        const auto settings = Rows(*doc, "SELECT settings FROM batch_job");
        QVERIFY2(settings.back()[0].find("TYPES=Клавиатура КЛ-2;") != std::string::npos,
                 settings.back()[0].c_str());
    }

    void aRunIsPausedAndCancelledWhileTheMainWindowWorksOn() {
        CBatchDlg& window = frame->BatchWindow();
        window.Session().SetStreamFactory(&Line);
        BatchJob job;
        job.name = "Опрос";
        job.commands = "LinkTest";
        job.settings = "ATTEMPTS=1;DELAY=0;";
        QVERIFY(window.Session().CreateJob(job, {1, 8, 2}));
        window.ReloadJobs(job.id);
        QCOMPARE(window.StartButton()->text(), QStringLiteral("Запустить"));

        window.StartButton()->click();
        QVERIFY(window.Session().Running());
        QVERIFY(!window.Jobs()->isEnabled());
        // Terminal 1 does not answer (one attempt: failed), then 8 answers and holds.
        PollUntil(window, [&] { return Cell(window, 1, CBatchViewModel::kState) == "выполняется"; });
        QCOMPARE(Cell(window, 0, CBatchViewModel::kState), QStringLiteral("ошибка"));
        QVERIFY2(Cell(window, 0, CBatchViewModel::kCause).contains("NO ANSWER"),
                 qPrintable(Cell(window, 0, CBatchViewModel::kCause)));
        QVERIFY2(window.Counts()->text().startsWith(QStringLiteral("выполнено: 0   ошибка: 1   осталось: 2")),
                 qPrintable(window.Counts()->text()));

        // The terminal in its call refuses edits and single exchanges; the others do not.
        runner->messages.clear();
        QVERIFY(!doc->Editor().DeleteNode(*doc->FindNode(8)));
        QVERIFY(doc->Exchanges().RunCommands(*doc->FindNode(8)) == ExchangeOutcome::StartFailed);
        QCOMPARE(runner->messages, QStringList(2, QString::fromUtf8(kTerminalInBatchMessage)));
        TerminalInput edit{.number = "2", .phone = "+70002", .password = "4321"};
        QVERIFY(doc->Editor().EditTerminal(*doc->FindNode(2), edit));

        // Paused, the call goes on and nothing new starts.
        window.PauseButton()->click();
        window.Poll();
        QVERIFY(window.State()->text().startsWith(QStringLiteral("Пауза")));
        QCOMPARE(Cell(window, 2, CBatchViewModel::kState), QStringLiteral("ожидает"));

        // Cancel asks the call to stop; polls see it end; the job can go on later.
        window.CancelButton()->click();
        QVERIFY(!window.CancelButton()->isEnabled());
        PollUntil(window, [&] { return !window.Session().Running(); });
        QCOMPARE(Cell(window, 1, CBatchViewModel::kState), QStringLiteral("ожидает"));
        QCOMPARE(Cell(window, 2, CBatchViewModel::kState), QStringLiteral("ожидает"));
        QCOMPARE(window.State()->text(), QStringLiteral("Остановлено"));
        QCOMPARE(window.StartButton()->text(), QStringLiteral("Продолжить"));
        QVERIFY(window.StartButton()->isEnabled());
        QVERIFY(!doc->Exchanges().HeldByBatch(8));
        QVERIFY(!doc->Exchanges().AnyRunning());
        QVERIFY(doc->Editor().DeleteNode(*doc->FindNode(8)));

        // A double click on a row shows that terminal's last log.
        QString log;
        runner->dialogs.push_back([&](QDialog& dialog) {
            log = dialog.findChild<QPlainTextEdit*>()->toPlainText();
            return int(QDialog::Rejected);
        });
        window.ShowLog(0);
        QVERIFY2(log.contains(QStringLiteral("NO ANSWER")), qPrintable(log));

        // The report: the terminals' causes and their commands' results.
        const std::string report = (folder->dir.Path() / "report.csv").string();
        QVERIFY(window.Session().ExportReport(report));
        const std::string csv = ReadBytes(report);
        for (const char* line : {"1,ошибка,1,,,Невозможно установить соединение: нет ответа (NO ANSWER)\r\n",
                                 "8,ожидает,1,,,Обмен отменен\r\n", "8,ожидает,1,8,LinkTest,Не завершена\r\n",
                                 "2,ожидает,0,,,\r\n"})
            QVERIFY2(csv.find(line) != std::string::npos, csv.c_str());
    }
};

QTEST_MAIN(BatchWindowTest)
#include "BatchWindowTest.moc"
