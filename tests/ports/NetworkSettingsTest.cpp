#include <gtest/gtest.h>

#include <string>

#include "ports/NetworkSettings.h"
#include "ports/SocketErrors.h"

using namespace pv;

namespace {

constexpr const char* kPortMissing = "You must add a value for 'Port' !";
constexpr const char* kPortTooSmall = "The minimum value for 'Port' is '4000' !";
constexpr const char* kPortTooLarge = "The maximum value for 'Port' is '65535' !";
constexpr const char* kAddressMissing = "You must add a value for 'IP adress server' !";
constexpr const char* kListenInvalid =
    "The value for 'Listen address' must be empty or a numeric IP address !";

TEST(NetworkSettingsCheck, MessagesInTheirOrder) {
    struct Case {
        bool isServer;
        const char* address;
        const char* port;
        const char* listen;
        const char* expected;  // nullptr: accepted
    };
    const Case cases[] = {
        {true, "", "", "", kPortMissing},
        {false, "", "", "", kPortMissing},
        {true, "host", "3999", "", kPortTooSmall},
        {false, "", "3999", "", kPortTooSmall},
        {true, "host", "abc", "", kPortTooSmall},
        {true, "host", "-4000", "", kPortTooSmall},
        {true, "", "4000", "", nullptr},
        {true, "", " 4000", "", nullptr},
        {true, "", "4000abc", "", nullptr},
        {true, "", "65535", "", nullptr},
        {true, "", "65536", "", kPortTooLarge},
        {true, "", "99999999999999999999", "", kPortTooLarge},
        {false, "", "5000", "", kAddressMissing},
        {false, "192.168.1.20", "5000", "", nullptr},
        {false, "localhost", "5000", "not checked for a client", nullptr},
        {true, "", "5000", "127.0.0.1", nullptr},
        {true, "", "5000", "::1", nullptr},
        {true, "", "5000", "localhost", kListenInvalid},
        {true, "", "5000", "300.1.1.1", kListenInvalid},
    };
    for (const Case& c : cases) {
        const char* message = CheckNetworkInput(c.isServer, c.address, c.port, c.listen);
        EXPECT_EQ(message ? std::string(message) : std::string("accepted"),
                  c.expected ? std::string(c.expected) : std::string("accepted"))
            << (c.isServer ? "server" : "client") << " port '" << c.port << "' address '"
            << c.address << "' listen '" << c.listen << "'";
    }
}

TEST(NetworkSettingsCheck, ConfigurationRefusedWhileEitherSideUsesTheLink) {
    const std::string refusal = "Close Ethernet connections before trying to configure !";
    EXPECT_EQ(CheckNetworkConfigAllowed(false, false), nullptr);
    ASSERT_NE(CheckNetworkConfigAllowed(true, false), nullptr);
    EXPECT_EQ(CheckNetworkConfigAllowed(true, false), refusal);
    ASSERT_NE(CheckNetworkConfigAllowed(false, true), nullptr);
    EXPECT_EQ(CheckNetworkConfigAllowed(false, true), refusal);
}

TEST(SocketErrorText, OwnCodesNetworkNumbersAndUnknown) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, "Servers are not able to 'Connect'"},
        {1, "Socket is not initialised"},
        {4, "Client not accepted by Server"},
        {10048, "The specified address is already in use"},
        {10061, "The attempt to connect was rejected"},
        {10093, "A successful 'AfxSocketInit' must occur before using this API"},
        {5, "An unknow error occured"},
        {10037, "An unknow error occured"},
        {SocketError::kUnknown, "An unknow error occured"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(socketErrorText(c.code), c.text) << c.code;
    }
}

}  // namespace
