#pragma once
// The rows of the parameter grid: the root, the groups and a row per
// parameter, label and value. A value goes to the document, and the values
// are read again whenever the document tells that the device changed.
#include "doc/ParamGridModel.h"

#include "ui/NodeFollower.h"

#include <QAbstractItemModel>

#include <optional>
#include <vector>

namespace tornu {
class CConfigEditor;
class CConfigTree;
} // namespace tornu

namespace tornu::ui {

class CParamTreeModel : public QAbstractItemModel, public CNodeFollower {
    Q_OBJECT
public:
    enum Column { kLabelColumn, kValueColumn, kColumnCount };
    enum Role : int {
        kItemRole = Qt::UserRole, // the row's item number
        kCommentRole = Qt::UserRole + 1,
        kCellRole = Qt::UserRole + 2,  // value: the GridCell
        kItemsRole = Qt::UserRole + 3, // value: the drop-down's items
        kFieldRole = Qt::UserRole + 4, // value: a read-only value's field colour
    };

    // Edits are made in the name of `view`, which is then not told its own
    // change; this model is, and follows it.
    CParamTreeModel(CConfigTree& tree, CConfigEditor& editor, const IDocObserver& view,
                    QObject* parent = nullptr);
    ~CParamTreeModel() override;

    // The rows of `node`'s device: built anew for another device or another
    // set of rows, only the values refreshed otherwise. Null: no rows.
    void Show(CTreeNode* node, const ParamGridModel& grid);
    // Column 0 of the row of `item`; invalid when there is none.
    QModelIndex IndexOf(int item) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // A parameter's value: the typed text or the chosen item (an invalid
    // value: nothing chosen). A refused one shows what the document holds.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;


private:
    void Build(std::vector<ParamGridRow> rows);
    void Update(std::vector<ParamGridRow> rows);
    void Reload() override;
    void LetGo() override;
    void ValueChanged(int position);
    QVariant LabelData(const ParamGridRow& row, int role) const;
    QVariant ValueData(const ParamGridRow& row, int role) const;

    CConfigEditor& editor_;
    const IDocObserver& view_;
    // Parents before their children; an index's internal id is its position.
    std::vector<ParamGridRow> rows_;
    std::vector<int> parent_; // position of the parent, -1 at the top
    std::vector<int> row_;    // row among its parent's children
    std::vector<std::vector<int>> children_;
    std::vector<int> top_;
};

} // namespace tornu::ui
