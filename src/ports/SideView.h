#pragma once

#include <string>

#include "base/Prompt.h"
#include "base/Side.h"
#include "ports/BaudChoice.h"
#include "ports/PortSettings.h"

namespace pv {

enum class ModemLine { Dtr, Rts };

// What starting and stopping the sides needs from a front end: a way to ask the user, and the
// side boxes' controls.
class SideView {
  public:
    virtual ~SideView() = default;
    virtual Prompt& prompt() = 0;
    // A side was started or stopped; the view updates its controls from the engine's state.
    virtual void sideStateChanged(Side side) = 0;
    // Copies the window's settings controls of a side into settings and baud.
    virtual void readSettings(Side /*side*/, PortSettings& /*settings*/, BaudControls& /*baud*/) {}
    // Shows the baud list selection and the edit text the engine decided.
    virtual void showBaudControls(Side /*side*/, const BaudControls& /*baud*/) {}
    // The side's settings changed outside the window (a network client set them): the box
    // shows them.
    virtual void showSettings(Side /*side*/) {}
    // A line mirror switched a line: its check box follows; the settings take it at the next read.
    virtual void setLineBox(Side /*side*/, ModemLine /*line*/, bool /*on*/) {}
    // The line errors of the side's serial port since it opened ("2 overruns"), or empty.
    virtual void showLineErrors(Side /*side*/, const std::string& /*text*/) {}
    // The terminal window standing in for side B; false when the front end has none.
    virtual bool openTerminalWindow() { return false; }
    virtual void closeTerminalWindow() {}
};

}  // namespace pv
