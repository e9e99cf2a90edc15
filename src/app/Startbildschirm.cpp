#include "app/Startbildschirm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <cstring>

#include "app/ProgramIcon.h"
#include "base/Version.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "starting PortaVigilant";
constexpr const char* kTextVersion = "V%1";
constexpr const char* kTextName = "PortaVigilant";
constexpr const char* kTextTagline = "serial line monitor";

// 423 x 123 dialog units of the classic 8-point dialog font.
constexpr int kWidth = 635;
constexpr int kHeight = 200;

const QColor kSideA(235, 60, 50);
const QColor kSideB(70, 200, 90);

// A run of bits as a square wave from left to right, starting at (x, y).
void drawBits(QPainter& painter, qreal x, qreal y, qreal width, qreal height, const char* bits,
              const QColor& color) {
    const size_t count = std::strlen(bits);
    const qreal step = width / static_cast<qreal>(count);
    QPainterPath path;
    for (size_t i = 0; i < count; ++i) {
        const qreal level = bits[i] == '1' ? y : y + height;
        const qreal left = x + step * static_cast<qreal>(i);
        if (i == 0) {
            path.moveTo(left, level);
        } else {
            path.lineTo(left, level);
        }
        path.lineTo(left + step, level);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(path);
}

}  // namespace

CStartbildschirm::CStartbildschirm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(kTextCaption);
    setWindowIcon(programIcon());
    setFixedSize(kWidth, kHeight);
    // Its closing must not end the program while the main window is still being shown.
    setAttribute(Qt::WA_QuitOnClose, false);

    versionText_ = new QLabel(QString(kTextVersion).arg(kVersion), this);
    versionText_->setObjectName("versionText");
    QPalette palette = versionText_->palette();
    palette.setColor(QPalette::WindowText, QColor(200, 210, 230));
    versionText_->setPalette(palette);
    versionText_->adjustSize();
    versionText_->move(kWidth - versionText_->width() - 12, kHeight - versionText_->height() - 8);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CStartbildschirm::tick);
    timer_.start();
}

void CStartbildschirm::mainWindowReady() {
    ready_ = true;
}

void CStartbildschirm::tick() {
    if (!ready_ || finished_) {
        return;
    }
    timer_.stop();
    finished_ = true;
    close();
    emit finished();
}

void CStartbildschirm::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CStartbildschirm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QLinearGradient background(area.topLeft(), area.bottomRight());
    background.setColorAt(0, QColor(36, 54, 92));
    background.setColorAt(1, QColor(10, 16, 30));
    painter.fillRect(area, background);

    const int iconSize = 96;
    painter.drawPixmap(24, (kHeight - iconSize) / 2 - 10, programIcon().pixmap(iconSize, iconSize));

    QFont nameFont = font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 2.6);
    nameFont.setBold(true);
    painter.setFont(nameFont);
    painter.setPen(QColor(235, 240, 250));
    painter.drawText(QRectF(140, 28, kWidth - 160, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     kTextName);
    QFont tagFont = font();
    tagFont.setPointSizeF(tagFont.pointSizeF() * 1.2);
    painter.setFont(tagFont);
    painter.setPen(QColor(160, 175, 205));
    painter.drawText(QRectF(142, 84, kWidth - 160, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     kTextTagline);

    // One frame each way: A to B in side A's colour, B to A in side B's.
    drawBits(painter, 142, 122, 440, 14, "1101001011011000110101", kSideA);
    drawBits(painter, 142, 150, 440, 14, "1011100101001110101101", kSideB);
}

}  // namespace pv
