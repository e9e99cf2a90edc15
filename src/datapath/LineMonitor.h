#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <memory>

#include "datapath/MonitorView.h"
#include "datapath/PortSide.h"
#include "ports/PortSettings.h"

// The non-widget half of the main window: both sides with their channels, the receive path,
// forwarding and the display step. Runs on the main thread, with or without a window.
class LineMonitor : public QObject {
    Q_OBJECT

public:
    explicit LineMonitor(MonitorView& view, TtyBackend& lines = systemTtyBackend(),
                         QObject* parent = nullptr);
    ~LineMonitor() override;

    PortSide& side(Side s) { return s == Side::A ? sideA_ : sideB_; }
    PortSettings& settings(Side s) { return s == Side::A ? settingsA_ : settingsB_; }

    bool StartSide(Side s);
    void StopSide(Side s);

    // Receive path.
    void OnSerialReceive();
    void ProcessBlockA();
    void ProcessBlockB();

    // Bytes read from the serial ports since the last call.
    int takeRxPerSecond();
    bool outputEnabled() const { return outputEnabled_; }
    void setOutputEnabled(bool on) { outputEnabled_ = on; }

private:
    void onSerialEvent(Side s, unsigned events);
    bool openSerial(Side s);
    void receiveSideA();
    void receiveSideB();
    void ExchangePass();
    void forward(Side target, const uint8_t* data, int count);
    void DisplayBlock(Side s, const uint8_t* data, int count);
    void echo(PortSide& side, const uint8_t* data, int count);

    MonitorView& view_;
    PortSide sideA_;
    PortSide sideB_;
    PortSettings settingsA_;
    PortSettings settingsB_;
    int idleCount_ = 0;
    int rxPerSecond_ = 0;
    bool outputEnabled_ = true;
};
