// tornucfg-shots: renders the main window and each dialog of the desktop
// program to PNG files, headless, for a look at the layouts without a
// display. Works on the configuration in --dir (the screenshots script puts
// the demonstration terminal there first).
#include "ShotLines.h"

#include "batch/BatchSession.h"
#include "catalogue/CommandDesc.h"
#include "doc/NodeComparison.h"
#include "doc/TornuCfgDoc.h"
#include "doc/Operator.h"
#include "ui/BatchDlg.h"
#include "ui/BatchJobDlg.h"
#include "ui/BatchModel.h"
#include "ui/CommandListModel.h"
#include "ui/CommandParamsDlg.h"
#include "ui/CompareDlg.h"
#include "ui/DeviceDlg.h"
#include "ui/ExchangeDlg.h"
#include "ui/ExchangeLogDlg.h"
#include "ui/HistoryDlg.h"
#include "ui/ImportDlg.h"
#include "ui/DeviceOptionsView.h"
#include "ui/LoopDlg.h"
#include "ui/MainFrame.h"
#include "ui/ModalRunner.h"
#include "ui/ModemPortDlg.h"
#include "ui/ParamGrid.h"
#include "ui/PhoneBookDlg.h"
#include "ui/PasswordDlg.h"
#include "ui/QtOperator.h"
#include "ui/QtTranslation.h"
#include "ui/TerminalDlg.h"
#include "ui/TerminalView.h"
#include "ui/TreeItemModel.h"
#include "db/Terminal.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QToolButton>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include <cstdio>
#include <functional>
#include <filesystem>
#include <memory>

using namespace tornu;
using namespace tornu::ui;

namespace {

// Nothing modal runs here: every box is drawn instead of shown, or handed to
// the step the exchange's pictures set.
class CNoModal : public CModalRunner {
public:
    std::function<int(QDialog&)> onExec;
    int Exec(QDialog& dialog) override { return onExec ? onExec(dialog) : QDialog::Rejected; }
    void Show(QDialog& dialog) override {
        dialog.show();
        Exec(dialog);
    }
    QAction* Popup(QMenu&, const QPoint&) override { return nullptr; }
    bool OpenUrl(const QUrl&) override { return false; }
};

class CShots {
public:
    explicit CShots(QString out) : out_(std::move(out)) {}

    void Save(QWidget& widget, const char* name) {
        widget.show();
        widget.adjustSize();
        Settle();
        const QString file = out_ + "/" + QString::fromLatin1(name) + ".png";
        if (!widget.grab().save(file))
            std::fprintf(stderr, "tornucfg-shots: cannot write %s\n", qPrintable(file));
        else
            std::printf("%s\n", qPrintable(file));
    }
    void SaveAsIs(QWidget& widget, const char* name) {
        Settle();
        const QString file = out_ + "/" + QString::fromLatin1(name) + ".png";
        widget.grab().save(file);
        std::printf("%s\n", qPrintable(file));
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

private:
    QString out_;
};

// The fleet job's window in the middle of a job and after one, and the
// new-job dialog, over scripted lines on two modems.
void ShootBatch(CTornuCfgDoc& doc, CMainFrame& frame, CQtOperator& op, CShots& shots) {
    // Two modems; the lines are scripted, whatever the ports are called.
    doc.Workspace().Settings().SetValue("Modem", "ComPort", "COM1");
    doc.Workspace().Settings().SetValue("Modem2", "ComPort", "COM2");
    std::vector<int> ids;
    for (int id = 101; id <= 148; ++id) {
        TerminalInput input;
        input.number = std::to_string(id);
        input.hostType = 0;
        input.phone = "+79001000" + std::to_string(id);
        input.password = "1234";
        if (doc.Editor().NewTerminal(input))
            ids.push_back(id);
    }
    // Five terminals picked in the tree for the new job.
    CTerminalView& tree = frame.TreePane();
    QItemSelectionModel& selection = *tree.Tree()->selectionModel();
    const auto* proxy = static_cast<const QSortFilterProxyModel*>(tree.Tree()->model());
    selection.clearSelection();
    for (int id : {101, 102, 104, 105, 106})
        selection.select(proxy->mapFromSource(tree.Model().IndexOf(doc.FindNode(id))),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    CShots::Settle();

    CBatchDlg& window = frame.BatchWindow();
    CBatchSession& session = window.Session();
    session.SetStreamFactory(&shots::ShotLine);
    {
        const BatchCommandOffer offer = session.OfferCommands();
        std::vector<int> all;
        for (const auto& terminal : doc.Workspace().Terminals())
            all.push_back(terminal->Id());
        CBatchJobDlg dialog({tree.SelectedTerminals(), tree.ShownTerminals(), all}, offer, op, &frame);
        for (CCommandListModel* list : {&dialog.TerminalCommands(), &dialog.DeviceCommands()})
            for (int row = 0; row < list->rowCount(); ++row) {
                const QString code = list->index(row, 1).data().toString();
                if (code == "1" || code == "22" || code == "16")
                    list->setData(list->index(row, 0), Qt::Checked, Qt::CheckStateRole);
            }
        dialog.Name()->setText(QStringLiteral("Проверка связи и часы, район Северный"));
        shots.SaveAsIs(dialog, "dialog-batch-new");
        dialog.hide();
    }

    const auto make = [&](const char* name, std::vector<int> terminals) {
        BatchJob job;
        job.name = name;
        job.commands = "LinkTest,SetClock";
        job.settings = "ATTEMPTS=2;DELAY=0;";
        job.owner = "operator";
        if (CResult made = session.CreateJob(job, terminals); !made)
            std::fprintf(stderr, "tornucfg-shots: %s\n", made.Error().c_str());
        window.ReloadJobs(job.id);
    };
    const auto poll = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 3000 && session.Running() && !done(); ++i) {
            window.Poll();
            session.Wait();
        }
        CShots::Settle();
    };
    window.resize(980, 620);
    window.show();

