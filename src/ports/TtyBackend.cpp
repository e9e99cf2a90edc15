#include "ports/TtyBackend.h"

#include <sys/ioctl.h>

namespace pv {

namespace {

class IoctlTtyBackend final : public TtyBackend {
  public:
    bool getLines(int fd, int& bits) override { return ioctl(fd, TIOCMGET, &bits) == 0; }
    bool setLines(int fd, int bits, bool on) override {
        return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }
};

}  // namespace

TtyBackend& systemTtyBackend() {
    static IoctlTtyBackend backend;
    return backend;
}

}  // namespace pv
