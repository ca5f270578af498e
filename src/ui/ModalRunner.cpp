#include "ui/ModalRunner.h"

#include <QDesktopServices>
#include <QDialog>
#include <QMenu>

namespace tornu::ui {

int CModalRunner::Exec(QDialog& dialog) { return dialog.exec(); }

void CModalRunner::Show(QDialog& dialog) {
    dialog.setModal(false);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

QAction* CModalRunner::Popup(QMenu& menu, const QPoint& at) { return menu.exec(at); }

bool CModalRunner::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace tornu::ui
