#pragma once

namespace pv {

class CPortaVigilantDlg;

// For the documentation's picture: with PV_SCREENSHOT=<file.png> set, the window starts both
// sides on the devices in PV_SCREENSHOT_DEVICES=<deviceA>,<deviceB> (if given), waits
// PV_SCREENSHOT_DELAY_MS (default 3000) for traffic, saves a picture of itself and closes.
// Does nothing without PV_SCREENSHOT.
//
// With PV_SCREENSHOT_TERMINAL=<lines> as well, side B is the terminal window instead: the lines
// (separated by "|") are typed into it one a second, and the picture is of that window.
void armScreenshot(CPortaVigilantDlg& window);

}  // namespace pv
