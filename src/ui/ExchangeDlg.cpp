#include "ui/ExchangeDlg.h"
#include "ui/DialogButtons.h"

#include "catalogue/CommandDesc.h"
#include "ui/CommandParamsDlg.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tornu::ui {

CExchangeDlg::CExchangeDlg(Form form, std::vector<CCommandDesc*> commands, CQtOperator& op,
                           QWidget* parent)
    : QDialog(parent), form_(form), commands_(std::move(commands)), operator_(op),
      list_(new QTableWidget(this)),
      showResults_(new QCheckBox(QStringLiteral("Показывать результат выполнения команд"), this)) {
    const bool results = form_ == Form::Results;
    setWindowTitle(results ? QStringLiteral("Результат выполнения команд")
                           : QStringLiteral("Обмен"));
    list_->setObjectName(QStringLiteral("commands"));
    showResults_->setObjectName(QStringLiteral("showResults"));
    QStringList headers{QStringLiteral("№"), QStringLiteral("Команда"),
                        QStringLiteral("Описание")};
    if (results)
        headers << QStringLiteral("Результат");
    list_->setColumnCount(static_cast<int>(headers.size()));
    list_->setHorizontalHeaderLabels(headers);
    const int widths[] = {40, 60, 300, 300};
    for (int column = 0; column < list_->columnCount(); ++column)
        list_->setColumnWidth(column, widths[column]);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(ListRowHeight(*list_));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(results);
    list_->setRowCount(static_cast<int>(commands_.size()));
    for (int row = 0; row < list_->rowCount(); ++row) {
        const CCommandDesc& command = *commands_[static_cast<std::size_t>(row)];
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        if (!results) {
            number->setFlags(number->flags() | Qt::ItemIsUserCheckable);
            number->setCheckState(Qt::Unchecked);
        }
        list_->setItem(row, 0, number);
        list_->setItem(row, 1, new QTableWidgetItem(QString::number(command.Code())));
        list_->setItem(row, 2, new QTableWidgetItem(Q(command.Description())));
        if (results)
            list_->setItem(row, 3, new QTableWidgetItem(ResultText(command)));
    }
    list_->setMinimumSize(results ? 720 : 440, 260);
    if (!results)
        connect(list_, &QTableWidget::cellDoubleClicked, this,
                [this](int row, int) { EditParams(row); });
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

QString CExchangeDlg::ResultText(const CCommandDesc& command) {
    return Q(CommandResultText(command.ResultState(), command.ResultText()));
}

std::vector<CCommandDesc*> CExchangeDlg::Chosen() const {
    std::vector<CCommandDesc*> chosen;
    for (int row = 0; row < list_->rowCount(); ++row)
        if (list_->item(row, 0)->checkState() == Qt::Checked)
            chosen.push_back(commands_[static_cast<std::size_t>(row)]);
    return chosen;
}

void CExchangeDlg::EditParams(int row) {
    if (form_ != Form::Choice || row < 0 || row >= list_->rowCount())
        return;
    CCommandDesc& command = *commands_[static_cast<std::size_t>(row)];
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
