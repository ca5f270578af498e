#include "ui/PhoneListModel.h"

#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "doc/PendingNodes.h"
#include "doc/TreeNode.h"
#include "ui/UiText.h"

#include <QColor>
#include <QFont>

namespace tornu::ui {

CPhoneListModel::CPhoneListModel(CConfigTree& tree, CConfigEditor& editor, CTreeNode& node,
                                 PhoneBookModel book, QObject* parent)
    : QAbstractTableModel(parent), CNodeFollower(tree, &node), editor_(editor),
      book_(std::move(book)) {}

CPhoneListModel::~CPhoneListModel() = default;

int CPhoneListModel::ColumnOf(int bit) const {
    for (std::size_t i = 0; i < book_.columns.size(); ++i)
        if (book_.columns[i].bit == bit)
            return kFirstBitColumn + static_cast<int>(i);
    return -1;
}

bool CPhoneListModel::IsBitColumn(int column) const {
    return column >= kFirstBitColumn &&
           column < kFirstBitColumn + static_cast<int>(book_.columns.size());
}

int CPhoneListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(book_.rows.size());
}

int CPhoneListModel::columnCount(const QModelIndex& parent) const {
    // The trailing empty column fills what is left of the width.
    return parent.isValid() ? 0 : kFirstBitColumn + static_cast<int>(book_.columns.size()) + 1;
}

QVariant CPhoneListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PhoneBookRow& row = book_.rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    if (role == Qt::BackgroundRole)
        return row.grey ? QVariant(QColor(kPhoneBookGreyBand.red, kPhoneBookGreyBand.green,
                                          kPhoneBookGreyBand.blue))
                        : QVariant();
    // The number and type bold: a bold phone would not fit its column.
    if (role == Qt::FontRole && row.pending && (column == kNumberColumn || column == kTypeColumn)) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role == Qt::ToolTipRole && row.pending)
        return QString::fromUtf8(kPendingItemTip);
    if (role == Qt::CheckStateRole && IsBitColumn(column)) {
        const int bit = book_.columns[static_cast<std::size_t>(column - kFirstBitColumn)].bit;
        return ((row.mask >> bit) & 1U) ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case kNumberColumn:
        return Q(row.number);
    case kPhoneColumn:
        return Q(row.phone);
    case kTypeColumn:
        return Q(row.type);
    default:
        return {};
    }
}

bool CPhoneListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!node_ ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const auto entry =
        static_cast<std::size_t>(book_.rows[static_cast<std::size_t>(index.row())].entry);
    // The document tells every observer, this model too: the rows follow.
    if (role == Qt::CheckStateRole && IsBitColumn(index.column())) {
        const int bit =
            book_.columns[static_cast<std::size_t>(index.column() - kFirstBitColumn)].bit;
        return editor_.SetPhoneMaskBit(*node_, entry, bit, value.toInt() == Qt::Checked);
    }
    if (role == Qt::EditRole && index.column() == kPhoneColumn)
        return editor_.SetPhoneNumber(*node_, entry, S(value.toString()));
    return false;
}

Qt::ItemFlags CPhoneListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid() || !node_)
        return flags;
    if (IsBitColumn(index.column()))
        flags |= Qt::ItemIsUserCheckable;
    else if (index.column() == kPhoneColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant CPhoneListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kNumberColumn:
        return QStringLiteral("№");
    case kPhoneColumn:
        return QStringLiteral("Телефон");
    case kTypeColumn:
        return QStringLiteral("Тип");
    default:
        return IsBitColumn(section)
                   ? Q(book_.columns[static_cast<std::size_t>(section - kFirstBitColumn)].label)
                   : QString();
    }
}

void CPhoneListModel::Reload() {
    std::optional<PhoneBookModel> now = node_ ? editor_.PhoneBook(*node_) : std::nullopt;
    std::vector<PhoneBookRow> rows = now ? std::move(now->rows) : std::vector<PhoneBookRow>{};
    if (rows.size() != book_.rows.size()) {
        beginResetModel();
        book_.rows = std::move(rows);
        endResetModel();
        return;
    }
    const int last = columnCount() - 1;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const PhoneBookRow& was = book_.rows[row];
        PhoneBookRow& is = rows[row];
        if (was.phone == is.phone && was.mask == is.mask && was.type == is.type &&
            was.number == is.number && was.grey == is.grey && was.pending == is.pending)
            continue;
        book_.rows[row] = std::move(is);
        emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), last));
    }
}






} // namespace tornu::ui
