#include "ui/HistoryDlg.h"

#include "doc/ListFiles.h"
#include "doc/TornuCfgDoc.h"
#include "ui/HistoryModel.h"
#include "ui/ListRowDelegate.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tornu::ui {

namespace {

constexpr int kTypingPauseMs = 400;

} // namespace

CHistoryDlg::CHistoryDlg(CHistoryViewModel view, CQtOperator& op, QWidget* parent)
    : QDialog(parent), view_(std::move(view)), operator_(op),
      model_(new CHistoryModel(view_, this)),
      sinceOn_(new QCheckBox(QStringLiteral("С"), this)), since_(new QDateTimeEdit(this)),
      who_(new QLineEdit(this)), source_(new QComboBox(this)), text_(new QLineEdit(this)),
      list_(new QTableView(this)), count_(new QLabel(this)),
      export_(new QPushButton(QStringLiteral("Экспорт в CSV..."), this)) {
    setWindowTitle(Q(view_.Title()));
    setSizeGripEnabled(true);
    setObjectName(QStringLiteral("historyWindow"));
    list_->setObjectName(QStringLiteral("historyList"));
    export_->setObjectName(QStringLiteral("exportCsv"));

    // A week back unless the operator sets another time.
    since_->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    since_->setCalendarPopup(true);
    since_->setDateTime(QDateTime::currentDateTime().addDays(-7));
    since_->setEnabled(false);
    who_->setPlaceholderText(QStringLiteral("пользователь или компьютер"));
    text_->setPlaceholderText(QStringLiteral("параметр, значение..."));
    source_->addItem(QStringLiteral("Все"));
    for (ChangeSource source : kChangeSources)
        source_->addItem(Q(ChangeSourceText(source)));

    list_->setModel(model_);
    ShowRowsOnly(*list_);
    list_->horizontalHeader()->setStretchLastSection(true);
    const auto width = [this](const char* sample) { return ColumnWidthFor(*list_, sample); };
    const auto header = [&](int column) {
        return width(CHistoryViewModel::ColumnTitle(column));
    };
    list_->setColumnWidth(CHistoryViewModel::kTimeColumn, width("0000-00-00 00:00:00"));
    list_->setColumnWidth(CHistoryViewModel::kWhoColumn, width("operator@host"));
    list_->setColumnWidth(CHistoryViewModel::kTerminalColumn, header(CHistoryViewModel::kTerminalColumn));
    list_->setColumnWidth(CHistoryViewModel::kDeviceColumn, header(CHistoryViewModel::kDeviceColumn));
    list_->setColumnWidth(CHistoryViewModel::kWhatColumn, width("Ключ Мастер: Электронный номер"));
    // A key code whole.
    list_->setColumnWidth(CHistoryViewModel::kOldColumn, width("540000001E3C5A01"));
    list_->setColumnWidth(CHistoryViewModel::kNewColumn, width("540000001E3C5A01"));
    // The whole date and time beside the calendar's button.
    since_->setMinimumWidth(since_->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00")) + 48);

    auto* filters = new QHBoxLayout;
    filters->addWidget(sinceOn_);
    filters->addWidget(since_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Кто:"), this));
    filters->addWidget(who_, 1);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Источник:"), this));
    filters->addWidget(source_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Текст:"), this));
    filters->addWidget(text_, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    export_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(export_, &QPushButton::clicked, this, &CHistoryDlg::Export);
    // Changes made since the window opened.
    auto* reload = new QPushButton(QStringLiteral("Обновить"), this);
    reload->setAutoDefault(false);
    connect(reload, &QPushButton::clicked, this, &CHistoryDlg::ApplyFilters);

    auto* below = new QHBoxLayout;
    below->addWidget(count_, 1);
    below->addWidget(reload);
    below->addWidget(export_);
    below->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(list_, 1);
    layout->addLayout(below);
    resize(1280, 520);

    typed_.setSingleShot(true);
    typed_.setInterval(kTypingPauseMs);
    connect(&typed_, &QTimer::timeout, this, &CHistoryDlg::ApplyFilters);
    connect(who_, &QLineEdit::textChanged, this, [this] { typed_.start(); });
    connect(text_, &QLineEdit::textChanged, this, [this] { typed_.start(); });
    connect(since_, &QDateTimeEdit::dateTimeChanged, this, [this] { typed_.start(); });
    connect(sinceOn_, &QCheckBox::toggled, this, [this](bool on) {
        since_->setEnabled(on);
        ApplyFilters();
    });
    connect(source_, &QComboBox::currentIndexChanged, this, &CHistoryDlg::ApplyFilters);
    ApplyFilters();
}

CHistoryDlg* CHistoryDlg::Open(CTornuCfgDoc& doc, CQtOperator& op, const CTreeNode* node,
                               QWidget* parent) {
    auto* dialog = new CHistoryDlg(
        CHistoryViewModel::ForNode(doc.Workspace().Database(), node), op, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    op.Runner().Show(*dialog);
    return dialog;
}

void CHistoryDlg::ApplyFilters() {
    typed_.stop();
    // Stored times sort as text: "2026-12-07 13:55:02.123456".
    view_.SetSince(sinceOn_->isChecked()
                       ? S(since_->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                       : std::string());
    view_.SetWho(S(who_->text().trimmed()));
    view_.SetText(S(text_->text().trimmed()));
    view_.SetSource(source_->currentIndex() > 0 ? S(source_->currentText()) : std::string());
    const bool read = model_->Refresh();
    export_->setEnabled(read && !view_.Entries().empty());
    count_->setText(read ? QStringLiteral("Записей: %1").arg(view_.Entries().size())
                         : Q(view_.Error()));
}

void CHistoryDlg::Export() {
    const std::optional<QString> path =
        operator_.ChooseFile(FileDialogKind::Save, QStringLiteral("history.csv"), this);
    if (!path)
        return;
    if (!view_.ExportCsv(S(*path)))
        operator_.Message(std::string(kCannotCreateFileMessage) + S(*path));
}

} // namespace tornu::ui
