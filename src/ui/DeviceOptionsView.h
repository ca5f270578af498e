#pragma once
// The right pane for a network device: its header fields, the system state
// with its coloured labels, the last arming or disarming, the loop list (its
// own loops, then its slaves') and the parameter grid. A subordinate device
// shows its header and its grid only.
#include "doc/OptionViewModels.h"
#include "ui/OptionView.h"

#include <QWidget>

#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;

namespace tornu {
class CTornuCfgDoc;
}

namespace tornu::ui {

class CLoopListModel;
class CParamGrid;
class CQtOperator;

class CDeviceOptionsView : public QWidget, public COptionView {
    Q_OBJECT
public:
    CDeviceOptionsView(CTornuCfgDoc& doc, CQtOperator& op, QWidget* parent = nullptr);
    ~CDeviceOptionsView() override;

    QTableView* Loops() const { return loops_; }
    CLoopListModel& LoopModel() const { return *loopModel_; }
    CParamGrid& Grid() const { return *grid_; }
    // The system state labels in the order shown: mode, battery, bus, mains.
    QLabel* StateLabel(int position) const { return states_[static_cast<std::size_t>(position)]; }
    // "Шлейф" for the loop list's row; nothing for no such row.
    void EditLoop(int row);

private:
    void Refresh() override;
    void Clear();
    void ShowHeader(const DeviceViewModel& model);
    void SetState(QLabel& label, const SystemStateModel& state);

    CTornuCfgDoc& doc_;
    CQtOperator& operator_;
    QLineEdit* terminal_;
    QLineEdit* address_;
    QLineEdit* type_;
    QLineEdit* name_;
    std::array<QLabel*, kSystemStateBitCount> states_{};
    QLineEdit* lastKey_;
    QLineEdit* lastTime_;
    CLoopListModel* loopModel_;
    QTableView* loops_;
    CParamGrid* grid_;
    // Shown for a device without a master only.
    std::vector<QWidget*> masterOnly_;
};

} // namespace tornu::ui
