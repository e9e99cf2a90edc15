#include "ports/Rfc2217Address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

namespace pv {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool startsWithScheme(std::string_view text) {
    return text.size() >= kRfc2217Scheme.size() &&
           std::equal(
               kRfc2217Scheme.begin(), kRfc2217Scheme.end(), text.begin(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool isAddress(int family, std::string_view text) {
    in6_addr scratch{};
    return ::inet_pton(family, std::string(text).c_str(), &scratch) == 1;
}

bool isHostName(std::string_view name) {
    if (name.empty() || name.size() > 253) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t dot = std::min(name.find('.', start), name.size());
        const std::string_view label = name.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
            })) {
            return false;
        }
        start = dot + 1;
    }
    return true;
}

std::optional<int> portOf(std::string_view text, std::string& error) {
    int port = 0;
    const bool digits =
        !text.empty() && text.size() <= 5 && std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        });
    for (const char c : digits ? text : std::string_view{}) {
        port = port * 10 + (c - '0');
    }
    if (!digits || port < 1 || port > 65535) {
        error = quoted(text) + " is not a port number from 1 to 65535.";
        return std::nullopt;
    }
    return port;
}

struct Split {
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    bool hasHost = true;
};

// Cuts HOST:PORT or [HOST]:PORT; a lone PORT only where the host may be left out.
struct Examples {
    std::string_view usage;
    std::string_view ipv6;
};

std::optional<Split> split(std::string_view text, bool hostOptional, const Examples& examples,
                           std::string& error) {
    Split s;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            error = "The closing bracket of the IPv6 address is missing in " + quoted(text) + ".";
            return std::nullopt;
        }
        s.host = text.substr(1, close - 1);
        s.bracketed = true;
        if (close + 1 >= text.size() || text[close + 1] != ':') {
            error = "The port is missing: write " + std::string(examples.usage) + ".";
            return std::nullopt;
        }
        s.port = text.substr(close + 2);
        return s;
    }
    const size_t colons = static_cast<size_t>(std::count(text.begin(), text.end(), ':'));
    if (colons > 1) {
        error = "Write an IPv6 address in brackets, as in " + std::string(examples.ipv6) + ".";
        return std::nullopt;
    }
    if (colons == 0) {
        if (!hostOptional) {
            error = "The port is missing: write " + std::string(examples.usage) + ".";
            return std::nullopt;
        }
        s.hasHost = false;
        s.port = text;
        return s;
    }
    const size_t colon = text.find(':');
    s.host = text.substr(0, colon);
    s.port = text.substr(colon + 1);
    return s;
}

}  // namespace

bool isRfc2217Device(std::string_view device) {
    return startsWithScheme(trimmed(device));
}

std::optional<Rfc2217Endpoint> parseRfc2217Device(std::string_view device, std::string& error) {
    constexpr Examples kExamples{"rfc2217://HOST:PORT", "rfc2217://[::1]:2217"};
    const std::string_view text = trimmed(device);
    if (!startsWithScheme(text)) {
        error = quoted(text) + " does not begin with rfc2217://.";
        return std::nullopt;
    }
    const std::optional<Split> s =
        split(text.substr(kRfc2217Scheme.size()), false, kExamples, error);
    if (!s) {
        return std::nullopt;
    }
    if (s->host.empty()) {
        error = "The host is missing: write " + std::string(kExamples.usage) + ".";
        return std::nullopt;
    }
    const bool numeric = s->host.find_first_not_of("0123456789.") == std::string_view::npos;
    const bool valid = s->bracketed ? isAddress(AF_INET6, s->host)
                       : numeric    ? isAddress(AF_INET, s->host)
                                    : isHostName(s->host);
    if (!valid) {
        error = quoted(s->host) + " is not a host name or IP address.";
        return std::nullopt;
    }
    const std::optional<int> port = portOf(s->port, error);
    if (!port) {
        return std::nullopt;
    }
    return Rfc2217Endpoint{std::string(s->host), *port};
}

std::optional<Rfc2217Endpoint> parseRfc2217Listen(std::string_view spec, std::string& error) {
    constexpr Examples kExamples{"[ADDRESS:]PORT, as in 2217 or 0.0.0.0:2217", "[::1]:2217"};
    const std::string_view text = trimmed(spec);
    if (text.empty()) {
        error = "The port is missing: write " + std::string(kExamples.usage) + ".";
        return std::nullopt;
    }
    if (text.find("://") != std::string_view::npos) {
        error = quoted(text) + " is the address of a remote port; a server takes " +
                std::string(kExamples.usage) + ".";
        return std::nullopt;
    }
    const std::optional<Split> s = split(text, true, kExamples, error);
    if (!s) {
        return std::nullopt;
    }
    std::string host = kRfc2217DefaultListenAddress;
    if (s->hasHost) {
        if (s->host == "localhost") {
            host = kRfc2217DefaultListenAddress;
        } else if (s->bracketed ? isAddress(AF_INET6, s->host) : isAddress(AF_INET, s->host)) {
            host = std::string(s->host);
        } else {
            error = quoted(s->host) + " is not a numeric IP address to listen on.";
            return std::nullopt;
        }
    }
    const std::optional<int> port = portOf(s->port, error);
    if (!port) {
        return std::nullopt;
    }
    return Rfc2217Endpoint{host, *port};
}

std::string rfc2217DeviceText(const Rfc2217Endpoint& endpoint) {
    const bool v6 = endpoint.host.find(':') != std::string::npos;
    return std::string(kRfc2217Scheme) + (v6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" +
           std::to_string(endpoint.port);
}

}  // namespace pv
