#pragma once
// The rows of "Телефонная книга": "№", "Телефон", "Тип", a check-box column
// per labelled mask bit and a trailing empty one. A toggle or a number goes
// to the document, and the rows are read again whenever the document tells
// that the device changed, whoever changed it.
#include "doc/PhoneBookModel.h"

#include "ui/NodeFollower.h"

#include <QAbstractTableModel>

namespace tornu {
class CConfigEditor;
class CConfigTree;
} // namespace tornu

namespace tornu::ui {

class CPhoneListModel : public QAbstractTableModel, public CNodeFollower {
    Q_OBJECT
public:
    enum Column { kNumberColumn, kPhoneColumn, kTypeColumn, kFirstBitColumn };

    // `book` is what the document gave for `node`; its layout stays.
    CPhoneListModel(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node, PhoneBookModel book,
                    QObject* parent = nullptr);
    ~CPhoneListModel() override;

    // The column of mask bit `bit`; -1 when the layout has no label for it.
    int ColumnOf(int bit) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // A bit column's check state (Qt::CheckStateRole), or the typed number
    // under "Телефон" (false, with the message, when the document refuses it).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;


private:
    bool IsBitColumn(int column) const;
    void Reload() override;

    CConfigEditor& editor_;
    PhoneBookModel book_;
};

} // namespace tornu::ui
