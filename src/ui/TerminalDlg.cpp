#include "ui/TerminalDlg.h"

#include "catalogue/Catalogue.h"
#include "doc/Operator.h"
#include "ui/DialogButtons.h"

#include "ui/LoopCountBox.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tornu::ui {

namespace {

QLineEdit* Field(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

} // namespace

CTerminalDlg::CTerminalDlg(Mode mode, const CCatalogue& catalogue, IOperator& op,
                           const TerminalInput& current, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), operator_(op), number_(Field("number", this)),
      type_(new QComboBox(this)), loops_(new CLoopCountBox(this)), phone_(Field("phone", this)),
      password_(Field("password", this)), newPassword_(Field("newPassword", this)) {
    setWindowTitle(QStringLiteral("Базовый модуль"));
    type_->setObjectName(QStringLiteral("type"));
    for (const auto& host : catalogue.HostTypes())
        type_->addItem(Q(host->Name()));
    type_->setEnabled(type_->count() > 0);
    number_->setText(Q(current.number));
    phone_->setText(Q(current.phone));
    password_->setText(Q(current.password));
    newPassword_->setText(Q(current.newPassword));
    connect(type_, &QComboBox::currentIndexChanged, this, &CTerminalDlg::OnTypeChanged);
    // The terminal's own type in edit mode: its first entry would show a
    // type the terminal does not have.
    type_->setCurrentIndex(mode == Mode::Edit && current.hostType >= 0 ? current.hostType : 0);
    OnTypeChanged(type_->currentIndex());
    if (mode == Mode::Edit) {
        number_->setEnabled(false);
        type_->setEnabled(false);
        loops_->Lock(current.loopCount);
    }

    auto* head = new QFormLayout;
    head->addRow(QStringLiteral("&Номер устройства"), number_);
    head->addRow(QStringLiteral("&Тип"), type_);
    head->addRow(QStringLiteral("&Количество шлейфов"), loops_);
    auto* group = new QGroupBox(QStringLiteral("Параметры"), this);
    auto* params = new QFormLayout(group);
    params->addRow(QStringLiteral("Номер &телефона"), phone_);
    params->addRow(QStringLiteral("&Пароль на связь"), password_);
    params->addRow(QStringLiteral("Н&овый пароль на связь"), newPassword_);
    // The fields above the group stand in line with those inside it: the
    // same label column, the group's frame and margins as indents.
    int labelWidth = 0;
    for (QFormLayout* form : {head, params})
        for (int row = 0; row < form->rowCount(); ++row)
            if (QWidget* label = form->itemAt(row, QFormLayout::LabelRole)->widget())
                labelWidth = std::max(labelWidth, label->sizeHint().width());
    for (QFormLayout* form : {head, params})
        for (int row = 0; row < form->rowCount(); ++row)
            form->itemAt(row, QFormLayout::LabelRole)->widget()->setMinimumWidth(labelWidth);
    const QMargins frame = group->contentsMargins() + params->contentsMargins();
    head->setContentsMargins(frame.left(), 0, frame.right(), 0);
    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(group);
    layout->addWidget(buttons);
    number_->setMinimumWidth(200);
    (mode == Mode::New ? static_cast<QWidget*>(number_) : phone_)->setFocus();
}

void CTerminalDlg::OnTypeChanged(int index) {
    const auto& hosts = catalogue_.HostTypes();
    const int maximum = index >= 0 && static_cast<std::size_t>(index) < hosts.size()
                            ? hosts[static_cast<std::size_t>(index)]->DevicePart().LoopCount()
                            : 0;
    loops_->SetMaximum(maximum);
}

TerminalInput CTerminalDlg::Input() const {
    return {.number = S(number_->text()),
            .hostType = type_->currentIndex(),
            .loopCount = loops_->Count(),
            .phone = S(phone_->text()),
            .password = S(password_->text()),
            .newPassword = S(newPassword_->text())};
}

void CTerminalDlg::accept() {
    if (std::optional<std::string> refusal = CConfigEditor::CheckTerminalInput(Input())) {
        operator_.Message(*refusal);
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
