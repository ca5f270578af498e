#include "ui/TerminalOptionsView.h"


#include "doc/TornuCfgDoc.h"
#include "ui/UiText.h"
#include "ui/ViewFields.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tornu::ui {

namespace {

// The configuration texts end lines Windows-style.
QString Lines(const std::string& text) {
    return Q(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

CTerminalOptionsView::CTerminalOptionsView(CTornuCfgDoc& doc, CQtOperator&, QWidget* parent)
    : QWidget(parent), doc_(doc), number_(ReadOnlyField("number", this)),
      type_(ReadOnlyField("type", this)), phone_(ReadOnlyField("phone", this)),
      password_(ReadOnlyField("password", this)), newPassword_(ReadOnlyField("newPassword", this)),
      currentConfig_(ReadOnlyText("currentConfig", this)),
      readConfig_(ReadOnlyText("readConfig", this)) {
    setObjectName(QStringLiteral("terminalOptions"));
    // The new password waits in memory for the command that sends it.
    auto* newCaption = new QLabel(QStringLiteral("Новый пароль на связь"), this);
    newCaption->setBuddy(newPassword_);
    auto* passwords = new QHBoxLayout;
    passwords->addWidget(password_, 1);
    passwords->addWidget(newCaption);
    passwords->addWidget(newPassword_, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Номер устройства"), number_);
    form->addRow(QStringLiteral("Тип"), type_);
    form->addRow(QStringLiteral("Номер телефона"), phone_);
    form->addRow(QStringLiteral("Пароль на связь"), passwords);

    auto* current = new QGroupBox(QStringLiteral("Текущая конфигурация"), this);
    (new QVBoxLayout(current))->addWidget(currentConfig_);
    auto* read = new QGroupBox(QStringLiteral("Конфигурация считанная с устройства"), this);
    (new QVBoxLayout(read))->addWidget(readConfig_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(current, 1);
    layout->addWidget(read, 1);
    doc_.Tree().AddObserver(*this);
}

CTerminalOptionsView::~CTerminalOptionsView() {
    doc_.Tree().RemoveObserver(*this);
}

void CTerminalOptionsView::Refresh() {
    if (!node_) {
        Clear();
        return;
    }
    const std::optional<TerminalViewModel> model = doc_.Editor().TerminalView(*node_);
    if (!model) {
        Clear();
        return;
    }
    number_->setText(QString::number(model->number));
    type_->setText(Q(model->type));
    phone_->setText(Q(model->phone));
    password_->setText(Q(model->password));
    newPassword_->setText(Q(model->newPassword));
    currentConfig_->setPlainText(Lines(model->currentConfig));
    readConfig_->setPlainText(Lines(model->readConfig));
}

void CTerminalOptionsView::Clear() {
    for (QLineEdit* field : {number_, type_, phone_, password_, newPassword_})
        field->clear();
    currentConfig_->clear();
    readConfig_->clear();
}

} // namespace tornu::ui
