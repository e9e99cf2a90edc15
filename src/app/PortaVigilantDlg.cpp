#include "app/PortaVigilantDlg.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ports/PortSettingsBox.h"
#include "ports/SerialDeviceWatcher.h"

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
    for (Side side : {Side::A, Side::B}) {
        boxes_[index(side)] = new PortSettingsBox(side, *monitor_, this);
        sides->addWidget(boxes_[index(side)]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(traffic_, 1);
    layout->addLayout(sides);

    for (Side side : {Side::A, Side::B}) {
        boxes_[index(side)]->write(monitor_->settings(side), monitor_->baudControls(side));
        sideStateChanged(side);
    }
    devices_ = new SerialDeviceWatcher("/sys", "/dev", this);
    connect(devices_, &SerialDeviceWatcher::devicesChanged, this,
            &CPortaVigilantDlg::refreshDevices);
    refreshDevices();
    resize(900, 640);
}

CPortaVigilantDlg::~CPortaVigilantDlg() = default;

void CPortaVigilantDlg::refreshDevices() {
    std::vector<std::pair<std::string, std::string>> list;
    for (const SerialDeviceInfo& device : devices_->devices()) {
        list.emplace_back(device.path, device.description);
    }
    for (PortSettingsBox* box : boxes_) {
        box->setDevices(list);
    }
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
    boxes_[index(side)]->applyControlState(monitor_->controlState(side));
    if (side == Side::A) {
        // Side B's Terminal button follows side B only, but refresh both for simplicity.
        boxes_[1]->applyControlState(monitor_->controlState(Side::B));
    }
}

void CPortaVigilantDlg::readSettings(Side side, PortSettings& settings, BaudControls& baud) {
    boxes_[index(side)]->readInto(settings, baud);
}

void CPortaVigilantDlg::showBaudControls(Side side, const BaudControls& baud) {
    if (boxes_[index(side)] != nullptr) {
        boxes_[index(side)]->showBaud(baud);
    }
}

void CPortaVigilantDlg::setLineBox(Side side, ModemLine line, bool on) {
    boxes_[index(side)]->setLineBox(line, on);
}

int runMainWindow() {
    CPortaVigilantDlg window;
    window.show();
    return QApplication::exec();
}
