#include "ports/TtyLine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace pv {

namespace {

bool readLine(int fd, termios2& tio) {
    return ioctl(fd, TCGETS2, &tio) == 0;
}
bool writeLine(int fd, const termios2& tio) {
    return ioctl(fd, TCSETS2, &tio) == 0;
}

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t parityFlags(char parity) {
    switch (parity) {
        case 'E':
            return PARENB;
        case 'O':
            return PARENB | PARODD;
        case 'M':
            return PARENB | CMSPAR | PARODD;
        case 'S':
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

}  // namespace

bool ttyIsTerminal(int fd) {
    termios2 tio{};
    return readLine(fd, tio);
}

bool setTtyFormat(int fd, const TtyLineFormat& format) {
    termios2 tio{};
    if (!readLine(fd, tio)) {
        return false;
    }
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IUCLC | IMAXBEL | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL | sizeFlag(format.dataBits) | parityFlags(format.parity);
    if (format.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    if (format.ctsFlow) {
        tio.c_cflag |= CRTSCTS;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return writeLine(fd, tio);
}

bool setTtySpeed(int fd, int baud) {
    termios2 tio{};
    if (baud <= 0 || !readLine(fd, tio)) {
        return false;
    }
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    return writeLine(fd, tio);
}

int getTtySpeed(int fd) {
    termios2 tio{};
    if (!readLine(fd, tio)) {
        return -1;
    }
    return static_cast<int>(tio.c_ospeed);
}

bool setTtyCtsFlow(int fd, bool on) {
    termios2 tio{};
    if (!readLine(fd, tio)) {
        return false;
    }
    if (on) {
        tio.c_cflag |= CRTSCTS;
    } else {
        tio.c_cflag &= ~CRTSCTS;
    }
    return writeLine(fd, tio);
}

}  // namespace pv
