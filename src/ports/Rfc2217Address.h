#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pv {

// Where an RFC 2217 client connects or a server listens. An IPv6 host is kept without brackets.
struct Rfc2217Endpoint {
    std::string host;
    int port = 0;
    bool operator==(const Rfc2217Endpoint&) const = default;
};

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr const char* kRfc2217DefaultListenAddress = "127.0.0.1";

// True when a side's device text names a remote port ("rfc2217://..."), whether or not the
// rest of it is valid.
bool isRfc2217Device(std::string_view device);

// "rfc2217://HOST:PORT": a host name, an IPv4 address or an IPv6 address in brackets, and a
// port of 1 to 65535. On bad input: nothing, and the reason in error.
std::optional<Rfc2217Endpoint> parseRfc2217Device(std::string_view device, std::string& error);

// "[ADDRESS:]PORT" of a server: a numeric IPv4 address, an IPv6 address in brackets or
// "localhost"; without an address the server listens on 127.0.0.1 only.
std::optional<Rfc2217Endpoint> parseRfc2217Listen(std::string_view spec, std::string& error);

// The device text of an endpoint, brackets around an IPv6 host.
std::string rfc2217DeviceText(const Rfc2217Endpoint& endpoint);

}  // namespace pv
