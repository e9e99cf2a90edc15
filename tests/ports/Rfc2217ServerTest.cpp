#include <gtest/gtest.h>

#include <string>

#include "ports/Rfc2217Client.h"
#include "ports/Rfc2217Server.h"
#include "support/TelnetBytes.h"

using namespace pv;

namespace {

using namespace telnet_bytes;
using namespace pv::rfc2217;
using pv::Rfc2217Server;
using pv::Rfc2217ServerEvent;
using Kind = Rfc2217ServerEvent::Kind;

class Recorder : public pv::Rfc2217ServerListener {
  public:
    void rfc2217Data(const uint8_t* data, size_t length) override {
        data_.insert(data_.end(), data, data + length);
    }
    void rfc2217Event(const Rfc2217ServerEvent& e) override {
        const std::string changed = e.changed ? " changed" : "";
        const std::string onOff = e.on ? " on" : " off";
        switch (e.kind) {
            case Kind::ComPortAgreed:
                return add("agreed");
            case Kind::ComPortRefused:
                return add("refused");
            case Kind::LineSettings:
                return add(std::string("line ") + commandName(e.command) + " " + describe(e.line) +
                           changed);
            case Kind::Dtr:
                return add("dtr" + onOff + changed);
            case Kind::Rts:
                return add("rts" + onOff + changed);
            case Kind::Flow:
                return add("flow " + std::to_string(e.value) + changed);
            case Kind::Break:
                return add("break" + onOff + changed);
            case Kind::Purge:
                return add("purge " + std::to_string(e.value));
            case Kind::FlowSuspend:
                return add("suspend");
            case Kind::FlowResume:
                return add("resume");
            case Kind::Signature:
                return add("signature " + std::string(e.text));
            case Kind::InvalidRequest:
                return add(std::string("invalid ") + commandName(e.command) + " " +
                           std::to_string(e.value));
            case Kind::ProtocolError:
                return add("error " + std::string(e.text));
        }
    }
    std::string take() { return std::exchange(events_, {}); }
    Bytes takeData() { return std::exchange(data_, {}); }

  private:
    void add(const std::string& entry) { events_ += (events_.empty() ? "" : " | ") + entry; }
    std::string events_;
    Bytes data_;
};

struct Fixture {
    Recorder recorder;
    Rfc2217Server server{recorder, LineSettings{}, "PortaVigilant COM1"};

