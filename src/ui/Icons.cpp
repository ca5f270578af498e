#include "ui/Icons.h"

// A resource file in a static library is registered by hand; at global scope,
// as the macro needs.
static void RegisterIconResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace tornu::ui {

namespace {

QIcon Load(const char* name) {
    RegisterIconResources();
    return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name));
}

} // namespace

QIcon TerminalIcon() { return Load("terminal.svg"); }
QIcon DeviceIcon() { return Load("device.svg"); }
QIcon ProgramIcon() { return Load("tornucfg.svg"); }

} // namespace tornu::ui
