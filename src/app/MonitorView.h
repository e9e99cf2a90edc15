#pragma once

#include <string>

#include "app/RateDisplay.h"
#include "base/Prompt.h"
#include "datapath/DisplayStep.h"
#include "manipulation/TriggerControl.h"
#include "ports/SideView.h"
#include "recording/LoggingControl.h"
#include "recording/RecorderControl.h"

namespace pv {

// What the engine needs from a front end: a way to ask the user, its controls, and a place to
// show what changes. It is the sum of what each controller needs (the sides, the display step,
// the trigger, logging, the recorder) and what the coordinator shows itself. The main window
// implements it with widgets, the headless front end on the console (where the settings are only
// what the command line set).
class MonitorView : public SideView,
                    public DisplayView,
                    public TriggerView,
                    public LoggingView,
                    public RecorderView {
  public:
    Prompt& prompt() override = 0;
    // The once-a-second characters-per-second field and status line.
    virtual void showRate(const RateDisplay::Tick& /*tick*/) {}
    // The check mark of a toggled menu item.
    virtual void setMenuCheck(int /*commandId*/, bool /*on*/) {}
    // A parameter file was read (or tried): the view takes over what it shows of the settings
    // outside the side boxes (bytes per row, logging options, eXchange sets, title).
    virtual void parametersLoaded() {}
    // "Open..." read a parameter file: the side boxes show the loaded settings and both panes
    // are cleared.
    virtual void parametersOpened() {}
};

}  // namespace pv
