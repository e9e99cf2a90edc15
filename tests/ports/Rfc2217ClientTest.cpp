#include <gtest/gtest.h>

#include <string>

#include "ports/Rfc2217Client.h"
#include "support/TelnetBytes.h"

using namespace pv;

namespace {

using namespace telnet_bytes;
using pv::Rfc2217Client;
using pv::Rfc2217ClientEvent;
using Kind = Rfc2217ClientEvent::Kind;

// What a pseudo-terminal served by ser2net 4.3 sends when a client connects.
constexpr const char* kSer2netGreeting =
    "ff fb 03 ff fd 03 ff fb 01 ff fe 01 ff fd 00 ff fb 00 ff fd 2c";

class Recorder : public pv::Rfc2217ClientListener {
  public:
    void rfc2217Data(const uint8_t* data, size_t length) override {
        data_.insert(data_.end(), data, data + length);
    }
    void rfc2217Event(const Rfc2217ClientEvent& e) override {
        const std::string setting = pv::settingName(e.setting);
        switch (e.kind) {
            case Kind::ComPortAgreed:
                add("agreed");
                break;
            case Kind::ComPortRefused:
                add("refused");
                break;
            case Kind::BinaryRefused:
                add(e.side == pv::TelnetSide::Local ? "binary-refused L" : "binary-refused R");
                break;
            case Kind::Applied:
                add("applied " + setting + " " + std::to_string(e.answered));
                break;
            case Kind::Differs:
                add("differs " + setting + " " + std::to_string(e.requested) + "->" +
                    std::to_string(e.answered));
                break;
            case Kind::NoAnswer:
                add("no-answer " + setting);
                break;
            case Kind::Signature:
                add("signature " + std::string(e.text));
                break;
            case Kind::ModemState:
                add("modem " + hex(&e.bits, 1));
                break;
            case Kind::LineState:
                add("line " + hex(&e.bits, 1));
                break;
            case Kind::FlowSuspend:
                add("suspend");
                break;
            case Kind::FlowResume:
                add("resume");
                break;
            case Kind::ProtocolError:
                add("error " + std::string(e.text));
                break;
        }
    }
    // The events since the last call.
    std::string take() { return std::exchange(events_, {}); }
    Bytes takeData() { return std::exchange(data_, {}); }

  private:
    void add(const std::string& entry) { events_ += (events_.empty() ? "" : " | ") + entry; }
    std::string events_;
    Bytes data_;
};

struct Fixture {
    Recorder recorder;
    Rfc2217Client client{recorder};

