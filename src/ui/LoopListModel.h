#pragma once
// The loop list of the device view: the shown device's loops, then each
// slave's. A comment or a type goes to the document, and the rows are read
// again whenever the document tells that the device changed.
#include "doc/OptionViewModels.h"

#include "ui/NodeFollower.h"

#include <QAbstractTableModel>

#include <vector>

namespace tornu {
class CConfigEditor;
class CConfigTree;
} // namespace tornu

namespace tornu::ui {

class CLoopListModel : public QAbstractTableModel, public CNodeFollower {
    Q_OBJECT
public:
    static constexpr int kCommentColumn = 2;
    // Any cell: the row's loop number; its type bits (settable too).
    static constexpr int kLoopRole = Qt::UserRole;
    static constexpr int kTypeRole = Qt::UserRole + 1;

    CLoopListModel(CConfigTree& tree, CConfigEditor& editor, QObject* parent = nullptr);
    ~CLoopListModel() override;

    // The loops of `node` (none for a node that is not a device).
    void Show(CTreeNode* node);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The comment (Qt::EditRole under "Комментарий") or the type (kTypeRole).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Both at once, as "Шлейф" stores them: one call, only what changed written.
    bool setItemData(const QModelIndex& index, const QMap<int, QVariant>& roles) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;


private:
    bool Store(int row, int type, const QString& comment);
    void Reload() override;

    CConfigEditor& editor_;
    std::vector<LoopRowModel> rows_;
};

} // namespace tornu::ui
