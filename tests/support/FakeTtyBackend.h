#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "ports/TtyBackend.h"

namespace pv {

// Modem lines for pseudo-terminals, which have none: per descriptor, the output lines the code
// set (DTR, RTS) and the input lines the test sets (CTS, DSR, RI, CD).
class FakeTtyBackend : public TtyBackend {
  public:
    bool getLines(int fd, int& bits) override;
    bool setLines(int fd, int bits, bool on) override;

    int lines(int fd);
    void setInputLines(int fd, int bits, bool on);
    // Every change of an output line, in order: {fd, bit, on}.
    struct Change {
        int fd;
        int bit;
        bool on;
    };
    std::vector<Change> changes();

  private:
    std::mutex mutex_;
    std::map<int, int> bits_;
    std::vector<Change> changes_;
};

}  // namespace pv
