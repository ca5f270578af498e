#pragma once
// The buttons every dialog ends with: OK (and "Отмена"), wired to accept and
// reject.
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace tornu::ui {

inline QDialogButtonBox*
DialogButtons(QDialog& dialog, QDialogButtonBox::StandardButtons which = QDialogButtonBox::Ok |
                                                                         QDialogButtonBox::Cancel) {
    auto* buttons = new QDialogButtonBox(which, &dialog);
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel))
        cancel->setText(QStringLiteral("Отмена"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

} // namespace tornu::ui
