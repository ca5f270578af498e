#pragma once
// The rows of "Обмен": "№", "Команда", "Описание", and in the results form
// "Результат". In the choice form "№" carries the row's check box.
#include <QAbstractTableModel>

#include <vector>

namespace tornu {
class CCommandDesc;
}

namespace tornu::ui {

class CCommandListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kNumberColumn, kCodeColumn, kDescriptionColumn, kResultColumn };

    CCommandListModel(std::vector<CCommandDesc*> commands, bool results, QObject* parent = nullptr);

    CCommandDesc& Command(int row) const { return *commands_[static_cast<std::size_t>(row)]; }
    // The ticked commands, in list order.
    std::vector<CCommandDesc*> Chosen() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool Checkable(const QModelIndex& index) const;

    std::vector<CCommandDesc*> commands_;
    std::vector<bool> ticked_;
    bool results_;
};

} // namespace tornu::ui
