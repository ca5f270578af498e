#pragma once
// The table of "Пакетный обмен" over the job's view model: one row per
// terminal. Refresh tells the view what changed since the last one, in one
// range, however many calls ended meanwhile.
#include <QAbstractTableModel>

namespace tornu {
class CBatchViewModel;
}

namespace tornu::ui {

class CBatchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CBatchModel(CBatchViewModel& rows, QObject* parent = nullptr);

    // The view model was filled anew (another job).
    void Reload();
    // The rows changed since the last call; true when the counts did.
    bool Refresh();
    // The terminal of a row.
    int Terminal(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    CBatchViewModel& rows_;
};

} // namespace tornu::ui
