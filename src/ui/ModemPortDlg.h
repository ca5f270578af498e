#pragma once
// "Настройка порта модема": the port (an editable list: the serial devices
// present, then COM1 to COM16), the speed, the extra init string and
// emulation. It says when this user cannot open the chosen port.
#include "doc/ModemPortSettings.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace tornu {
class CWorkspace;
}

namespace tornu::ui {

class CModemPortDlg : public QDialog {
    Q_OBJECT
public:
    CModemPortDlg(CWorkspace& workspace, std::vector<ModemPortEntry> entries,
                  QWidget* parent = nullptr);

    QComboBox* Port() const { return port_; }
    QComboBox* Speed() const { return speed_; }
    QLineEdit* Init() const { return init_; }
    QCheckBox* Emulation() const { return emulation_; }
    QLabel* Access() const { return access_; }
    // What the controls hold now.
    ModemPortSettings Chosen() const;
    // OK: the document checks and writes the choice; a refusal keeps the
    // dialog open.
    void accept() override;

private:
    void UpdateAccess();

    CWorkspace& workspace_;
    std::vector<ModemPortEntry> entries_;
    QComboBox* port_;
    QComboBox* speed_;
    QLineEdit* init_;
    QCheckBox* emulation_;
    QLabel* access_;
};

} // namespace tornu::ui