    void receive(const char* bytes, int64_t now) {
        const Bytes b = unhex(bytes);
        client.receive(b.data(), b.size(), now);
    }
    std::string sent() {
        const std::string out = hex(client.output());
        client.clearOutput();
        return out;
    }
};

PortSettings side115200SevenEvenTwo() {
    PortSettings s;
    s.baud = 115200;
    s.parity = 1;
    s.dataBits = 0;
    s.stopBits = 1;
    s.dtr = true;
    s.rts = false;
    return s;
}

// A client whose settings the server has agreed to and answered, DTR and RTS included.
void openAndAnswerAll(Fixture& f) {
    f.client.start(side115200SevenEvenTwo(), 0);
    f.receive(kSer2netGreeting, 10);
    f.receive(
        "ff fa 2c 65 00 01 c2 00 ff f0 ff fa 2c 66 07 ff f0 ff fa 2c 67 03 ff f0"
        "ff fa 2c 68 02 ff f0 ff fa 2c 69 01 ff f0 ff fa 2c 69 08 ff f0"
        "ff fa 2c 69 0c ff f0",
        20);
    f.sent();
    f.recorder.take();
}

TEST(Rfc2217Client, OpensWithTheSidesSettingsOnceTheServerAgrees) {
    Fixture f;
    f.client.start(side115200SevenEvenTwo(), 0);
    EXPECT_EQ(f.sent(), "ff fb 00 ff fd 00 ff fb 03 ff fd 03 ff fb 2c");
    EXPECT_FALSE(f.client.comPortActive());

    f.receive(kSer2netGreeting, 100);
    EXPECT_TRUE(f.client.comPortActive());
    EXPECT_EQ(f.recorder.take(), "agreed");
    EXPECT_EQ(f.sent(),
              hex(unhex("ff fe 01"                       // no echo, thanks
                        "ff fa 2c 00 ff f0"              // signature?
                        "ff fa 2c 01 00 01 c2 00 ff f0"  // 115200
                        "ff fa 2c 02 07 ff f0"           // 7 data bits
                        "ff fa 2c 03 03 ff f0"           // even
                        "ff fa 2c 04 02 ff f0"           // 2 stop bits
                        "ff fa 2c 05 01 ff f0"           // no flow control
                        "ff fa 2c 05 08 ff f0"           // DTR on
                        "ff fa 2c 05 0c ff f0"           // RTS off
                        "ff fa 2c 0a 1e ff f0")));       // report line errors

    // ser2net's answers on a pseudo-terminal: all but DTR and RTS.
    f.receive(
        "ff fa 2c 6b 00 ff f0 ff fa 2c 64 73 65 72 32 6e 65 74 ff f0"
        "ff fa 2c 65 00 01 c2 00 ff f0 ff fa 2c 66 07 ff f0 ff fa 2c 67 03 ff f0"
        "ff fa 2c 68 02 ff f0 ff fa 2c 69 01 ff f0",
        150);
    EXPECT_EQ(f.recorder.take(),
              "modem 00 | signature ser2net | applied baud rate 115200 | applied data bits 7 | "
              "applied parity 3 | applied stop bits 2 | applied flow control 1");
    EXPECT_EQ(f.sent(), "");

    // The missing answers are said once and never waited for again.
    ASSERT_EQ(f.client.nextDeadline(), 3100);
    f.client.checkTimeouts(3099);
    EXPECT_EQ(f.recorder.take(), "");
    f.client.checkTimeouts(3100);
    EXPECT_EQ(f.recorder.take(), "no-answer DTR | no-answer RTS");
    f.client.checkTimeouts(60000);
    EXPECT_EQ(f.recorder.take(), "");
    EXPECT_EQ(f.client.nextDeadline(), std::nullopt);
    f.client.setDtr(false, 61000);
    EXPECT_EQ(f.sent(), "ff fa 2c 05 09 ff f0");
    EXPECT_EQ(f.client.nextDeadline(), std::nullopt);
    f.client.checkTimeouts(120000);
    EXPECT_EQ(f.recorder.take(), "");
}

TEST(Rfc2217Client, AnswersAreMatchedToTheLatestRequest) {
    struct Case {
        const char* name;
        void (*act)(Rfc2217Client&);
        const char* answers;
        const char* events;
    };
    const Case cases[] = {
        {"server applied another baud rate",
         [](Rfc2217Client& c) {
             c.setLineSettings({57600, 8, pv::rfc2217::Parity::None, pv::rfc2217::StopSize::One},
                               30);
         },
         "ff fa 2c 65 00 00 25 80 ff f0 ff fa 2c 66 08 ff f0 ff fa 2c 67 01 ff f0"
         "ff fa 2c 68 01 ff f0",
         "differs baud rate 57600->9600 | applied data bits 8 | applied parity 1 | "
         "applied stop bits 1"},
        {"two changes in a row: the last answer decides",
         [](Rfc2217Client& c) {
             c.setDtr(true, 30);
             c.setDtr(false, 31);
         },
         "ff fa 2c 69 08 ff f0 ff fa 2c 69 09 ff f0", "applied DTR 9"},
        {"two changes in a row, both answered with the first",
         [](Rfc2217Client& c) {
             c.setDtr(true, 30);
             c.setDtr(false, 31);
         },
         "ff fa 2c 69 08 ff f0 ff fa 2c 69 08 ff f0", "differs DTR 9->8"},
        {"a repeated answer is not a second one", [](Rfc2217Client& c) { c.setRts(true, 30); },
         "ff fa 2c 69 0b ff f0 ff fa 2c 69 0b ff f0", "applied RTS 11"},
        {"answers nobody asked for are ignored", [](Rfc2217Client&) {},
         "ff fa 2c 69 05 ff f0 ff fa 2c 65 00 00 00 01 ff f0 ff fa 2c 70 01 ff f0", ""},
        {"break and purge are checked like the rest",
         [](Rfc2217Client& c) {
             c.setBreak(false, 30);
             c.purge(pv::rfc2217::Purge::Both, 30);
         },
         // ser2net answers BREAK OFF with the value of BREAK ON.
         "ff fa 2c 69 05 ff f0 ff fa 2c 70 03 ff f0", "differs break 6->5 | applied purge 3"},
        {"flow control: hardware, then RTS goes back to the side's value",
         [](Rfc2217Client& c) {
             c.setHardwareFlow(true, 30);
             c.setRts(true, 31);  // held: the UART owns RTS now
             c.setHardwareFlow(false, 32);
         },
         "ff fa 2c 69 03 ff f0 ff fa 2c 69 01 ff f0 ff fa 2c 69 0b ff f0",
         "applied flow control 1 | applied RTS 11"},
        {"an unknown control value", [](Rfc2217Client&) {}, "ff fa 2c 69 63 ff f0",
         "error a SET-CONTROL answer with an unknown value"},
    };
    for (const Case& c : cases) {
        Fixture f;
        openAndAnswerAll(f);
        c.act(f.client);
        f.receive(c.answers, 40);
        f.client.checkTimeouts(40);
        EXPECT_EQ(f.recorder.take(), c.events) << c.name;
    }
}

TEST(Rfc2217Client, HardwareFlowSendsNoRtsAndLaterRequestsAreSentAsMade) {
    Fixture f;
    PortSettings side = side115200SevenEvenTwo();
    side.autoHandshake = true;
    f.client.start(side, 0);
    f.client.setDtr(false, 1);  // before the server agreed: held
    f.client.setLineSettings({1200, 8, pv::rfc2217::Parity::Odd, pv::rfc2217::StopSize::One}, 1);
    f.client.purge(pv::rfc2217::Purge::Both, 1);  // nothing to purge yet: dropped
    EXPECT_EQ(f.sent(), "ff fb 00 ff fd 00 ff fb 03 ff fd 03 ff fb 2c");
    f.receive("ff fd 2c", 2);
    EXPECT_EQ(f.sent(),
              hex(unhex("ff fa 2c 00 ff f0 ff fa 2c 01 00 00 04 b0 ff f0 ff fa 2c 02 08 ff f0"
                        "ff fa 2c 03 02 ff f0 ff fa 2c 04 01 ff f0 ff fa 2c 05 03 ff f0"
                        "ff fa 2c 05 09 ff f0 ff fa 2c 0a 1e ff f0")));
}

TEST(Rfc2217Client, ServerWithoutTheOptionStillCarriesData) {
    struct Case {
        const char* name;
        const char* negotiation;
        int64_t at;
        const char* events;
    };
    const Case cases[] = {
        {"refused", "ff fe 2c", 10, "refused"},
        {"never answered", "", 3000, "no-answer COM-PORT-OPTION"},
        {"answered after the time-out", "ff fd 2c", 3500, "no-answer COM-PORT-OPTION | agreed"},
        {"binary refused both ways", "ff fe 00 ff fc 00 ff fd 2c", 10,
         "binary-refused L | binary-refused R | agreed"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.client.start(PortSettings{}, 0);
        f.sent();
        f.client.checkTimeouts(c.at);
        f.receive(c.negotiation, c.at);
        f.receive("41 ff ff 42", c.at);
        EXPECT_EQ(f.recorder.take(), c.events) << c.name;
        EXPECT_EQ(hex(f.recorder.takeData()), "41 ff 42") << c.name;
        // Without the option nothing is sent or waited for any more.
        const bool agreed = f.client.comPortActive();
        EXPECT_EQ(f.sent().find("ff fa 2c 01") != std::string::npos, agreed) << c.name;
        EXPECT_EQ(f.client.nextDeadline().has_value(), agreed) << c.name;
    }
}

TEST(Rfc2217Client, ReportsNotificationsAndFlowRequests) {
    Fixture f;
    openAndAnswerAll(f);
    f.receive("ff fa 2c 6a 1e ff f0 ff fa 2c 6b b1 ff f0 ff fa 2c 6c ff f0", 50);
    EXPECT_TRUE(f.client.flowSuspended());
    f.receive("ff fa 2c 09 ff f0", 51);  // some servers use the client's code
    EXPECT_FALSE(f.client.flowSuspended());
    EXPECT_EQ(f.recorder.take(), "line 1e | modem b1 | suspend | resume");
    f.receive("ff fa 2c 00 ff f0", 52);  // the server asks who we are
    EXPECT_EQ(f.sent(), hex(cat({unhex("ff fa 2c 00"), text("PortaVigilant"), unhex("ff f0")})));
}

TEST(Rfc2217Client, BadServerInputIsReportedAndDataGoesOn) {
    Bytes flood = unhex("ff fa 2c 64");
    flood.resize(flood.size() + (1 << 20), 'x');
    flood = cat({flood, unhex("ff f0 31")});
    Fixture f;
    openAndAnswerAll(f);
    f.receive("ff fa 2c 65 00 01 ff f0 30", 60);
    f.client.receive(flood.data(), flood.size(), 61);
    f.receive("ff fa 2c 01 00 00 25 80 ff f0 ff fa 2c 7f ff f0 ff fa 18 00 ff f0 32 ff fa 2c 6b",
              62);
    f.client.finish();
    EXPECT_EQ(f.recorder.take(),
              "error a baud rate of fewer than four bytes | "
              "error a subnegotiation too long to keep; it was dropped | "
              "error a com port command that only a client sends | "
              "error an unknown com port command | "
              "error the connection ended inside a subnegotiation");
    EXPECT_EQ(hex(f.recorder.takeData()), "30 31 32");
    EXPECT_EQ(f.sent(), "");
}

}  // namespace
