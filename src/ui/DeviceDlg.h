#pragma once
// "Сетевое устройство": a new network device or subordinate device, or the
// name and passwords of one.
#include "doc/ConfigEditor.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace tornu::ui {

class CLoopCountBox;

// An entry of the type list: catalogue index, name and most loops.
struct OfferedType {
    int index = -1;
    std::string name;
    int maxLoops = 0;
};

class CDeviceDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { New, Edit };

    // The types and bus addresses offered, in their order. A subordinate
    // device has no name and no passwords.
    CDeviceDlg(Mode mode, bool subordinate, std::vector<OfferedType> types,
               std::vector<int> addresses, IOperator& op, const DeviceInput& current = {},
               QWidget* parent = nullptr);

    DeviceInput Input() const;
    void accept() override;

private:
    void OnTypeChanged(int index);

    std::vector<OfferedType> types_;
    std::vector<int> addresses_;
    IOperator& operator_;
    QComboBox* type_;
    CLoopCountBox* loops_;
    QComboBox* address_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* newPassword_;
};

} // namespace tornu::ui
