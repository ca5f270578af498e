#include "ui/MainFrame.h"

#include "db/Terminal.h"
#include "doc/PendingNodes.h"
#include "doc/TornuCfgDoc.h"
#include "ui/BatchDlg.h"
#include "protocol/ConfigText.h"
#include "ui/CompareDlg.h"
#include "ui/DataFiles.h"
#include "ui/DeviceOptionsView.h"
#include "ui/HistoryDlg.h"
#include "ui/Icons.h"
#include "ui/ModalRunner.h"
#include "ui/ModemPortDlg.h"
#include "ui/QtOperator.h"
#include "ui/TerminalOptionsView.h"
#include "ui/TerminalView.h"
#include "ui/UiText.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace tornu::ui {

namespace {

constexpr const char* kInterfaceSection = "Interface";
constexpr const char* kWindowSizeKey = "WindowSize";
constexpr const char* kHelpFileName = "tornucfg.chm";
const QString kReady = QStringLiteral("Готово");

} // namespace

CMainFrame::CMainFrame(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent)
    : QMainWindow(parent), doc_(doc), operator_(op), splitter_(new QSplitter(this)),
      tree_(new CTerminalView(doc, op, splitter_)), pane_(new QStackedWidget(splitter_)),
      emptyView_(new QWidget(pane_)), terminalOptions_(new CTerminalOptionsView(doc, op, pane_)),
      deviceOptions_(new CDeviceOptionsView(doc, op, pane_)) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ProgramIcon());
    emptyView_->setObjectName(QStringLiteral("emptyView"));
    pane_->addWidget(emptyView_);
    pane_->addWidget(terminalOptions_);
    pane_->addWidget(deviceOptions_);
    splitter_->addWidget(tree_);
    splitter_->addWidget(pane_);
    splitter_->setChildrenCollapsible(false);
    splitter_->setStretchFactor(1, 1);
    tree_->setMinimumWidth(kTreeMinimumWidth);
    setCentralWidget(splitter_);
    BuildMenus();
    // A menu's hover clears the message pane; idle, it reads "Готово".
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->showMessage(kReady);
    });
    statusBar()->showMessage(kReady);
    resize(1000, 700);
    operator_.SetWindow(this);
    doc_.Tree().AddObserver(*this);
}

CMainFrame::~CMainFrame() {
    doc_.Tree().RemoveObserver(*this);
    operator_.SetWindow(nullptr);
}

bool CMainFrame::Start() {
    RestoreWindowSize();
    SetTitle();
    return doc_.OnNewDocument();
}

