#include "ui/DeviceOptionsView.h"

#include "doc/TornuCfgDoc.h"
#include "protocol/LoopStates.h"
#include "ui/ListRowDelegate.h"
#include "ui/LoopDlg.h"
#include "ui/LoopListModel.h"
#include "ui/ModalRunner.h"
#include "ui/ParamGrid.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"
#include "ui/ViewFields.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tornu::ui {

namespace {

constexpr int kStateColumn = 3;

QLabel* Caption(std::string_view text, QWidget* parent) {
    return new QLabel(Q(text), parent);
}

} // namespace

CDeviceOptionsView::CDeviceOptionsView(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent)
    : QWidget(parent), doc_(doc), operator_(op), terminal_(ReadOnlyField("terminal", this)),
      address_(ReadOnlyField("address", this)), type_(ReadOnlyField("type", this)),
      name_(ReadOnlyField("name", this)), lastKey_(ReadOnlyField("lastKey", this)),
      lastTime_(ReadOnlyField("lastTime", this)),
      loopModel_(new CLoopListModel(doc.Tree(), doc.Editor(), this)), loops_(new QTableView(this)),
      grid_(new CParamGrid(doc.Tree(), doc.Editor(), *this, this)) {
    setObjectName(QStringLiteral("deviceOptions"));

    auto* head = new QGridLayout;
    head->addWidget(Caption("Номер прибора", this), 0, 0);
    head->addWidget(terminal_, 0, 1);
    head->addWidget(Caption("Сетевой адрес", this), 0, 2);
    head->addWidget(address_, 0, 3);
    head->addWidget(Caption("Тип устройства", this), 1, 0);
    head->addWidget(type_, 1, 1, 1, 3);
    QLabel* nameCaption = Caption("Название", this);
    head->addWidget(nameCaption, 2, 0);
    head->addWidget(name_, 2, 1, 1, 3);
    head->setColumnStretch(1, 1);
    head->setColumnStretch(3, 1);

    auto* system = new QGroupBox(Q(kSystemStateGroupCaption), this);
    auto* systemGrid = new QGridLayout(system);
    const auto fields = SystemStateFields();
    for (std::size_t position = 0; position < states_.size(); ++position) {
        const int bit = kSystemStateViewOrder[position];
        auto* label = new QLabel(system);
        label->setObjectName(QStringLiteral("state%1").arg(position));
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::StyledPanel);
        label->setMinimumWidth(110);
        const int row = static_cast<int>(position / 2);
        const int column = static_cast<int>(position % 2) * 2;
        systemGrid->addWidget(Caption(fields[static_cast<std::size_t>(bit)].label, system), row,
                              column);
        systemGrid->addWidget(label, row, column + 1);
        states_[position] = label;
    }
    systemGrid->setColumnStretch(1, 1);
    systemGrid->setColumnStretch(3, 1);

    auto* last = new QGridLayout;
    QLabel* lastKeyCaption = Caption(kLastKeyCaption, this);
    QLabel* lastTimeCaption = Caption(kLastTimeCaption, this);
    last->addWidget(lastKeyCaption, 0, 0);
    last->addWidget(lastKey_, 0, 1);
    last->addWidget(lastTimeCaption, 1, 0);
    last->addWidget(lastTime_, 1, 1);
    last->setColumnStretch(1, 1);

    loops_->setObjectName(QStringLiteral("loops"));
    loops_->setModel(loopModel_);
    const auto columns = LoopListColumns();
    for (int i = 0; i < kLoopListColumnCount; ++i)
        loops_->setColumnWidth(i, columns[static_cast<std::size_t>(i)].width);
    // "Состояние" holds the longest state text; the last column takes the rest.
    int stateWidth = loops_->columnWidth(kStateColumn);
    for (int state = 0; state < kLoopStateCount; ++state)
        stateWidth =
            std::max(stateWidth, fontMetrics().horizontalAdvance(Q(LoopStateText(state))) + 12);
    loops_->setColumnWidth(kStateColumn, stateWidth);
    loops_->horizontalHeader()->setStretchLastSection(true);
    loops_->verticalHeader()->hide();
    loops_->verticalHeader()->setDefaultSectionSize(ListRowHeight(*loops_));
    loops_->horizontalHeader()->setHighlightSections(false);
    loops_->setShowGrid(true);
    loops_->setSelectionBehavior(QAbstractItemView::SelectRows);
    loops_->setSelectionMode(QAbstractItemView::SingleSelection);
    loops_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(loops_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { EditLoop(index.row()); });
    QLabel* loopsCaption = Caption("Шлейфы", this);
    auto* loopsBox = new QWidget(this);
    auto* loopsLayout = new QVBoxLayout(loopsBox);
    loopsLayout->setContentsMargins(0, 0, 0, 0);
    loopsLayout->addWidget(loopsCaption);
    loopsLayout->addWidget(loops_);

    // The loop list and the grid share what is left, the operator moves the line.
    auto* lower = new QSplitter(Qt::Vertical, this);
    lower->addWidget(loopsBox);
    lower->addWidget(grid_);
    lower->setChildrenCollapsible(false);
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(system);
    layout->addLayout(last);
    layout->addWidget(lower, 1);
    masterOnly_ = {nameCaption, name_,           system,    lastKeyCaption,
                   lastKey_,    lastTimeCaption, lastTime_, loopsBox};
    doc_.Tree().AddObserver(*this);
}

