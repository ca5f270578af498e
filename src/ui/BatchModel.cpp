#include "ui/BatchModel.h"

#include "batch/BatchViewModel.h"
#include "ui/UiText.h"

#include <QBrush>
#include <QColor>

namespace tornu::ui {

CBatchModel::CBatchModel(CBatchViewModel& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {}

void CBatchModel::Reload() {
    beginResetModel();
    rows_.TakeChanges();
    endResetModel();
}

bool CBatchModel::Refresh() {
    const CBatchViewModel::Changes changes = rows_.TakeChanges();
    if (changes.first <= changes.last)
        emit dataChanged(index(static_cast<int>(changes.first), 0),
                         index(static_cast<int>(changes.last), CBatchViewModel::kColumnCount - 1));
    return changes.counts;
}

int CBatchModel::Terminal(int row) const {
    return row >= 0 && row < rowCount() ? rows_.Row(static_cast<std::size_t>(row)).terminal : 0;
}

int CBatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.Size());
}

int CBatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CBatchViewModel::kColumnCount;
}

QVariant CBatchModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DisplayRole)
        return Q(rows_.Cell(row, index.column()));
    if (role == Qt::ForegroundRole && index.column() == CBatchViewModel::kState) {
        switch (rows_.Row(row).state) {
        case kBatchDone:
            return QBrush(QColor(0, 120, 0));
        case kBatchFailed:
        case kBatchSkipped:
            return QBrush(QColor(180, 0, 0));
        case kBatchRunning:
            return QBrush(QColor(0, 0, 180));
        default:
            return {};
        }
    }
    return {};
}

QVariant CBatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return QString::fromUtf8(CBatchViewModel::ColumnCaption(section));
}

} // namespace tornu::ui
