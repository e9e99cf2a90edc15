#pragma once

#include <cstdint>

#include "app/Prompt.h"
#include "datapath/PortSide.h"

// What the engine needs from a front end: a way to ask the user, and a place to show what
// changes. The main window implements it with widgets, the headless front end on the console.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual Prompt& prompt() = 0;
    // A block that went through the display step, in the colour of its side.
    virtual void showBlock(Side side, const uint8_t* data, int count) = 0;
    // A side was started or stopped; the view updates its controls.
    virtual void sideStateChanged(Side side) = 0;
};
