#pragma once
// One row height for every list of the program, whatever control shows it.
#include <QAbstractItemView>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>

namespace tornu::ui {

inline int ListRowHeight(const QWidget& list) { return list.fontMetrics().height() + 6; }

// A table that shows rows to read and choose: no row numbers, one line a
// row of the program's height, whole rows selected, nothing edited in place.
inline void ShowRowsOnly(QTableView& table) {
    table.verticalHeader()->hide();
    table.verticalHeader()->setDefaultSectionSize(ListRowHeight(table));
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setWordWrap(false);
}

// A column of `list` wide enough for `sample`, with the cell's margins.
inline int ColumnWidthFor(const QWidget& list, const char* sample) {
    return list.fontMetrics().horizontalAdvance(QString::fromUtf8(sample)) + 16;
}

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
