#include "ui/CompareDlg.h"

#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/TornuCfgDoc.h"
#include "ui/CompareModel.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tornu::ui {

CCompareDlg::CCompareDlg(std::shared_ptr<CNodeComparison> comparison, CTornuCfgDoc& doc,
                         CQtOperator& op, QWidget* parent)
    : QDialog(parent), comparison_(std::move(comparison)), doc_(doc), operator_(op),
      model_(new CCompareModel(comparison_->TerminalId(), this)), list_(new QTableView(this)),
      count_(new QLabel(this)),
      take_(new QPushButton(QStringLiteral("Взять значения прибора"), this)),
      write_(new QPushButton(QStringLiteral("Записать значения базы..."), this)) {
    setWindowTitle(QStringLiteral("%1: %2 %3")
                       .arg(QString::fromUtf8(kCompareTitle),
                            comparison_->DeviceAddress() < 0 ? QStringLiteral("базовый модуль")
                                                             : QStringLiteral("устройство"),
                            Q(comparison_->NodeText())));
    setObjectName(QStringLiteral("compare"));
    setSizeGripEnabled(true);
    list_->setObjectName(QStringLiteral("differences"));
    take_->setObjectName(QStringLiteral("takeTerminalValues"));
    write_->setObjectName(QStringLiteral("writeStoredValues"));
    list_->setModel(model_);
    ShowRowsOnly(*list_);
    list_->horizontalHeader()->setStretchLastSection(true);
    const auto width = [this](const char* sample) { return ColumnWidthFor(*list_, sample); };
    list_->setColumnWidth(CCompareModel::kNodeColumn, width("Устройство"));
    list_->setColumnWidth(CCompareModel::kWhatColumn, width("Ключ Мастер: Электронный номер"));
    // A key code or a partition's loop types whole.
    list_->setColumnWidth(CCompareModel::kStoredColumn,
                          std::max(width("540000001E3C5A01"), width("0, 0, 0, 0, 0, 0, 0, 0")));

    for (QPushButton* button : {take_, write_})
        button->setAutoDefault(false);
    connect(take_, &QPushButton::clicked, this, &CCompareDlg::TakeTerminalValues);
    connect(write_, &QPushButton::clicked, this, &CCompareDlg::WriteStoredValues);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* below = new QHBoxLayout;
    below->addWidget(count_, 1);
    below->addWidget(take_);
    below->addWidget(write_);
    below->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(below);
    resize(860, 420);
    Show();
}

void CCompareDlg::Run(CTornuCfgDoc& doc, CQtOperator& op, const CTreeNode& node,
                      QWidget* parent) {
    auto comparison = std::make_shared<CNodeComparison>(
        doc.Workspace(), node.Terminal().Id(), node.Device() ? node.Device()->Address() : -1);
    if (CResult started = comparison->Start(doc.Exchanges()); !started) {
        op.Message(started.Error());
        return;
    }
    QPointer<QWidget> owner(parent);
    // The log window shows the reads and may cancel them; this window
    // follows once it has closed.
    op.WatchExchange(comparison->Monitor(), [&doc, &op, comparison, owner](ExchangeLogEnd end) {
        if (end == ExchangeLogEnd::Cancelled)
            return;
        if (CResult read = comparison->Finish(); !read) {
            op.Message(read.Error());
            return;
        }
        auto* dialog = new CCompareDlg(comparison, doc, op, owner);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        op.Runner().Show(*dialog);
    });
}

void CCompareDlg::Show() {
    model_->SetDifferences(comparison_->Differences());
    const std::size_t count = model_->Differences().size();
    count_->setText(count == 0 ? QStringLiteral("Значения в базе и в приборе совпадают")
                               : QStringLiteral("Отличий: %1").arg(count));
    take_->setEnabled(count > 0);
    write_->setEnabled(count > 0);
}

void CCompareDlg::TakeTerminalValues() {
    if (CResult taken = comparison_->TakeTerminalValues(doc_.Tree(), doc_.Exchanges()); !taken)
        operator_.Message(taken.Error());
    Show();
}

void CCompareDlg::WriteStoredValues() {
    CTreeNode* node = doc_.FindNode(comparison_->TerminalId(), comparison_->DeviceAddress());
    if (!node) {
        operator_.Message(kNodeGoneMessage);
        return;
    }
    std::vector<int> codes;
    for (std::int32_t code : CNodeComparison::WriteCodes(model_->Differences()))
        codes.push_back(code);
    operator_.TickCommands(std::move(codes));
    doc_.Exchanges().RunCommands(*node);
    operator_.TickCommands({});
}

} // namespace tornu::ui
