#pragma once
// One row height for every list of the program, whatever control shows it.
#include <QStyledItemDelegate>
#include <QWidget>

namespace tornu::ui {

inline int ListRowHeight(const QWidget& list) { return list.fontMetrics().height() + 6; }

// The items of a list shown by a tree control, as tall as a table's rows.
class CListRowDelegate : public QStyledItemDelegate {
public:
    explicit CListRowDelegate(QWidget& list) : QStyledItemDelegate(&list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(0, ListRowHeight(list_)));
    }

private:
    QWidget& list_;
};

} // namespace tornu::ui
