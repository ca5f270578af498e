#include "ui/BatchJobDlg.h"

#include "batch/BatchSession.h"
#include "batch/BatchText.h"
#include "catalogue/CommandDesc.h"
#include "ui/CommandListModel.h"
#include "ui/CommandParamsDlg.h"
#include "ui/DialogButtons.h"
#include "ui/ExchangeDlg.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace tornu::ui {

namespace {

enum Source { kSelected, kShown, kAll, kTyped };

QString WithCount(const char* caption, std::size_t count) {
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(caption)).arg(count);
}

} // namespace

CBatchJobDlg::CBatchJobDlg(BatchTerminalChoice terminals, const BatchCommandOffer& offer,
                           CQtOperator& op, QWidget* parent)
    : QDialog(parent), terminals_(std::move(terminals)), operator_(op),
      terminalCommands_(new CCommandListModel(offer.terminal, false, this)),
      deviceCommands_(new CCommandListModel(offer.devices, false, this)),
      types_(new QListWidget(this)), name_(new QLineEdit(this)), numbers_(new QLineEdit(this)),
      attempts_(new QSpinBox(this)),
      delay_(new QSpinBox(this)) {
    setWindowTitle(QStringLiteral("Новое задание пакетного обмена"));
    setSizeGripEnabled(true);
    name_->setObjectName(QStringLiteral("name"));
    name_->setText(QStringLiteral("Задание ") +
                   QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm")));

    auto* which = new QGroupBox(QStringLiteral("Базовые модули"), this);
    auto* whichLayout = new QGridLayout(which);
    const char* captions[] = {"Выбранные в дереве", "Показанные в дереве", "Все"};
    const std::size_t counts[] = {terminals_.selected.size(), terminals_.shown.size(),
                                  terminals_.all.size()};
    for (int i = kSelected; i <= kAll; ++i) {
        sources_[i] = new QRadioButton(WithCount(captions[i], counts[i]), which);
        sources_[i]->setEnabled(counts[i] > 0);
        whichLayout->addWidget(sources_[i], i, 0, 1, 3);
    }
    sources_[kTyped] = new QRadioButton(QStringLiteral("Номера:"), which);
    numbers_->setObjectName(QStringLiteral("numbers"));
    numbers_->setPlaceholderText(QStringLiteral("12, 15-20"));
    auto* file = new QPushButton(QStringLiteral("Из файла..."), which);
    file->setAutoDefault(false);
    whichLayout->addWidget(sources_[kTyped], kTyped, 0);
    whichLayout->addWidget(numbers_, kTyped, 1);
    whichLayout->addWidget(file, kTyped, 2);
    whichLayout->setColumnStretch(1, 1);
    // The tree's selection when there is one, as the command was meant for it.
    sources_[terminals_.selected.empty() ? (terminals_.shown.size() < terminals_.all.size() ? kShown : kAll)
                                         : kSelected]
        ->setChecked(true);
    connect(numbers_, &QLineEdit::textEdited, this, [this] { sources_[kTyped]->setChecked(true); });
    connect(file, &QPushButton::clicked, this, &CBatchJobDlg::ReadFile);

    attempts_->setObjectName(QStringLiteral("attempts"));
    attempts_->setRange(1, 100);
    attempts_->setValue(BatchSettings{}.attempts);
    delay_->setObjectName(QStringLiteral("delay"));
    delay_->setRange(0, 86400);
    delay_->setSuffix(QStringLiteral(" с"));
    delay_->setValue(BatchSettings{}.retryDelayMs / 1000);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Название:"), name_);
    auto* retries = new QHBoxLayout;
    retries->addWidget(attempts_);
    retries->addSpacing(16);
    retries->addWidget(new QLabel(QStringLiteral("Повтор занятого или не ответившего через:"), this));
    retries->addWidget(delay_);
    retries->addStretch();
    form->addRow(QStringLiteral("Попыток:"), retries);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(which);
    layout->addWidget(new QLabel(QStringLiteral("Команды базового модуля (один раз для каждого):"), this));
    layout->addWidget(CommandList(*terminalCommands_, "terminalCommands"), 1);
    layout->addWidget(
        new QLabel(QStringLiteral("Команды устройств (для каждого устройства, которому они подходят):"), this));
    layout->addWidget(CommandList(*deviceCommands_, "deviceCommands"), 2);
    layout->addWidget(new QLabel(
        QStringLiteral("Только для устройств этих типов (если ни один не отмечен - для всех):"), this));
    types_->setObjectName(QStringLiteral("deviceTypes"));
    types_->setFlow(QListView::LeftToRight);
    types_->setWrapping(true);
    types_->setResizeMode(QListView::Adjust);
    types_->setSpacing(2);
    for (const std::string& type : offer.deviceTypes) {
        auto* item = new QListWidgetItem(Q(type), types_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    types_->setFixedHeight(2 * types_->sizeHintForRow(0) + 4 * types_->spacing() + 2 * types_->frameWidth());
    layout->addWidget(types_);
    layout->addWidget(DialogButtons(*this));
    // Room for the whole terminal command list and most of the devices'.
    resize(660, 760);
}

QTableView* CBatchJobDlg::CommandList(CCommandListModel& model, const char* name) {
    auto* list = new QTableView(this);
    list->setObjectName(QString::fromLatin1(name));
    list->setModel(&model);
    const int widths[] = {52, 64, 300};
    for (int column = 0; column < 3; ++column)
        list->setColumnWidth(column, widths[column]);
    list->horizontalHeader()->setStretchLastSection(true);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(ListRowHeight(*list));
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(false);
    list->setMinimumSize(480, 90);
    connect(list, &QTableView::doubleClicked, this,
            [this, &model](const QModelIndex& index) { EditParams(model, index.row()); });
    return list;
}

void CBatchJobDlg::EditParams(CCommandListModel& model, int row) {
    if (row < 0 || row >= model.rowCount())
        return;
    CCommandDesc& command = model.Command(row);
    CCommandParamsDlg dialog(command, operator_, this);
    if (operator_.Runner().Exec(dialog) == QDialog::Accepted)
        dialog.Apply(command);
}

void CBatchJobDlg::ReadFile() {
    const std::optional<QString> path = operator_.ChooseFile(FileDialogKind::Open, QString(), this);
    if (!path)
        return;
    std::string error;
    const std::optional<std::vector<int>> read = ReadTerminalFile(S(*path), error);
    if (!read) {
        operator_.Message(error);
        return;
    }
    QStringList numbers;
    for (int number : *read)
        numbers << QString::number(number);
    numbers_->setText(numbers.join(QStringLiteral(", ")));
    sources_[kTyped]->setChecked(true);
}

BatchJob CBatchJobDlg::Job() const {
    BatchJob job;
    job.name = S(name_->text().trimmed());
    for (const CCommandListModel* model : {terminalCommands_, deviceCommands_})
        for (const CCommandDesc* command : model->Chosen())
            job.commands += (job.commands.empty() ? "" : ",") + command->Name();
    job.settings = BatchSettingsText({attempts_->value(), delay_->value() * 1000}) + Files() +
                   BatchTypesText(CheckedTypes()).value_or("");
    return job;
}

std::vector<std::string> CBatchJobDlg::CheckedTypes() const {
    std::vector<std::string> types;
    for (int row = 0; row < types_->count(); ++row)
        if (types_->item(row)->checkState() == Qt::Checked)
            types.push_back(S(types_->item(row)->text()));
    return types;
}

std::string CBatchJobDlg::Files(std::string* problem) const {
    // The files go with the job, so that a run on any machine uses the same ones.
    std::vector<const CCommandDesc*> chosen;
    for (const CCommandListModel* model : {terminalCommands_, deviceCommands_})
        for (const CCommandDesc* command : model->Chosen())
            chosen.push_back(command);
    std::string unused;
    std::string& why = problem ? *problem : unused;
    const std::string files = BatchCommandFiles(chosen, why);
    if (why.rfind("Не задан входной файл", 0) == 0)
        why += ": задайте его двойным щелчком по команде";
    return files;
}

void CBatchJobDlg::accept() {
    if (name_->text().trimmed().isEmpty()) {
        operator_.Message(kBatchNoNameMessage);
        return;
    }
    if (sources_[kTyped]->isChecked()) {
        std::string error;
        const std::optional<std::vector<int>> typed = ParseTerminalList(S(numbers_->text()), error);
        if (!typed) {
            operator_.Message(error);
            return;
        }
        chosen_ = *typed;
    } else {
        chosen_ = sources_[kSelected]->isChecked() ? terminals_.selected
                  : sources_[kShown]->isChecked()  ? terminals_.shown
                                                   : terminals_.all;
    }
    if (chosen_.empty()) {
        operator_.Message(kBatchNoTerminalsMessage);
        return;
    }
    if (terminalCommands_->Chosen().empty() && deviceCommands_->Chosen().empty()) {
        operator_.Message(kChooseCommandMessage);
        return;
    }
    std::string problem;
    Files(&problem);
    if (problem.empty() && !BatchTypesText(CheckedTypes()))
        problem = "Тип устройства не может содержать \"|\" или \";\"";
    if (!problem.empty()) {
        operator_.Message(problem);
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
