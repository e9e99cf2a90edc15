#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/IconShape.h"

namespace pv {

namespace {

QColor toQColor(IconColor color) {
    return QColor(color.red, color.green, color.blue);
}

}  // namespace

QImage programIconImage(int size) {
    const IconShape& shape = programIconShape();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal margin = s * shape.frameMargin;
    const QRectF frame(margin, margin, s - 2 * margin, s - 2 * margin);
    QLinearGradient background(frame.topLeft(), frame.bottomRight());
    background.setColorAt(0, toQColor(shape.frameTopLeft));
    background.setColorAt(1, toQColor(shape.frameBottomRight));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(frame, s * shape.cornerRadius, s * shape.cornerRadius);

    painter.setBrush(Qt::NoBrush);
    for (const IconTrace& trace : shape.traces) {
        QPainterPath path;
        path.moveTo(s * trace.points.front().x, s * trace.points.front().y);
        for (size_t i = 1; i < trace.points.size(); ++i) {
            path.lineTo(s * trace.points[i].x, s * trace.points[i].y);
        }
        painter.setPen(QPen(toQColor(trace.color), s * shape.traceWidth, Qt::SolidLine, Qt::FlatCap,
                            Qt::MiterJoin));
        painter.drawPath(path);
    }
    return image;
}

QIcon programIcon() {
    // Drawn afresh on each call: a static pixmap would outlive the application object.
    QIcon icon;
    for (int size : kProgramIconSizes) {
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    }
    return icon;
}

}  // namespace pv
