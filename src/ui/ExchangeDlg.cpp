#include "ui/ExchangeDlg.h"
#include "ui/DialogButtons.h"

#include "catalogue/CommandDesc.h"
#include "ui/CommandListModel.h"
#include "ui/CommandParamsDlg.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tornu::ui {

CExchangeDlg::CExchangeDlg(Form form, std::vector<CCommandDesc*> commands, CQtOperator& op,
                           QWidget* parent)
    : QDialog(parent), form_(form), operator_(op),
      model_(new CCommandListModel(std::move(commands), form == Form::Results, this)),
      list_(new QTableView(this)),
      showResults_(new QCheckBox(QStringLiteral("Показывать результат выполнения команд"), this)) {
    const bool results = form_ == Form::Results;
    setWindowTitle(results ? QStringLiteral("Результат выполнения команд")
                           : QStringLiteral("Обмен"));
    list_->setObjectName(QStringLiteral("commands"));
    showResults_->setObjectName(QStringLiteral("showResults"));
    list_->setModel(model_);
    const int widths[] = {40, 60, 300, 300};
    for (int column = 0; column < model_->columnCount(); ++column)
        list_->setColumnWidth(column, widths[column]);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(ListRowHeight(*list_));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(results);
    list_->setMinimumSize(results ? 720 : 440, 260);
    if (!results)
        connect(list_, &QTableView::doubleClicked, this,
                [this](const QModelIndex& index) { EditParams(index.row()); });
    showResults_->setChecked(true);
    showResults_->setVisible(!results);

    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    auto* below = new QHBoxLayout;
    below->addWidget(showResults_);
    below->addStretch();
    below->addWidget(buttons);
    layout->addLayout(below);
}

std::vector<CCommandDesc*> CExchangeDlg::Chosen() const { return model_->Chosen(); }

void CExchangeDlg::EditParams(int row) {
    if (form_ != Form::Choice || row < 0 || row >= model_->rowCount())
        return;
    CCommandDesc& command = model_->Command(row);
    CCommandParamsDlg dialog(command, operator_, this);
    if (operator_.Runner().Exec(dialog) == QDialog::Accepted)
        dialog.Apply(command);
}

void CExchangeDlg::accept() {
    if (form_ == Form::Choice && Chosen().empty()) {
        operator_.Message(kChooseCommandMessage);
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
