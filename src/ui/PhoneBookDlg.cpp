#include "ui/PhoneBookDlg.h"
#include "ui/DialogButtons.h"

#include "doc/ConfigEditor.h"
#include "ui/KeyListModel.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/PhoneListModel.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tornu::ui {

namespace {

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
int FullWidth(const QTreeView& list) {
    int width = 2 * list.frameWidth() + list.verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < list.model()->columnCount(); ++column)
        width += list.columnWidth(column);
    return width;
}

} // namespace

CPhoneBookDlg::CPhoneBookDlg(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node,
                             PhoneBookModel book, CQtOperator& op, QWidget* parent)
    : QDialog(parent), operator_(op),
      model_(new CPhoneListModel(tree, editor, node, std::move(book), this)),
      list_(new QTreeView(this)) {
    setWindowTitle(QStringLiteral("Телефонная книга"));
    setSizeGripEnabled(true);
    list_->setObjectName(QStringLiteral("phones"));
    list_->setModel(model_);
    SetupList(*list_);
    const int trailing = model_->columnCount() - 1;
    list_->setColumnWidth(CPhoneListModel::kNumberColumn, 25);
    list_->setColumnWidth(CPhoneListModel::kPhoneColumn, 100);
    // "VOICE" and the bit labels are wider than the classic widths.
    list_->setColumnWidth(CPhoneListModel::kTypeColumn,
                          std::max(40, list_->fontMetrics().horizontalAdvance("VOICE") + 16));
    for (int column = CPhoneListModel::kFirstBitColumn; column < trailing; ++column) {
        list_->resizeColumnToContents(column);
        list_->setColumnWidth(column, std::max(list_->columnWidth(column), 40));
    }
    // The trailing empty column only fills what is left.
    list_->setColumnWidth(trailing, list_->header()->minimumSectionSize());
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { EditNumber(index.row()); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(DialogButtons(*this, QDialogButtonBox::Ok));
    list_->setMinimumSize(std::min(FullWidth(*list_), 1000), 360);
}

void CPhoneBookDlg::EditNumber(int row) {
    const QPersistentModelIndex phone = model_->index(row, CPhoneListModel::kPhoneColumn);
    if (!phone.isValid())
        return;
    // OK stores through the model; a refusal keeps the dialog open.
    CPhoneNumberDlg dialog(
        phone.data().toString(),
        [&](const QString& typed) { return model_->setData(phone, typed); }, this);
    if (operator_.Runner().Exec(dialog) == QDialog::Accepted)
        list_->setCurrentIndex(phone);
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
