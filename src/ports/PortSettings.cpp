#include "ports/PortSettings.h"

namespace pv {

std::string PortSettings::device() const {
    if (!devicePath.empty()) {
        return devicePath;
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

const char* PortSettings::parityLetter() const {
    switch (parity) {
        case 1:
            return "E";
        case 2:
            return "O";
        default:
            return "N";
    }
}

}  // namespace pv