    // Mid-job: a fleet of 48, two calls on the line.
    make("Проверка связи, район Северный", ids);
    window.StartButton()->click();
    // Until the two terminals that stay in their calls hold both modems.
    poll([&] {
        const std::optional<std::size_t> last = session.Model().Find(119);
        return last && session.Model().Row(*last).state == kBatchRunning;
    });
    window.Table()->scrollTo(window.Model().index(18, 0));
    shots.SaveAsIs(window, "window-batch-running");
    window.CancelButton()->click();
    poll([] { return false; });

    // Finished: none of them stays in its call.
    std::vector<int> answering;
    for (int id : ids)
        if (id % 10 != 9 && answering.size() < 16)
            answering.push_back(id);
    make("Установка часов, район Южный", answering);
    window.StartButton()->click();
    poll([] { return false; });
    window.Table()->scrollToTop();
    shots.SaveAsIs(window, "window-batch-finished");
    window.hide();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // As the program does: Qt's own texts in the language of the locale.
    LoadQtTranslation(app, QLocale::system());
    QCommandLineParser options;
    const QCommandLineOption dir(QStringLiteral("dir"), QStringLiteral("working folder"),
                                 QStringLiteral("DIR"));
    options.addOption(dir);
    options.addPositionalArgument(QStringLiteral("OUTDIR"), QStringLiteral("where the PNG files go"));
    options.process(app);
    if (options.positionalArguments().size() != 1) {
        std::fprintf(stderr, "usage: tornucfg-shots [--dir DIR] OUTDIR\n");
        return 2;
    }
    const QString out = QDir(options.positionalArguments().front()).absolutePath();
    QDir().mkpath(out);
    std::filesystem::current_path(options.isSet(dir) ? options.value(dir).toStdString() : ".");

    CNoModal runner;
    CQtOperator op(runner);
    CTornuCfgDoc doc(op, std::filesystem::current_path());
    CMainFrame frame(doc, op);
    if (!frame.Start())
        return 1;
    frame.resize(1280, 860);
    frame.show();
    CShots shots(out);
    CTerminalView& tree = frame.TreePane();
    tree.Tree()->expandAll();

