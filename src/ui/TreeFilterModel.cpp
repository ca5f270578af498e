#include "ui/TreeFilterModel.h"

#include "db/Device.h"
#include "db/Terminal.h"
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

bool CTreeFilterModel::hasChildren(const QModelIndex& parent) const {
    // The view asks it of every row as it lays the tree out; the base would
    // map the items under each of a fleet's terminals to answer. Without a
    // filter every item shows, so the source's answer is the same.
    if (text_.isEmpty() && sourceModel())
        return sourceModel()->hasChildren(mapToSource(parent));
    return QSortFilterProxyModel::hasChildren(parent);
}

bool CTreeFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (text_.isEmpty())
        return true;
    const CTreeNode* node =
        CTreeItemModel::Node(sourceModel()->index(sourceRow, 0, sourceParent));
    return node && Matches(node->Terminal(), text_);
}

} // namespace tornu::ui
