#include "ui/LoopListModel.h"

#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "doc/TreeNode.h"
#include "protocol/LoopStates.h"
#include "ui/UiText.h"

namespace tornu::ui {

CLoopListModel::CLoopListModel(CConfigTree& tree, CConfigEditor& editor, QObject* parent)
    : QAbstractTableModel(parent), CNodeFollower(tree), editor_(editor) {}

CLoopListModel::~CLoopListModel() = default;

void CLoopListModel::Show(CTreeNode* node) {
    node_ = node;
    Reload();
}

int CLoopListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CLoopListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLoopListColumnCount;
}

QVariant CLoopListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LoopRowModel& row = rows_[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return Q(row.cells[column]);
    case Qt::EditRole:
        return column == kCommentColumn ? Q(row.comment) : Q(row.cells[column]);
    case Qt::TextAlignmentRole:
        return LoopListColumns()[column].centred ? QVariant(Qt::AlignCenter)
                                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case kLoopRole:
        return row.loop;
    case kTypeRole:
        return row.type;
    default:
        return {};
    }
}

bool CLoopListModel::Store(int row, int type, const QString& comment) {
    if (!node_)
        return false;
    // The document tells every observer, this model too: the rows follow.
    return editor_.EditLoop(*node_, rows_[static_cast<std::size_t>(row)].loop,
                            {LoopTypeBoxes(type), S(comment)});
}

bool CLoopListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const LoopRowModel& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == kTypeRole)
        return Store(index.row(), value.toInt(), Q(row.comment));
    if (role == Qt::EditRole && index.column() == kCommentColumn)
        return Store(index.row(), row.type, value.toString());
    return false;
}

bool CLoopListModel::setItemData(const QModelIndex& index, const QMap<int, QVariant>& roles) {
    if (!roles.contains(kTypeRole) || !roles.contains(Qt::EditRole) ||
        index.column() != kCommentColumn ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QAbstractTableModel::setItemData(index, roles);
    return Store(index.row(), roles.value(kTypeRole).toInt(), roles.value(Qt::EditRole).toString());
}

Qt::ItemFlags CLoopListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kCommentColumn && node_)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant CLoopListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kLoopListColumnCount)
        return {};
    return Q(LoopListColumns()[static_cast<std::size_t>(section)].head);
}

void CLoopListModel::Reload() {
    std::optional<DeviceViewModel> now = node_ ? editor_.DeviceView(*node_) : std::nullopt;
    std::vector<LoopRowModel> rows = now ? std::move(now->loops) : std::vector<LoopRowModel>{};
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const LoopRowModel& was = rows_[row];
        LoopRowModel& is = rows[row];
        if (was.loop == is.loop && was.type == is.type && was.comment == is.comment &&
            was.cells == is.cells)
            continue;
        rows_[row] = std::move(is);
        emit dataChanged(index(static_cast<int>(row), 0),
                         index(static_cast<int>(row), kLoopListColumnCount - 1));
    }
}





} // namespace tornu::ui
