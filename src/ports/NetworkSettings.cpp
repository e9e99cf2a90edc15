#include "ports/NetworkSettings.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>

namespace pv {

namespace {

constexpr const char* kTextPortMissing = "You must add a value for 'Port' !";
constexpr const char* kTextPortTooSmall = "The minimum value for 'Port' is '4000' !";
constexpr const char* kTextPortTooLarge = "The maximum value for 'Port' is '65535' !";
constexpr const char* kTextAddressMissing = "You must add a value for 'IP adress server' !";
constexpr const char* kTextListenAddressInvalid =
    "The value for 'Listen address' must be empty or a numeric IP address !";
constexpr const char* kTextCloseLinkFirst =
    "Close Ethernet connections before trying to configure !";

// Far above any port, small enough to never overflow while digits are added.
constexpr int kSaturatedValue = 1000000;

}  // namespace

int portValue(const std::string& portText) {
    size_t i = 0;
    while (i < portText.size() && std::isspace(static_cast<unsigned char>(portText[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < portText.size() && (portText[i] == '+' || portText[i] == '-')) {
        negative = portText[i] == '-';
        ++i;
    }
    int value = 0;
    for (; i < portText.size() && std::isdigit(static_cast<unsigned char>(portText[i])); ++i) {
        value = value * 10 + (portText[i] - '0');
        if (value > kSaturatedValue) {
            value = kSaturatedValue;
        }
    }
    return negative ? -value : value;
}

bool isListenAddress(const std::string& address) {
    if (address.empty()) {
        return true;
    }
    in6_addr scratch{};
    return ::inet_pton(AF_INET, address.c_str(), &scratch) == 1 ||
           ::inet_pton(AF_INET6, address.c_str(), &scratch) == 1;
}

const char* CheckNetworkInput(bool isServer, const std::string& serverAddress,
                              const std::string& portText, const std::string& listenAddress) {
    if (portText.empty()) {
        return kTextPortMissing;
    }
    const int port = portValue(portText);
    if (port < NetworkPort::kMinimum) {
        return kTextPortTooSmall;
    }
    // Ports are 16 bits; a larger value would silently become some other port.
    if (port > NetworkPort::kMaximum) {
        return kTextPortTooLarge;
    }
    if (!isServer && serverAddress.empty()) {
        return kTextAddressMissing;
    }
    if (isServer && !isListenAddress(listenAddress)) {
        return kTextListenAddressInvalid;
    }
    return nullptr;
}

const char* CheckNetworkConfigAllowed(bool networkOpenA, bool networkOpenB) {
    return networkOpenA || networkOpenB ? kTextCloseLinkFirst : nullptr;
}

}  // namespace pv
