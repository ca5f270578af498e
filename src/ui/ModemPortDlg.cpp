#include "ui/ModemPortDlg.h"
#include "ui/DialogButtons.h"

#include "comms/SerialPort.h"
#include "doc/Workspace.h"
#include "settings/IniFile.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <filesystem>

namespace tornu::ui {

CModemPortDlg::CModemPortDlg(CWorkspace& workspace, std::vector<ModemPortEntry> entries,
                             QWidget* parent)
    : QDialog(parent), workspace_(workspace), entries_(std::move(entries)), port_(new QComboBox(this)),
      speed_(new QComboBox(this)), init_(new QLineEdit(this)),
      emulation_(new QCheckBox(QStringLiteral("Режим эмуляции"), this)), access_(new QLabel(this)) {
    setWindowTitle(Q(kModemPortDialogTitle));
    port_->setObjectName(QStringLiteral("port"));
    speed_->setObjectName(QStringLiteral("speed"));
    init_->setObjectName(QStringLiteral("init"));
    emulation_->setObjectName(QStringLiteral("emulation"));
    access_->setObjectName(QStringLiteral("access"));
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setMinimumWidth(320);
    for (std::uint32_t speed : CSerialPort::Speeds())
        speed_->addItem(QString::number(speed), speed);
    access_->setWordWrap(true);
    access_->setStyleSheet(QStringLiteral("color: #a00000"));

    // A device path typed in earlier is offered again when it is still there.
    std::string stored;
    std::error_code missing;
    if (workspace_.Settings().GetValue("Modem", "ComPort", stored) && !stored.empty() &&
        std::none_of(entries_.begin(), entries_.end(),
                     [&](const ModemPortEntry& entry) {
                         return QString::compare(Q(entry.name), Q(stored), Qt::CaseInsensitive) == 0;
                     }) &&
        std::filesystem::exists(stored, missing))
        entries_.insert(entries_.begin(), {stored, stored});
    const ModemPortSettings current = workspace_.ModemPort(entries_);
    for (const ModemPortEntry& entry : entries_)
        port_->addItem(Q(entry.caption), Q(entry.name));
    port_->setCurrentIndex(current.port.empty() ? -1 : port_->findData(Q(current.port)));
    if (port_->currentIndex() < 0)
        port_->setEditText(QString());
    speed_->setCurrentIndex(current.speed == 0 ? -1 : speed_->findData(current.speed));
    init_->setText(Q(current.init));
    emulation_->setChecked(current.emulation);
    connect(port_, &QComboBox::currentTextChanged, this, &CModemPortDlg::UpdateAccess);
    UpdateAccess();

    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Порт"), port_);
    form->addRow(QString(), access_);
    form->addRow(QStringLiteral("&Скорость"), speed_);
    form->addRow(QStringLiteral("Строка &инициализации"), init_);
    form->addRow(QString(), emulation_);
    form->addRow(buttons);
}

ModemPortSettings CModemPortDlg::Chosen() const {
    ModemPortSettings chosen;
    // A listed entry by its caption, else the text typed in.
    const QString text = port_->currentText().trimmed();
    const int listed = port_->findText(text);
    chosen.port = listed >= 0 ? S(port_->itemData(listed).toString()) : S(text);
    if (speed_->currentIndex() >= 0)
        chosen.speed = speed_->currentData().toUInt();
    chosen.init = S(init_->text());
    chosen.emulation = emulation_->isChecked();
    return chosen;
}

void CModemPortDlg::UpdateAccess() {
    const std::string port = Chosen().port;
    const std::optional<std::string> problem =
        port.empty() ? std::nullopt : ModemPortAccessProblem(port);
    access_->setText(problem ? Q(*problem) : QString());
    access_->setVisible(problem.has_value());
}

void CModemPortDlg::accept() {
    if (workspace_.SetModemPort(Chosen()))
        QDialog::accept();
}

} // namespace tornu::ui
