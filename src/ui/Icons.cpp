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

// An amber dot with a white rim in `area`.
void PaintPendingMark(QPainter& painter, const QRectF& area) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, std::max(1.0, area.width() / 8.0)));
    painter.setBrush(QColor(0xE0, 0x8A, 0x00));
    painter.drawEllipse(area.adjusted(0.5, 0.5, -0.5, -0.5));
}

constexpr int kMarkSizes[] = {16, 20, 24, 32, 48};

} // namespace

QIcon PendingIcon() {
    QIcon icon;
    for (int side : kMarkSizes) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        // The dot alone, centred.
        const qreal diameter = side * 0.6;
        const qreal at = (side - diameter) / 2;
        PaintPendingMark(painter, QRectF(at, at, diameter, diameter));
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
        // Over the lower right quarter.
        const qreal half = pixmap.width() / 2.0;
        PaintPendingMark(painter, QRectF(half, half, half, half));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tornu::ui
