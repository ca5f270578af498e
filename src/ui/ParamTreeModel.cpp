#include "ui/ParamTreeModel.h"

#include "doc/ConfigEditor.h"
#include "doc/ConfigTree.h"
#include "doc/PendingNodes.h"
#include "doc/TreeNode.h"
#include "ui/UiText.h"

#include <QColor>
#include <QFont>

#include <unordered_map>

namespace tornu::ui {

namespace {

QColor ToColor(const Rgb& rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

bool SameShape(const std::vector<ParamGridRow>& a, const std::vector<ParamGridRow>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].item != b[i].item || a[i].parentItem != b[i].parentItem ||
            a[i].kind != b[i].kind || a[i].cell != b[i].cell || a[i].label != b[i].label ||
            a[i].items != b[i].items || a[i].colour != b[i].colour || a[i].comment != b[i].comment)
            return false;
    return true;
}

} // namespace

CParamTreeModel::CParamTreeModel(CConfigTree& tree, CConfigEditor& editor, const IDocObserver& view,
                                 QObject* parent)
    : QAbstractItemModel(parent), CNodeFollower(tree), editor_(editor), view_(view) {}

CParamTreeModel::~CParamTreeModel() = default;

void CParamTreeModel::LetGo() {
    Show(nullptr, {});
}

void CParamTreeModel::Show(CTreeNode* node, const ParamGridModel& grid) {
    if (node != node_ || !SameShape(rows_, grid.rows)) {
        node_ = node;
        Build(node ? grid.rows : std::vector<ParamGridRow>{});
        return;
    }
    Update(grid.rows);
}

void CParamTreeModel::Build(std::vector<ParamGridRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    const std::size_t count = rows_.size();
    parent_.assign(count, -1);
    row_.assign(count, 0);
    children_.assign(count, {});
    top_.clear();
    std::unordered_map<int, int> byItem;
    for (std::size_t i = 0; i < count; ++i) {
        const auto position = static_cast<int>(i);
        byItem[rows_[i].item] = position;
        const auto parent = byItem.find(rows_[i].parentItem);
        std::vector<int>& siblings = parent == byItem.end() ? top_ : children_[parent->second];
        if (parent != byItem.end())
            parent_[i] = parent->second;
        row_[i] = static_cast<int>(siblings.size());
        siblings.push_back(position);
    }
    endResetModel();
}

void CParamTreeModel::Update(std::vector<ParamGridRow> rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ParamGridRow& row = rows_[i];
        if (row.display == rows[i].display && row.unconverted == rows[i].unconverted &&
            row.pending == rows[i].pending)
            continue;
        row.display = std::move(rows[i].display);
        row.unconverted = rows[i].unconverted;
        row.pending = rows[i].pending;
        ValueChanged(static_cast<int>(i));
    }
}

void CParamTreeModel::ValueChanged(int position) {
    const QModelIndex value = createIndex(row_[static_cast<std::size_t>(position)], kValueColumn,
                                          static_cast<quintptr>(position));
    emit dataChanged(value, value);
}

void CParamTreeModel::Reload() {
    std::optional<ParamGridModel> now = node_ ? editor_.ParamGrid(*node_) : std::nullopt;
    if (!now)
        node_ = nullptr;
    Show(node_, now ? *now : ParamGridModel{});
}

QModelIndex CParamTreeModel::IndexOf(int item) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].item == item)
            return createIndex(row_[i], kLabelColumn, static_cast<quintptr>(i));
    return {};
}

QModelIndex CParamTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent))
        return {};
    const std::vector<int>& siblings =
        parent.isValid() ? children_[static_cast<std::size_t>(parent.internalId())] : top_;
    return createIndex(row, column, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

QModelIndex CParamTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    const int parent = parent_[static_cast<std::size_t>(child.internalId())];
    if (parent < 0)
        return {};
    return createIndex(row_[static_cast<std::size_t>(parent)], kLabelColumn,
                       static_cast<quintptr>(parent));
}

int CParamTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(top_.size());
    if (parent.column() != kLabelColumn)
        return 0;
    return static_cast<int>(children_[static_cast<std::size_t>(parent.internalId())].size());
}

int CParamTreeModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant CParamTreeModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const ParamGridRow& row = rows_[static_cast<std::size_t>(index.internalId())];
    switch (role) {
    case kItemRole:
        return row.item;
    case kCommentRole:
        return Q(row.comment);
    default:
        return index.column() == kLabelColumn ? LabelData(row, role) : ValueData(row, role);
    }
}

QVariant CParamTreeModel::LabelData(const ParamGridRow& row, int role) const {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Q(row.label);
    case Qt::FontRole: {
        if (row.kind == GridRowKind::Param)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    // Fixed light backgrounds get dark text, in a dark theme too.
    case Qt::BackgroundRole:
        return row.colour && row.cell != GridCell::Static ? QVariant(ToColor(*row.colour))
                                                          : QVariant();
    case Qt::ForegroundRole:
        return row.colour && row.cell != GridCell::Static ? QVariant(QColor(Qt::black))
                                                          : QVariant();
    default:
        return {};
    }
}

QVariant CParamTreeModel::ValueData(const ParamGridRow& row, int role) const {
    const bool param = row.kind == GridRowKind::Param;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return param ? Q(row.display) : QString();
    case Qt::FontRole: {
        // A stored text with no display form is shown as stored, marked; a
        // value not yet written to the terminal is bold.
        if (!row.unconverted && !row.pending)
            return {};
        QFont font;
        font.setItalic(row.unconverted);
        font.setBold(row.pending);
        return font;
    }
    case Qt::ToolTipRole:
        if (row.unconverted)
            return QStringLiteral("Хранимое значение не переводится в "
                                  "отображаемый вид; показано как хранится");
        return row.pending ? QVariant(QString::fromUtf8(kPendingItemTip)) : QVariant();
    case Qt::BackgroundRole:
        return row.colour && row.cell != GridCell::Static ? QVariant(ToColor(*row.colour))
                                                          : QVariant();
    case Qt::ForegroundRole:
        return row.colour ? QVariant(QColor(Qt::black)) : QVariant();
    case kCellRole:
        return static_cast<int>(row.cell);
    case kItemsRole: {
        QStringList items;
        for (const std::string& text : row.items)
            items << Q(text);
        return items;
    }
    case kFieldRole:
        return row.colour && row.cell == GridCell::Static ? QVariant(ToColor(*row.colour))
                                                          : QVariant();
    default:
        return {};
    }
}

bool CParamTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !node_ || index.column() != kValueColumn ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int position = static_cast<int>(index.internalId());
    const int item = rows_[static_cast<std::size_t>(position)].item;
    if (rows_[static_cast<std::size_t>(position)].kind != GridRowKind::Param || item < 0)
        return false;
    std::optional<std::string> entered;
    if (value.isValid())
        entered = S(value.toString());
    // The document tells this model of the change before it answers.
    const EditResult result =
        editor_.EditParam(*node_, static_cast<std::size_t>(item), entered, &view_);
    // Let go meanwhile: another program had deleted the node's terminal.
    if (!node_)
        return false;
    ParamGridRow& row = rows_[static_cast<std::size_t>(position)];
    switch (result.outcome) {
    case EditOutcome::Stored:
        // The cell keeps what the operator entered, no longer marked.
        if (entered) {
            row.display = std::move(*entered);
            row.unconverted = false;
        }
        ValueChanged(position);
        return true;
    case EditOutcome::Ignored:
        return false;
    default:
        // Refused (the document has told the operator why).
        if (result.previousDisplay)
            row.display = *result.previousDisplay;
        ValueChanged(position);
        return false;
    }
}

Qt::ItemFlags CParamTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const GridCell cell = rows_[static_cast<std::size_t>(index.internalId())].cell;
    if (node_ && index.column() == kValueColumn &&
        (cell == GridCell::Edit || cell == GridCell::List || cell == GridCell::YesNo))
        flags |= Qt::ItemIsEditable;
    return flags;
}





} // namespace tornu::ui
