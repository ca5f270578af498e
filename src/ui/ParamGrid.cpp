#include "ui/ParamGrid.h"

#include "doc/ConfigEditor.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unordered_map>

namespace tornu::ui {

namespace {

enum Role : int {
    kItemRole = Qt::UserRole,      // column 0: the row's item number
    kCommentRole = Qt::UserRole + 1,
    kCellRole = Qt::UserRole + 2,  // column 1: the GridCell
    kItemsRole = Qt::UserRole + 3, // column 1: the drop-down's items
    kFieldRole = Qt::UserRole + 4, // column 1: a read-only value's field colour
};

constexpr int kLabelColumn = 0;
constexpr int kValueColumn = 1;

QColor ToColor(const Rgb& rgb) { return {rgb.red, rgb.green, rgb.blue}; }

GridCell CellOf(const QModelIndex& index) {
    return static_cast<GridCell>(index.data(kCellRole).toInt());
}

// Edit fields and drop-downs in the value column; the end of an edit goes to
// the grid's commit instead of straight into the cell.
class CValueDelegate : public QStyledItemDelegate {
public:
    CValueDelegate(CParamGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

    // A read-only value stands in a grey field of its own: a grey band the
    // width of the row would read as a second selection.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant field = index.data(kFieldRole);
        if (field.isValid()) {
            const QRect box = option.rect.adjusted(1, 1, -3, -2);
            painter->save();
            painter->fillRect(box, field.value<QColor>());
            painter->setPen(option.palette.color(QPalette::Mid));
            painter->drawRect(box);
            painter->restore();
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        switch (CellOf(index)) {
        case GridCell::Edit:
            return QStyledItemDelegate::createEditor(parent, option, index);
        case GridCell::List:
        case GridCell::YesNo: {
            auto* box = new QComboBox(parent);
            box->addItems(index.data(kItemsRole).toStringList());
            return box;
        }
        default:
            return nullptr;
        }
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentIndex(box->findText(index.data(Qt::DisplayRole).toString()));
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        const int item = index.siblingAtColumn(kLabelColumn).data(kItemRole).toInt();
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            grid_.Commit(item, box->currentIndex() < 0 ? std::nullopt
                                                        : std::optional(box->currentText()));
            return;
        }
        if (auto* field = qobject_cast<QLineEdit*>(editor))
            grid_.Commit(item, field->text());
    }

private:
    CParamGrid& grid_;
};

} // namespace

CParamGrid::CParamGrid(CConfigEditor& editor, const IDocObserver& view, QWidget* parent)
    : QWidget(parent), editor_(editor), view_(view), rows_(new QTreeWidget(this)),
      comment_(new QLabel(this)) {
    rows_->setObjectName(QStringLiteral("paramGrid"));
    rows_->setColumnCount(2);
    rows_->setHeaderHidden(true);
    rows_->setUniformRowHeights(true);
    rows_->setAlternatingRowColors(false);
    rows_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    rows_->setItemDelegateForColumn(kValueColumn, new CValueDelegate(*this));
    rows_->header()->setStretchLastSection(true);
    rows_->setColumnWidth(kLabelColumn, kGridInitialLabelWidth);
    comment_->setObjectName(QStringLiteral("paramComment"));
    comment_->setWordWrap(true);
    comment_->setFrameShape(QFrame::StyledPanel);
    comment_->setMinimumHeight(fontMetrics().lineSpacing() * 3);
    comment_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    comment_->setTextFormat(Qt::PlainText);
    connect(rows_, &QTreeWidget::currentItemChanged, this, &CParamGrid::ShowComment);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rows_, 1);
    layout->addWidget(comment_);
}

QTreeWidgetItem* CParamGrid::Row(int item) const {
    for (QTreeWidgetItemIterator it(rows_); *it; ++it)
        if ((*it)->data(kLabelColumn, kItemRole).toInt() == item)
            return *it;
    return nullptr;
}

void CParamGrid::Clear() {
    node_ = nullptr;
    rows_->clear();
    comment_->clear();
}

