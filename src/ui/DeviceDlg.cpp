#include "ui/DeviceDlg.h"

#include "doc/Operator.h"
#include "ui/DialogButtons.h"

#include "ui/LoopCountBox.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tornu::ui {

CDeviceDlg::CDeviceDlg(Mode mode, bool subordinate, std::vector<OfferedType> types,
                       std::vector<int> addresses, IOperator& op, const DeviceInput& current,
                       QWidget* parent)
    : QDialog(parent), types_(std::move(types)),
      addresses_(std::move(addresses)), operator_(op), type_(new QComboBox(this)),
      loops_(new CLoopCountBox(this)), address_(new QComboBox(this)), name_(new QLineEdit(this)),
      password_(new QLineEdit(this)), newPassword_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Сетевое устройство"));
    type_->setObjectName(QStringLiteral("type"));
    address_->setObjectName(QStringLiteral("address"));
    name_->setObjectName(QStringLiteral("name"));
    password_->setObjectName(QStringLiteral("password"));
    newPassword_->setObjectName(QStringLiteral("newPassword"));

    for (const OfferedType& type : types_)
        type_->addItem(Q(type.name));
    for (int address : addresses_)
        address_->addItem(QString::number(address));
    type_->setEnabled(type_->count() > 0);
    address_->setEnabled(address_->count() > 0);
    connect(type_, &QComboBox::currentIndexChanged, this, &CDeviceDlg::OnTypeChanged);
    OnTypeChanged(type_->currentIndex());
    if (mode == Mode::Edit) {
        type_->setEnabled(false);
        address_->setEnabled(false);
        loops_->Lock(current.loopCount);
    }
    name_->setText(Q(current.name));
    password_->setText(Q(current.password));
    newPassword_->setText(Q(current.newPassword));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Тип"), type_);
    form->addRow(QStringLiteral("&Количество шлейфов"), loops_);
    form->addRow(QStringLiteral("&Адрес"), address_);
    form->addRow(QStringLiteral("&Название"), name_);
    form->addRow(QStringLiteral("&Пароль раздела"), password_);
    form->addRow(QStringLiteral("Н&овый пароль раздела"), newPassword_);
    if (subordinate)
        for (QWidget* field : {name_, password_, newPassword_})
            form->setRowVisible(field, false);
    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    type_->setMinimumWidth(220);
}

void CDeviceDlg::OnTypeChanged(int index) {
    loops_->SetMaximum(index >= 0 && static_cast<std::size_t>(index) < types_.size()
                           ? types_[static_cast<std::size_t>(index)].maxLoops
                           : 0);
}

DeviceInput CDeviceDlg::Input() const {
    const int type = type_->currentIndex();
    const int address = address_->currentIndex();
    return {.address = address < 0 ? -1 : addresses_[static_cast<std::size_t>(address)],
            .busType = type < 0 ? -1 : types_[static_cast<std::size_t>(type)].index,
            .loopCount = loops_->Count(),
            .name = S(name_->text()),
            .password = S(password_->text()),
            .newPassword = S(newPassword_->text())};
}

void CDeviceDlg::accept() {
    if (std::optional<std::string> refusal = CConfigEditor::CheckDeviceInput(Input())) {
        operator_.Message(*refusal);
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
