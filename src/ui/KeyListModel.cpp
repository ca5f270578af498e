#include "ui/KeyListModel.h"

#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "doc/PendingNodes.h"
#include "doc/TreeNode.h"
#include "ui/UiText.h"

#include <QFont>

namespace tornu::ui {

CKeyListModel::CKeyListModel(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node,
                             QObject* parent)
    : QAbstractTableModel(parent), CNodeFollower(tree, &node), editor_(editor) {
    if (std::optional<std::vector<KeyRow>> rows = editor_.KeyList(node))
        rows_ = std::move(*rows);
}

CKeyListModel::~CKeyListModel() = default;

int CKeyListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CKeyListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CKeyListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const KeyRow& row = rows_[static_cast<std::size_t>(index.row())];
    // A code not yet written to the terminal is bold.
    if (role == Qt::FontRole && row.pending && index.column() != kOwnerColumn) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role == Qt::ToolTipRole && row.pending)
        return QString::fromUtf8(kPendingItemTip);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case kNumberColumn:
        return Q(row.label);
    case kCodeColumn:
        return Q(row.code);
    default:
        return Q(row.owner);
    }
}

bool CKeyListModel::Store(int row, const QString& code, std::optional<QString> owner) {
    if (!node_)
        return false;
    const KeyRow& key = rows_[static_cast<std::size_t>(row)];
    std::optional<std::string> ownerText;
    if (owner)
        ownerText = S(*owner);
    // The document tells every observer, this model too: the rows follow.
    return editor_.SetKey(*node_, static_cast<std::size_t>(key.index), S(code),
                          std::move(ownerText));
}

bool CKeyListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    switch (index.column()) {
    case kCodeColumn:
        return Store(index.row(), value.toString(), std::nullopt);
    case kOwnerColumn:
        return Store(index.row(), Q(rows_[static_cast<std::size_t>(index.row())].code),
                     value.toString());
    default:
        return false;
    }
}

bool CKeyListModel::setItemData(const QModelIndex& index, const QMap<int, QVariant>& roles) {
    if (index.column() != kCodeColumn || !roles.contains(Qt::EditRole) ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QAbstractTableModel::setItemData(index, roles);
    std::optional<QString> owner;
    if (roles.contains(kOwnerRole))
        owner = roles.value(kOwnerRole).toString();
    return Store(index.row(), roles.value(Qt::EditRole).toString(), std::move(owner));
}

Qt::ItemFlags CKeyListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != kNumberColumn && node_)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant CKeyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kNumberColumn:
        return QStringLiteral("№");
    case kCodeColumn:
        return QStringLiteral("Ключ");
    case kOwnerColumn:
        return QStringLiteral("Владелец");
    default:
        return {};
    }
}

void CKeyListModel::Reload() {
    std::optional<std::vector<KeyRow>> now = node_ ? editor_.KeyList(*node_) : std::nullopt;
    std::vector<KeyRow> rows = now ? std::move(*now) : std::vector<KeyRow>{};
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const KeyRow& was = rows_[row];
        KeyRow& is = rows[row];
        if (was.label == is.label && was.code == is.code && was.owner == is.owner &&
            was.pending == is.pending)
            continue;
        rows_[row] = std::move(is);
        emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), kColumnCount - 1),
                         {Qt::DisplayRole, Qt::EditRole, Qt::FontRole, Qt::ToolTipRole});
    }
}






} // namespace tornu::ui
