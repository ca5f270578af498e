#include "ui/LoopDlg.h"
#include "ui/DialogButtons.h"

#include "doc/Operator.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tornu::ui {

CLoopDlg::CLoopDlg(std::vector<int> numbers, const LoopInput& current, IOperator& op,
                   QWidget* parent)
    : QDialog(parent), numbers_(std::move(numbers)), operator_(op), number_(new QComboBox(this)),
      comment_(new QLineEdit(this)) {
    setWindowTitle(Q(kLoopDialogTitle));
    number_->setObjectName(QStringLiteral("number"));
    comment_->setObjectName(QStringLiteral("comment"));
    for (int number : numbers_)
        number_->addItem(QString::number(number));
    number_->setCurrentIndex(numbers_.size() == 1 ? 0 : -1);
    // An existing loop keeps its number.
    number_->setEnabled(numbers_.size() > 1);
    comment_->setText(Q(current.comment));
    comment_->setMinimumWidth(260);

    auto* types = new QGroupBox(QStringLiteral("Тип шлейфа"), this);
    auto* grid = new QGridLayout(types);
    const auto flags = LoopTypeFlags();
    for (int bit = 0; bit < kLoopTypeBitCount; ++bit) {
        auto* box = new QCheckBox(Q(flags[static_cast<std::size_t>(bit)].caption), types);
        box->setObjectName(QStringLiteral("type%1").arg(bit));
        box->setChecked(current.boxes[static_cast<std::size_t>(bit)]);
        connect(box, &QCheckBox::toggled, this, &CLoopDlg::UpdateBoxes);
        grid->addWidget(box, bit % 3, bit / 3);
        boxes_[static_cast<std::size_t>(bit)] = box;
    }
    UpdateBoxes();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Номер"), number_);
    form->addRow(QStringLiteral("&Комментарий"), comment_);
    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(types);
    layout->addWidget(buttons);
    comment_->setFocus();
}

void CLoopDlg::UpdateBoxes() {
    const LoopInput input = Input();
    for (int bit = 0; bit < kLoopTypeBitCount; ++bit)
        boxes_[static_cast<std::size_t>(bit)]->setEnabled(LoopTypeBoxEnabled(input.boxes, bit));
}

LoopInput CLoopDlg::Input() const {
    LoopInput input;
    for (std::size_t bit = 0; bit < boxes_.size(); ++bit)
        input.boxes[bit] = boxes_[bit] && boxes_[bit]->isChecked();
    input.comment = S(comment_->text());
    return input;
}

int CLoopDlg::Number() const {
    const int index = number_->currentIndex();
    return index < 0 ? -1 : numbers_[static_cast<std::size_t>(index)];
}

void CLoopDlg::accept() {
    if (Number() < 0) {
        operator_.Message(std::string(kChooseLoopMessage));
        return;
    }
    QDialog::accept();
}

} // namespace tornu::ui
