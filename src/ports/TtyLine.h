#pragma once

namespace pv {

// The raw termios calls of a serial line, all through termios2 (TCGETS2/TCSETS2) so that any
// baud rate the driver takes can be set and no later call falls back to a standard rate.
// Lives in a file of its own because <asm/termbits.h> clashes with <termios.h>.

struct TtyLineFormat {
    int dataBits = 8;   // 5..8
    int stopBits = 1;   // 1 or 2
    char parity = 'N';  // N, E, O, M, S
    bool ctsFlow = false;
};

// Reads the line settings; false when fd is not a terminal.
bool ttyIsTerminal(int fd);
// Raw mode (no byte is translated, no echo, no signals) with the given frame format.
bool setTtyFormat(int fd, const TtyLineFormat& format);
// Any baud rate the driver accepts; false when refused, the line then keeps its rate.
bool setTtySpeed(int fd, int baud);
// The output rate currently set, or -1.
int getTtySpeed(int fd);
bool setTtyCtsFlow(int fd, bool on);

}  // namespace pv
