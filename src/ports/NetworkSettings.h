#pragma once

#include <string>

namespace pv {

// How this instance takes part in the TCP link between two instances.
struct NetworkSettings {
    bool isServer = true;
    std::string serverAddress = "localhost";  // host name or numeric address, client mode
    int port = 5000;
    // Numeric address the server listens on; empty listens on all addresses.
    std::string listenAddress;

    bool operator==(const NetworkSettings&) const = default;
};

namespace NetworkPort {
constexpr int kMinimum = 4000;
constexpr int kMaximum = 65535;
}  // namespace NetworkPort

// The port value of the dialog's text: its leading decimal digits after optional blanks and
// sign; 0 when there are none, and saturated far beyond any port on overlong input.
int portValue(const std::string& portText);

// True for an empty text (all addresses) or a numeric IPv4 or IPv6 address.
bool isListenAddress(const std::string& address);

// The checks of the network dialog's OK, in order; the message to show, or nullptr when the
// input is accepted.
const char* CheckNetworkInput(bool isServer, const std::string& serverAddress,
                              const std::string& portText, const std::string& listenAddress);

// The network dialog may not change the settings under an open link; the message to show, or
// nullptr when it may open.
const char* CheckNetworkConfigAllowed(bool networkOpenA, bool networkOpenB);

}  // namespace pv
