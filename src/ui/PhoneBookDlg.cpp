#include "ui/PhoneBookDlg.h"
#include "ui/DialogButtons.h"

#include "doc/ConfigEditor.h"
#include "ui/KeyListModel.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tornu::ui {

namespace {

// Columns before the bit columns.
enum PhoneColumn { kNumberColumn = 0, kPhoneColumn = 1, kTypeColumn = 2, kFirstBitColumn = 3 };

void SetupList(QTreeView& list) {
    list.setRootIsDecorated(false);
    list.setUniformRowHeights(true);
    list.setAllColumnsShowFocus(true);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.header()->setStretchLastSection(true);
    list.header()->setSectionsMovable(false);
    list.setItemDelegate(new CListRowDelegate(list));
}

// Wide enough for every column, the trailing one at its least, without a
// horizontal scroll bar.
int FullWidth(const QTreeWidget& list) {
    int width = 2 * list.frameWidth() + list.verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < list.columnCount(); ++column)
        width += list.columnWidth(column);
    return width;
}

} // namespace

CPhoneBookDlg::CPhoneBookDlg(CConfigEditor& editor, CTreeNode& node, PhoneBookModel model,
                             CQtOperator& op, QWidget* parent)
    : QDialog(parent), editor_(editor), node_(node), model_(std::move(model)), operator_(op),
      list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Телефонная книга"));
    setSizeGripEnabled(true);
    list_->setObjectName(QStringLiteral("phones"));
    SetupList(*list_);
    QStringList headers{QStringLiteral("№"), QStringLiteral("Телефон"), QStringLiteral("Тип")};
    for (const PhoneBookColumn& column : model_.columns)
        headers << Q(column.label);
    headers << QString();
    list_->setHeaderLabels(headers);
    list_->setColumnWidth(kNumberColumn, 25);
    list_->setColumnWidth(kPhoneColumn, 100);
    // "VOICE" and the bit labels are wider than the classic widths.
    list_->setColumnWidth(kTypeColumn,
                          std::max(40, list_->fontMetrics().horizontalAdvance("VOICE") + 16));
    for (int column = kFirstBitColumn; column < list_->columnCount() - 1; ++column) {
        list_->resizeColumnToContents(column);
        list_->setColumnWidth(column, std::max(list_->columnWidth(column), 40));
    }
    // The trailing empty column only fills what is left.
    list_->setColumnWidth(list_->columnCount() - 1, list_->header()->minimumSectionSize());
    Fill();
    connect(list_, &QTreeWidget::itemChanged, this, &CPhoneBookDlg::OnItemChanged);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { EditNumber(list_->indexOfTopLevelItem(item)); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(DialogButtons(*this, QDialogButtonBox::Ok));
    list_->setMinimumSize(std::min(FullWidth(*list_), 1000), 360);
}

int CPhoneBookDlg::ColumnOf(int bit) const {
    for (std::size_t i = 0; i < model_.columns.size(); ++i)
        if (model_.columns[i].bit == bit)
            return kFirstBitColumn + static_cast<int>(i);
    return -1;
}

