#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "ports/TtyBackend.h"

namespace pv {

// What pseudo-terminals lack, for tests: per descriptor, the output lines the code set (DTR,
// RTS), the input lines the test sets (CTS, DSR, RI, CD), the driver's counters, a highest rate
// (a driver that cannot go faster runs at its highest instead), and, when asked for, a wait for
// line changes that ends like the driver's does.
class FakeTtyBackend : public TtyBackend {
  public:
    bool getLines(int fd, int& bits) override;
    bool setLines(int fd, int bits, bool on) override;
    bool setSpeed(int fd, int baud) override;
    bool getCounts(int fd, LineCounts& counts) override;
    LineWait waitForLineChange(int fd) override;
    void interruptLineWait(int fd) override;

    int lines(int fd);
    // Changes input lines, and counts each change as the driver does.
    void setInputLines(int fd, int bits, bool on);
    // Every change of an output line, in order: {fd, bit, on}.
    struct Change {
        int fd;
        int bit;
        bool on;
    };
    std::vector<Change> changes();

    // 0: any rate. Set before the port opens.
    int maxBaud = 0;
    // The driver can wait for line changes (TIOCMIWAIT). Set before the port opens.
    bool lineWaits = false;
    // ... but its wait ends at once every time, whether a line changed or not.
    bool lineWaitsEndAtOnce = false;
    // Adds to the counters of fd.
    void count(int fd, const LineCounts& more);
    // How often a waitForLineChange began.
    int lineWaitCount();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, int> bits_;
    std::map<int, LineCounts> counts_;
    // Input line changes per descriptor, and how many of them the last getLines saw: a wait
    // returns at once for a change its caller has not seen yet.
    std::map<int, long long> generation_;
    std::map<int, long long> seen_;
    std::map<int, bool> waiting_;
    std::map<int, bool> interrupted_;
    std::vector<Change> changes_;
    int waits_ = 0;
};

}  // namespace pv
