#include "ui/TerminalView.h"

#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/PendingNodes.h"
#include "doc/TornuCfgDoc.h"
#include "ui/CompareDlg.h"
#include "ui/DeviceDlg.h"
#include "ui/Icons.h"
#include "ui/HistoryDlg.h"
#include "ui/ModalRunner.h"
#include "ui/PhoneBookDlg.h"
#include "ui/QtOperator.h"
#include "ui/TerminalDlg.h"
#include "ui/TreeFilterModel.h"
#include "ui/TreeItemModel.h"
#include "ui/UiText.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTreeView>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace tornu::ui {

namespace {

// The tree control: its keys and context menu requests go to the pane.
class CTreeControl : public QTreeView {
public:
    std::function<void(QContextMenuEvent&)> onMenu;
    std::function<bool(int)> onKey;

    using QTreeView::QTreeView;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override { onMenu(*event); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier)
            if (onKey(event->key()))
                return;
        QTreeView::keyPressEvent(event);
    }
};

// A menu entry bound to its handler.
template <class Handler>
QAction* AddCommand(QMenu& menu, const char* caption, Handler handler, bool enabled = true) {
    QAction* action = menu.addAction(QString::fromUtf8(caption));
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, &menu, handler);
    return action;
}

} // namespace

CTerminalView::CTerminalView(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent)
    : QWidget(parent), doc_(doc), operator_(op), model_(new CTreeItemModel(doc.Tree(), this)),
      proxy_(new CTreeFilterModel(this)), filter_(new QLineEdit(this)) {
    auto* tree = new CTreeControl(this);
    tree_ = tree;
    tree_->setObjectName(QStringLiteral("tree"));
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setPlaceholderText(QStringLiteral("Поиск: номер, телефон или название"));
    filter_->setClearButtonEnabled(true);
    proxy_->setSourceModel(model_);
    tree_->setModel(proxy_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    // Several items for a fleet job; every other command acts on the current one.
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);

    tree->onMenu = [this, tree](QContextMenuEvent& event) {
        // From the keyboard the menu belongs to the current item, beside it.
        const bool byKey = event.reason() == QContextMenuEvent::Keyboard;
        const QModelIndex index = byKey ? tree->currentIndex() : tree->indexAt(event.pos());
        QPoint at = event.globalPos();
        if (byKey && index.isValid())
            at = tree->viewport()->mapToGlobal(tree->visualRect(index).bottomLeft());
        OpenMenu(NodeAt(index), at);
    };
    tree->onKey = [this](int key) {
        switch (key) {
        case Qt::Key_Delete:
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OnKey(key);
            return true;
        default:
            return false;
        }
    };
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTerminalView::OnTreeSelectionChanged);
    connect(tree_, &QTreeView::doubleClicked, this, &CTerminalView::OnDoubleClicked);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->SetText(text.trimmed());
        if (!text.trimmed().isEmpty())
            tree_->expandAll();
    });
    connect(proxy_, &QAbstractItemModel::modelReset, this, [this] { ExpandAfterChange(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    // Beside the filter box: only the items with unwritten changes.
    auto* pendingOnly = new QToolButton(this);
    pendingOnly->setObjectName(QStringLiteral("pendingOnly"));
    pendingOnly->setCheckable(true);
    pendingOnly->setAutoRaise(true);
    pendingOnly->setIcon(PendingIcon());
    pendingOnly->setToolTip(QStringLiteral("Только с незаписанными изменениями"));
    connect(pendingOnly, &QToolButton::toggled, this, [this](bool on) {
        proxy_->SetPendingOnly(on);
        if (on)
            tree_->expandAll();
    });
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(2);
    filterRow->addWidget(filter_);
    filterRow->addWidget(pendingOnly);
    layout->addLayout(filterRow);
    layout->addWidget(tree_);
    setMinimumWidth(50);
    doc_.Tree().AddObserver(*this);
}

CTerminalView::~CTerminalView() { doc_.Tree().RemoveObserver(*this); }

void CTerminalView::OnSelectionChanged(CTreeNode* node) {
    // The document chose the item (a reload): the tree shows it current.
    if (!node || NodeAt(tree_->currentIndex()) == node)
        return;
    const QModelIndex index = ProxyIndexOf(node);
    // One of several selected stays with the others.
    if (index.isValid() && tree_->selectionModel()->isSelected(index))
        tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    else if (index.isValid())
        tree_->setCurrentIndex(index);
}

void CTerminalView::OnTreeResetting() { current_ = nullptr; }

void CTerminalView::OnItemRemoving(CTreeNode& node) {
    for (CTreeNode* item = current_; item; item = item->Parent())
        if (item == &node)
            current_ = nullptr;
}

CTreeNode* CTerminalView::NodeAt(const QModelIndex& proxyIndex) const {
    return CTreeItemModel::Node(proxy_->mapToSource(proxyIndex));
}

QModelIndex CTerminalView::ProxyIndexOf(CTreeNode* node) const {
    return proxy_->mapFromSource(model_->IndexOf(node));
}

void CTerminalView::SelectNode(CTreeNode* node) {
    const QModelIndex index = ProxyIndexOf(node);
    if (index.isValid())
        tree_->setCurrentIndex(index);
    else
        tree_->selectionModel()->clearSelection();
    ApplySelection();
}

void CTerminalView::Reveal(CTreeNode& node) {
    SelectNode(&node);
    const QModelIndex index = ProxyIndexOf(&node);
    tree_->expand(index);
    tree_->scrollTo(index);
}

namespace {

void AddTerminal(const CTreeNode* node, std::vector<int>& terminals) {
    if (!node)
        return;
    const int id = node->Terminal().Id();
    if (std::find(terminals.begin(), terminals.end(), id) == terminals.end())
        terminals.push_back(id);
}

} // namespace

std::vector<int> CTerminalView::SelectedTerminals() const {
    QModelIndexList selected = tree_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return tree_->visualRect(a).top() < tree_->visualRect(b).top();
    });
    std::vector<int> terminals;
    for (const QModelIndex& index : selected)
        AddTerminal(NodeAt(index), terminals);
    return terminals;
}

