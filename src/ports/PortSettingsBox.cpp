#include "ports/PortSettingsBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <string>
#include <string_view>

#include "base/TextFormat.h"
#include "ports/Rfc2217Address.h"
#include "ports/SerialDeviceList.h"

namespace pv {

namespace {

constexpr int kPortCount = 256;
// The device field also offers the side to the network: "rfc2217-server:[ADDRESS:]PORT".
constexpr std::string_view kRfc2217ServerPrefix = "rfc2217-server:";

QButtonGroup* radioGroup(QWidget* parent, QHBoxLayout* row, const char* caption,
                         std::initializer_list<const char*> labels) {
    auto* group = new QButtonGroup(parent);
    row->addWidget(new QLabel(caption, parent));
    int id = 0;
    for (const char* label : labels) {
        auto* radio = new QRadioButton(label, parent);
        group->addButton(radio, id++);
        row->addWidget(radio);
    }
    return group;
}

void checkId(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = group->checkedButton()) {
        group->setExclusive(false);
        checked->setChecked(false);
        group->setExclusive(true);
    }
}

}  // namespace

PortSettingsBox::PortSettingsBox(Side side, SideControl& sides, QWidget* parent)
    : QGroupBox(side == Side::A ? "Comport A" : "Comport B", parent), side_(side), sides_(sides) {
    portList_ = new QComboBox(this);
    portList_->setEditable(true);
    portList_->setInsertPolicy(QComboBox::NoInsert);
    portList_->setToolTip(
        "A detected device, a COM number (COMn: is /dev/ttyS{n-1}), a path, "
        "rfc2217://host:port for a port on another machine, or rfc2217-server:[address:]port to "
        "offer this side to the network as a serial port");
    for (int n = 1; n <= kPortCount; ++n) {
        portList_->addItem(QString::asprintf("COM%d:", n), QString());
    }
    baudList_ = new QComboBox(this);
    for (const char* entry : kBaudListEntries) {
        baudList_->addItem(entry);
    }
    baudEdit_ = new QLineEdit(this);
    baudEdit_->setMaximumWidth(90);
    getIt_ = new QPushButton("Get It", this);
    start_ = new QPushButton("Start", this);
    stop_ = new QPushButton("Stop", this);
    if (side == Side::B) {
        terminal_ = new QPushButton("Terminal", this);
    }
    reopen_ = new QCheckBox("Reopen when plugged in", this);
    reopen_->setToolTip(
        "When the device is unplugged, wait for it to come back and open it again with the same "
        "settings");

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Comport", this), 0, 0);
    grid->addWidget(portList_, 0, 1, 1, 3);
    grid->addWidget(new QLabel("Baudrate", this), 1, 0);
    grid->addWidget(baudList_, 1, 1);
    grid->addWidget(baudEdit_, 1, 2);
    grid->addWidget(getIt_, 1, 3);
    grid->addWidget(buildFormatRow(), 2, 0, 1, 4);
    grid->addWidget(buildTypeRow(), 3, 0, 1, 4);
    grid->addWidget(buildLineRow(), 4, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    if (terminal_ != nullptr) {
        buttons->addWidget(terminal_);
    }
    buttons->addWidget(reopen_);
    grid->addLayout(buttons, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    connectHandlers();
}

QWidget* PortSettingsBox::buildFormatRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    parity_ = radioGroup(row, layout, "Parity", {"None", "Even", "Odd"});
    dataBits_ = radioGroup(row, layout, "Data", {"7", "8"});
    stopBits_ = radioGroup(row, layout, "Stop", {"1", "2"});
    layout->addStretch();
    return row;
}

QWidget* PortSettingsBox::buildTypeRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const char* labels[3] = {"Serial", "Network", "Virtual"};
    for (int i = 0; i < 3; ++i) {
        typeBoxes_[i] = new QCheckBox(labels[i], row);
        layout->addWidget(typeBoxes_[i]);
    }
    layout->addStretch();
    return row;
}

QWidget* PortSettingsBox::buildLineRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const char* labels[3] = {"DTR", "RTS", "Auto"};
    for (int i = 0; i < 3; ++i) {
        lineBoxes_[i] = new QCheckBox(labels[i], row);
        layout->addWidget(lineBoxes_[i]);
    }
    layout->addStretch();
    return row;
}

void PortSettingsBox::connectHandlers() {
    // Serial and Virtual exclude each other in the window; Network goes with either.
    connect(typeBoxes_[0], &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            typeBoxes_[2]->setChecked(false);
        }
    });
    connect(typeBoxes_[2], &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            typeBoxes_[0]->setChecked(false);
        }
    });
    connect(lineBoxes_[0], &QCheckBox::clicked, this, [this] { sides_.OnDtrBox(side_); });
    connect(lineBoxes_[1], &QCheckBox::clicked, this, [this] { sides_.OnRtsBox(side_); });
    connect(lineBoxes_[2], &QCheckBox::clicked, this, [this] { sides_.OnAutoBox(side_); });
    connect(baudList_, &QComboBox::activated, this,
            [this](int index) { sides_.OnBaudListSelected(side_, index); });
    connect(getIt_, &QPushButton::clicked, this, [this] { sides_.OnGetIt(side_); });
    connect(reopen_, &QCheckBox::clicked, this, [this] { sides_.OnReopenBox(side_); });
    connect(start_, &QPushButton::clicked, this, [this] { sides_.StartSide(side_); });
    connect(stop_, &QPushButton::clicked, this, [this] { sides_.StopSide(side_); });
    if (terminal_ != nullptr) {
        connect(terminal_, &QPushButton::clicked, this, &PortSettingsBox::terminalClicked);
    }
}

