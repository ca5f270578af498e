#pragma once
// The rows of "Ключи": "№" ("Мастер" for the master key), "Ключ",
// "Владелец". An edit goes to the document, and the rows are read again
// whenever the document tells that the device changed, whoever changed it.
#include "doc/PhoneBookModel.h"

#include "ui/NodeFollower.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace tornu {
class CConfigEditor;
class CConfigTree;
} // namespace tornu

namespace tornu::ui {

class CKeyListModel : public QAbstractTableModel, public CNodeFollower {
    Q_OBJECT
public:
    enum Column { kNumberColumn, kCodeColumn, kOwnerColumn, kColumnCount };
    // With the code through setItemData: the owner stored with it.
    static constexpr int kOwnerRole = Qt::UserRole + 1;

    CKeyListModel(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node,
                  QObject* parent = nullptr);
    ~CKeyListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // "Ключ" alone keeps the owner; "Владелец" alone goes with the stored code.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // The code (Qt::EditRole) and the owner (kOwnerRole) at once, as "Ключ"
    // stores them: a refused code stores neither.
    bool setItemData(const QModelIndex& index, const QMap<int, QVariant>& roles) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;


private:
    bool Store(int row, const QString& code, std::optional<QString> owner);
    void Reload() override;

    CConfigEditor& editor_;
    std::vector<KeyRow> rows_;
};

} // namespace tornu::ui
