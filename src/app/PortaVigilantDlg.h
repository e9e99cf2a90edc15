#pragma once

#include <QWidget>
#include <memory>

#include "app/QtPrompt.h"
#include "datapath/LineMonitor.h"

class DisplayPanes;
class MainMenu;
class PortSettingsBox;
class QLabel;
class QLineEdit;
class SerialDeviceWatcher;

// The main window. It shows the traffic and hands every user action to LineMonitor.
class CPortaVigilantDlg : public QWidget, public MonitorView {
    Q_OBJECT

  public:
    explicit CPortaVigilantDlg(QWidget* parent = nullptr);
    ~CPortaVigilantDlg() override;

    LineMonitor& monitor() { return *monitor_; }
    PortSettingsBox& settingsBox(Side side) { return *boxes_[side == Side::A ? 0 : 1]; }
    DisplayPanes& panes() { return *panes_; }

    Prompt& prompt() override { return prompt_; }
    void showBlock(Side side, const uint8_t* bytes, int count) override;
    void sideStateChanged(Side side) override;
    void readSettings(Side side, PortSettings& settings, BaudControls& baud) override;
    void showBaudControls(Side side, const BaudControls& baud) override;
    void setLineBox(Side side, ModemLine line, bool on) override;
    void showRate(const RateDisplay::Tick& tick) override;
    void setMenuCheck(int commandId, bool on) override;
    void showTriggerStatus(const std::string& text) override;

    MainMenu& menu() { return *menu_; }
    QLabel* rateField() const { return rate_; }
    QLineEdit* statusLine() const { return status_; }
    QLabel* triggerStatus() const { return trigger_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void refreshDevices();
    void registerCommands();
    void openNetworkSettings();
    void openTriggerDefine();
    QWidget* buildStatusRow();

    QtPrompt prompt_;
    std::unique_ptr<LineMonitor> monitor_;
    PortSettingsBox* boxes_[2] = {};
    SerialDeviceWatcher* devices_ = nullptr;
    DisplayPanes* panes_ = nullptr;
    MainMenu* menu_ = nullptr;
    QLabel* rate_ = nullptr;
    QLineEdit* status_ = nullptr;
    QLabel* trigger_ = nullptr;
};

// Shows the main window and runs the event loop until it closes.
int runMainWindow();
