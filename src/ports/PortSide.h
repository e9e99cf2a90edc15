#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/Side.h"
#include "ports/Rfc2217Channel.h"
#include "ports/Rfc2217ServerChannel.h"
#include "ports/SerialPort.h"
#include "ports/VirtualSerialPort.h"

namespace pv {

// Run state of one side: which channels are open and the bytes received but not yet processed.
// The flags say what kind of side it is; channels holds the open channels the data path reads
// and writes, so forwarding is a loop over them.
struct PortSide {
    static constexpr int kCaptureSize = 10240;

    explicit PortSide(TtyBackend& lines) : port(lines) {}

    bool started = false;
    bool isSerial = false;
    bool isNetwork = false;
    bool isVirtual = false;
    bool isTerminal = false;       // side B only
    bool isRemote = false;         // its device is a serial port on another machine (rfc2217://)
    bool isRfc2217Server = false;  // offered to the network as a serial port
    bool localEcho = false;
    SerialPort port;
    std::unique_ptr<CVirtualSerialPort> virtualPort;
    std::unique_ptr<Rfc2217Channel> remotePort;
    std::unique_ptr<Rfc2217ServerChannel> rfc2217Server;
    std::vector<pv::Channel*> channels;
    std::array<uint8_t, kCaptureSize> captureBuffer{};
    int captureCount = 0;
    long long totalShown = 0;
    bool logEnabled = false;
};

}  // namespace pv
