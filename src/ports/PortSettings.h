#pragma once

#include <string>

namespace pv {

// Line settings of one side. The radio indices follow the main window's controls.
struct PortSettings {
    bool serial = true;
    bool network = false;
    bool isVirtual = false;
    int portNumber = 1;  // 1..256, "COM%d"
    int baud = 9600;
    int parity = 0;    // 0 None, 1 Even, 2 Odd
    int dataBits = 1;  // 0 means 7, 1 means 8
    int stopBits = 0;  // 0 means 1, 1 means 2
    bool dtr = false;
    bool rts = false;
    bool autoHandshake = false;
    // A serial side whose device is lost waits for it to come back and opens it again.
    bool reopen = true;
    // The device this side opens; empty means /dev/ttyS{portNumber-1}.
    std::string devicePath;
    // Not empty: the side is offered to the network as an RFC 2217 port on "[ADDRESS:]PORT"
    // instead of opening a device.
    std::string rfc2217Listen;

    std::string device() const;
    const char* parityLetter() const;
    int dataBitCount() const { return dataBits + 7; }
    int stopBitCount() const { return stopBits + 1; }

    bool operator==(const PortSettings&) const = default;
};

}  // namespace pv
