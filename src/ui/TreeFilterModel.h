#pragma once
// The filter box's narrowing of the tree: a terminal stays, with every item
// of it, when its number, its phone or one of its devices' names contains
// the typed text (case ignored). The pending toggle narrows it further to
// the items with unwritten changes.
#include <QSortFilterProxyModel>

namespace tornu::ui {

class CTreeFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CTreeFilterModel(QObject* parent = nullptr);
    void SetText(const QString& text);
    // Only the items with changes not yet written to their terminals, and
    // the items above them.
    void SetPendingOnly(bool on);
    bool PendingOnly() const { return pendingOnly_; }

    bool hasChildren(const QModelIndex& parent = {}) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
    bool pendingOnly_ = false;
    bool refilterConnected_ = false;
    bool refilterQueued_ = false;
};

} // namespace tornu::ui