    CTreeNode* terminal = doc.FindNode(12);
    CTreeNode* partition = doc.FindNode(12, 1);
    if (!terminal || !partition) {
        std::fprintf(stderr, "tornucfg-shots: the demonstration terminal 12 with partition 1 is missing\n");
        return 1;
    }
    tree.SelectNode(terminal);
    shots.SaveAsIs(frame, "main-terminal");
    tree.SelectNode(partition);
    frame.DeviceOptions().Loops()->selectRow(0);
    // A grid row chosen, so that its comment shows below the grid.
    if (const QModelIndex row = frame.DeviceOptions().Grid().Row(0); row.isValid())
        frame.DeviceOptions().Grid().Rows()->setCurrentIndex(row);
    shots.SaveAsIs(frame, "main-device");
    if (CTreeNode* slave = doc.FindNode(12, 5)) {
        tree.SelectNode(slave);
        shots.SaveAsIs(frame, "main-subordinate");
    }
    frame.findChild<QAction*>(QStringLiteral("showStructure"))->trigger();
    tree.SelectNode(doc.FindNode(12, 1));
    shots.SaveAsIs(frame, "main-flat");
    frame.findChild<QAction*>(QStringLiteral("showStructure"))->trigger();
    tree.Tree()->expandAll();
    // The tree was built anew: its items are new.
    terminal = doc.FindNode(12);
    partition = doc.FindNode(12, 1);

    // The context menus, drawn on their own.
    for (CTreeNode* node : {static_cast<CTreeNode*>(nullptr), terminal, partition, doc.FindNode(12, 5)}) {
        std::unique_ptr<QMenu> menu = tree.MenuFor(node);
        if (menu) {
            const QByteArray name = "menu-" + menu->objectName().toLatin1();
            shots.Save(*menu, name.constData());
            menu->hide();
        }
    }

    CPasswordDlg login(PasswordMode::Login, op, &frame);
    shots.Save(login, "dialog-login");
    CPasswordDlg password(PasswordMode::NewPassword, op, &frame);
    shots.Save(password, "dialog-new-password");

    CTerminalDlg newTerminal(CTerminalDlg::Mode::New, doc.Workspace().Catalogue(), op, {}, &frame);
    shots.Save(newTerminal, "dialog-terminal-new");
    const TerminalInput current{.number = "12", .hostType = 0, .loopCount = 4,
                                .phone = "+79001234567", .password = "1234"};
    CTerminalDlg editTerminal(CTerminalDlg::Mode::Edit, doc.Workspace().Catalogue(), op, current, &frame);
    shots.Save(editTerminal, "dialog-terminal-edit");

    std::vector<OfferedType> partitions;
    for (int index : doc.Editor().OfferedBusTypes(*terminal)) {
        const auto& type = *doc.Workspace().Catalogue().BusTypes()[static_cast<std::size_t>(index)];
        partitions.push_back({index, type.Name(), type.LoopCount()});
    }
    CDeviceDlg newDevice(CDeviceDlg::Mode::New, false, partitions, doc.Editor().OfferedAddresses(*terminal),
                         op, {}, &frame);
    shots.Save(newDevice, "dialog-device-new");
    std::vector<OfferedType> slaves;
    for (int index : doc.Editor().OfferedBusTypes(*partition)) {
        const auto& type = *doc.Workspace().Catalogue().BusTypes()[static_cast<std::size_t>(index)];
        slaves.push_back({index, type.Name(), type.LoopCount()});
    }
    CDeviceDlg newSlave(CDeviceDlg::Mode::New, true, slaves, doc.Editor().OfferedAddresses(*partition), op,
                        {}, &frame);
    shots.Save(newSlave, "dialog-device-subordinate");
    CDeviceDlg editDevice(CDeviceDlg::Mode::Edit, false, {partitions.front()}, {1}, op,
                          {.address = 1, .busType = partitions.front().index, .loopCount = 8,
                           .name = "Офис", .password = "1111"},
                          &frame);
    shots.Save(editDevice, "dialog-device-edit");

    LoopInput loop;
    loop.boxes = {true, false, false, true, false};
    loop.comment = "Окно кухни";
    CLoopDlg loopDialog({3}, loop, op, &frame);
    shots.Save(loopDialog, "dialog-loop");

