#include "ui/TreeItemModel.h"

#include "doc/ConfigTree.h"
#include "doc/PendingNodes.h"
#include "ui/Icons.h"
#include "ui/UiText.h"

namespace tornu::ui {

CTreeItemModel::CTreeItemModel(CConfigTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree),
      terminalIcon_(TerminalIcon()), deviceIcon_(DeviceIcon()),
      pendingTerminalIcon_(WithPendingMark(terminalIcon_)),
      pendingDeviceIcon_(WithPendingMark(deviceIcon_)) {
    tree_.AddObserver(*this);
}

CTreeItemModel::~CTreeItemModel() { tree_.RemoveObserver(*this); }

CTreeNode* CTreeItemModel::Node(const QModelIndex& index) {
    return index.isValid() ? static_cast<CTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex CTreeItemModel::IndexOf(const CTreeNode* node) const {
    if (!node)
        return {};
    return createIndex(static_cast<int>(tree_.Model().Row(*node)), 0, const_cast<CTreeNode*>(node));
}

QModelIndex CTreeItemModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    const CTreeNode* above = Node(parent);
    const CTreeNode::List& list = above ? above->Children() : tree_.Model().Roots();
    if (static_cast<std::size_t>(row) >= list.size())
        return {};
    return createIndex(row, 0, list[static_cast<std::size_t>(row)].get());
}

QModelIndex CTreeItemModel::parent(const QModelIndex& child) const {
    const CTreeNode* node = Node(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int CTreeItemModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    const CTreeNode* node = Node(parent);
    return static_cast<int>(node ? node->Children().size() : tree_.Model().Roots().size());
}

int CTreeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CTreeItemModel::data(const QModelIndex& index, int role) const {
    const CTreeNode* node = Node(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Q(node->Label());
    case Qt::DecorationRole:
        if (HasPendingChanges(*node))
            return node->Image() == kTerminalImage ? pendingTerminalIcon_ : pendingDeviceIcon_;
        return node->Image() == kTerminalImage ? terminalIcon_ : deviceIcon_;
    case Qt::ToolTipRole:
        return HasPendingChanges(*node)
                   ? QVariant(QStringLiteral("Есть изменения, не записанные в прибор"))
                   : QVariant();
    default:
        return {};
    }
}

void CTreeItemModel::OnNodeChanged(CTreeNode& node) {
    // What the filter matches (a terminal's phone) may have changed with it.
    const QModelIndex index = IndexOf(&node);
    if (index.isValid())
        emit dataChanged(index, index);
}

void CTreeItemModel::OnTreeResetting() { beginResetModel(); }

void CTreeItemModel::OnTreeReset() { endResetModel(); }

void CTreeItemModel::OnItemInserting(CTreeNode* parent, std::size_t row) {
    beginInsertRows(IndexOf(parent), static_cast<int>(row), static_cast<int>(row));
}

void CTreeItemModel::OnItemInserted(CTreeNode&) { endInsertRows(); }

void CTreeItemModel::OnItemMoving(CTreeNode& node, std::size_t from, std::size_t to) {
    // Qt counts the destination in the rows before the move: one further
    // when moving down.
    const QModelIndex above = IndexOf(node.Parent());
    const int destination = static_cast<int>(to > from ? to + 1 : to);
    beginMoveRows(above, static_cast<int>(from), static_cast<int>(from), above, destination);
}

void CTreeItemModel::OnItemMoved(CTreeNode&) { endMoveRows(); }

void CTreeItemModel::OnItemRelabelled(CTreeNode& node) {
    const QModelIndex index = IndexOf(&node);
    emit dataChanged(index, index, {Qt::DisplayRole});
}

void CTreeItemModel::OnItemRemoving(CTreeNode& node) {
    const int row = static_cast<int>(tree_.Model().Row(node));
    beginRemoveRows(IndexOf(node.Parent()), row, row);
}

void CTreeItemModel::OnItemRemoved(CTreeNode*, std::size_t) { endRemoveRows(); }

} // namespace tornu::ui
