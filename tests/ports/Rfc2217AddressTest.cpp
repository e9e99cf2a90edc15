#include <gtest/gtest.h>

#include <string>

#include "ports/Rfc2217Address.h"

using namespace pv;

namespace {

using pv::Rfc2217Endpoint;

std::string outcome(const std::optional<Rfc2217Endpoint>& endpoint, const std::string& error) {
    return endpoint ? endpoint->host + " port " + std::to_string(endpoint->port)
                    : "error: " + error;
}

TEST(Rfc2217Address, DeviceTextOfAClient) {
    struct Case {
        const char* device;
        const char* expected;
    };
    const Case cases[] = {
        {"rfc2217://localhost:2217", "localhost port 2217"},
        {"RFC2217://lab-pi.example.org:7000", "lab-pi.example.org port 7000"},
        {"  rfc2217://192.168.1.20:1 ", "192.168.1.20 port 1"},
        {"rfc2217://[::1]:65535", "::1 port 65535"},
        {"rfc2217://[fe80::1%eth0]:2000",
         "error: 'fe80::1%eth0' is not a host name or IP address."},
        {"rfc2217://::1:2217",
         "error: Write an IPv6 address in brackets, as in rfc2217://[::1]:2217."},
        {"rfc2217://[::1:2217",
         "error: The closing bracket of the IPv6 address is missing in "
         "'[::1:2217'."},
        {"rfc2217://[::1]", "error: The port is missing: write rfc2217://HOST:PORT."},
        {"rfc2217://host", "error: The port is missing: write rfc2217://HOST:PORT."},
        {"rfc2217://:2217", "error: The host is missing: write rfc2217://HOST:PORT."},
        {"rfc2217://host:", "error: '' is not a port number from 1 to 65535."},
        {"rfc2217://host:0", "error: '0' is not a port number from 1 to 65535."},
        {"rfc2217://host:65536", "error: '65536' is not a port number from 1 to 65535."},
        {"rfc2217://host:0000002217", "error: '0000002217' is not a port number from 1 to 65535."},
        {"rfc2217://host:2217/", "error: '2217/' is not a port number from 1 to 65535."},
        {"rfc2217://host:2217?ign_set_control",
         "error: '2217?ign_set_control' is not a port number from 1 to 65535."},
        {"rfc2217://300.1.1.1:2217", "error: '300.1.1.1' is not a host name or IP address."},
        {"rfc2217://-bad.example:2217", "error: '-bad.example' is not a host name or IP address."},
        {"rfc2217://a..b:2217", "error: 'a..b' is not a host name or IP address."},
        {"rfc2217://under_score:2217", "error: 'under_score' is not a host name or IP address."},
        {"/dev/ttyUSB0", "error: '/dev/ttyUSB0' does not begin with rfc2217://."},
        {"telnet://host:23", "error: 'telnet://host:23' does not begin with rfc2217://."},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto endpoint = pv::parseRfc2217Device(c.device, error);
        EXPECT_EQ(outcome(endpoint, error), c.expected) << c.device;
        EXPECT_EQ(pv::isRfc2217Device(c.device),
                  std::string(c.device).find("2217://") != std::string::npos)
            << c.device;
        if (endpoint) {
            std::string again;
            EXPECT_EQ(pv::parseRfc2217Device(pv::rfc2217DeviceText(*endpoint), again), endpoint)
                << c.device;
        }
    }
}

TEST(Rfc2217Address, ListenSpecOfAServer) {
    struct Case {
        const char* spec;
        const char* expected;
    };
    const Case cases[] = {
        {"2217", "127.0.0.1 port 2217"},
        {" 7000 ", "127.0.0.1 port 7000"},
        {"localhost:7000", "127.0.0.1 port 7000"},
        {"0.0.0.0:7000", "0.0.0.0 port 7000"},
        {"192.168.1.5:7000", "192.168.1.5 port 7000"},
        {"[::]:7000", ":: port 7000"},
        {"[::1]:7000", "::1 port 7000"},
        {"", "error: The port is missing: write [ADDRESS:]PORT, as in 2217 or 0.0.0.0:2217."},
        {"::1:7000", "error: Write an IPv6 address in brackets, as in [::1]:2217."},
        {"[::1]", "error: The port is missing: write [ADDRESS:]PORT, as in 2217 or 0.0.0.0:2217."},
        {"myhost:7000", "error: 'myhost' is not a numeric IP address to listen on."},
        {"[127.0.0.1]:7000", "error: '127.0.0.1' is not a numeric IP address to listen on."},
        {":7000", "error: '' is not a numeric IP address to listen on."},
        {"70000", "error: '70000' is not a port number from 1 to 65535."},
        {"rfc2217://localhost:7000",
         "error: 'rfc2217://localhost:7000' is the address of a remote port; a server takes "
         "[ADDRESS:]PORT, as in 2217 or 0.0.0.0:2217."},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(outcome(pv::parseRfc2217Listen(c.spec, error), error), c.expected) << c.spec;
    }
}

}  // namespace