    // The phone book, keys and their dialogs, the modem port and the import.
    if (std::optional<PhoneBookModel> book = doc.Editor().PhoneBook(*partition); book && book->hasLayout) {
        CPhoneBookDlg phoneBook(doc.Tree(), doc.Editor(), *partition, *book, op, &frame);
        shots.Save(phoneBook, "dialog-phone-book");
        phoneBook.hide();
    }
    CPhoneNumberDlg phoneNumber(QStringLiteral("+79001234567"), [](const QString&) { return true; },
                                &frame);
    shots.Save(phoneNumber, "dialog-phone-number");
    {
        CKeysDlg keyList(doc.Tree(), doc.Editor(), *partition, op, &frame);
        shots.Save(keyList, "dialog-keys");
        keyList.hide();
    }
    CKeyDlg key(QStringLiteral("Иванов И. И."), QStringLiteral("4500004433221101"), &frame);
    shots.Save(key, "dialog-key");
    CModemPortDlg modem(doc.Workspace(), ModemPortEntries(), &frame);
    shots.Save(modem, "dialog-modem-port");
    CImportDlg import(QStringLiteral("/opt/tornu"), op, &frame);
    shots.Save(import, "dialog-import");

    // A real exchange with the simulator, when it is on the line: the choice
    // form, the command parameters, the log in the middle of the exchange and
    // the results (the firmware's input file is missing on purpose).
    runner.onExec = [&](QDialog& dialog) -> int {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            std::printf("tornucfg-shots: %s\n", qPrintable(box->text()));
            return box->standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                      : QMessageBox::Ok;
        }
        if (auto* choice = qobject_cast<CExchangeDlg*>(&dialog)) {
            if (choice->windowTitle() != QStringLiteral("Обмен")) {
                shots.Save(*choice, "dialog-exchange-results");
                return QDialog::Accepted;
            }
            QAbstractItemModel& list = *choice->List()->model();
            for (int row = 0; row < list.rowCount(); ++row) {
                const QString code = list.index(row, 1).data().toString();
                if (code == "1" || code == "39" || code == "60" || code == "61")
                    list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole);
                if (code == "60")
                    choice->EditParams(row);
            }
            shots.Save(*choice, "dialog-exchange");
            return QDialog::Accepted;
        }
        if (auto* params = qobject_cast<CCommandParamsDlg*>(&dialog)) {
            params->findChild<QLineEdit*>(QStringLiteral("input"))
                ->setText(QStringLiteral("/nonexistent/firmware.bin"));
            shots.Save(*params, "dialog-command-params");
            return QDialog::Accepted;
        }
        if (auto* window = qobject_cast<CExchangeLogDlg*>(&dialog)) {
            // The window goes once it has finished: watched through a guard.
            QPointer<CExchangeLogDlg> log(window);
            log->resize(640, 380);
            log->show();
            QElapsedTimer waited;
            waited.start();
            bool shot = false;
            while (log && log->isVisible() && waited.elapsed() < 120000) {
                if (!shot && log->Lines().size() >= 6) {
                    shots.SaveAsIs(*log, "dialog-exchange-log");
                    shot = true;
                }
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            }
            if (log && log->isVisible())
                log->done(static_cast<int>(ExchangeLogEnd::Closed));
            return static_cast<int>(ExchangeLogEnd::Closed);
        }
        return QDialog::Rejected;
    };
    const QString port = QString::fromStdString([&] {
        std::string value;
        doc.Workspace().Settings().GetValue("Modem", "ComPort", value);
        return value;
    }());
    if (QFileInfo::exists(port)) {
        tree.SelectNode(terminal);
        CShots::Settle();
        doc.Exchanges().RunCommands(*terminal);
        // The results follow the log window's end.
        while (doc.Exchanges().AnyRunning())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        runner.onExec = nullptr;
        // Values changed here that the terminal holds otherwise: the history
        // and the comparison have something to show.
        doc.Editor().EditParam(*partition, "DLYIN", "45");
        doc.Editor().EditParam(*partition, "AUTOARM", "Нет");
        doc.Editor().SetKey(*partition, 1, "CD00000DC2B1A001", std::string("Петров П. П."));
        CHistoryDlg history(CHistoryViewModel::ForNode(doc.Workspace().Database(), partition), op,
                            &frame);
        history.show();
        shots.SaveAsIs(history, "window-history");
        auto comparison = std::make_shared<CNodeComparison>(doc.Workspace(), 12, 1);
        if (CResult started = comparison->Start(doc.Exchanges()); started) {
            std::vector<ExchangeLogLine> lines;
            while (!comparison->Monitor().Poll(lines))
                comparison->Monitor().Wait(50);
            CCompareDlg compare(comparison, doc, op, &frame);
            compare.show();
            shots.SaveAsIs(compare, "window-compare");
        } else {
            std::fprintf(stderr, "tornucfg-shots: %s\n", started.Error().c_str());
        }
    } else {
        std::fprintf(stderr, "tornucfg-shots: no simulator on %s: no exchange pictures\n",
                     qPrintable(port));
    }
    runner.onExec = nullptr;

    ShootBatch(doc, frame, op, shots);

    shots.Save(*frame.AboutBox(), "dialog-about");
    // Messages as the operator interface shows them: a refusal, news, a question.
    const char* message = nullptr;
    runner.onExec = [&](QDialog& dialog) {
        // The file dialog at the size the program gives it.
        if (qobject_cast<QFileDialog*>(&dialog)) {
            dialog.show();
            shots.SaveAsIs(dialog, message);
        } else {
            shots.Save(dialog, message);
        }
        dialog.hide();
        return int(QDialog::Rejected);
    };
    message = "message-add-terminal";
    op.Message("Ошибка добавления базового модуля.\r\nВозможно устройство с таким номером уже "
               "существует");
    message = "message-import";
    op.Inform("Импортированы данные по 3 устройствам");
    message = "message-question";
    op.Ask("Обмен завершен. Закрыть окно лога?");
    message = "dialog-file-open";
    op.ChooseFile(FileDialogKind::Open, QDir::currentPath());
    runner.onExec = nullptr;

    // Changes not yet written to the terminal: the marked tree, the bold
    // parameter and phone entry, the tree narrowed to them, the question
    // before a read replaces one.
    partition = doc.FindNode(12, 1);
    doc.Editor().EditParam(*partition, "DLYIN", "15");
    doc.Editor().SetPhoneNumber(*partition, 1, "+79001112233");
    tree.SelectNode(partition);
    if (const QModelIndex row = frame.DeviceOptions().Grid().Row(0); row.isValid())
        frame.DeviceOptions().Grid().Rows()->setCurrentIndex(row);
    shots.SaveAsIs(frame, "main-pending");
    if (auto* pendingOnly = tree.findChild<QToolButton*>(QStringLiteral("pendingOnly"))) {
        pendingOnly->setChecked(true);
        shots.SaveAsIs(frame, "main-pending-only");
        pendingOnly->setChecked(false);
    }
    if (std::optional<PhoneBookModel> book = doc.Editor().PhoneBook(*partition); book && book->hasLayout) {
        CPhoneBookDlg phoneBook(doc.Tree(), doc.Editor(), *partition, *book, op, &frame);
        shots.Save(phoneBook, "dialog-phone-book-pending");
        phoneBook.hide();
    }
    // "Записать изменения": the exchange dialog with the writes ticked.
    runner.onExec = [&](QDialog& dialog) {
        if (qobject_cast<CExchangeDlg*>(&dialog))
            shots.Save(dialog, "dialog-exchange-pending");
        dialog.hide();
        return int(QDialog::Rejected);
    };
    doc.Exchanges().WritePendingChanges(*partition);
    runner.onExec = [&](QDialog& dialog) {
        shots.Save(dialog, "message-replace-pending");
        dialog.hide();
        return int(QMessageBox::No);
    };
    op.AskReplace(std::string("[0012] БМ-4 [01] Офис\r\nПараметр DLYIN: в программе 15, прочитано 20\r\n") +
                  kReplacePendingQuestion);
    runner.onExec = nullptr;

    // The context menu of a text field: Qt's own.
    QLineEdit field(QStringLiteral("Офис"), &frame);
    std::unique_ptr<QMenu> edit(field.createStandardContextMenu());
    shots.Save(*edit, "menu-text-field");
    return 0;
}
