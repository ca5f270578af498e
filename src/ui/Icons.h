#pragma once
// The program's pictures, drawn from SVG so that they stay sharp at any scale.
#include <QIcon>

namespace tornu::ui {

QIcon TerminalIcon();
QIcon DeviceIcon();
QIcon ProgramIcon();
// The mark of unwritten changes, and a picture with it in its corner.
QIcon PendingIcon();
QIcon WithPendingMark(const QIcon& icon);

} // namespace tornu::ui
