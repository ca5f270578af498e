#include "ui/CommandParamsDlg.h"
#include "ui/DialogButtons.h"

#include "catalogue/CommandDesc.h"
#include "ui/QtOperator.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tornu::ui {

CCommandParamsDlg::CCommandParamsDlg(const CCommandDesc& command, CQtOperator& op,
                                     QWidget* parent)
    : QDialog(parent), operator_(op), input_(new QLineEdit(this)), output_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Параметры команды"));
    input_->setObjectName(QStringLiteral("input"));
    output_->setObjectName(QStringLiteral("output"));
    input_->setText(Q(command.FileName(kCommandFileIn)));
    output_->setText(Q(command.FileName(kCommandFileOut)));
    input_->setMinimumWidth(320);

    auto* grid = new QGridLayout(this);
    const auto addRow = [&](int row, const QString& caption, QLineEdit* field, bool enabled,
                            const char* name) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        auto* choose = new QPushButton(QStringLiteral("Выбрать"), this);
        choose->setObjectName(QString::fromLatin1(name));
        choose->setAutoDefault(false);
        connect(choose, &QPushButton::clicked, this, [this, field] { Choose(field); });
        field->setEnabled(enabled);
        choose->setEnabled(enabled);
        grid->addWidget(label, row * 2, 0, 1, 2);
        grid->addWidget(field, row * 2 + 1, 0);
        grid->addWidget(choose, row * 2 + 1, 1);
    };
    addRow(0, QStringLiteral("&Входной файл"), input_, command.HasFile(kCommandFileIn),
           "chooseInput");
    addRow(1, QStringLiteral("В&ыходной файл"), output_, command.HasFile(kCommandFileOut),
           "chooseOutput");
    QDialogButtonBox* buttons = DialogButtons(*this);
    grid->addWidget(buttons, 4, 0, 1, 2);
}

QString CCommandParamsDlg::Input() const { return input_->text(); }
QString CCommandParamsDlg::Output() const { return output_->text(); }

void CCommandParamsDlg::Apply(CCommandDesc& command) const {
    if (command.HasFile(kCommandFileIn))
        command.SetFileName(kCommandFileIn, S(Input()));
    if (command.HasFile(kCommandFileOut))
        command.SetFileName(kCommandFileOut, S(Output()));
}

void CCommandParamsDlg::Choose(QLineEdit* field) {
    // An output file need not exist yet: the same dialog, any name.
    if (std::optional<QString> path =
            operator_.ChooseFile(FileDialogKind::Any, field->text(), this))
        field->setText(*path);
}

} // namespace tornu::ui
