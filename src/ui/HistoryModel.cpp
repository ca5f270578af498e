#include "ui/HistoryModel.h"

#include "ui/UiText.h"

namespace tornu::ui {

CHistoryModel::CHistoryModel(CHistoryViewModel& view, QObject* parent)
    : QAbstractTableModel(parent), view_(view) {}

bool CHistoryModel::Refresh() {
    beginResetModel();
    const bool read = view_.Refresh();
    endResetModel();
    return read;
}

int CHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.Entries().size());
}

int CHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CHistoryViewModel::kColumnCount;
}

QVariant CHistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole)
        return Q(view_.Cell(static_cast<std::size_t>(index.row()), index.column()));
    // A long value is read whole from its tip.
    if (role == Qt::ToolTipRole && index.column() >= CHistoryViewModel::kWhatColumn)
        return Q(view_.Cell(static_cast<std::size_t>(index.row()), index.column()));
    return {};
}

QVariant CHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= CHistoryViewModel::kColumnCount)
        return {};
    return Q(CHistoryViewModel::ColumnTitle(section));
}

} // namespace tornu::ui
