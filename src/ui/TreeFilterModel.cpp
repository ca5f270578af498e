#include "ui/TreeFilterModel.h"

#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/PendingNodes.h"
#include "doc/TreeNode.h"
#include "ui/TreeItemModel.h"
#include "ui/UiText.h"

namespace tornu::ui {

namespace {

bool Matches(const CTerminal& terminal, const QString& text) {
    if (QString::number(terminal.Id()).contains(text) ||
        Q(terminal.Phone()).contains(text, Qt::CaseInsensitive))
        return true;
    for (const auto& device : terminal.Devices())
        if (Q(device->Name()).contains(text, Qt::CaseInsensitive))
            return true;
    return false;
}

bool PendingAtOrBelow(const CTreeNode& node) {
    if (HasPendingChanges(node))
        return true;
    for (const auto& child : node.Children())
        if (PendingAtOrBelow(*child))
            return true;
    return false;
}

} // namespace

CTreeFilterModel::CTreeFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
    // The document keeps the items sorted; the filter only hides.
    setDynamicSortFilter(false);
}

void CTreeFilterModel::SetText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    invalidateFilter();
}

void CTreeFilterModel::SetPendingOnly(bool on) {
    if (on == pendingOnly_)
        return;
    pendingOnly_ = on;
    invalidateFilter();
    if (!on || refilterConnected_ || !sourceModel())
        return;
    refilterConnected_ = true;
    // An item's marks come and go with its data: filtered again once the
    // change has been told everywhere.
    connect(sourceModel(), &QAbstractItemModel::dataChanged, this, [this] {
        if (!pendingOnly_ || refilterQueued_)
            return;
        refilterQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                refilterQueued_ = false;
                if (pendingOnly_)
                    invalidateFilter();
            },
            Qt::QueuedConnection);
    });
}

bool CTreeFilterModel::hasChildren(const QModelIndex& parent) const {
    // The view asks it of every row as it lays the tree out; the base would
    // map the items under each of a fleet's terminals to answer. Without a
    // filter every item shows, so the source's answer is the same.
    if (text_.isEmpty() && !pendingOnly_ && sourceModel())
        return sourceModel()->hasChildren(mapToSource(parent));
    return QSortFilterProxyModel::hasChildren(parent);
}

bool CTreeFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (text_.isEmpty() && !pendingOnly_)
        return true;
    const CTreeNode* node =
        CTreeItemModel::Node(sourceModel()->index(sourceRow, 0, sourceParent));
    return node && (text_.isEmpty() || Matches(node->Terminal(), text_)) &&
           (!pendingOnly_ || PendingAtOrBelow(*node));
}

} // namespace tornu::ui
