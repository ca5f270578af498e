#pragma once
// The rows of "История изменений" as the core view model gives them.
#include "doc/HistoryViewModel.h"

#include <QAbstractTableModel>

namespace tornu::ui {

class CHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CHistoryModel(CHistoryViewModel& view, QObject* parent = nullptr);

    CHistoryViewModel& View() const { return view_; }
    // Reads the history again with the view's filters; false when it
    // cannot be read (the rows are then empty).
    bool Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    CHistoryViewModel& view_;
};

} // namespace tornu::ui
