#pragma once
// The buttons every dialog ends with: OK (and Cancel), wired to accept and
// reject. Their texts are Qt's, in the operator's language.
#include <QDialog>
#include <QDialogButtonBox>

namespace tornu::ui {

inline QDialogButtonBox*
DialogButtons(QDialog& dialog, QDialogButtonBox::StandardButtons which = QDialogButtonBox::Ok |
                                                                         QDialogButtonBox::Cancel) {
    auto* buttons = new QDialogButtonBox(which, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

} // namespace tornu::ui