    void receive(const Bytes& b) { server.receive(b.data(), b.size()); }
    void receive(const char* bytes) { receive(unhex(bytes)); }
    std::string sent() {
        const std::string out = hex(server.output());
        server.clearOutput();
        return out;
    }
    // A server that pyserial's client has just greeted.
    void greetedByPyserial() {
        server.start();
        receive("ff fd 01 ff fb 03 ff fd 03 ff fd 2c ff fb 2c ff fb 00 ff fd 00");
    }
};

// A com port subnegotiation as it goes over the wire.
Bytes sb(const char* payload) {
    Bytes out = unhex("ff fa 2c");
    const Bytes value = unhex(payload);
    pv::TelnetSession::appendEscaped(out, value.data(), value.size());
    return cat({out, unhex("ff f0")});
}

TEST(Rfc2217Server, NegotiatesWithPyserialsClient) {
    Fixture f;
    f.server.start();
    EXPECT_EQ(f.sent(), "ff fb 00 ff fd 00 ff fb 03 ff fd 03 ff fd 2c");
    // pyserial asks for ECHO and for the com port option in our direction: both refused.
    f.receive("ff fd 01 ff fb 03 ff fd 03 ff fd 2c ff fb 2c");
    EXPECT_TRUE(f.server.comPortActive());
    EXPECT_EQ(f.recorder.take(), "agreed");
    // It reads the lines from the first modem state notification.
    EXPECT_EQ(f.sent(), "ff fc 01 ff fc 2c ff fa 2c 6b 00 ff f0");
}

TEST(Rfc2217Server, ClientThatUsesTheOptionWithoutAgreeingIsTakenAtItsWord) {
    // pyserial's client, when our DO arrives before it sent its WILL, never sends the WILL.
    Fixture f;
    f.server.start();
    f.sent();
    f.receive("ff fd 01 ff fb 03 ff fd 03 ff fd 00 ff fb 00 ff fd 2c");
    EXPECT_FALSE(f.server.comPortActive());
    EXPECT_EQ(f.sent(), "ff fc 01 ff fc 2c");
    f.receive(sb("01 00 00 4b 00"));
    EXPECT_TRUE(f.server.comPortActive());
    EXPECT_EQ(f.recorder.take(), "agreed | line SET-BAUDRATE 19200 8N1 changed");
    EXPECT_EQ(f.sent(), hex(cat({sb("6b 00"), sb("65 00 00 4b 00")})));
    f.receive("ff fb 2c");  // a late WILL changes nothing
    EXPECT_EQ(f.recorder.take(), "");
    EXPECT_EQ(f.sent(), "");
}

TEST(Rfc2217Server, AnswersEachRequestAsClientsCheckIt) {
    struct Step {
        const char* request;
        const char* answer;
        const char* events;
    };
    // pyserial's open at 19200 baud, then a run of changes, queries and bad values.
    const Step steps[] = {
        {"01 00 00 4b 00", "65 00 00 4b 00", "line SET-BAUDRATE 19200 8N1 changed"},
        {"02 08", "66 08", "line SET-DATASIZE 19200 8N1"},
        {"03 01", "67 01", "line SET-PARITY 19200 8N1"},
        {"04 01", "68 01", "line SET-STOPSIZE 19200 8N1"},
        {"05 01", "69 01", "flow 1"},
        {"05 08", "69 08", "dtr on changed"},
        {"05 0b", "69 0b", "rts on changed"},
        {"0c 01", "70 01", "purge 1"},
        {"0c 02", "70 02", "purge 2"},
        {"05 09", "69 09", "dtr off changed"},
        {"05 09", "69 09", "dtr off"},
        {"01 00 00 00 00", "65 00 00 4b 00", ""},  // queries change nothing
        {"05 07", "69 09", ""},
        {"05 0a", "69 0b", ""},
        {"05 00", "69 01", ""},
        {"05 04", "69 06", ""},
        {"05 0d", "69 0e", ""},
        {"01 00 2d c6 c0", "65 00 2d c6 c0", "line SET-BAUDRATE 3000000 8N1 changed"},
        {"01 ff ff ff ff", "65 00 2d c6 c0", "invalid SET-BAUDRATE 4294967295"},
        {"02 05", "66 05", "line SET-DATASIZE 3000000 5N1 changed"},
        {"02 09", "66 05", "invalid SET-DATASIZE 9"},
        {"03 04", "67 04", "line SET-PARITY 3000000 5M1 changed"},
        {"03 06", "67 04", "invalid SET-PARITY 6"},
        {"04 03", "68 03", "line SET-STOPSIZE 3000000 5M1.5 changed"},
        {"04 04", "68 03", "invalid SET-STOPSIZE 4"},
        {"05 03", "69 03", "flow 3 changed"},
        {"05 05", "69 05", "break on changed"},
        {"05 06", "69 06", "break off changed"},
        {"05 10", "69 10", ""},  // inbound flow: kept and answered
        {"05 0d", "69 10", ""},
        {"05 63", "", "invalid SET-CONTROL 99"},
        {"0c 04", "", "invalid PURGE-DATA 4"},
        {"0a 1e", "6e 1e", ""},
        {"06", "6a 00", ""},  // line state poll: no line, no errors
        {"00", "64 50 6f 72 74 61 56 69 67 69 6c 61 6e 74 20 43 4f 4d 31", ""},
        {"00 70 79 73 65 72 69 61 6c", "", "signature pyserial"},
        {"08", "", "suspend"},
        {"09", "", "resume"},
        {"65 00 00 25 80", "", "error a com port answer that only a server sends"},
        {"7f", "", "error an unknown com port command"},
        {"02", "", "error a com port command without its value"},
    };
    Fixture f;
    f.greetedByPyserial();
    f.sent();
    f.recorder.take();
    for (const Step& s : steps) {
        f.receive(sb(s.request));
        EXPECT_EQ(f.sent(), *s.answer ? hex(sb(s.answer)) : "") << s.request;
        EXPECT_EQ(f.recorder.take(), s.events) << s.request;
    }
    const pv::Rfc2217PortState& state = f.server.state();
    EXPECT_EQ(describe(state.line), "3000000 5M1.5");
    EXPECT_FALSE(state.dtr);
    EXPECT_TRUE(state.rts);
    EXPECT_EQ(state.flow, control::kHardwareFlow);
    EXPECT_FALSE(state.breakOn);
}

TEST(Rfc2217Server, NotifiesModemLineChangesThroughTheClientsMask) {
    struct Step {
        const char* name;
        ModemLines lines;
        const char* mask;  // a SET-MODEMSTATE-MASK value to send first, or nullptr
        const char* notified;
    };
    const Step steps[] = {
        {"CTS on", {true, false, false, false}, nullptr, "6b 11"},
        {"no change, no notice", {true, false, false, false}, nullptr, ""},
        {"CD and DSR on", {true, true, false, true}, nullptr, "6b ba"},
        {"RI rising has no change bit but is sent", {true, true, true, true}, nullptr, "6b f0"},
        {"RI falling", {true, true, false, true}, nullptr, "6b b4"},
        {"a change outside the mask is not sent", {false, true, false, true}, "20", ""},
        {"inside the mask it is, masked", {false, false, false, true}, nullptr, "6b 00"},
    };
    Fixture f;
    f.server.setModemLines({true, false, false, false});  // not agreed yet: held
    EXPECT_EQ(f.sent(), "");
    f.server.setModemLines({});
    f.greetedByPyserial();
    f.sent();
    for (const Step& s : steps) {
        if (s.mask != nullptr) {
            f.receive(sb((std::string("0b ") + s.mask).c_str()));
            EXPECT_EQ(f.sent(), hex(sb((std::string("6f ") + s.mask).c_str()))) << s.name;
        }
        f.server.setModemLines(s.lines);
        EXPECT_EQ(f.sent(), *s.notified ? hex(sb(s.notified)) : "") << s.name;
    }
    f.receive(sb("07"));  // a poll answers whatever the mask let through
    EXPECT_EQ(f.sent(), hex(sb("6b 00")));
}

TEST(Rfc2217Server, PlainTelnetClientIsToldApartAndStillCarriesData) {
    Fixture f;
    f.server.start();
    f.sent();
    f.receive("ff fc 2c 41 ff ff 0d 00");
    EXPECT_EQ(f.recorder.take(), "refused");
    EXPECT_FALSE(f.server.comPortActive());
    EXPECT_EQ(hex(f.recorder.takeData()), "41 ff 0d 00");
    EXPECT_EQ(f.sent(), "");
}

TEST(Rfc2217Server, FloodingClientCostsNoMemoryAndGetsNoAnswer) {
    Bytes flood = unhex("30 ff fa 2c 01");
    flood.resize(flood.size() + (1 << 20), 0x01);
    flood = cat({flood, unhex("ff f0 31 ff fa 2c 02 08")});
    Fixture f;
    f.greetedByPyserial();
    f.sent();
    f.recorder.take();
    for (size_t at = 0; at < flood.size(); at += 65536) {
        f.server.receive(flood.data() + at, std::min<size_t>(65536, flood.size() - at));
        EXPECT_EQ(f.sent(), "");
    }
    f.server.finish();
    EXPECT_EQ(f.recorder.take(),
              "error a subnegotiation too long to keep; it was dropped | "
              "error the connection ended inside a subnegotiation");
    EXPECT_EQ(hex(f.recorder.takeData()), "30 31");
    EXPECT_EQ(f.server.state().line.baud, 9600u);
}

// The two ends against each other, the way the engine will run them over a socket.
TEST(Rfc2217Loopback, ClientSettingsArriveAtTheServerAndDataKeepsEveryByte) {
    struct ClientRecorder : pv::Rfc2217ClientListener {
        Bytes data;
        std::vector<pv::Rfc2217ClientEvent::Kind> kinds;
        void rfc2217Data(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
        void rfc2217Event(const pv::Rfc2217ClientEvent& e) override { kinds.push_back(e.kind); }
    } clientSide;
    Recorder serverSide;
    pv::Rfc2217Client client(clientSide);
    PortSettings side;
    side.baud = 921600;
    side.parity = 2;
    side.dtr = true;
    side.rts = true;
    Rfc2217Server server(serverSide, LineSettings{}, "test");
    server.start();
    client.start(side, 0);
    const Bytes payload = unhex("00 ff 41 ff ff fa f0 0d 0a");
    Bytes toServer;
    Bytes toClient;
    pv::Rfc2217Client::appendData(toServer, payload.data(), payload.size());
    Rfc2217Server::appendData(toClient, payload.data(), payload.size());
    for (int round = 0; round < 5; ++round) {
        toServer.insert(toServer.end(), client.output().begin(), client.output().end());
        client.clearOutput();
        toClient.insert(toClient.end(), server.output().begin(), server.output().end());
        server.clearOutput();
        server.receive(toServer.data(), toServer.size());
        client.receive(toClient.data(), toClient.size(), round);
        toServer.clear();
        toClient.clear();
    }
    client.checkTimeouts(1000000);
    using CK = pv::Rfc2217ClientEvent::Kind;
    EXPECT_EQ(std::count(clientSide.kinds.begin(), clientSide.kinds.end(), CK::Applied), 7);
    for (const CK kind :
         {CK::Differs, CK::NoAnswer, CK::ProtocolError, CK::ComPortRefused, CK::BinaryRefused}) {
        EXPECT_EQ(std::count(clientSide.kinds.begin(), clientSide.kinds.end(), kind), 0)
            << int(kind);
    }
    EXPECT_EQ(describe(server.state().line), "921600 8O1");
    EXPECT_TRUE(server.state().dtr);
    EXPECT_TRUE(server.state().rts);
    EXPECT_EQ(hex(serverSide.takeData()), hex(payload));
    EXPECT_EQ(hex(clientSide.data), hex(payload));
}

}  // namespace
