// The exchange, phone-book, key, modem and import dialogs of the desktop
// program driven as an operator would: the real main window and document on a
// real SQLite database, the terminal simulator on a pseudo-terminal, headless.
#include "UiTestSupport.h"

#include "catalogue/CommandOffer.h"
#include "comms/TimeScale.h"
#include "doc/ExchangeMonitor.h"
#include "import/OdbBuilder.h"
#include "protocol/ErrorText.h"
#include "tools/SimTestUtil.h"
#include "ui/CommandParamsDlg.h"
#include "ui/CommandListModel.h"
#include "ui/CompareDlg.h"
#include "ui/CompareModel.h"
#include "ui/ExchangeDlg.h"
#include "ui/ExchangeLogDlg.h"
#include "ui/ExchangeLogModel.h"
#include "ui/ImportDlg.h"
#include "ui/KeyListModel.h"
#include "ui/ModemPortDlg.h"
#include "ui/PhoneBookDlg.h"
#include "ui/PhoneListModel.h"
#include "ui/TerminalOptionsView.h"
#include "ui/TerminalView.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>
#include <QTreeWidget>


using namespace tornu;
using namespace tornu::test;
using namespace tornu::ui;

namespace {

// Terminal 12 as the simulator plays it; SetClock (22) is never answered.
const char* const kSimState = R"([Terminal]
Number=12
LinkPassword=link

[Modem]
DialDelay=2000
ReceiptDelay=500

[Faults]
Silent.22=1000
Silent.39=1000

[Device 0]
Password=0000
)";

// A file dialog step: `path` typed in and accepted; the dialog kept for a look.
ScriptedRunner::DialogStep PickFile(const QString& path, QFileDialog::AcceptMode* mode = nullptr) {
    return [path, mode](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files)
            return int(QDialog::Rejected);
        if (mode)
            *mode = files->acceptMode();
        files->selectFile(path);
        return int(QDialog::Accepted);
    };
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> folder;
    TempDir* dir = nullptr;
    std::unique_ptr<ScriptedRunner> runner;
    std::unique_ptr<CQtOperator> op;
    std::unique_ptr<CTornuCfgDoc> doc;
    std::unique_ptr<CMainFrame> frame;
    // The simulator on the pseudo-terminal "ComPort" names.
    std::unique_ptr<CScopedTimeScale> fast;
    CTerminalState sim;
    std::unique_ptr<SimOnPty> simulator;

    CTreeNode* Node(int id, int address = -1) { return doc->FindNode(id, address); }
    void StartSimulator() {
        std::string error;
        QVERIFY2(sim.Read(kSimState, dir->Path().string(), error), error.c_str());
        simulator = std::make_unique<SimOnPty>(sim);
        QVERIFY2(simulator->Start(*dir / "ttySIM", error), error.c_str());
    }
    void StopSimulator() { simulator.reset(); }