QAction* CMainFrame::AddCommand(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void CMainFrame::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    connect(AddCommand(file, "import", "Импорт данных ПЦН..."), &QAction::triggered, this,
            [this] { doc_.Editor().OnImport(); });
    file->addSeparator();
    QAction* exit = AddCommand(file, "exit", "&Выход");
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* control = menuBar()->addMenu(QStringLiteral("&Управление"));
    runCommands_ = AddCommand(control, "runCommands", "Выполнение команд...");
    connect(runCommands_, &QAction::triggered, this, [this] {
        if (CTreeNode* node = doc_.Tree().Selected())
            doc_.Exchanges().RunCommands(*node);
    });
    writePending_ = AddCommand(control, "writePending", "Записать изменения");
    connect(writePending_, &QAction::triggered, this, [this] {
        if (CTreeNode* node = doc_.Tree().Selected())
            doc_.Exchanges().WritePendingChanges(*node);
    });
    distributeLoops_ = AddCommand(control, "distributeLoops", "Распределение шлейфов");
    connect(distributeLoops_, &QAction::triggered, this, &CMainFrame::DistributeLoops);
    connect(control, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    QMenu* service = menuBar()->addMenu(QStringLiteral("&Сервис"));
    connect(AddCommand(service, "history", "История изменений"), &QAction::triggered, this,
            [this] { CHistoryDlg::Open(doc_, operator_, nullptr, this); });
    nodeHistory_ = AddCommand(service, "nodeHistory", "История изменений выбранного устройства");
    connect(nodeHistory_, &QAction::triggered, this, [this] {
        if (CTreeNode* node = doc_.Tree().Selected())
            CHistoryDlg::Open(doc_, operator_, node, this);
    });
    compare_ = AddCommand(service, "compare", "Сравнить с прибором");
    connect(compare_, &QAction::triggered, this, [this] {
        if (CTreeNode* node = doc_.Tree().Selected())
            CCompareDlg::Run(doc_, operator_, *node, this);
    });
    service->addSeparator();
    connect(AddCommand(service, "batchJob", "Пакетный обмен..."), &QAction::triggered, this, [this] {
        CBatchDlg& window = BatchWindow();
        if (window.NewJob())
            operator_.Runner().Show(window);
    });
    connect(AddCommand(service, "batchWindow", "Задания пакетного обмена"), &QAction::triggered,
            this, [this] { operator_.Runner().Show(BatchWindow()); });
    connect(service, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Настройки"));
    connect(AddCommand(settings, "modem", "Модем..."), &QAction::triggered, this,
            &CMainFrame::ModemPort);
    connect(AddCommand(settings, "changePassword", "Сменить пароль ..."), &QAction::triggered,
            this, [this] { doc_.Workspace().ChangeProgramPassword(); });

    toolBar_ = addToolBar(QStringLiteral("Панель инструментов"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    QMenu* view = menuBar()->addMenu(QStringLiteral("&Вид"));
    QAction* toolBar = AddCommand(view, "showToolBar", "&Панель инструментов");
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    connect(toolBar, &QAction::toggled, toolBar_, &QWidget::setVisible);
    QAction* statusLine = AddCommand(view, "showStatusBar", "&Строка состояния");
    statusLine->setCheckable(true);
    statusLine->setChecked(true);
    connect(statusLine, &QAction::toggled, statusBar(), &QWidget::setVisible);
    QAction* structure = AddCommand(view, "showStructure", "Показывать структуру");
    structure->setCheckable(true);
    structure->setChecked(true);
    connect(structure, &QAction::triggered, this, [this, structure] {
        doc_.Tree().ToggleStructure();
        structure->setChecked(doc_.Tree().ShowStructure());
    });
    // Another operator's changes on a shared database.
    QAction* reload = AddCommand(view, "reload", "Обновить");
    reload->setShortcut(Qt::Key_F5);
    connect(reload, &QAction::triggered, this, [this] { tree_->SelectNode(doc_.Reload()); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Помощь"));
    QAction* about = AddCommand(help, "about", "О программе...");
    about->setIcon(ProgramIcon());
    connect(about, &QAction::triggered, this, &CMainFrame::About);
    QAction* manual = AddCommand(help, "help", "Справка");
    manual->setShortcut(QKeySequence::HelpContents);
    connect(manual, &QAction::triggered, this, &CMainFrame::Help);
    toolBar_->addAction(about);
}

void CMainFrame::UpdateCommands() {
    CTreeNode* node = doc_.Tree().Selected();
    runCommands_->setEnabled(node != nullptr);
    writePending_->setEnabled(node && !PendingWriteCodes(*node).empty());
    distributeLoops_->setEnabled(node && node->Kind() == NodeKind::Terminal);
    nodeHistory_->setEnabled(node != nullptr);
    compare_->setEnabled(node != nullptr);
}

void CMainFrame::DistributeLoops() {
    if (CTreeNode* node = doc_.Tree().Selected())
        doc_.Editor().DistributeLoops(*node);
}

void CMainFrame::ModemPort() {
    CModemPortDlg dialog(doc_.Workspace(), ModemPortEntries(), this);
    operator_.Runner().Exec(dialog);
}

CBatchDlg& CMainFrame::BatchWindow() {
    if (!batch_)
        batch_ = new CBatchDlg(doc_, operator_, [this] {
            BatchTerminalChoice choice{tree_->SelectedTerminals(), tree_->ShownTerminals(), {}};
            for (const auto& terminal : doc_.Workspace().Terminals())
                choice.all.push_back(terminal->Id());
            return choice;
        }, this);
    return *batch_;
}

QWidget* CMainFrame::RightPane() const { return pane_->currentWidget(); }

void CMainFrame::OnPaneChanged(Pane pane) {
    switch (pane) {
    case Pane::Empty:
        pane_->setCurrentWidget(emptyView_);
        break;
    case Pane::TerminalOptions:
        pane_->setCurrentWidget(terminalOptions_);
        break;
    case Pane::DeviceOptions:
        pane_->setCurrentWidget(deviceOptions_);
        break;
    }
}

void CMainFrame::RestoreWindowSize() {
    std::string value;
    if (!doc_.Workspace().Settings().GetValue(kInterfaceSection, kWindowSizeKey, value))
        return;
    const std::vector<std::string> parts = SplitList(value);
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (parts.size() != 2 || !ParseInteger(parts[0], width) || !ParseInteger(parts[1], height) ||
        width <= 0 || height <= 0)
        return;
    resize(width, height);
}

void CMainFrame::SaveWindowSize() {
    // Whatever the window's state; kept the way it is restored (the window
    // manager's frame is not the program's to count).
    const QSize size = this->size();
    const std::string value = std::to_string(size.width()) + "," + std::to_string(size.height());
    // A size that cannot be kept is no reason to keep the window open.
    if (doc_.Workspace().Settings().SetValue(kInterfaceSection, kWindowSizeKey, value))
        static_cast<void>(doc_.Workspace().Settings().Save());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Exchanges still running end with the program: their calls are hung up.
    if (doc_.Exchanges().AnyRunning() && !operator_.Ask(kCancelExchangeQuestion)) {
        event->ignore();
        return;
    }
    if (!sizeSaved_) {
        sizeSaved_ = true;
        SaveWindowSize();
    }
    event->accept();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The tree's ideal width, once the window has its size.
    if (!shown_) {
        shown_ = true;
        splitter_->setSizes({kTreeIdealWidth, std::max(splitter_->width() - kTreeIdealWidth, 1)});
    }
}

void CMainFrame::SetTitle() {
    QString title = QString::fromUtf8(kProgramTitle);
    std::string version;
    if (doc_.Workspace().Settings().GetValue("Main", "ConfigVersion", version) && !version.empty())
        title += QLatin1Char(' ') + Q(version);
    setWindowTitle(title);
}

std::unique_ptr<QMessageBox> CMainFrame::AboutBox() {
    auto box = std::make_unique<QMessageBox>(this);
    box->setWindowTitle(QStringLiteral("О программе ..."));
    // Drawn for the screen's pixel ratio: sharp at any scale.
    box->setIconPixmap(ProgramIcon().pixmap(QSize(64, 64), devicePixelRatioF()));
    box->setText(QStringLiteral("Торну-конфигуратор версия %1").arg(QStringLiteral(TORNU_VERSION)));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

void CMainFrame::About() { operator_.Runner().Exec(*AboutBox()); }

void CMainFrame::Help() {
    const QString chm = QDir(Q(doc_.Workspace().Folder().string())).filePath(QString::fromLatin1(kHelpFileName));
    if (QFileInfo::exists(chm)) {
        operator_.Runner().OpenUrl(QUrl::fromLocalFile(chm));
        return;
    }
    const std::filesystem::path manual = FindDataFile("manual/index.html");
    if (!manual.empty())
        operator_.Runner().OpenUrl(QUrl::fromLocalFile(Q(manual.string())));
}

} // namespace tornu::ui
