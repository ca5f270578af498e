#pragma once
// The rows of "Сравнить с прибором": one per value that differs, the stored
// value beside the terminal's.
#include "doc/NodeComparison.h"

#include <QAbstractTableModel>

#include <vector>

namespace tornu::ui {

class CCompareModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kNodeColumn, kWhatColumn, kStoredColumn, kTerminalColumn, kColumnCount };

    CCompareModel(int terminal, QObject* parent = nullptr);

    void SetDifferences(std::vector<NodeDifference> differences);
    const std::vector<NodeDifference>& Differences() const { return differences_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    int terminal_;
    std::vector<NodeDifference> differences_;
};

} // namespace tornu::ui
