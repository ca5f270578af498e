#pragma once
// The device's parameter grid: a root row, group rows and a row per
// parameter with its value cell (text field, drop-down or static text), the
// comment of the selected row below. An edit is handed to the document when
// the operator leaves or confirms the cell; a refused one shows what the
// document holds.
#include "doc/ParamGridModel.h"

#include <QWidget>

class QLabel;
class QTreeView;

namespace tornu {
class CConfigEditor;
class CConfigTree;
class CTreeNode;
class IDocObserver;
} // namespace tornu

namespace tornu::ui {

class CParamTreeModel;

class CParamGrid : public QWidget {
    Q_OBJECT
public:
    // Edits are made in the name of `view`, which is then not told its own hint.
    CParamGrid(CConfigTree& tree, CConfigEditor& editor, const IDocObserver& view,
               QWidget* parent = nullptr);

    // The rows of `node`'s device: built anew for another device, only the
    // values refreshed for the same one.
    void Show(CTreeNode& node, const ParamGridModel& model);
    void Clear();

    QTreeView* Rows() const { return rows_; }
    CParamTreeModel& Model() const { return *model_; }
    // Column 0 of the row of `item`.
    QModelIndex Row(int item) const;
    QLabel* Comment() const { return comment_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Built();
    void ShowComment();

    CParamTreeModel* model_;
    QTreeView* rows_;
    QLabel* comment_;
};

} // namespace tornu::ui
