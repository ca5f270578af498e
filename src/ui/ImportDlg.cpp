#include "ui/ImportDlg.h"
#include "ui/DialogButtons.h"

#include "ui/QtOperator.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tornu::ui {

CImportDlg::CImportDlg(const QString& initial, CQtOperator& op, QWidget* parent)
    : QDialog(parent), operator_(op), path_(new QLineEdit(initial, this)) {
    setWindowTitle(QStringLiteral("Импорт данных ПЦН Торну"));
    path_->setObjectName(QStringLiteral("path"));
    path_->setMinimumWidth(360);
    auto* label = new QLabel(QStringLiteral("&Путь к файлам"), this);
    label->setBuddy(path_);
    auto* choose = new QPushButton(QStringLiteral("Выбрать"), this);
    choose->setObjectName(QStringLiteral("choose"));
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &CImportDlg::Choose);
    QDialogButtonBox* buttons = DialogButtons(*this);
    auto* row = new QHBoxLayout;
    row->addWidget(path_);
    row->addWidget(choose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void CImportDlg::Choose() {
    if (std::optional<QString> folder =
            operator_.ChooseFile(FileDialogKind::Folder, QDir::currentPath(), this))
        path_->setText(*folder);
}

} // namespace tornu::ui
