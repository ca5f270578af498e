#pragma once
// The program's pictures, drawn from SVG so that they stay sharp at any scale.
#include <QIcon>

namespace tornu::ui {

QIcon TerminalIcon();
QIcon DeviceIcon();
QIcon ProgramIcon();

} // namespace tornu::ui