std::vector<int> CTerminalView::ShownTerminals() const {
    // The root items stand for every terminal shown, its own item or, with
    // the structure hidden, its devices'.
    std::vector<int> terminals;
    for (int row = 0; row < proxy_->rowCount(); ++row)
        AddTerminal(NodeAt(proxy_->index(row, 0)), terminals);
    return terminals;
}

void CTerminalView::ExpandAfterChange() {
    // A filtered tree shows what matched, opened.
    if (!filter_->text().trimmed().isEmpty() || proxy_->PendingOnly())
        tree_->expandAll();
}

void CTerminalView::OnTreeSelectionChanged() {
    if (selectionPending_)
        return;
    selectionPending_ = true;
    QMetaObject::invokeMethod(this, &CTerminalView::ApplySelection, Qt::QueuedConnection);
}

void CTerminalView::ApplySelection() {
    selectionPending_ = false;
    const QItemSelectionModel& selection = *tree_->selectionModel();
    const QModelIndexList selected = selection.selectedIndexes();
    // With several selected, the one clicked last is shown.
    CTreeNode* node = selected.isEmpty()                                   ? nullptr
                      : selection.isSelected(tree_->currentIndex())       ? NodeAt(tree_->currentIndex())
                                                                          : NodeAt(selected.front());
    if (node)
        current_ = node;
    if (node != doc_.Tree().Selected())
        doc_.Tree().Select(node);
}

void CTerminalView::OnDoubleClicked(const QModelIndex& index) {
    // With the structure shown a double click only opens or closes an item.
    CTreeNode* node = NodeAt(index);
    if (node && node->Device() && !doc_.Tree().ShowStructure())
        EditDevice(*node);
}

void CTerminalView::OnKey(int key) {
    CTreeNode* node = NodeAt(tree_->currentIndex());
    if (!node)
        return;
    current_ = node;
    if (key == Qt::Key_Delete) {
        if (doc_.Editor().CanDelete(*node))
            doc_.Editor().DeleteNode(*node);
        return;
    }
    // Edit where the node's menu offers "Редактировать".
    if (!node->Device())
        EditTerminal(*node);
    else if (node->Device()->IsTopLevel())
        EditDevice(*node);
}

