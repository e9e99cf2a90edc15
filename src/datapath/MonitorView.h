#pragma once

#include <cstdint>
#include <string>

#include "app/RateDisplay.h"
#include "base/Prompt.h"
#include "datapath/PortSide.h"
#include "ports/BaudChoice.h"
#include "ports/PortSettings.h"

namespace pv {

enum class ModemLine { Dtr, Rts };

// What the engine needs from a front end: a way to ask the user, its controls, and a place to
// show what changes. The main window implements it with widgets, the headless front end on the
// console (where the settings are only what the command line set).
class MonitorView {
  public:
    virtual ~MonitorView() = default;
    virtual Prompt& prompt() = 0;
    // A block that went through the display step, in the colour of its side.
    virtual void showBlock(Side side, const uint8_t* data, int count) = 0;
    // A side was started or stopped; the view updates its controls from the engine's state.
    virtual void sideStateChanged(Side side) = 0;
    // Copies the window's settings controls of a side into settings and baud.
    virtual void readSettings(Side /*side*/, PortSettings& /*settings*/, BaudControls& /*baud*/) {}
    // Shows the baud list selection and the edit text the engine decided.
    virtual void showBaudControls(Side /*side*/, const BaudControls& /*baud*/) {}
    // A line mirror switched a line: its check box follows; the settings take it at the next read.
    virtual void setLineBox(Side /*side*/, ModemLine /*line*/, bool /*on*/) {}
    // The terminal window standing in for side B; false when the front end has none.
    virtual bool openTerminalWindow() { return false; }
    virtual void closeTerminalWindow() {}
    // The once-a-second characters-per-second field and status line.
    virtual void showRate(const RateDisplay::Tick& /*tick*/) {}
    // The check mark of a toggled menu item.
    virtual void setMenuCheck(int /*commandId*/, bool /*on*/) {}
    // The trigger status control: "Inactive", "Waiting ..." or "Triggered !!!".
    virtual void showTriggerStatus(const std::string& /*text*/) {}
    // Colours a trigger match in both panes: patternLength bytes that end bytesBehind bytes
    // before the end of what was shown last.
    virtual void markTriggerMatch(int /*patternLength*/, int /*bytesBehind*/) {}
    // The engine switched the display output; the output button's caption follows.
    virtual void setOutputButtonCaption(const std::string& /*caption*/) {}
    // Logging started or stopped, or its indicator blinked: the view reads the logging menu
    // state and the indicator from the engine.
    virtual void loggingStateChanged() {}
    // A parameter file was read (or tried): the view takes over what it shows of the settings
    // outside the side boxes (bytes per row, logging options, eXchange sets, title).
    virtual void parametersLoaded() {}
    // "Open..." read a parameter file: the side boxes show the loaded settings and both panes
    // are cleared.
    virtual void parametersOpened() {}
};

}  // namespace pv
