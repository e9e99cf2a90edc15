#include <gtest/gtest.h>

#include <string>

#include "ports/Rfc2217.h"
#include "support/TelnetBytes.h"

using namespace pv;

namespace {

using namespace telnet_bytes;
using namespace pv::rfc2217;

std::string describeDecoded(const Decoded& d) {
    if (!d.message) {
        return std::string("error: ") + (d.error ? d.error : "(none)");
    }
    const Message& m = *d.message;
    std::string out = std::string(m.fromServer ? "server " : "client ") + commandName(m.command);
    if (m.command == Command::Signature) {
        return out + " '" + std::string(m.text) + "'" + (m.hasValue ? "" : " (request)");
    }
    return out + (m.hasValue ? " " + std::to_string(m.value) : " (no value)");
}

TEST(Rfc2217Decode, ReadsEachCommandsValue) {
    struct Case {
        const char* payload;
        const char* expected;
    };
    const Case cases[] = {
        {"01 00 01 c2 00", "client SET-BAUDRATE 115200"},
        {"65 00 00 ff 00", "server SET-BAUDRATE 65280"},
        {"65 00 01 c2 00 00 00 00 00", "server SET-BAUDRATE 115200"},  // padded answer
        {"65 00 01 c2", "error: a baud rate of fewer than four bytes"},
        {"02 07", "client SET-DATASIZE 7"},
        {"67 03", "server SET-PARITY 3"},
        {"68 02 99", "server SET-STOPSIZE 2"},
        {"69", "error: a com port command without its value"},
        {"6a 12", "server NOTIFY-LINESTATE 18"},
        {"6b b0", "server NOTIFY-MODEMSTATE 176"},
        {"6b", "error: a com port command without its value"},
        {"07", "client NOTIFY-MODEMSTATE (no value)"},  // a poll
        {"08", "client FLOWCONTROL-SUSPEND (no value)"},
        {"6d 01", "server FLOWCONTROL-RESUME (no value)"},
        {"0c 03", "client PURGE-DATA 3"},
        {"70 01", "server PURGE-DATA 1"},
        {"6f ff", "server SET-MODEMSTATE-MASK 255"},
        {"64 73 65 72 32 6e 65 74", "server SIGNATURE 'ser2net'"},
        {"00", "client SIGNATURE '' (request)"},
        {"0d 01", "error: an unknown com port command"},
        {"63 01", "error: an unknown com port command"},
        {"71 01", "error: an unknown com port command"},
        {"ff", "error: an unknown com port command"},
        {"", "error: an empty com port subnegotiation"},
    };
    for (const Case& c : cases) {
        const Bytes payload = unhex(c.payload);
        EXPECT_EQ(describeDecoded(decode(payload.data(), payload.size())), c.expected) << c.payload;
    }
}

TEST(Rfc2217Send, FramesTheMessageAndDoublesIacInTheValue) {
    pv::TelnetSession session;
    send(session, request(Command::SetBaudRate, 0x0000FF00));
    send(session, answer(Command::SetControl, control::kDtrOn));
    EXPECT_EQ(hex(session.output()), "ff fa 2c 01 00 00 ff ff 00 ff f0 ff fa 2c 69 08 ff f0");
}

TEST(Rfc2217LineSettings, MapsTheSidesControlsBothWays) {
    struct Case {
        int baud;
        int parity;  // the side's radio index: 0 None, 1 Even, 2 Odd
        int dataBits;
        int stopBits;
        const char* described;
    };
    const Case cases[] = {
        {9600, 0, 1, 0, "9600 8N1"},
        {115200, 1, 0, 1, "115200 7E2"},
        {300, 2, 1, 1, "300 8O2"},
    };
    for (const Case& c : cases) {
        PortSettings side;
        side.baud = c.baud;
        side.parity = c.parity;
        side.dataBits = c.dataBits;
        side.stopBits = c.stopBits;
        const LineSettings line = lineSettingsOf(side);
        EXPECT_EQ(describe(line), c.described);
        PortSettings back;
        EXPECT_TRUE(applyLineSettings(line, back)) << c.described;
        EXPECT_EQ(back.baud, c.baud);
        EXPECT_EQ(back.parity, c.parity) << c.described;
        EXPECT_EQ(back.dataBits, c.dataBits) << c.described;
        EXPECT_EQ(back.stopBits, c.stopBits) << c.described;
    }
}

TEST(Rfc2217LineSettings, ValuesWithoutAControlAreReportedAndLeftAlone) {
    struct Case {
        LineSettings line;
        const char* described;
    };
    const Case cases[] = {
        {{1200, 5, Parity::None, StopSize::One}, "1200 5N1"},
        {{1200, 8, Parity::Mark, StopSize::One}, "1200 8M1"},
        {{1200, 8, Parity::Space, StopSize::One}, "1200 8S1"},
        {{1200, 8, Parity::None, StopSize::OnePointFive}, "1200 8N1.5"},
        {{0x80000000u, 8, Parity::None, StopSize::One}, "2147483648 8N1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describe(c.line), c.described);
        PortSettings side;
        side.parity = 1;
        side.dataBits = 0;
        side.stopBits = 1;
        EXPECT_FALSE(applyLineSettings(c.line, side)) << c.described;
        // What has a control is still taken; the rest keeps its value.
        const bool baudFits = c.line.baud <= 0x7FFFFFFF;
        EXPECT_EQ(side.baud, baudFits ? static_cast<int>(c.line.baud) : 9600) << c.described;
        EXPECT_EQ(side.dataBits, c.line.dataSize == 8 ? 1 : 0) << c.described;
        EXPECT_EQ(side.stopBits, c.line.stopSize == StopSize::OnePointFive ? 1 : 0) << c.described;
        EXPECT_EQ(side.parity, c.line.parity == Parity::None ? 0 : 1) << c.described;
    }
}

TEST(Rfc2217ModemState, LinesAndChangeBits) {
    struct Case {
        ModemLines now;
        ModemLines before;
        uint8_t state;
    };
    const Case cases[] = {
        {{}, {}, 0x00},
        {{true, false, false, false}, {}, modemstate::kCts | modemstate::kCtsChanged},
        {{false, true, false, true},
         {false, true, false, false},
         modemstate::kDsr | modemstate::kCd | modemstate::kCdChanged},
        // RI reports only its trailing edge as a change.
        {{false, false, true, false}, {}, modemstate::kRi},
        {{}, {false, false, true, false}, modemstate::kRiTrailingEdge},
        {{},
         {true, true, false, true},
         modemstate::kCtsChanged | modemstate::kDsrChanged | modemstate::kCdChanged},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(modemStateOf(c.now, c.before), c.state) << int(c.state);
        EXPECT_EQ(modemLinesOf(c.state), c.now) << int(c.state);
    }
}

}  // namespace
