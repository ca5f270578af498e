#pragma once
// The filter box's narrowing of the tree: a terminal stays, with every item
// of it, when its number, its phone or one of its devices' names contains
// the typed text (case ignored).
#include <QSortFilterProxyModel>

namespace tornu::ui {

class CTreeFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CTreeFilterModel(QObject* parent = nullptr);
    void SetText(const QString& text);

    bool hasChildren(const QModelIndex& parent = {}) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
};

} // namespace tornu::ui
