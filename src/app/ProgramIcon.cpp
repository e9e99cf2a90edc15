#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace pv {

namespace {

// A dark rounded square with two square-wave traces, in the colours of side A (red) and side B
// (green), as the panes show them.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal margin = s / 32.0;
    const QRectF frame(margin, margin, s - 2 * margin, s - 2 * margin);
    QLinearGradient background(frame.topLeft(), frame.bottomRight());
    background.setColorAt(0, QColor(32, 48, 80));
    background.setColorAt(1, QColor(12, 20, 36));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(frame, s / 6.0, s / 6.0);

    auto trace = [&](qreal top, qreal height, const QColor& color, int phase) {
        QPainterPath path;
        const qreal left = s * 0.16;
        const qreal step = s * 0.68 / 6;
        bool high = phase != 0;
        path.moveTo(left, high ? top : top + height);
        for (int i = 0; i < 6; ++i) {
            const qreal x = left + step * (i + 1);
            path.lineTo(x, high ? top : top + height);
            if (i < 5) {
                high = (i + phase) % 3 != 1 ? !high : high;
                path.lineTo(x, high ? top : top + height);
            }
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(
            QPen(color, std::max(1.0, s / 14.0), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawPath(path);
    };
    trace(s * 0.22, s * 0.2, QColor(235, 60, 50), 0);
    trace(s * 0.58, s * 0.2, QColor(70, 200, 90), 1);
    return pixmap;
}

}  // namespace

QIcon programIcon() {
    // Drawn afresh on each call: a static pixmap would outlive the application object.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(drawIcon(size));
    }
    return icon;
}

}  // namespace pv