std::unique_ptr<QMenu> CTerminalView::MenuFor(CTreeNode* node) {
    auto menu = std::make_unique<QMenu>(this);
    if (!node) {
        if (!doc_.Tree().ShowStructure())
            return nullptr;
        menu->setObjectName(QStringLiteral("TermNew"));
        AddCommand(*menu, "Новое устройство", [this] { NewTerminal(); });
        return menu;
    }
    // Each handler holds the node by value: the menu outlives this call.
    const auto remove = [this, node] { doc_.Editor().DeleteNode(*node); };
    const auto run = [this, node] { RunCommands(*node); };
    // Offered where the node has changes its write commands carry.
    const auto writePending = [this, node](QMenu& menu) {
        AddCommand(menu, "Записать изменения", [this, node] {
            current_ = node;
            doc_.Exchanges().WritePendingChanges(*node);
        }, !PendingWriteCodes(*node).empty());
    };
    const auto history = [this, node] { CHistoryDlg::Open(doc_, operator_, node, window()); };
    const auto compare = [this, node] { CCompareDlg::Run(doc_, operator_, *node, window()); };
    if (node->Kind() == NodeKind::Terminal) {
        menu->setObjectName(QStringLiteral("TermEdit"));
        AddCommand(*menu, "Редактировать", [this, node] { EditTerminal(*node); });
        AddCommand(*menu, "Новый раздел", [this, node] { NewDevice(*node); });
        AddCommand(*menu, "Выполнить команду ...", run);
        writePending(*menu);
        AddCommand(*menu, "Сравнить с прибором", compare);
        AddCommand(*menu, "История изменений", history);
        menu->addSeparator();
        AddCommand(*menu, "Удалить", remove);
        return menu;
    }
    const bool canDelete = doc_.Editor().CanDelete(*node);
    if (!node->Device()->IsTopLevel()) {
        menu->setObjectName(QStringLiteral("SlvDevEdit"));
        AddCommand(*menu, "Выполнить команду ...", run);
        writePending(*menu);
        AddCommand(*menu, "Сравнить с прибором", compare);
        AddCommand(*menu, "История изменений", history);
        menu->addSeparator();
        AddCommand(*menu, "Удалить", remove, canDelete);
        return menu;
    }
    menu->setObjectName(QStringLiteral("DevEdit"));
    AddCommand(*menu, "Редактировать", [this, node] { EditDevice(*node); });
    AddCommand(*menu, "Новое подчиненное устройство", [this, node] { NewDevice(*node); });
    menu->addSeparator();
    AddCommand(*menu, "Выполнить команду ...", run);
    writePending(*menu);
    AddCommand(*menu, "Сравнить с прибором", compare);
    AddCommand(*menu, "История изменений", history);
    menu->addSeparator();
    AddCommand(*menu, "Телефонная книга", [this, node] { ShowPhoneBook(*node); });
    AddCommand(*menu, "Загрузить телефонную книгу", [this, node] {
        ListFile(true, [&](const std::string& path) { doc_.Editor().LoadPhoneBook(*node, path); });
    });
    AddCommand(*menu, "Сохранить телефонную книгу", [this, node] {
        ListFile(false, [&](const std::string& path) { doc_.Editor().SavePhoneBook(*node, path); });
    });
    menu->addSeparator();
    AddCommand(*menu, "Ключи", [this, node] { ShowKeys(*node); });
    AddCommand(*menu, "Загрузить список ключей", [this, node] {
        ListFile(true, [&](const std::string& path) { doc_.Editor().LoadKeyList(*node, path); });
    });
    AddCommand(*menu, "Сохранить список ключей", [this, node] {
        ListFile(false, [&](const std::string& path) { doc_.Editor().SaveKeyList(*node, path); });
    });
    menu->addSeparator();
    AddCommand(*menu, "Удалить", remove, canDelete);
    return menu;
}

void CTerminalView::OpenMenu(CTreeNode* node, const QPoint& at) {
    // The item clicked becomes the current item; the selection stays.
    if (node)
        current_ = node;
    if (std::unique_ptr<QMenu> menu = MenuFor(node))
        operator_.Runner().Popup(*menu, at);
}

void CTerminalView::RunCommands(CTreeNode& node) {
    current_ = &node;
    doc_.Exchanges().RunCommands(node);
}

