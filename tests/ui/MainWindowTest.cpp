// The desktop program driven as an operator would: the real main window,
// document and SQLite database in a fresh folder, headless.
#include "UiTestSupport.h"

#include "settings/Md5Digest.h"
#include "ui/DeviceDlg.h"
#include "ui/DeviceOptionsView.h"
#include "ui/HistoryDlg.h"
#include "ui/HistoryModel.h"
#include "ui/KeyListModel.h"
#include "ui/LoopDlg.h"
#include "ui/LoopListModel.h"
#include "ui/ParamGrid.h"
#include "ui/ParamTreeModel.h"
#include "ui/PasswordDlg.h"
#include "ui/PhoneListModel.h"
#include "ui/QtTranslation.h"
#include "ui/TerminalDlg.h"
#include "ui/TerminalOptionsView.h"
#include "ui/TerminalView.h"
#include "ui/TreeItemModel.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTreeView>

using namespace tornu;
using namespace tornu::test;
using namespace tornu::ui;

namespace {

// Sample catalogue indexes.
constexpr int kBm4 = 0;
constexpr int kBm16 = 1;

// Edits the value cell of the grid's `item` as the operator does: opens its
// editor, lets `enter` type or choose, and confirms.
template <class Editor, class Enter> void EditCell(CParamGrid& grid, int item, Enter enter) {
    QTreeView* rows = grid.Rows();
    const QModelIndex value = grid.Row(item).siblingAtColumn(1);
    rows->edit(value);
    auto* editor = qobject_cast<Editor*>(rows->indexWidget(value));
    QVERIFY(editor);
    enter(*editor);
    QAbstractItemDelegate* delegate = rows->itemDelegateForColumn(1);
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor);
}
void Type(CParamGrid& grid, int item, const QString& text) {
    EditCell<QLineEdit>(grid, item, [&](QLineEdit& field) { field.setText(text); });
}
void Choose(CParamGrid& grid, int item, int index) {
    EditCell<QComboBox>(grid, item, [&](QComboBox& box) { box.setCurrentIndex(index); });
}

void SetText(QWidget& dialog, const char* field, const QString& text) {
    auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(field));
    QVERIFY2(edit, field);
    edit->setText(text);
}

void Choose(QWidget& dialog, const char* box, const QString& text) {
    auto* combo = dialog.findChild<QComboBox*>(QString::fromLatin1(box));
    QVERIFY2(combo, box);
    combo->setCurrentIndex(combo->findText(text));
    QVERIFY2(combo->currentIndex() >= 0, qPrintable(text));
}