void PortSettingsBox::readInto(PortSettings& settings, BaudControls& baud) const {
    settings.serial = typeBoxes_[0]->isChecked();
    settings.network = typeBoxes_[1]->isChecked();
    settings.isVirtual = typeBoxes_[2]->isChecked();
    settings.parity = parity_->checkedId();
    settings.dataBits = dataBits_->checkedId();
    settings.stopBits = stopBits_->checkedId();
    settings.dtr = lineBoxes_[0]->isChecked();
    settings.rts = lineBoxes_[1]->isChecked();
    settings.autoHandshake = lineBoxes_[2]->isChecked();
    settings.reopen = reopen_->isChecked();
    // A listed entry gives its device or COM number; typed text is a path or "COMn:", and a
    // typed path is kept under the device's stable name when it has one.
    const QString text = portList_->currentText().trimmed();
    const int index = portList_->findText(text);
    const QString path = index >= 0 ? portList_->itemData(index).toString() : QString();
    int number = 0;
    settings.rfc2217Listen.clear();
    if (const std::string typed = text.toStdString(); typed.starts_with(kRfc2217ServerPrefix)) {
        settings.rfc2217Listen = typed.substr(kRfc2217ServerPrefix.size());
    } else if (!path.isEmpty()) {
        settings.devicePath = path.toStdString();
    } else if (isRfc2217Device(text.toStdString())) {
        settings.devicePath = text.toStdString();
    } else if (text.startsWith('/')) {
        settings.devicePath = stableDeviceName(text.toStdString());
    } else if (std::sscanf(text.toLatin1().constData(), "COM%d", &number) == 1 && number >= 1 &&
               number <= kPortCount) {
        settings.devicePath.clear();
        settings.portNumber = number;
    }
    baud.editText = baudEdit_->text().toStdString();
    baud.listIndex = baudList_->currentIndex();
}

void PortSettingsBox::write(const PortSettings& settings, const BaudControls& baud) {
    typeBoxes_[0]->setChecked(settings.serial);
    typeBoxes_[1]->setChecked(settings.network);
    typeBoxes_[2]->setChecked(settings.isVirtual);
    checkId(parity_, settings.parity);
    checkId(dataBits_, settings.dataBits);
    checkId(stopBits_, settings.stopBits);
    lineBoxes_[0]->setChecked(settings.dtr);
    lineBoxes_[1]->setChecked(settings.rts);
    lineBoxes_[2]->setChecked(settings.autoHandshake);
    reopen_->setChecked(settings.reopen);
    selectPort(settings);
    showBaud(baud);
}

void PortSettingsBox::selectPort(const PortSettings& settings) {
    if (!settings.rfc2217Listen.empty()) {
        portList_->setEditText(
            QString::fromStdString(std::string(kRfc2217ServerPrefix) + settings.rfc2217Listen));
        return;
    }
    if (!settings.devicePath.empty()) {
        const int index = portList_->findData(QString::fromStdString(settings.devicePath));
        if (index >= 0) {
            portList_->setCurrentIndex(index);
        } else {
            portList_->setEditText(QString::fromStdString(settings.devicePath));
        }
        return;
    }
    portList_->setCurrentIndex(
        portList_->findText(QString::asprintf("COM%d:", settings.portNumber)));
}

void PortSettingsBox::showBaud(const BaudControls& baud) {
    baudList_->setCurrentIndex(baud.listIndex);
    baudEdit_->setText(QString::fromStdString(baud.editText));
}

void PortSettingsBox::setLineBox(ModemLine line, bool on) {
    lineBoxes_[line == ModemLine::Dtr ? 0 : 1]->setChecked(on);
}

void PortSettingsBox::applyControlState(const SideControl::ControlState& state) {
    for (QWidget* w : {static_cast<QWidget*>(portList_), static_cast<QWidget*>(baudList_),
                       static_cast<QWidget*>(baudEdit_), static_cast<QWidget*>(getIt_)}) {
        w->setEnabled(state.settingsEnabled);
    }
    for (QButtonGroup* group : {parity_, dataBits_, stopBits_}) {
        for (QAbstractButton* button : group->buttons()) {
            button->setEnabled(state.settingsEnabled);
        }
    }
    for (QCheckBox* box : typeBoxes_) {
        box->setEnabled(state.settingsEnabled);
    }
    for (QCheckBox* box : lineBoxes_) {
        box->setEnabled(state.linesEnabled);
    }
    start_->setEnabled(state.startEnabled);
    stop_->setEnabled(state.stopEnabled);
    if (terminal_ != nullptr) {
        terminal_->setEnabled(state.terminalEnabled);
    }
}

void PortSettingsBox::setDevices(const std::vector<std::pair<std::string, std::string>>& devices) {
    PortSettings current;
    BaudControls ignored;
    readInto(current, ignored);
    const QSignalBlocker blocker(portList_);
    // Drop the detected devices listed before, keep the COM numbers.
    while (portList_->count() > kPortCount) {
        portList_->removeItem(0);
    }
    int row = 0;
    for (const auto& [path, description] : devices) {
        portList_->insertItem(row++, QString::fromStdString(description),
                              QString::fromStdString(path));
    }
    selectPort(current);
}

}  // namespace pv