void CTerminalView::ShowPhoneBook(CTreeNode& node) {
    std::optional<PhoneBookModel> model = doc_.Editor().PhoneBook(node);
    if (!model)
        return;
    if (!model->hasLayout) {
        operator_.Message(std::string(kNoPhoneBookLayoutMessage));
        return;
    }
    CPhoneBookDlg dialog(doc_.Tree(), doc_.Editor(), node, std::move(*model), operator_, window());
    operator_.Runner().Exec(dialog);
}

void CTerminalView::ShowKeys(CTreeNode& node) {
    if (!node.Device())
        return;
    CKeysDlg dialog(doc_.Tree(), doc_.Editor(), node, operator_, window());
    operator_.Runner().Exec(dialog);
}

void CTerminalView::ListFile(bool load, const std::function<void(const std::string&)>& apply) {
    // No filter and no default extension: the files are the operator's to name.
    const std::optional<QString> path =
        operator_.ChooseFile(load ? FileDialogKind::Open : FileDialogKind::Save, QString());
    if (path)
        apply(S(*path));
}

void CTerminalView::NewTerminal() {
    CTerminalDlg dialog(CTerminalDlg::Mode::New, doc_.Workspace().Catalogue(), operator_, {}, window());
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return;
    doc_.Editor().NewTerminal(dialog.Input());
}

void CTerminalView::EditTerminal(CTreeNode& node) {
    const CTerminal& terminal = node.Terminal();
    const auto& hosts = doc_.Workspace().Catalogue().HostTypes();
    const auto host = std::find_if(hosts.begin(), hosts.end(), [&](const auto& type) {
        return type->Name() == terminal.Type().Name();
    });
    const CHostDeviceType& own = terminal.Type();
    const CDevice* module =
        own.HasBuiltInDevice() ? terminal.FindDevice(own.OwnDeviceAddress()) : nullptr;
    const TerminalInput current{
        .number = std::to_string(terminal.Id()),
        .hostType = host == hosts.end() ? -1 : static_cast<int>(host - hosts.begin()),
        .loopCount = module ? module->LoopsToCreate() : 0,
        .phone = terminal.Phone(),
        .password = terminal.Password(),
        .newPassword = terminal.NewPassword()};
    CTerminalDlg dialog(CTerminalDlg::Mode::Edit, doc_.Workspace().Catalogue(), operator_, current, window());
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return;
    doc_.Editor().EditTerminal(node, dialog.Input());
}

void CTerminalView::NewDevice(CTreeNode& parent) {
    const bool subordinate = parent.Kind() == NodeKind::Device;
    std::vector<OfferedType> types;
    for (int index : doc_.Editor().OfferedBusTypes(parent)) {
        const CBusDeviceType& type = *doc_.Workspace().Catalogue().BusTypes()[static_cast<std::size_t>(index)];
        types.push_back({index, type.Name(), type.LoopCount()});
    }
    CDeviceDlg dialog(CDeviceDlg::Mode::New, subordinate, std::move(types),
                      doc_.Editor().OfferedAddresses(parent), operator_, {}, window());
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return;
    const int terminal = parent.Terminal().Id();
    const int master = subordinate ? parent.Device()->Address() : -1;
    doc_.Editor().NewDevice(parent, dialog.Input());
    // The new subordinate device is shown under its master, added or not;
    // found again, as the tree drops a terminal another program deleted.
    if (CTreeNode* shown = subordinate ? doc_.FindNode(terminal, master) : nullptr)
        tree_->expand(ProxyIndexOf(shown));
}

void CTerminalView::EditDevice(CTreeNode& node) {
    const CDevice& device = *node.Device();
    const auto& buses = doc_.Workspace().Catalogue().BusTypes();
    const auto bus = std::find_if(buses.begin(), buses.end(), [&](const auto& type) {
        return type->Name() == device.Type().Name();
    });
    const int index = bus == buses.end() ? -1 : static_cast<int>(bus - buses.begin());
    const DeviceInput current{.address = device.Address(),
                              .busType = index,
                              .loopCount = device.LoopsToCreate(),
                              .name = device.Name(),
                              .password = device.Password(),
                              .newPassword = device.NewPassword()};
    CDeviceDlg dialog(CDeviceDlg::Mode::Edit, !device.IsTopLevel(),
                      {{index, device.Type().Name(), device.Type().LoopCount()}},
                      {device.Address()}, operator_, current, window());
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return;
    doc_.Editor().EditDevice(node, dialog.Input());
}

} // namespace tornu::ui
