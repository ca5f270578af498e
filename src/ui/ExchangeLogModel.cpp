#include "ui/ExchangeLogModel.h"

#include "ui/UiText.h"

namespace tornu::ui {

void CExchangeLogModel::Append(const std::vector<ExchangeLogLine>& lines) {
    if (lines.empty())
        return;
    const int first = static_cast<int>(lines_.size());
    beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
    lines_.insert(lines_.end(), lines.begin(), lines.end());
    endInsertRows();
}

int CExchangeLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int CExchangeLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CExchangeLogModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        role != Qt::DisplayRole)
        return {};
    const ExchangeLogLine& line = lines_[static_cast<std::size_t>(index.row())];
    return Q(index.column() == kTimeColumn ? line.time : line.text);
}

QVariant CExchangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kTimeColumn:
        return QStringLiteral("Дата/время");
    case kTextColumn:
        return QStringLiteral("Сообщение");
    default:
        return {};
    }
}

} // namespace tornu::ui
