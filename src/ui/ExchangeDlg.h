#pragma once
// "Обмен": the commands offered for a node, in its choice form (a check box
// per row, "Показывать результат выполнения команд") or, after the exchange,
// in its results form "Результат выполнения команд".
#include <QDialog>

#include <vector>

class QCheckBox;
class QTableView;

namespace tornu {
class CCommandDesc;
}

namespace tornu::ui {

class CCommandListModel;
class CQtOperator;

inline constexpr const char* kChooseCommandMessage = "Выберите команду";

class CExchangeDlg : public QDialog {
    Q_OBJECT
public:
    enum class Form { Choice, Results };

    CExchangeDlg(Form form, std::vector<CCommandDesc*> commands, CQtOperator& op,
                 QWidget* parent = nullptr);

    QTableView* List() const { return list_; }
    CCommandListModel& Model() const { return *model_; }
    QCheckBox* ShowResults() const { return showResults_; }
    // The ticked commands, in list order.
    std::vector<CCommandDesc*> Chosen() const;
    // Double click on a row of the choice form: "Параметры команды".
    void EditParams(int row);

    void accept() override;

private:
    Form form_;
    CQtOperator& operator_;
    CCommandListModel* model_;
    QTableView* list_;
    QCheckBox* showResults_;
};

} // namespace tornu::ui
