#pragma once

#include <string>

#include "ports/PortSettings.h"

namespace pv {

// A side on the serial device at path.
inline PortSettings serialOn(const std::string& path) {
    PortSettings settings;
    settings.devicePath = path;
    return settings;
}

// A side that is one end of the TCP link only.
inline PortSettings networkOnly() {
    PortSettings settings;
    settings.serial = false;
    settings.network = true;
    return settings;
}

}  // namespace pv
