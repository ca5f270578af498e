#pragma once
// "Шлейф": a loop's number, its five type boxes and its comment. Fire loop
// and automatic arming exclude each other while editing.
#include "doc/OptionViewModels.h"

#include <QDialog>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tornu {
class IOperator;
}

namespace tornu::ui {

class CLoopDlg : public QDialog {
    Q_OBJECT
public:
    // `numbers` are the loop numbers offered; one number (editing a loop)
    // shows it in a disabled box.
    CLoopDlg(std::vector<int> numbers, const LoopInput& current, IOperator& op,
             QWidget* parent = nullptr);

    LoopInput Input() const;
    // The chosen number; -1 for none.
    int Number() const;
    QCheckBox* Box(int bit) const { return boxes_[static_cast<std::size_t>(bit)]; }
    void accept() override;

private:
    void UpdateBoxes();

    std::vector<int> numbers_;
    IOperator& operator_;
    QComboBox* number_;
    std::array<QCheckBox*, kLoopTypeBitCount> boxes_{};
    QLineEdit* comment_;
};

} // namespace tornu::ui
