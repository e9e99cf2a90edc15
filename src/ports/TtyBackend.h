#pragma once

namespace pv {

// Modem control lines of a tty. A pseudo-terminal has none, so tests put a fake behind this
// interface; the program uses systemTtyBackend(). Bits are the TIOCM_* values of <sys/ioctl.h>.
// Implementations must be safe to call from the serial event thread and the main thread at once.
class TtyBackend {
  public:
    virtual ~TtyBackend() = default;
    virtual bool getLines(int fd, int& bits) = 0;
    virtual bool setLines(int fd, int bits, bool on) = 0;
};

TtyBackend& systemTtyBackend();

}  // namespace pv
