#pragma once
// "Новое задание": a fleet job made from the desktop program. The terminals
// are those selected in the tree, those the filter box shows, all, or typed
// numbers and ranges (or read from a file); the commands are chosen per kind
// of node as in "Обмен", with their parameters and files; then the job's
// name, attempts and the delay before a busy or silent terminal is dialled
// again.
#include "batch/BatchStore.h"

#include <QDialog>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace tornu {
struct BatchCommandOffer;
}

namespace tornu::ui {

class CCommandListModel;
class CQtOperator;

inline constexpr const char* kBatchNoNameMessage = "Введите название задания";
inline constexpr const char* kBatchNoTerminalsMessage = "Не выбраны базовые модули";

// The terminals the dialog offers to take.
struct BatchTerminalChoice {
    std::vector<int> selected; // in the tree
    std::vector<int> shown;    // by the filter box
    std::vector<int> all;
};

class CBatchJobDlg : public QDialog {
    Q_OBJECT
public:
    CBatchJobDlg(BatchTerminalChoice terminals, const BatchCommandOffer& offer, CQtOperator& op,
                 QWidget* parent = nullptr);

    // After OK: the job to store (name, commands, settings) and its terminals.
    BatchJob Job() const;
    const std::vector<int>& Terminals() const { return chosen_; }

    QLineEdit* Name() const { return name_; }
    QLineEdit* Numbers() const { return numbers_; }
    QRadioButton* Source(int which) const { return sources_[which]; }
    CCommandListModel& TerminalCommands() const { return *terminalCommands_; }
    CCommandListModel& DeviceCommands() const { return *deviceCommands_; }
    // The device types the device commands are kept to (checked); none: all.
    QListWidget* DeviceTypes() const { return types_; }

    void accept() override;

private:
    QTableView* CommandList(CCommandListModel& model, const char* name);
    void EditParams(CCommandListModel& model, int row);
    void ReadFile();
    std::vector<std::string> CheckedTypes() const;
    // The chosen commands' files as the job keeps them; `problem` says why
    // they cannot go (an input file not given, a path that cannot be kept).
    std::string Files(std::string* problem = nullptr) const;

    BatchTerminalChoice terminals_;
    CQtOperator& operator_;
    CCommandListModel* terminalCommands_;
    CCommandListModel* deviceCommands_;
    QListWidget* types_;
    QLineEdit* name_;
    QRadioButton* sources_[4];
    QLineEdit* numbers_;
    QSpinBox* attempts_;
    QSpinBox* delay_;
    std::vector<int> chosen_;
};

} // namespace tornu::ui
