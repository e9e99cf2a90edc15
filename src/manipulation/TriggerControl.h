#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>

#include "datapath/DisplayStep.h"
#include "manipulation/Trigger.h"
#include "ports/SerialPort.h"

namespace pv {

// Where the trigger says how it stands: "Inactive", "Waiting ..." or "Triggered !!!".
class TriggerView {
  public:
    virtual ~TriggerView() = default;
    virtual void showTriggerStatus(const std::string& /*text*/) {}
};

// The trigger in the A to B chain: the check of each block, the status texts, the pulse on
// side A's DTR or RTS line (timer 2 ends it), the marking of a match in the display and the
// switching off of the display output. Each line has its own pulse, so a pulse ends on the line
// it began on even when the definition switches lines while it runs.
class TriggerControl : public QObject {
    Q_OBJECT

  public:
    TriggerControl(TriggerView& view, SerialPort& lineOfA, DisplayStep& display,
                   QObject* parent = nullptr);

    Trigger& trigger() { return trigger_; }
    // The definition dialog's "OK": the new settings, and the status tells whether it is armed.
    void DefineTrigger(const TriggerSettings& settings);
    // "Waiting ..." when the trigger is armed, else "Inactive".
    void ShowTriggerState();
    // Runs on a block of side A before it is displayed.
    TriggerResult check(const uint8_t* data, int count);
    // After the block was displayed: the match is marked, the output may go off.
    void finish(const TriggerResult& result);
    enum PulseLine { kDtr = 0, kRts = 1 };
    // Timer 2 of a line: the end of its pulse.
    void OnTriggerTimer(PulseLine line);
    const QTimer& triggerTimer(PulseLine line) const { return pulses_[line].timer; }
    bool pulseRunning() const;

  private:
    TriggerView& view_;
    SerialPort& lineOfA_;
    DisplayStep& display_;
    Trigger trigger_;
    struct Pulse {
        QTimer timer;
        bool levelHigh = true;
    };
    Pulse pulses_[2];
};

}  // namespace pv