void CParamGrid::Show(CTreeNode& node, const ParamGridModel& model) {
    if (&node != node_ || rows_->topLevelItemCount() == 0) {
        node_ = &node;
        Build(model);
        return;
    }
    for (const ParamGridRow& row : model.rows)
        if (row.kind == GridRowKind::Param)
            if (QTreeWidgetItem* item = Row(row.item))
                SetValue(*item, Q(row.display), row.unconverted);
}

void CParamGrid::Build(const ParamGridModel& model) {
    rows_->clear();
    comment_->clear();
    std::unordered_map<int, QTreeWidgetItem*> byItem;
    for (const ParamGridRow& row : model.rows) {
        QTreeWidgetItem* parent = row.parentItem < 0 ? nullptr : byItem[row.parentItem];
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(rows_);
        byItem[row.item] = item;
        item->setText(kLabelColumn, Q(row.label));
        item->setData(kLabelColumn, kItemRole, row.item);
        item->setData(kLabelColumn, kCommentRole, Q(row.comment));
        item->setData(kValueColumn, kCellRole, static_cast<int>(row.cell));
        QStringList items;
        for (const std::string& text : row.items)
            items << Q(text);
        item->setData(kValueColumn, kItemsRole, items);
        const bool editable = row.cell == GridCell::Edit || row.cell == GridCell::List ||
                              row.cell == GridCell::YesNo;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                       (editable ? Qt::ItemIsEditable : Qt::NoItemFlags));
        // Fixed light backgrounds get dark text, in a dark theme too.
        if (row.colour && row.cell == GridCell::Static) {
            item->setData(kValueColumn, kFieldRole, ToColor(*row.colour));
            item->setForeground(kValueColumn, QColor(Qt::black));
        } else if (row.colour) {
            for (int column : {kLabelColumn, kValueColumn}) {
                item->setBackground(column, ToColor(*row.colour));
                item->setForeground(column, QColor(Qt::black));
            }
        }
        if (row.kind != GridRowKind::Param) {
            QFont font = item->font(kLabelColumn);
            font.setBold(true);
            item->setFont(kLabelColumn, font);
            item->setFirstColumnSpanned(row.kind == GridRowKind::Root);
        } else {
            SetValue(*item, Q(row.display), row.unconverted);
        }
    }
    rows_->expandAll();
    rows_->setColumnWidth(kLabelColumn, GridLabelWidth(rows_->viewport()->width()));
}

void CParamGrid::SetValue(QTreeWidgetItem& row, const QString& text, bool unconverted) {
    row.setText(kValueColumn, text);
    // A stored text with no display form is shown as stored, marked.
    QFont font = row.font(kValueColumn);
    font.setItalic(unconverted);
    row.setFont(kValueColumn, font);
    row.setToolTip(kValueColumn, unconverted
                                     ? QStringLiteral("Хранимое значение не переводится в "
                                                      "отображаемый вид; показано как хранится")
                                     : QString());
}

void CParamGrid::Commit(int item, std::optional<QString> entered) {
    QTreeWidgetItem* row = Row(item);
    if (!node_ || !row || item < 0 || item >= kGridRootItem)
        return;
    const QString before = row->text(kValueColumn);
    std::optional<std::string> text;
    if (entered)
        text = S(*entered);
    const EditResult result = editor_.EditParam(*node_, static_cast<std::size_t>(item), text, &view_);
    switch (result.outcome) {
    case EditOutcome::Stored:
        // The cell keeps what the operator entered, no longer marked.
        SetValue(*row, *entered, false);
        break;
    case EditOutcome::Ignored:
        break;
    default:
        // Refused (the document has told the operator why): the text before.
        row->setText(kValueColumn, result.previousDisplay ? Q(*result.previousDisplay) : before);
        break;
    }
}

void CParamGrid::ShowComment() {
    QTreeWidgetItem* row = rows_->currentItem();
    comment_->setText(row ? row->data(kLabelColumn, kCommentRole).toString() : QString());
}

void CParamGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (rows_->topLevelItemCount() > 0)
        rows_->setColumnWidth(kLabelColumn, GridLabelWidth(rows_->viewport()->width()));
}

} // namespace tornu::ui
