#include "ui/CompareModel.h"

#include "ui/UiText.h"

namespace tornu::ui {

CCompareModel::CCompareModel(int terminal, QObject* parent)
    : QAbstractTableModel(parent), terminal_(terminal) {}

void CCompareModel::SetDifferences(std::vector<NodeDifference> differences) {
    beginResetModel();
    differences_ = std::move(differences);
    endResetModel();
}

int CCompareModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(differences_.size());
}

int CCompareModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CCompareModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const NodeDifference& row = differences_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case kNodeColumn:
        return row.device < 0 ? QString::number(terminal_)
                              : QStringLiteral("%1/%2").arg(terminal_).arg(row.device);
    case kWhatColumn:
        return Q(row.what);
    case kStoredColumn:
        return Q(row.stored);
    case kTerminalColumn:
        return Q(row.terminal);
    default:
        return {};
    }
}

QVariant CCompareModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kNodeColumn:
        return QStringLiteral("Устройство");
    case kWhatColumn:
        return QStringLiteral("Что");
    case kStoredColumn:
        return QStringLiteral("В базе");
    case kTerminalColumn:
        return QStringLiteral("В приборе");
    default:
        return {};
    }
}

} // namespace tornu::ui
