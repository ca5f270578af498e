#include "ui/Icons.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>

#include <algorithm>

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

namespace {

// An amber dot with a white rim over the lower right quarter of a square.
void PaintPendingMark(QPainter& painter, int side) {
    const qreal diameter = side * 0.5;
    const QRectF dot(side - diameter - 0.5, side - diameter - 0.5, diameter, diameter);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, std::max(1.0, side / 16.0)));
    painter.setBrush(QColor(0xE0, 0x8A, 0x00));
    painter.drawEllipse(dot);
}

constexpr int kMarkSizes[] = {16, 20, 24, 32, 48};

} // namespace

QIcon PendingIcon() {
    QIcon icon;
    for (int side : kMarkSizes) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        // The dot alone, whole: centred and larger than in a corner.
        painter.translate(-side * 0.2, -side * 0.2);
        painter.scale(1.4, 1.4);
        PaintPendingMark(painter, side);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon WithPendingMark(const QIcon& base) {
    QIcon icon;
    for (int side : kMarkSizes) {
        QPixmap pixmap = base.pixmap(side, side);
        if (pixmap.isNull())
            continue;
        pixmap.setDevicePixelRatio(1.0);
        QPainter painter(&pixmap);
        PaintPendingMark(painter, pixmap.width());
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tornu::ui
