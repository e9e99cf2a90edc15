#pragma once

#include "ports/LineErrors.h"

namespace pv {

enum class LineWait {
    Changed,      // an input line changed
    Interrupted,  // interruptLineWait, or a signal
    Unsupported,  // the driver cannot wait for line changes: read them from time to time
    Failed,       // the device hung up
};

// The driver calls of a tty that pseudo-terminals cannot make: modem lines, rates a driver may
// refuse, line error counters, waiting for line changes. Tests put a fake behind this interface;
// the program uses systemTtyBackend(). Bits are the TIOCM_* values of <sys/ioctl.h>.
// Implementations must be safe to call from the serial event thread and the main thread at once.
class TtyBackend {
  public:
    virtual ~TtyBackend() = default;
    virtual bool getLines(int fd, int& bits) = 0;
    virtual bool setLines(int fd, int bits, bool on) = 0;
    // Any rate the driver takes (termios2); it may run at a nearby rate instead, which getSpeed
    // tells. False when refused outright.
    virtual bool setSpeed(int fd, int baud);
    // The rate the line runs at, or -1.
    virtual int getSpeed(int fd);
    // False when the driver keeps no counters (pseudo-terminals, some USB adapters).
    virtual bool getCounts(int /*fd*/, LineCounts& /*counts*/) { return false; }
    // Blocks until CTS, DSR, RI or CD changes, the device hangs up or interruptLineWait.
    virtual LineWait waitForLineChange(int /*fd*/) { return LineWait::Unsupported; }
    // Ends a waitForLineChange on fd in another thread. A wait that was just about to begin is
    // not ended, so a caller that must be sure repeats this until the waiter has returned.
    virtual void interruptLineWait(int /*fd*/) {}
};

TtyBackend& systemTtyBackend();

}  // namespace pv
