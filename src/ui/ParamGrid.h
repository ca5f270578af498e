#pragma once
// The device's parameter grid: a root row, group rows and a row per
// parameter with its value cell (text field, drop-down or static text), the
// comment of the selected row below. An edit is handed to the document when
// the operator leaves or confirms the cell; a refused one gets its previous
// text back.
#include "doc/ParamGridModel.h"

#include <QWidget>

#include <optional>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tornu {
class CConfigEditor;
class CTreeNode;
class IDocObserver;
} // namespace tornu

namespace tornu::ui {

class CParamGrid : public QWidget {
    Q_OBJECT
public:
    // Edits are made in the name of `view`, which is then not told its own hint.
    CParamGrid(CConfigEditor& editor, const IDocObserver& view, QWidget* parent = nullptr);

    // The rows of `node`'s device: built anew for another device, only the
    // values refreshed for the same one.
    void Show(CTreeNode& node, const ParamGridModel& model);
    void Clear();

    // The end of an edit of the cell of `item`: the typed text or the chosen
    // list item (none: nothing chosen).
    void Commit(int item, std::optional<QString> entered);

    QTreeWidget* Rows() const { return rows_; }
    QTreeWidgetItem* Row(int item) const;
    QLabel* Comment() const { return comment_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build(const ParamGridModel& model);
    void SetValue(QTreeWidgetItem& row, const QString& text, bool unconverted);
    void ShowComment();

    CConfigEditor& editor_;
    const IDocObserver& view_;
    CTreeNode* node_ = nullptr;
    QTreeWidget* rows_;
    QLabel* comment_;
};

} // namespace tornu::ui