void CPhoneBookDlg::Fill() {
    list_->clear();
    for (std::size_t row = 0; row < model_.rows.size(); ++row) {
        auto* item = new QTreeWidgetItem(list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        ShowRow(static_cast<int>(row));
        if (model_.rows[row].grey) {
            const QColor grey(kPhoneBookGreyBand.red, kPhoneBookGreyBand.green,
                              kPhoneBookGreyBand.blue);
            for (int column = 0; column < list_->columnCount(); ++column)
                item->setBackground(column, grey);
        }
    }
}

void CPhoneBookDlg::ShowRow(int row) {
    // The row's item stays: it may be the one whose signal is being handled.
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item || row >= static_cast<int>(model_.rows.size()))
        return;
    const PhoneBookRow& entry = model_.rows[static_cast<std::size_t>(row)];
    const bool filling = std::exchange(filling_, true);
    item->setText(kNumberColumn, Q(entry.number));
    item->setText(kPhoneColumn, Q(entry.phone));
    item->setText(kTypeColumn, Q(entry.type));
    for (std::size_t i = 0; i < model_.columns.size(); ++i) {
        const bool set = (entry.mask >> model_.columns[i].bit) & 1U;
        item->setCheckState(kFirstBitColumn + static_cast<int>(i), set ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = filling;
}

void CPhoneBookDlg::Reload(int row) {
    std::optional<PhoneBookModel> now = editor_.PhoneBook(node_);
    if (!now || now->rows.size() != model_.rows.size())
        return;
    model_ = std::move(*now);
    ShowRow(row);
}

void CPhoneBookDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (filling_ || column < kFirstBitColumn || column >= kFirstBitColumn + int(model_.columns.size()))
        return;
    const int row = list_->indexOfTopLevelItem(item);
    if (row < 0)
        return;
    const PhoneBookRow& entry = model_.rows[static_cast<std::size_t>(row)];
    const int bit = model_.columns[static_cast<std::size_t>(column - kFirstBitColumn)].bit;
    const bool on = item->checkState(column) == Qt::Checked;
    editor_.SetPhoneMaskBit(node_, static_cast<std::size_t>(entry.entry), bit, on);
    // Shown as stored, refused or not.
    Reload(row);
}

void CPhoneBookDlg::EditNumber(int row) {
    if (row < 0 || row >= static_cast<int>(model_.rows.size()))
        return;
    const PhoneBookRow entry = model_.rows[static_cast<std::size_t>(row)];
    CPhoneNumberDlg dialog(Q(entry.phone), [&](const QString& typed) {
        return editor_.SetPhoneNumber(node_, static_cast<std::size_t>(entry.entry), S(typed));
    }, this);
    if (operator_.Runner().Exec(dialog) == QDialog::Accepted)
        Reload(row);
}

CPhoneNumberDlg::CPhoneNumberDlg(const QString& number, std::function<bool(const QString&)> store,
                                 QWidget* parent)
    : QDialog(parent), store_(std::move(store)), field_(new QLineEdit(number, this)) {
    setWindowTitle(QStringLiteral("Номер телефона"));
    field_->setObjectName(QStringLiteral("phone"));
    field_->setMaxLength(kPhoneNumberMaxLength);
    field_->setMinimumWidth(200);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Номер"), field_);
    form->addRow(DialogButtons(*this));
}

void CPhoneNumberDlg::accept() {
    if (store_(field_->text()))
        QDialog::accept();
}

CKeysDlg::CKeysDlg(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node, CQtOperator& op,
                   QWidget* parent)
    : QDialog(parent), operator_(op), model_(new CKeyListModel(tree, editor, node, this)),
      list_(new QTreeView(this)) {
    setWindowTitle(QStringLiteral("Ключи"));
    setSizeGripEnabled(true);
    list_->setObjectName(QStringLiteral("keys"));
    list_->setModel(model_);
    SetupList(*list_);
    list_->setColumnWidth(CKeyListModel::kNumberColumn, 60);
    list_->setColumnWidth(CKeyListModel::kCodeColumn, 140);
    list_->setColumnWidth(CKeyListModel::kOwnerColumn, 300);
    // Every key in sight, under the header.
    list_->setMinimumSize(540, std::max(300, (model_->rowCount() + 1) * ListRowHeight(*list_) +
                                                 2 * list_->frameWidth() + 4));
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { EditKey(index.row()); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(DialogButtons(*this, QDialogButtonBox::Ok));
}

void CKeysDlg::EditKey(int row) {
    const QModelIndex code = model_->index(row, CKeyListModel::kCodeColumn);
    if (!code.isValid())
        return;
    CKeyDlg dialog(model_->index(row, CKeyListModel::kOwnerColumn).data().toString(),
                   code.data().toString(), this);
    for (;;) {
        if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
            return;
        if (model_->setItemData(code, {{Qt::EditRole, dialog.Code()->text()},
                                       {CKeyListModel::kOwnerRole, dialog.Owner()->text()}}))
            break;
        // Refused with its message: the same dialog again, as typed.
        dialog.setResult(QDialog::Rejected);
    }
    list_->setCurrentIndex(code);
}

CKeyDlg::CKeyDlg(const QString& owner, const QString& code, QWidget* parent)
    : QDialog(parent), owner_(new QLineEdit(owner, this)), code_(new QLineEdit(code, this)) {
    setWindowTitle(QStringLiteral("Ключ"));
    owner_->setObjectName(QStringLiteral("owner"));
    code_->setObjectName(QStringLiteral("code"));
    owner_->setMinimumWidth(260);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Владелец"), owner_);
    form->addRow(QStringLiteral("&Электронный номер"), code_);
    form->addRow(DialogButtons(*this));
}

} // namespace tornu::ui
