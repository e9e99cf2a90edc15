#pragma once

#include <string>
#include <vector>

namespace pv {

// What a serial driver counts while a port is open (TIOCGICOUNT): changes of the input lines,
// and the faults of received characters. The driver's counters run since it was loaded, so only
// differences mean anything.
struct LineCounts {
    long long cts = 0;
    long long dsr = 0;
    long long ring = 0;
    long long dcd = 0;
    long long frame = 0;
    long long parity = 0;
    long long overrun = 0;        // the UART's receive register was overwritten
    long long bufferOverrun = 0;  // the driver's buffer was full
    long long breaks = 0;

    long long lineChanges() const { return cts + dsr + ring + dcd; }
    bool operator==(const LineCounts&) const = default;
};

enum class LineFault { Overrun, Framing, Parity, Break };

// The faults of one port since it was opened. Read from time to time, never per byte.
class LineErrorTally {
  public:
    // The counts when the port was opened: everything before belongs to someone else.
    void reset(const LineCounts& atOpen);
    // Takes the current counts; returns the faults that grew since the last look.
    std::vector<LineFault> update(const LineCounts& now);
    long long count(LineFault fault) const;
    bool any() const;
    // "2 overruns, 1 framing error"; empty while there was none.
    std::string text() const;

  private:
    LineCounts base_;
    LineCounts last_;
};

// One notice per kind of fault; a fault that keeps coming repeats the same text, which the
// notice board counts.
std::string lineFaultNotice(char side, const std::string& device, LineFault fault);

}  // namespace pv
