#pragma once
// The rows of "Лог": one per status line taken, "Дата/время" and
// "Сообщение". Lines are only ever appended.
#include "doc/ExchangeMonitor.h"

#include <QAbstractTableModel>

#include <vector>

namespace tornu::ui {

class CExchangeLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kTimeColumn, kTextColumn, kColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    const std::vector<ExchangeLogLine>& Lines() const { return lines_; }
    void Append(const std::vector<ExchangeLogLine>& lines);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<ExchangeLogLine> lines_;
};

} // namespace tornu::ui
