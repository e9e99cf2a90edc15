#include "app/PortaVigilantDlg.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

int index(Side side) {
    return side == Side::A ? 0 : 1;
}

}  // namespace

CPortaVigilantDlg::CPortaVigilantDlg(QWidget* parent)
    : QWidget(parent), prompt_(this), monitor_(std::make_unique<LineMonitor>(*this)) {
    setWindowTitle("PortaVigilant");
    traffic_ = new QPlainTextEdit(this);
    traffic_->setReadOnly(true);
    traffic_->setLineWrapMode(QPlainTextEdit::NoWrap);
    traffic_->setMaximumBlockCount(2000);
    traffic_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* sides = new QHBoxLayout;
    sides->addWidget(buildSideBox(Side::A));
    sides->addWidget(buildSideBox(Side::B));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(traffic_, 1);
    layout->addLayout(sides);
    resize(900, 600);
}

CPortaVigilantDlg::~CPortaVigilantDlg() = default;

QWidget* CPortaVigilantDlg::buildSideBox(Side side) {
    auto* box = new QGroupBox(side == Side::A ? "Comport A" : "Comport B", this);
    SideControls& c = controls_[index(side)];
    const PortSettings& settings = monitor_->settings(side);
    c.device = new QLineEdit(QString::fromStdString(settings.device()), box);
    c.baud = new QLineEdit(QString::number(settings.baud), box);
    c.start = new QPushButton("Start", box);
    c.stop = new QPushButton("Stop", box);
    c.stop->setEnabled(false);
    auto* row = new QHBoxLayout(box);
    row->addWidget(new QLabel("Device", box));
    row->addWidget(c.device, 1);
    row->addWidget(new QLabel("Baud", box));
    row->addWidget(c.baud);
    row->addWidget(c.start);
    row->addWidget(c.stop);
    connect(c.start, &QPushButton::clicked, this, [this, side] { startClicked(side); });
    connect(c.stop, &QPushButton::clicked, this, [this, side] { monitor_->StopSide(side); });
    return box;
}

void CPortaVigilantDlg::startClicked(Side side) {
    SideControls& c = controls_[index(side)];
    PortSettings& settings = monitor_->settings(side);
    settings.devicePath = c.device->text().toStdString();
    bool ok = false;
    const int baud = c.baud->text().toInt(&ok);
    if (ok) {
        settings.baud = baud;
    }
    monitor_->StartSide(side);
}

void CPortaVigilantDlg::showBlock(Side side, const uint8_t* bytes, int count) {
    QString hex;
    hex.reserve(count * 3 + 2);
    hex += side == Side::A ? "A: " : "B: ";
    for (int i = 0; i < count; ++i) {
        hex += QString::asprintf("%02X ", bytes[i]);
    }
    traffic_->appendPlainText(hex);
}

void CPortaVigilantDlg::sideStateChanged(Side side) {
    SideControls& c = controls_[index(side)];
    const bool started = monitor_->side(side).started;
    c.start->setEnabled(!started);
    c.stop->setEnabled(started);
    c.device->setEnabled(!started);
    c.baud->setEnabled(!started);
}

int runMainWindow() {
    CPortaVigilantDlg window;
    window.show();
    return QApplication::exec();
}
