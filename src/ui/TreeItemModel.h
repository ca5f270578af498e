#pragma once
// The document's configuration tree as a Qt item model. It holds nothing of
// its own: every index points at a tree node, and every change is mirrored
// from the document's tree notifications as it happens.
#include "doc/DocObserver.h"

#include <QAbstractItemModel>
#include <QIcon>

namespace tornu {
class CConfigTree;
}

namespace tornu::ui {

class CTreeItemModel : public QAbstractItemModel, public IDocObserver {
    Q_OBJECT
public:
    explicit CTreeItemModel(CConfigTree& tree, QObject* parent = nullptr);
    ~CTreeItemModel() override;

    static CTreeNode* Node(const QModelIndex& index);
    QModelIndex IndexOf(const CTreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void OnNodeChanged(CTreeNode& node) override;
    void OnTreeResetting() override;
    void OnTreeReset() override;
    void OnItemInserting(CTreeNode* parent, std::size_t row) override;
    void OnItemInserted(CTreeNode& node) override;
    void OnItemMoving(CTreeNode& node, std::size_t from, std::size_t to) override;
    void OnItemMoved(CTreeNode& node) override;
    void OnItemRelabelled(CTreeNode& node) override;
    void OnItemRemoving(CTreeNode& node) override;
    void OnItemRemoved(CTreeNode* parent, std::size_t row) override;

private:
    CConfigTree& tree_;
    QIcon terminalIcon_;
    QIcon deviceIcon_;
    QIcon pendingTerminalIcon_; // with the mark of unwritten changes
    QIcon pendingDeviceIcon_;
};

} // namespace tornu::ui
