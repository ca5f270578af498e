#include "ui/ParamGrid.h"

#include "ui/ParamTreeModel.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace tornu::ui {

namespace {

using Model = CParamTreeModel;

GridCell CellOf(const QModelIndex& index) {
    return static_cast<GridCell>(index.data(Model::kCellRole).toInt());
}

// Edit fields and drop-downs in the value column; a drop-down with nothing
// chosen commits nothing chosen, not an empty text.
class CValueDelegate : public QStyledItemDelegate {
public:
    explicit CValueDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

    // A read-only value stands in a grey field of its own: a grey band the
    // width of the row would read as a second selection.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant field = index.data(Model::kFieldRole);
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
            box->addItems(index.data(Model::kItemsRole).toStringList());
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

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, box->currentIndex() < 0 ? QVariant() : box->currentText());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

} // namespace

CParamGrid::CParamGrid(CConfigTree& tree, CConfigEditor& editor, const IDocObserver& view,
                       QWidget* parent)
    : QWidget(parent), model_(new CParamTreeModel(tree, editor, view, this)),
      rows_(new QTreeView(this)), comment_(new QLabel(this)) {
    rows_->setObjectName(QStringLiteral("paramGrid"));
    rows_->setModel(model_);
    rows_->setHeaderHidden(true);
    rows_->setUniformRowHeights(true);
    rows_->setAlternatingRowColors(false);
    rows_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    rows_->setItemDelegateForColumn(CParamTreeModel::kValueColumn, new CValueDelegate(this));
    rows_->header()->setStretchLastSection(true);
    rows_->setColumnWidth(CParamTreeModel::kLabelColumn, kGridInitialLabelWidth);
    comment_->setObjectName(QStringLiteral("paramComment"));
    comment_->setWordWrap(true);
    comment_->setFrameShape(QFrame::StyledPanel);
    comment_->setMinimumHeight(fontMetrics().lineSpacing() * 3);
    comment_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    comment_->setTextFormat(Qt::PlainText);
    connect(rows_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CParamGrid::ShowComment);
    connect(model_, &QAbstractItemModel::modelReset, this, &CParamGrid::Built);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rows_, 1);
    layout->addWidget(comment_);
}

QModelIndex CParamGrid::Row(int item) const {
    return model_->IndexOf(item);
}

void CParamGrid::Clear() {
    model_->Show(nullptr, {});
}

void CParamGrid::Show(CTreeNode& node, const ParamGridModel& model) {
    model_->Show(&node, model);
}

void CParamGrid::Built() {
    comment_->clear();
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->index(row, 0).data(CParamTreeModel::kItemRole).toInt() == kGridRootItem)
            rows_->setFirstColumnSpanned(row, {}, true);
    rows_->expandAll();
    if (model_->rowCount() > 0)
        rows_->setColumnWidth(CParamTreeModel::kLabelColumn,
                              GridLabelWidth(rows_->viewport()->width()));
}

void CParamGrid::ShowComment() {
    const QModelIndex row = rows_->currentIndex();
    comment_->setText(row.isValid() ? row.data(CParamTreeModel::kCommentRole).toString()
                                    : QString());
}

void CParamGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (model_->rowCount() > 0)
        rows_->setColumnWidth(CParamTreeModel::kLabelColumn,
                              GridLabelWidth(rows_->viewport()->width()));
}

} // namespace tornu::ui