private slots:
    void init() {
        folder = std::make_unique<ProgramFolder>();
        dir = &folder->dir;
        runner = std::make_unique<ScriptedRunner>();
        op = std::make_unique<CQtOperator>(*runner);
        fast = std::make_unique<CScopedTimeScale>(0.01);
        doc = std::make_unique<CTornuCfgDoc>(*op, dir->Path());
        doc->Workspace().Settings().SetValue("Modem", "ComPort", *dir / "ttySIM");
        doc->Workspace().Settings().SetValue("Modem", "Emul", "0");
        frame = std::make_unique<CMainFrame>(*doc, *op);
        QVERIFY(frame->Start());
        QVERIFY(doc->Editor().NewTerminal({.number = "12", .hostType = 0, .loopCount = 4,
                                  .phone = "+79001234567", .password = "link"}));
        QVERIFY(doc->Editor().NewDevice(*Node(12), {.address = 1, .busType = 0, .loopCount = 4,
                                            .name = "Офис", .password = "part"}));
    }
    void cleanup() {
        StopSimulator();
        frame.reset();
        doc.reset();
        fast.reset();
        folder.reset();
    }

    // "Обмен" → "Параметры команды" → "Лог" until its question → results: a
    // command without an answer fails and stops the call, the next one is
    // never reached.
    void exchangeChosenWatchedAndResults() {
        StartSimulator();
        QStringList results;
        runner->dialogs.push_back(Answer<CExchangeDlg>([&](CExchangeDlg& dialog) {
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            dialog.accept(); // nothing ticked
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QAbstractItemModel& list = *dialog.List()->model();
            for (int row = 0; row < list.rowCount(); ++row) {
                const QString code = list.index(row, CCommandListModel::kCodeColumn).data().toString();
                if (code == "22" || code == "39")
                    QVERIFY(list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole));
                if (code == "60")
                    dialog.EditParams(row);
            }
            // Only "№" carries the check box.
            QVERIFY(!list.setData(list.index(0, 1), Qt::Checked, Qt::CheckStateRole));
            QCOMPARE(dialog.Chosen().size(), std::size_t(2));
        }));
        runner->dialogs.push_back(Answer<CCommandParamsDlg>([&](CCommandParamsDlg& dialog) {
            dialog.findChild<QLineEdit*>("input")->setText("/opt/fw.bin");
        }));
        runner->dialogs.push_back([&](QDialog& dialog) {
            auto* log = qobject_cast<CExchangeLogDlg*>(&dialog);
            if (!log)
                return int(QDialog::Rejected);
            // The rows grow under the tester while the exchange runs.
            QAbstractItemModelTester tester(&log->Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            // Enter and Esc do nothing.
            QTest::keyClick(log, Qt::Key_Escape);
            QTest::keyClick(log, Qt::Key_Return);
            const int end = log->exec();
            [&] {
                QCOMPARE(log->List()->model()->rowCount(), int(log->Lines().size()));
                QCOMPARE(log->List()->model()->index(0, CExchangeLogModel::kTextColumn).data(),
                         QVariant(QStringLiteral("Начало обмена")));
            }();
            // "Сохранить лог...": time stamp, tab, text.
            runner->dialogs.push_front(PickFile(QString::fromStdString(*dir / "log.txt")));
            log->SaveLog();
            return end;
        });
        runner->answers.push_back(true); // "Обмен завершен. Закрыть окно лога?"
        runner->dialogs.push_back(Answer<CExchangeDlg>([&](CExchangeDlg& dialog) {
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            const QAbstractItemModel& list = *dialog.List()->model();
            QCOMPARE(list.headerData(CCommandListModel::kResultColumn, Qt::Horizontal),
                     QVariant(QStringLiteral("Результат")));
            QCOMPARE(list.index(0, 0).data(Qt::CheckStateRole), QVariant()); // no check boxes
            for (int row = 0; row < list.rowCount(); ++row)
                results << list.index(row, CCommandListModel::kResultColumn).data().toString();
        }));
        Tree().SelectNode(Node(12));
        Menu(Node(12), "Выполнить команду ...");
        // The log window closed; the results follow after that event.
        QTRY_VERIFY(!doc->Exchanges().AnyRunning());
        StopSimulator();

        QCOMPARE(runner->titles, (QStringList{"Обмен", "Параметры команды", "Лог", "Сохранить как",
                                              "Результат выполнения команд"}));
        QCOMPARE(runner->messages,
                 (QStringList{kChooseCommandMessage, kExchangeEndedQuestion}));
        const std::string saved = ReadBytes(*dir / "log.txt");
        QVERIFY2(saved.find("\tНачало обмена\n") == std::string("00.00.0000 00:00:00").size(),
                 saved.c_str());
        QCOMPARE(results.size(), 2);
        QVERIFY2(results[0].startsWith("ОШИБКА: "), qPrintable(results[0]));
        QCOMPARE(results[1], QStringLiteral("Не завершена"));
        QCOMPARE(Setting(kCommandFilesSection, "LoadFirmware_FileIn"), std::string("/opt/fw.bin"));
        QVERIFY(!doc->Exchanges().AnyRunning());
    }

    // The close box while a command waits for its answer: "Отменить
    // операцию?", the call hung up off the UI thread, result 2, no results.
    void cancelFromTheCloseBox() {
        // Slow enough that the unanswered command still waits when the
        // window's next tick has shown its line.
        CScopedTimeScale slower(0.2);
        StartSimulator();
        runner->dialogs.push_back(Answer<CExchangeDlg>([&](CExchangeDlg& dialog) {
            QAbstractItemModel& list = *dialog.List()->model();
            for (int row = 0; row < list.rowCount(); ++row)
                if (list.index(row, CCommandListModel::kCodeColumn).data().toString() == "39")
                    list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole);
        }));
        bool cancelling = false;
        runner->dialogs.push_back([&](QDialog& dialog) {
            auto* log = qobject_cast<CExchangeLogDlg*>(&dialog);
            if (!log)
                return int(QDialog::Rejected);
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, log, [&] {
                for (const ExchangeLogLine& line : log->Lines())
                    if (line.text.starts_with(kReportCommandStarted)) {
                        watch.stop();
                        log->close();
                        cancelling = log->Cancelling();
                        return;
                    }
            });
            watch.start(5);
            const int end = log->exec();
            return end;
        });
        runner->answers.push_back(true); // "Отменить операцию?"
        Tree().SelectNode(Node(12));
        QCOMPARE(doc->Exchanges().RunCommands(*Node(12)), ExchangeOutcome::Running);
        QTRY_VERIFY(!doc->Exchanges().AnyRunning());
        StopSimulator();
        QVERIFY(cancelling);
        QCOMPARE(runner->messages, QStringList{kCancelExchangeQuestion});
        QCOMPARE(runner->titles, (QStringList{"Обмен", "Лог"}));
        QVERIFY(!doc->Exchanges().AnyRunning());
    }

    // "Телефонная книга": a toggle written at once; "Номер телефона" refuses
    // an SMS number without "+" and keeps the dialog; "Ключи"/"Ключ" shows
    // the refused code again; the file commands through the system dialogs.
    void phoneBookKeysAndFiles() {
        CTreeNode* partition = Node(12, 1);
        const auto phone = [&](const char* column) {
            const auto rows = Rows(*doc, std::string("SELECT ") + column +
                                   " FROM device_phone WHERE term_id=12 AND device_id=1 AND id=0");
            return rows.empty() ? std::string("<none>") : rows[0][0];
        };
        runner->dialogs.push_back(Answer<CPhoneBookDlg>([&](CPhoneBookDlg& dialog) {
            // Every column in sight at the size it opens with.
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QVERIFY(!dialog.List()->horizontalScrollBar()->isVisible());
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            QAbstractItemModel& list = *dialog.List()->model();
            const QModelIndex bit0 = list.index(0, dialog.Model().ColumnOf(0));
            QVERIFY(list.setData(bit0, Qt::Checked, Qt::CheckStateRole));
            dialog.EditNumber(0);
            QCOMPARE(list.index(0, CPhoneListModel::kPhoneColumn).data(),
                     QVariant(QStringLiteral("+79001112233")));
            // A change made elsewhere shows at once: the rows follow the document.
            QVERIFY(doc->Editor().SetPhoneMask(*partition, 0, 0x81));
            QCOMPARE(bit0.data(Qt::CheckStateRole), QVariant(Qt::Checked));
            QVERIFY(doc->Editor().SetPhoneMaskBit(*partition, 0, 0, false));
            QCOMPARE(bit0.data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
            QVERIFY(list.setData(bit0, Qt::Checked, Qt::CheckStateRole));
            QVERIFY(!list.setData(list.index(0, CPhoneListModel::kTypeColumn), "SMS"));
        }));
        runner->dialogs.push_back(Answer<CPhoneNumberDlg>([&](CPhoneNumberDlg& dialog) {
            dialog.Field()->setText("79001112233");
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            dialog.Field()->setText("+79001112233");
        }));
        Menu(partition, "Телефонная книга");
        QCOMPARE(runner->messages, QStringList{QString::fromUtf8(kSmsPhoneFormatMessage.data(),
                                                                 kSmsPhoneFormatMessage.size())});
        // A refusal is a warning.
        QCOMPARE(runner->icons, QList{QMessageBox::Warning});
        QCOMPARE(phone("mask"), std::string("129"));
        QCOMPARE(phone("phone"), std::string("+79001112233"));

        runner->messages.clear();
        QString shown;
        runner->dialogs.push_back(Answer<CKeysDlg>([&](CKeysDlg& dialog) {
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            QAbstractItemModel& list = *dialog.List()->model();
            QCOMPARE(list.index(0, 0).data(), QVariant(QStringLiteral("Мастер")));
            dialog.EditKey(1);
            shown = list.index(1, CKeyListModel::kCodeColumn).data().toString() + "|" +
                    list.index(1, CKeyListModel::kOwnerColumn).data().toString();
            // A change made elsewhere shows at once: the rows follow the document.
            QVERIFY(doc->Editor().SetKey(*partition, 2, "540000001E3C5A01", "Петров"));
            QCOMPARE(list.index(2, CKeyListModel::kOwnerColumn).data(),
                     QVariant(QStringLiteral("Петров")));
            // An owner alone goes with the stored code; a refused code stores nothing.
            QVERIFY(list.setData(list.index(2, CKeyListModel::kOwnerColumn), "Сидоров"));
            QVERIFY(!list.setData(list.index(2, CKeyListModel::kCodeColumn), "12"));
            QCOMPARE(list.index(2, CKeyListModel::kCodeColumn).data().toString() + "|" +
                         list.index(2, CKeyListModel::kOwnerColumn).data().toString(),
                     QStringLiteral("540000001E3C5A01|Сидоров"));
            QVERIFY(!list.setData(list.index(2, CKeyListModel::kNumberColumn), "5"));
        }));
        runner->dialogs.push_back(Answer<CKeyDlg>([](CKeyDlg& dialog) {
            dialog.Owner()->setText("Иванов");
            dialog.Code()->setText("12345");
        }));
        runner->dialogs.push_back(Answer<CKeyDlg>([](CKeyDlg& dialog) {
            QCOMPARE(dialog.Code()->text(), QStringLiteral("12345")); // as typed
            dialog.Code()->setText("4500004433221101");
        }));
        Menu(partition, "Ключи");
        QCOMPARE(runner->messages, (QStringList{"Введен некорректный ключ", "Введен некорректный ключ"}));
        QCOMPARE(shown, QStringLiteral("4500004433221101|Иванов"));

        // Saved with the save dialog, loaded back with the open one (the file's
        // bytes are ListFilesTest's).
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        runner->dialogs.push_back(PickFile(QString::fromStdString(*dir / "keys.txt"), &mode));
        Menu(partition, "Сохранить список ключей");
        QCOMPARE(mode, QFileDialog::AcceptSave);
        runner->dialogs.push_back(PickFile(QString::fromStdString(*dir / "keys.txt"), &mode));
        Menu(partition, "Загрузить список ключей");
        QCOMPARE(mode, QFileDialog::AcceptOpen);
        runner->dialogs.push_back(PickFile(QString::fromStdString(*dir / "missing")));
        Menu(partition, "Загрузить телефонную книгу");
        QCOMPARE(runner->messages.back(),
                 QString::fromStdString("Невозможно открыть файл: " + (*dir / "missing")));
    }

    // "Модем...": "Выберите порт", then the four keys written to the file.
    void modemPortWritesTheSettingsFile() {
        doc->Workspace().Settings().SetValue("Modem", "ComPort", "");
        runner->dialogs.push_back(Answer<CModemPortDlg>([](CModemPortDlg& dialog) {
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            dialog.Port()->setCurrentIndex(dialog.Port()->findText("COM3"));
            dialog.Speed()->setCurrentIndex(dialog.Speed()->findText("19200"));
            dialog.Init()->setText("AT&F");
            dialog.Emulation()->setChecked(true);
        }));
        FrameAction(*frame, "modem")->trigger();
        QCOMPARE(runner->messages, QStringList{"Выберите порт"});
        QCOMPARE(Setting("Modem", "ComPort") + " " + Setting("Modem", "ComSpeed") + " " +
                     Setting("Modem", "Init") + " " + Setting("Modem", "Emul"),
                 std::string("COM3 19200 AT&F 1"));
    }

    // "Импорт данных ПЦН...": the folder chosen with "Выбрать"; the shown
    // terminal and the tree's filter follow the imported phone.
    void importRefreshesTheViews() {
        const std::string station = *dir / "station";
        std::filesystem::create_directories(station);
        WriteBytes(station + "/terminal.odb",
                   StationLayout().Raw(StationRecord(12, "+79005550000", "pw")).Bytes());
        Tree().SelectNode(Node(12));
        QLineEdit* shownPhone = frame->TerminalOptions().findChild<QLineEdit*>("phone");
        QCOMPARE(shownPhone->text(), QStringLiteral("+79001234567"));
        runner->dialogs.push_back(Answer<CImportDlg>([&](CImportDlg& dialog) {
            dialog.Choose();
            QCOMPARE(dialog.Path()->text(), QString::fromStdString(station));
        }));
        runner->dialogs.push_back(PickFile(QString::fromStdString(station)));
        FrameAction(*frame, "import")->trigger();
        QCOMPARE(runner->messages, QStringList{"Импортированы данные по 1 устройствам"});
        QCOMPARE(runner->icons, QList{QMessageBox::Information});
        QCOMPARE(shownPhone->text(), QStringLiteral("+79005550000"));
        Tree().Filter()->setText("5550000");
        QCOMPARE(Tree().Tree()->model()->rowCount(), 1);
    }

    // "Сравнить с прибором": the reads under the log window, then the
    // differences; "Записать значения базы..." opens "Обмен" with the write
    // commands ticked, "Взять значения прибора" stores the terminal's.
    void compareWithTheTerminal() {
        std::string error;
        QVERIFY2(sim.Read("[Terminal]\nNumber=12\nLinkPassword=link\n[Device 0]\n"
                          "[Device 1]\nPassword=part\nParam.DLYIN=20\n",
                          dir->Path().string(), error),
                 error.c_str());
        simulator = std::make_unique<SimOnPty>(sim);
        QVERIFY2(simulator->Start(*dir / "ttySIM", error), error.c_str());
        runner->dialogs.push_back([](QDialog& dialog) { return dialog.exec(); });
        runner->answers.push_back(true); // "Обмен завершен. Закрыть окно лога?"
        std::vector<std::int32_t> ticked;
        runner->dialogs.push_back(Answer<CCompareDlg>([&](CCompareDlg& dialog) {
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            const auto rowOf = [&](const QString& what) {
                for (int row = 0; row < dialog.Model().rowCount(); ++row)
                    if (dialog.Model().index(row, CCompareModel::kWhatColumn).data() == what)
                        return row;
                return -1;
            };
            const int dlyin = rowOf(QStringLiteral("Параметр DLYIN"));
            QVERIFY(dlyin >= 0);
            const auto cell = [&](int column) { return dialog.Model().index(dlyin, column).data(); };
            QCOMPARE(cell(CCompareModel::kNodeColumn), QVariant(QStringLiteral("12/1")));
            QCOMPARE(cell(CCompareModel::kStoredColumn), QVariant(QStringLiteral("30")));
            QCOMPARE(cell(CCompareModel::kTerminalColumn), QVariant(QStringLiteral("20")));
            QCOMPARE(Rows(*doc, "SELECT param_value FROM device_param WHERE term_id=12 AND "
                                "device_id=1 AND name='DLYIN'")[0][0],
                     std::string("30")); // nothing stored by the reads
            runner->dialogs.push_front([&](QDialog& choice) {
                if (auto* exchange = qobject_cast<CExchangeDlg*>(&choice))
                    for (CCommandDesc* command : exchange->Chosen())
                        ticked.push_back(command->Code());
                return int(QDialog::Rejected);
            });
            dialog.WriteStoredValues();
            dialog.TakeTerminalValues();
            QCOMPARE(rowOf(QStringLiteral("Параметр DLYIN")), -1);
        }));
        Menu(Node(12, 1), "Сравнить с прибором");
        QTRY_VERIFY2(runner->dialogs.empty(), qPrintable(runner->messages.join("; ")));
        StopSimulator();
        QCOMPARE(runner->titles, (QStringList{"Лог", "Сравнить с прибором: устройство 12/1", "Обмен"}));
        QVERIFY(!ticked.empty());
        QCOMPARE(ticked.front(), 17);
        QCOMPARE(Rows(*doc, "SELECT param_value FROM device_param WHERE term_id=12 AND "
                            "device_id=1 AND name='DLYIN'")[0][0],
                 std::string("20"));
        QCOMPARE(Rows(*doc, "SELECT detail FROM change_history WHERE term_id=12 AND device_id=1 "
                            "AND what='Параметр DLYIN'")[0][0],
                 std::string("Сравнить с прибором: ReadStatus Чтение состояния и параметров"));
    }

private:
    CTerminalView& Tree() { return frame->TreePane(); }
    // The node's context menu with `caption` chosen.
    void Menu(CTreeNode* node, const char* caption) {
        runner->menuSteps.push_back(Choose(QString::fromUtf8(caption)));
        Tree().OpenMenu(node, {});
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