CDeviceOptionsView::~CDeviceOptionsView() {
    doc_.Tree().RemoveObserver(*this);
}

void CDeviceOptionsView::Refresh() {
    const std::optional<DeviceViewModel> model =
        node_ ? doc_.Editor().DeviceView(*node_) : std::optional<DeviceViewModel>();
    const std::optional<ParamGridModel> grid =
        node_ ? doc_.Editor().ParamGrid(*node_) : std::optional<ParamGridModel>();
    if (!model || !grid) {
        Clear();
        return;
    }
    for (QWidget* widget : masterOnly_)
        widget->setVisible(!model->subordinate);
    ShowHeader(*model);
    loopModel_->Show(node_);
    grid_->Show(*node_, *grid);
}

void CDeviceOptionsView::Clear() {
    for (QLineEdit* field : {terminal_, address_, type_, name_, lastKey_, lastTime_})
        field->clear();
    for (QLabel* label : states_) {
        label->clear();
        label->setPalette(palette());
    }
    loopModel_->Show(nullptr);
    grid_->Clear();
}

void CDeviceOptionsView::ShowHeader(const DeviceViewModel& model) {
    terminal_->setText(QString::number(model.terminal));
    address_->setText(QString::number(model.address));
    type_->setText(Q(model.type));
    name_->setText(Q(model.name));
    for (std::size_t position = 0; position < states_.size(); ++position)
        SetState(*states_[position], model.system[position]);
    lastKey_->setText(Q(model.lastKey));
    lastTime_->setText(Q(model.lastTime));
}

void CDeviceOptionsView::SetState(QLabel& label, const SystemStateModel& state) {
    label.setText(Q(state.text));
    QPalette colours = palette();
    if (state.colour) {
        // A fixed bright background needs dark text, in a dark theme too.
        colours.setColor(QPalette::Window,
                         QColor(state.colour->red, state.colour->green, state.colour->blue));
        colours.setColor(QPalette::WindowText, Qt::black);
    } else {
        colours.setColor(QPalette::Window, colours.color(QPalette::Button));
        colours.setColor(QPalette::WindowText, colours.color(QPalette::ButtonText));
    }
    label.setPalette(colours);
}

void CDeviceOptionsView::EditLoop(int row) {
    const QModelIndex comment = loopModel_->index(row, CLoopListModel::kCommentColumn);
    if (!comment.isValid())
        return;
    const int type = comment.data(CLoopListModel::kTypeRole).toInt();
    CLoopDlg dialog({comment.data(CLoopListModel::kLoopRole).toInt()},
                    {LoopTypeBoxes(type), S(comment.data(Qt::EditRole).toString())}, operator_,
                    window());
    if (operator_.Runner().Exec(dialog) != QDialog::Accepted)
        return;
    // The document writes only what changed; the rows follow its notice.
    const LoopInput input = dialog.Input();
    loopModel_->setItemData(comment, {{Qt::EditRole, Q(input.comment)},
                                      {CLoopListModel::kTypeRole, LoopTypeFromBoxes(input.boxes)}});
}

} // namespace tornu::ui
