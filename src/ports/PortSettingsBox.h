#pragma once

#include <QGroupBox>
#include <string>
#include <vector>

#include "ports/SideControl.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace pv {

// The group box "Comport A" or "Comport B": the settings controls of one side, its Start and
// Stop buttons (and "Terminal" for side B). Every action goes to the side control.
class PortSettingsBox : public QGroupBox {
    Q_OBJECT

  public:
    PortSettingsBox(Side side, SideControl& sides, QWidget* parent = nullptr);

    // "Read settings" and "write settings" of this side.
    void readInto(PortSettings& settings, BaudControls& baud) const;
    void write(const PortSettings& settings, const BaudControls& baud);
    void showBaud(const BaudControls& baud);
    void setLineBox(ModemLine line, bool on);
    void applyControlState(const SideControl::ControlState& state);
    // Detected devices: {path, description}; listed before the COM numbers. The path is best the
    // device's stable (by-id) name, which is what a chosen entry stores.
    void setDevices(const std::vector<std::pair<std::string, std::string>>& devices);

    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* terminalButton() const { return terminal_; }
    QComboBox* portList() const { return portList_; }
    QComboBox* baudList() const { return baudList_; }
    QLineEdit* baudEdit() const { return baudEdit_; }
    QCheckBox* typeBox(int index) const { return typeBoxes_[index]; }  // Serial, Network, Virtual
    QCheckBox* lineBox(int index) const { return lineBoxes_[index]; }  // DTR, RTS, Auto
    QCheckBox* reopenBox() const { return reopen_; }

  signals:
    void terminalClicked();

  private:
    QWidget* buildTypeRow();
    QWidget* buildFormatRow();
    QWidget* buildLineRow();
    void connectHandlers();
    void selectPort(const PortSettings& settings);

    Side side_;
    SideControl& sides_;
    QComboBox* portList_ = nullptr;
    QComboBox* baudList_ = nullptr;
    QLineEdit* baudEdit_ = nullptr;
    QPushButton* getIt_ = nullptr;
    QButtonGroup* parity_ = nullptr;
    QButtonGroup* dataBits_ = nullptr;
    QButtonGroup* stopBits_ = nullptr;
    QCheckBox* typeBoxes_[3] = {};
    QCheckBox* lineBoxes_[3] = {};
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* terminal_ = nullptr;
    QCheckBox* reopen_ = nullptr;
    bool writing_ = false;
};

}  // namespace pv