QStringList Captions(const QMenu& menu) {
    QStringList captions;
    for (QAction* action : menu.actions())
        captions << (action->isSeparator() ? QStringLiteral("-")
                                           : action->text() + (action->isEnabled() ? "" : " (x)"));
    return captions;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> folder;
    TempDir* dir = nullptr;
    std::unique_ptr<ScriptedRunner> runner;
    std::unique_ptr<CQtOperator> op;
    std::unique_ptr<CTornuCfgDoc> doc;
    std::unique_ptr<CMainFrame> frame;

    bool Start() {
        frame.reset();
        doc.reset();
        doc = std::make_unique<CTornuCfgDoc>(*op, dir->Path());
        frame = std::make_unique<CMainFrame>(*doc, *op);
        return frame->Start();
    }
    CTerminalView& Tree() { return frame->TreePane(); }
    CTreeNode* Node(int id, int address = -1) { return doc->FindNode(id, address); }
    QStringList Outline() {
        QStringList lines;
        doc->Tree().ForEach([&](CTreeNode& node) {
            QString indent;
            for (CTreeNode* up = node.Parent(); up; up = up->Parent())
                indent += "  ";
            lines << indent + QString::fromStdString(std::string(node.Label()));
        });
        return lines;
    }
    // The context menu of a node (null: empty space), as the operator opens it.
    void OpenMenu(CTreeNode* node, const QString& choice = {}) {
        if (!choice.isEmpty())
            runner->menuSteps.push_back(tornu::test::Choose(choice));
        Tree().OpenMenu(node, {});
    }
    // A terminal through "Новое устройство" and its dialog.
    void AddTerminal(int id, int type = kBm4, int loops = -1, const QString& phone = "+79001234567") {
        runner->dialogs.push_back(Answer<CTerminalDlg>([=](CTerminalDlg& dialog) {
            SetText(dialog, "number", QString::number(id));
            auto* types = dialog.findChild<QComboBox*>("type");
            types->setCurrentIndex(type);
            if (loops >= 0)
                dialog.findChild<QComboBox*>("loops")->setCurrentIndex(loops);
            SetText(dialog, "phone", phone);
            SetText(dialog, "password", "1234");
        }));
        OpenMenu(nullptr, "Новое устройство");
    }
    // A partition or subordinate device through its parent's menu.
    void AddDevice(CTreeNode* parent, int address, const QString& type, const QString& name = {},
                   int loops = -1) {
        runner->dialogs.push_back(Answer<CDeviceDlg>([=](CDeviceDlg& dialog) {
            Choose(dialog, "type", type);
            Choose(dialog, "address", QString::number(address));
            if (loops >= 0)
                dialog.findChild<QComboBox*>("loops")->setCurrentIndex(loops);
            SetText(dialog, "name", name);
            SetText(dialog, "password", "1111");
        }));
        OpenMenu(parent, parent->Kind() == NodeKind::Terminal ? "Новый раздел"
                                                              : "Новое подчиненное устройство");
    }
    // Terminal 12 (БМ-4, own module with 4 loops), partition 1 of 8 loops
    // with an expander of 4 loops, loops distributed.
    void Sample() {
        AddTerminal(12);
        AddDevice(Node(12), 1, "Раздел-8", "Офис");
        AddDevice(Node(12, 1), 5, "Расширитель ШС-4");
        Tree().SelectNode(Node(12));
        FrameAction(*frame, "distributeLoops")->trigger();
    }

private slots:
    void init() {
        folder = std::make_unique<ProgramFolder>();
        dir = &folder->dir;
        runner = std::make_unique<ScriptedRunner>();
        op = std::make_unique<CQtOperator>(*runner);
    }
    void cleanup() {
        if (frame)
            QVERIFY2(runner->dialogs.empty(), "the script has unused dialog steps");
        frame.reset();
        doc.reset();
        op.reset();
        runner.reset();
        folder.reset();
    }

    void startUpAndShutDown() {
        QVERIFY(Start());
        frame->UpdateCommands();
        QVERIFY(!FrameAction(*frame, "runCommands")->isEnabled());
        frame->show();

        // About box with the version, help without a help file: the manual.
        FrameAction(*frame, "about")->trigger();
        QVERIFY(runner->messages.last().startsWith("Торну-конфигуратор версия 3."));
        FrameAction(*frame, "help")->trigger();
        QCOMPARE(runner->opened.size(), 1);
        QVERIFY(runner->opened.last().toLocalFile().endsWith("manual/index.html"));
        WriteBytes(*dir / "tornucfg.chm", "chm");
        FrameAction(*frame, "help")->trigger();
        QCOMPARE(runner->opened.last().toLocalFile(),
                 QString::fromStdString(*dir / "tornucfg.chm"));

        frame->resize(800, 600);
        frame->close();
        QCOMPARE(Setting("Interface", "WindowSize"), std::string("800,600"));
        // Values that are not two positive numbers leave the default size.
        for (const char* bad : {"800,600,1", "0,600"}) {
            SetSetting("Interface", "WindowSize", bad);
            QVERIFY(Start());
            QVERIFY2(frame->size() != QSize(800, 600), bad);
        }
    }

    // In a Russian locale Qt's own texts are Russian too; a question carries
    // its icon, a refusal the warning.
    void qtTextsAndMessageIcons() {
        QVERIFY(LoadQtTranslation(*QCoreApplication::instance(), QLocale(QLocale::Russian)));
        QVERIFY(Start());
        CPasswordDlg dialog(PasswordMode::Login, *op, frame.get());
        QCOMPARE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(),
                 QStringLiteral("Отмена"));
        QLineEdit field;
        std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QVERIFY(Captions(*menu).join(' ').remove('&').contains("Копировать"));
        dialog.accept(); // the empty password refused
        runner->answers.push_back(true);
        QVERIFY(op->Ask("Удалить?"));
        QCOMPARE(runner->icons, (QList{QMessageBox::Warning, QMessageBox::Question}));
        for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

    // Every outcome is the document's (LoginTest); here the dialog and its messages.
    void login() {
        SetSetting("Main", "Password", CMd5Digest("secret").Hex());
        // Typed in turn; none typed: cancelled.
        for (const QStringList& typed : {QStringList{"", "secret"}, QStringList{}}) {
            runner->dialogs.push_back([typed](QDialog& dialog) {
                if (dialog.windowTitle() != QStringLiteral("Вход в программу") || typed.isEmpty())
                    return int(QDialog::Rejected);
                for (const QString& text : typed) {
                    dialog.findChild<QLineEdit*>("password")->setText(text);
                    dialog.accept();
                }
                return dialog.result();
            });
            QCOMPARE(Start(), typed.contains("secret"));
        }
        QCOMPARE(runner->messages, QStringList{"Пароль не может быть пустым"});
    }

    void changePassword() {
        QVERIFY(Start());
        runner->dialogs.push_back(Answer<CPasswordDlg>([](CPasswordDlg& dialog) {
            dialog.findChild<QLineEdit*>("password")->setText("neu");
        }));
        FrameAction(*frame, "changePassword")->trigger();
        QCOMPARE(Setting("Main", "Password"), CMd5Digest("neu").Hex());
        // An empty new password removes the login.
        runner->dialogs.push_back(Answer<CPasswordDlg>([](CPasswordDlg&) {}));
        FrameAction(*frame, "changePassword")->trigger();
        QCOMPARE(Setting("Main", "Password"), std::string());
        QVERIFY(runner->messages.isEmpty());
    }

    void terminalDialog() {
        QVERIFY(Start());
        // The checks keep the dialog open; the loop list follows the type.
        runner->dialogs.push_back(Answer<CTerminalDlg>([this](CTerminalDlg& dialog) {
            auto* loops = dialog.findChild<QComboBox*>("loops");
            QCOMPARE(loops->count(), 5); // БМ-4: "Нет шлейфов", 1 to 4
            QCOMPARE(loops->currentText(), QStringLiteral("4"));
            Choose(dialog, "type", "БМ-16");
            QCOMPARE(loops->count(), 1);
            QVERIFY(!loops->isEnabled());
            dialog.accept();
            QCOMPARE(runner->messages.last(), QStringLiteral("Введите номер устройства"));
            SetText(dialog, "number", "7");
            SetText(dialog, "phone", "+7900");
        }));
        OpenMenu(nullptr, "Новое устройство");
        AddTerminal(12, kBm4, 2);
        QCOMPARE(Outline(), QStringList({"[0007] БМ-16", "[0012] БМ-4", "  [00] "}));
        QCOMPARE(Rows(*doc, "SELECT phone FROM terminal UNION ALL SELECT sensor_cnt FROM device ORDER BY 1"),
                 (std::vector<std::vector<std::string>>{{"2"}, {"+7900"}, {"+79001234567"}}));

        // Edit: the number fixed; the change reaches the row and the view.
        runner->dialogs.push_back(Answer<CTerminalDlg>([](CTerminalDlg& dialog) {
            QVERIFY(!dialog.findChild<QLineEdit*>("number")->isEnabled());
            // The fields above "Параметры" stand in line with those inside it.
            dialog.show();
            const auto edges = [&](const char* name) {
                auto* field = dialog.findChild<QWidget*>(QString::fromLatin1(name));
                return std::pair(field->mapTo(&dialog, QPoint(0, 0)).x(),
                                 field->mapTo(&dialog, QPoint(field->width(), 0)).x());
            };
            QCOMPARE(edges("number"), edges("phone"));
            QCOMPARE(edges("loops"), edges("newPassword"));
            SetText(dialog, "phone", "+79990000000");
            SetText(dialog, "newPassword", "4321");
        }));
        Tree().SelectNode(Node(12));
        OpenMenu(Node(12), "Редактировать");
        QCOMPARE(Rows(*doc, "SELECT phone FROM terminal WHERE id=12"),
                 (std::vector<std::vector<std::string>>{{"+79990000000"}}));
        QCOMPARE(frame->TerminalOptions().findChild<QLineEdit*>("phone")->text(),
                 QStringLiteral("+79990000000"));
    }

    void deviceDialog() {
        QVERIFY(Start());
        AddTerminal(12);
        runner->dialogs.push_back(Answer<CDeviceDlg>([this](CDeviceDlg& dialog) {
            // Partitions only; OK refuses without an address.
            QCOMPARE(dialog.findChild<QComboBox*>("type")->count(), 3);
            dialog.findChild<QComboBox*>("address")->setCurrentIndex(-1);
            dialog.accept();
            QCOMPARE(runner->messages.last(), QStringLiteral("Выберите адрес устройства"));
            Choose(dialog, "address", "3");
            SetText(dialog, "name", "Склад");
        }));
        OpenMenu(Node(12), "Новый раздел");
        QCOMPARE(Outline(), QStringList({"[0012] БМ-4", "  [00] ", "  [03] Склад"}));

        // A subordinate device: no name, no passwords; its master opens.
        runner->dialogs.push_back(Answer<CDeviceDlg>([](CDeviceDlg& dialog) {
            QVERIFY(dialog.findChild<QLineEdit*>("name")->isHidden());
            QVERIFY(dialog.findChild<QLineEdit*>("password")->isHidden());
            Choose(dialog, "type", "Клавиатура КЛ-2");
            Choose(dialog, "address", "9");
        }));
        OpenMenu(Node(12, 3), "Новое подчиненное устройство");
        QCOMPARE(Outline().last(), QStringLiteral("    [09] "));

        // Edit: type and address fixed, the name changed and relabelled.
        runner->dialogs.push_back(Answer<CDeviceDlg>([](CDeviceDlg& dialog) {
            QVERIFY(!dialog.findChild<QComboBox*>("type")->isEnabled());
            SetText(dialog, "name", "Архив");
        }));
        OpenMenu(Node(12, 3), "Редактировать");
        QCOMPARE(Outline()[2], QStringLiteral("  [03] Архив"));
    }

    void contextMenus() {
        QVERIFY(Start());
        Sample();
        const auto menuOf = [this](CTreeNode* node) {
            std::unique_ptr<QMenu> menu = Tree().MenuFor(node);
            return menu ? menu->objectName() + ": " + Captions(*menu).join(", ") : QString();
        };
        QCOMPARE(menuOf(nullptr), QStringLiteral("TermNew: Новое устройство"));
        QVERIFY(menuOf(Node(12, 1)).endsWith(", Удалить"));
        QVERIFY(menuOf(Node(12, 0)).endsWith("Удалить (x)")); // the terminal's own module
        QCOMPARE(menuOf(Node(12, 5)),
                 QStringLiteral("SlvDevEdit: Выполнить команду ..., Сравнить с прибором, "
                                "История изменений, -, Удалить"));

        // The menu key opens the current item's menu.
        Tree().SelectNode(Node(12, 1));
        QContextMenuEvent byKey(QContextMenuEvent::Keyboard, {}, {});
        QApplication::sendEvent(Tree().Tree()->viewport(), &byKey);
        QCOMPARE(runner->menus.last(), QStringLiteral("DevEdit"));

        // A right click makes the item the menu's without moving the selection.
        OpenMenu(Node(12, 5));
        QCOMPARE(Tree().Current(), Node(12, 5));
        QCOMPARE(doc->Tree().Selected(), Node(12, 1));
        QCOMPARE(frame->DeviceOptions().Shown(), Node(12, 1));
        frame->UpdateCommands();
        QVERIFY(FrameAction(*frame, "runCommands")->isEnabled());
        QVERIFY(!FrameAction(*frame, "distributeLoops")->isEnabled());

        // "Обновить" builds the tree anew and selects the same item again.
        Tree().SelectNode(Node(12, 1));
        FrameAction(*frame, "reload")->trigger();
        QCOMPARE(doc->Tree().Selected(), Node(12, 1));
        QCOMPARE(frame->DeviceOptions().Shown(), Node(12, 1));

        // Without the structure: no menu on empty space, "Удалить" greyed.
        FrameAction(*frame, "showStructure")->trigger();
        QVERIFY(!FrameAction(*frame, "showStructure")->isChecked());
        QCOMPARE(menuOf(nullptr), QString());
        QVERIFY(menuOf(doc->Tree().Model().Roots()[0].get()).endsWith("Удалить (x)"));
        frame->UpdateCommands();
        QVERIFY(!FrameAction(*frame, "runCommands")->isEnabled());
    }

    void deleteStructureAndKeys() {
        QVERIFY(Start());
        QAbstractItemModelTester tester(&Tree().Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        Sample();
        AddTerminal(3);
        // The structure off: devices by name; a double click edits one.
        FrameAction(*frame, "showStructure")->trigger();
        // A double click edits the device; a new name moves it.
        runner->dialogs.push_back(Answer<CDeviceDlg>([](CDeviceDlg& dialog) {
            SetText(dialog, "name", "Амбар");
        }));
        QTreeView* tree = Tree().Tree();
        emit tree->doubleClicked(tree->model()->index(3, 0));
        QCOMPARE(Outline().front(), QStringLiteral("Амбар"));
        FrameAction(*frame, "showStructure")->trigger();
        QCOMPARE(Outline().size(), 6);

        // Del on the expander, F2 on the terminal, Del on the own module does nothing.
        Tree().SelectNode(Node(12, 5));
        QCOMPARE(frame->RightPane(), &frame->DeviceOptions());
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(Outline().size(), 5);
        // The views let go of it; the selection may move on to a neighbour.
        QCoreApplication::processEvents();
        bool shownLives = !frame->DeviceOptions().Shown();
        doc->Tree().ForEach([&](CTreeNode& node) {
            shownLives = shownLives || &node == frame->DeviceOptions().Shown();
        });
        QVERIFY(shownLives);
        runner->dialogs.push_back(Answer<CTerminalDlg>([](CTerminalDlg&) {}));
        Tree().SelectNode(Node(3));
        QTest::keyClick(tree, Qt::Key_F2);
        QCOMPARE(runner->titles.last(), QStringLiteral("Базовый модуль"));

        // Deleting terminals: the last one leaves the empty view.
        OpenMenu(Node(3), "Удалить");
        Tree().SelectNode(Node(12));
        OpenMenu(Node(12), "Удалить");
        QVERIFY(doc->Tree().Model().Empty());
        QCOMPARE(frame->RightPane(), frame->EmptyView());
    }

    void filter() {
        QVERIFY(Start());
        AddTerminal(12, kBm4, -1, "+79001112233");
        AddTerminal(40, kBm4, -1, "+79005556677");
        AddDevice(Node(40), 1, "Раздел-8", "Склад Север");
        QAbstractItemModel* shown = Tree().Tree()->model();
        const auto roots = [shown] {
            QStringList labels;
            for (int row = 0; row < shown->rowCount(); ++row)
                labels << shown->index(row, 0).data().toString();
            return labels;
        };
        for (const auto& [text, expected] :
             std::vector<std::pair<QString, QStringList>>{{"север", {"[0040] БМ-4"}},
                                                          {"1122", {"[0012] БМ-4"}},
                                                          {"4", {"[0040] БМ-4"}},
                                                          {"", {"[0012] БМ-4", "[0040] БМ-4"}}}) {
            Tree().Filter()->setText(text);
            QCOMPARE(roots(), expected);
        }
        Tree().Filter()->setText("Север");
        QCOMPARE(shown->rowCount(shown->index(0, 0)), 2); // the whole terminal
    }

    void deviceViewAndLoopDialog() {
        QVERIFY(Start());
        Sample();
        // Chosen at start (--select 12/1): selected and opened.
        Tree().Tree()->collapseAll();
        Tree().Reveal(*Node(12, 1));
        QCOMPARE(doc->Tree().Selected(), Node(12, 1));
        QVERIFY(Tree().Tree()->isExpanded(Tree().Tree()->currentIndex()));
        CDeviceOptionsView& view = frame->DeviceOptions();
        QCOMPARE(frame->RightPane(), &view);
        QCOMPARE(view.StateLabel(0)->text(), QStringLiteral("Снят с охраны"));
        QTableView* loops = view.Loops();
        QAbstractItemModelTester tester(&view.LoopModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModel& rows = *loops->model();
        QCOMPARE(rows.rowCount(), 12); // its own 8, then the expander's 4

        // "Шлейф": fire excludes automatic arming; only what changed is written.
        runner->dialogs.push_back(Answer<CLoopDlg>([](CLoopDlg& dialog) {
            QVERIFY(!dialog.findChild<QComboBox*>("number")->isEnabled());
            dialog.Box(0)->setChecked(true);
            QVERIFY(!dialog.Box(2)->isEnabled());
            dialog.Box(3)->setChecked(true);
            SetText(dialog, "comment", "Окно");
        }));
        emit loops->doubleClicked(rows.index(0, 0));
        QCOMPARE(rows.index(0, CLoopListModel::kCommentColumn).data(), QVariant(QStringLiteral("Окно")));
        QCOMPARE(Rows(*doc, "SELECT name FROM sensor WHERE device_id=1 AND type<>0"),
                 (std::vector<std::vector<std::string>>{{"Окно"}}));

        // An expander's loop is edited in its master's list; a change made
        // elsewhere shows at once; the type alone keeps the comment.
        const QModelIndex expander = rows.index(8, CLoopListModel::kCommentColumn);
        QVERIFY(rows.setData(expander, QStringLiteral("Дверь")));
        QCOMPARE(Rows(*doc, "SELECT device_id FROM sensor WHERE name='Дверь'"),
                 (std::vector<std::vector<std::string>>{{"5"}}));
        const int loop = expander.data(CLoopListModel::kLoopRole).toInt();
        QVERIFY(doc->Editor().EditLoop(*Node(12, 1), loop, {LoopTypeBoxes(1), "Тамбур"}));
        QCOMPARE(expander.data(), QVariant(QStringLiteral("Тамбур")));
        QVERIFY(rows.setData(expander, 0, CLoopListModel::kTypeRole));
        QCOMPARE(expander.data(CLoopListModel::kTypeRole), QVariant(0));
        QCOMPARE(expander.data(), QVariant(QStringLiteral("Тамбур")));
        QVERIFY(!rows.setData(rows.index(0, 0), QStringLiteral("9")));

        // A subordinate device shows its header and its grid only.
        Tree().SelectNode(Node(12, 5));
        QVERIFY(!loops->isVisibleTo(&view));
    }

    // Every list of a device lets it go when it is deleted or the tree is
    // built anew: no rows, and an edit goes nowhere.
    void listsLetTheirDeviceGo() {
        for (const bool reset : {false, true}) {
            QVERIFY(Start());
            Sample();
            CTreeNode& device = *Node(12, 1);
            CConfigTree& tree = doc->Tree();
            CConfigEditor& editor = doc->Editor();
            CPhoneListModel phones(tree, editor, device, *editor.PhoneBook(device));
            CKeyListModel keys(tree, editor, device);
            CLoopListModel loops(tree, editor);
            loops.Show(&device);
            CParamTreeModel params(tree, editor, frame->DeviceOptions());
            params.Show(&device, *editor.ParamGrid(device));
            std::vector<QAbstractItemModel*> models{&phones, &keys, &loops, &params};
            std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
            for (QAbstractItemModel* model : models) {
                QVERIFY(model->rowCount() > 0);
                testers.push_back(std::make_unique<QAbstractItemModelTester>(
                    model, QAbstractItemModelTester::FailureReportingMode::QtTest));
            }
            const QModelIndex comment = loops.index(0, CLoopListModel::kCommentColumn);
            if (reset)
                doc->Reload();
            else
                QVERIFY(editor.DeleteNode(device));
            for (QAbstractItemModel* model : models)
                QCOMPARE(model->rowCount(), 0);
            QVERIFY(!loops.setData(comment, QStringLiteral("Окно")));
        }
    }

    void parameterGrid() {
        QVERIFY(Start());
        Sample();
        Tree().SelectNode(Node(12, 1));
        CParamGrid& grid = frame->DeviceOptions().Grid();
        QAbstractItemModelTester tester(&grid.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto value = [&](int item) { return grid.Row(item).siblingAtColumn(1).data().toString(); };
        // Раздел-8: DLYIN, DLYOUT, SIRTIME, SIRMODE, AUTOARM, CHIME, OBJNAME, FWVER.
        QCOMPARE(grid.Row(0).parent(), grid.Row(10001));
        QCOMPARE(value(2), QStringLiteral("3")); // 180 s shown in minutes
        grid.Rows()->setCurrentIndex(grid.Row(0));
        QVERIFY(grid.Comment()->text().startsWith("Время от нарушения"));

        // One edit of each cell kind, through its editor; a refused one shows
        // its value again (the refusals' texts are ViewModelTest's). A
        // drop-down's first item is a choice like any other.
        Type(grid, 2, QStringLiteral("5"));
        Type(grid, 0, QStringLiteral("abc"));
        QCOMPARE(value(0), QStringLiteral("30"));
        const auto values = [&] {
            return Rows(*doc, "SELECT param_value FROM device_param WHERE term_id=12 AND "
                              "device_id=1 AND name IN ('SIRTIME','DLYIN','SIRMODE','AUTOARM') "
                              "ORDER BY name");
        };
        using Values = std::vector<std::vector<std::string>>;
        Choose(grid, 3, 2); // "Отключена"
        Choose(grid, 4, 1); // "Нет"
        QCOMPARE(values(), (Values{{"0"}, {"30"}, {"2"}, {"300"}}));
        Choose(grid, 3, 0); // "Непрерывный"
        Choose(grid, 4, 0); // "Да"
        QCOMPARE(values(), (Values{{"1"}, {"30"}, {"0"}, {"300"}}));
        QCOMPARE(value(4), QStringLiteral("Да"));
        // A change made elsewhere shows at once; a label is not a value.
        QCOMPARE(doc->Editor().EditParam(*Node(12, 1), "SIRTIME", "7").outcome, EditOutcome::Stored);
        QCOMPARE(value(2), QStringLiteral("7"));
        QVERIFY(!grid.Model().setData(grid.Row(2), QStringLiteral("8")));

        // A stored text without a display form is shown as stored, marked.
        QVERIFY(doc->Workspace().Database().Execute("UPDATE device_param SET param_value='x1' WHERE "
                                        "term_id=12 AND device_id=1 AND name='SIRTIME'"));
        QVERIFY(Start());
        Tree().SelectNode(Node(12, 1));
        const QModelIndex sirtime = frame->DeviceOptions().Grid().Row(2).siblingAtColumn(1);
        QCOMPARE(sirtime.data().toString(), QStringLiteral("x1"));
        QVERIFY(sirtime.data(Qt::FontRole).value<QFont>().italic());
    }

    void historyWindow() {
        QVERIFY(Start());
        Sample();
        QCOMPARE(doc->Editor().EditParam(*Node(12, 1), "DLYIN", "45").outcome, EditOutcome::Stored);
        int deviceRows = 0;
        runner->dialogs.push_back(Answer<CHistoryDlg>([&](CHistoryDlg& dialog) {
            QAbstractItemModelTester tester(&dialog.Model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("История изменений: устройство 12/1"));
            deviceRows = dialog.Model().rowCount();
            QVERIFY(deviceRows >= 1);
            // The newest first: the parameter just changed.
            const auto cell = [&](int column) { return dialog.Model().index(0, column).data().toString(); };
            QCOMPARE(cell(CHistoryViewModel::kWhatColumn), QStringLiteral("Параметр DLYIN"));
            QCOMPARE(cell(CHistoryViewModel::kOldColumn), QStringLiteral("30"));
            QCOMPARE(cell(CHistoryViewModel::kNewColumn), QStringLiteral("45"));
            QCOMPARE(cell(CHistoryViewModel::kSourceColumn), QStringLiteral("изменение оператором"));
            dialog.TextEdit()->setText(QStringLiteral("dlyin"));
            dialog.ApplyFilters();
            QCOMPARE(dialog.Model().rowCount(), 1);
            dialog.SourceBox()->setCurrentText(QStringLiteral("ответ прибора"));
            QCOMPARE(dialog.Model().rowCount(), 0);
            QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("exportCsv"))->isEnabled());
        }));
        OpenMenu(Node(12, 1), QStringLiteral("История изменений"));
        runner->dialogs.push_back(Answer<CHistoryDlg>([&](CHistoryDlg& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("История изменений"));
            QVERIFY(dialog.Model().rowCount() > deviceRows);
        }));
        QAction* everything = FrameAction(*frame, "history");
        QVERIFY(everything);
        everything->trigger();
        QVERIFY(runner->dialogs.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
