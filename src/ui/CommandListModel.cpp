#include "ui/CommandListModel.h"

#include "catalogue/CommandDesc.h"
#include "protocol/CommandResult.h"
#include "ui/UiText.h"

namespace tornu::ui {

CCommandListModel::CCommandListModel(std::vector<CCommandDesc*> commands, bool results,
                                     QObject* parent)
    : QAbstractTableModel(parent), commands_(std::move(commands)), ticked_(commands_.size(), false),
      results_(results) {}

std::vector<CCommandDesc*> CCommandListModel::Chosen() const {
    std::vector<CCommandDesc*> chosen;
    for (std::size_t row = 0; row < commands_.size(); ++row)
        if (ticked_[row])
            chosen.push_back(commands_[row]);
    return chosen;
}

int CCommandListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(commands_.size());
}

int CCommandListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (results_ ? kResultColumn + 1 : kResultColumn);
}

bool CCommandListModel::Checkable(const QModelIndex& index) const {
    return !results_ && index.column() == kNumberColumn;
}

QVariant CCommandListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::CheckStateRole)
        return Checkable(index) ? QVariant(ticked_[row] ? Qt::Checked : Qt::Unchecked) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    const CCommandDesc& command = *commands_[row];
    switch (index.column()) {
    case kNumberColumn:
        return QString::number(index.row() + 1);
    case kCodeColumn:
        return QString::number(command.Code());
    case kDescriptionColumn:
        return Q(command.Description());
    default:
        return Q(CommandResultText(command.ResultState(), command.ResultText()));
    }
}

bool CCommandListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
        !Checkable(index))
        return false;
    const bool on = value.value<Qt::CheckState>() == Qt::Checked;
    const auto row = static_cast<std::size_t>(index.row());
    if (ticked_[row] != on) {
        ticked_[row] = on;
        emit dataChanged(index, index, {Qt::CheckStateRole});
    }
    return true;
}

Qt::ItemFlags CCommandListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && Checkable(index))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant CCommandListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kNumberColumn:
        return QStringLiteral("№");
    case kCodeColumn:
        return QStringLiteral("Команда");
    case kDescriptionColumn:
        return QStringLiteral("Описание");
    case kResultColumn:
        return results_ ? QVariant(QStringLiteral("Результат")) : QVariant();
    default:
        return {};
    }
}

} // namespace tornu::ui
