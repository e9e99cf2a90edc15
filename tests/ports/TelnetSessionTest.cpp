#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ports/TelnetSession.h"
#include "support/TelnetBytes.h"

using namespace pv;

namespace {

using namespace telnet_bytes;
using pv::TelnetEvent;
using pv::TelnetSession;
using pv::TelnetSide;

// Writes what the session reports as one line; consecutive data calls are merged, so the
// transcript does not depend on where the reads were cut.
class Transcript : public pv::TelnetHandler {
  public:
    void telnetData(const uint8_t* data, size_t length) override {
        EXPECT_GT(length, 0u);
        if (!inData_) {
            add("D:");
            inData_ = true;
        } else {
            text_ += ' ';
        }
        text_ += hex(data, length);
    }
    void telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) override {
        add("SB" + std::to_string(option) + ":" + hex(payload, length));
    }
    void telnetEvent(const TelnetEvent& e) override {
        const std::string side = e.side == TelnetSide::Local ? "L" : "R";
        const std::string option = std::to_string(e.option);
        switch (e.kind) {
            case TelnetEvent::Kind::OptionEnabled:
                add("+" + side + option);
                break;
            case TelnetEvent::Kind::OptionDisabled:
                add("-" + side + option);
                break;
            case TelnetEvent::Kind::Command:
                add("CMD" + std::to_string(e.value));
                break;
            case TelnetEvent::Kind::SubnegotiationTooLong:
                add("LONG" + option);
                break;
            case TelnetEvent::Kind::SubnegotiationAborted:
                add("ABORT" + option + ":" + std::to_string(e.value));
                break;
            case TelnetEvent::Kind::EndInsideCommand:
                add("ENDCMD");
                break;
            case TelnetEvent::Kind::EndInsideSubnegotiation:
                add("ENDSB" + option);
                break;
        }
    }
    const std::string& text() const { return text_; }

  private:
    void add(const std::string& entry) {
        inData_ = false;
        text_ += (text_.empty() ? "" : " | ") + entry;
    }
    std::string text_;
    bool inData_ = false;
};

// The options a serial client accepts, as the RFC 2217 client sets them up.
void clientPolicy(TelnetSession& s) {
    s.accept(TelnetSide::Local, pv::telnet::kOptionBinary);
    s.accept(TelnetSide::Remote, pv::telnet::kOptionBinary);
    s.accept(TelnetSide::Local, pv::telnet::kOptionSuppressGoAhead);
    s.accept(TelnetSide::Remote, pv::telnet::kOptionSuppressGoAhead);
    s.accept(TelnetSide::Local, pv::telnet::kOptionComPort);
}

std::string feed(TelnetSession& s, const Bytes& stream, size_t piece, bool finish = false) {
    Transcript t;
    for (size_t at = 0; at < stream.size(); at += piece) {
        s.receive(stream.data() + at, std::min(piece, stream.size() - at), t);
    }
    if (finish) {
        s.finish(t);
    }
    return t.text();
}

TEST(TelnetSession, SameResultHoweverTheReadsAreCut) {
    struct Case {
        const char* name;
        const char* stream;
        const char* transcript;
    };
    const Case cases[] = {
        {"plain data", "41 42 43", "D:41 42 43"},
        {"doubled IAC is one 0xFF", "41 ff ff 42 ff ff", "D:41 ff 42 ff"},
        {"only IACs", "ff ff ff ff ff ff", "D:ff ff ff"},
        {"IAC runs between data", "41 ff ff ff ff 42 ff ff ff fb 00 ff ff",
         "D:41 ff ff 42 ff | +R0 | D:ff"},
        {"subnegotiation between data", "01 ff fa 2c 65 00 01 c2 00 ff f0 02",
         "D:01 | SB44:65 00 01 c2 00 | D:02"},
        {"doubled IAC inside a subnegotiation", "ff fa 2c 65 00 00 ff ff 00 ff f0",
         "SB44:65 00 00 ff 00"},
        {"empty subnegotiation", "ff fa 18 ff f0", "SB24:"},
        {"other commands pass as events", "61 ff f1 62 ff f9 ff f3",
         "D:61 | CMD241 | D:62 | CMD249 | CMD243"},
        {"negotiation between data", "41 ff fb 00 42", "D:41 | +R0 | D:42"},
        {"IAC then non-command byte", "ff 41 42", "CMD65 | D:42"},
        {"command inside a subnegotiation ends it and counts", "ff fa 2c 01 02 ff fb 03 44",
         "ABORT44:251 | +R3 | D:44"},
        {"stray SE", "ff f0 41", "CMD240 | D:41"},
    };
    for (const Case& c : cases) {
        const Bytes stream = unhex(c.stream);
        for (const size_t piece : {stream.size(), size_t{1}, size_t{2}, size_t{3}, size_t{5}}) {
            TelnetSession s;
            clientPolicy(s);
            EXPECT_EQ(feed(s, stream, piece), c.transcript) << c.name << ", pieces of " << piece;
        }
    }
}

TEST(TelnetSession, AnswersNegotiationWithoutLoops) {
    struct Case {
        const char* name;
        bool requestComPort;
        const char* received;
        const char* sent;  // after any request of our own
        const char* transcript;
    };
    const Case cases[] = {
        {"unknown options refused both ways", false, "ff fb 18 ff fd 1f", "ff fe 18 ff fc 1f", ""},
        {"each repeat of an unknown option is refused again", false, "ff fd 05 ff fd 05",
         "ff fc 05 ff fc 05", ""},
        {"accepted options agreed once", false, "ff fd 00 ff fd 00 ff fb 03", "ff fb 00 ff fd 03",
         "+L0 | +R3"},
        {"ECHO is not for a serial line", false, "ff fb 01", "ff fe 01", ""},
        {"our request answered: no reply", true, "ff fd 2c", "ff fb 2c", "+L44"},
        {"our request refused: no reply", true, "ff fe 2c", "ff fb 2c", "-L44"},
        {"switched off after agreeing: acknowledged once", false, "ff fd 2c ff fe 2c ff fe 2c",
         "ff fb 2c ff fc 2c", "+L44 | -L44"},
        {"refusal of what was never on is ignored", false, "ff fc 00 ff fe 03", "", ""},
        {"a crossing request counts as the answer", true, "ff fd 2c ff fd 2c", "ff fb 2c", "+L44"},
        {"ser2net's greeting", false,
         "ff fb 03 ff fd 03 ff fb 01 ff fe 01 ff fd 00 ff fb 00 ff fd 2c",
         "ff fd 03 ff fb 03 ff fe 01 ff fb 00 ff fd 00 ff fb 2c", "+R3 | +L3 | +L0 | +R0 | +L44"},
    };
    for (const Case& c : cases) {
        TelnetSession s;
        clientPolicy(s);
        if (c.requestComPort) {
            s.request(TelnetSide::Local, pv::telnet::kOptionComPort);
            EXPECT_TRUE(s.pending(TelnetSide::Local, pv::telnet::kOptionComPort)) << c.name;
        }
        EXPECT_EQ(feed(s, unhex(c.received), 1), c.transcript) << c.name;
        EXPECT_EQ(hex(s.output()), hex(unhex(c.sent))) << c.name;
        EXPECT_FALSE(s.pending(TelnetSide::Local, pv::telnet::kOptionComPort)) << c.name;
    }
}

TEST(TelnetSession, OverlongSubnegotiationIsDroppedAndTheStreamGoesOn) {
    // A megabyte inside one subnegotiation, with doubled IACs that must not end it early.
    Bytes flood = unhex("41 ff fa 2c 00");
    for (int i = 0; i < (1 << 20); ++i) {
        flood.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0xff : i));
        if (flood.back() == 0xff) {
            flood.push_back(0xff);
        }
    }
    flood = cat({flood, unhex("ff f0 42 ff fa 2c 65 00 00 25 80 ff f0 43")});
    for (const size_t piece : {size_t{4096}, size_t{1000003}}) {
        TelnetSession s;
        EXPECT_EQ(feed(s, flood, piece), "D:41 | LONG44 | D:42 | SB44:65 00 00 25 80 | D:43")
            << piece;
        EXPECT_TRUE(s.output().empty());
    }
}

TEST(TelnetSession, LongestKeptSubnegotiationIsDelivered) {
    const Bytes payload(pv::telnet::kMaxSubnegotiation, 0x30);
    TelnetSession s;
    EXPECT_EQ(feed(s, cat({unhex("ff fa 2c"), payload, unhex("ff f0")}), 100),
              "SB44:" + hex(payload));
    TelnetSession t;
    EXPECT_EQ(feed(t, cat({unhex("ff fa 2c"), payload, unhex("30 ff f0")}), 100), "LONG44");
}

TEST(TelnetSession, EndOfStreamInsideACommandIsReportedOnce) {
    struct Case {
        const char* stream;
        const char* transcript;
    };
    const Case cases[] = {
        {"41", "D:41"},      {"41 ff", "D:41 | ENDCMD"},    {"ff fd", "ENDCMD"},
        {"ff fa", "ENDSB0"}, {"ff fa 2c 65 00", "ENDSB44"}, {"ff fa 2c 65 ff", "ENDSB44"},
    };
    for (const Case& c : cases) {
        TelnetSession s;
        EXPECT_EQ(feed(s, unhex(c.stream), 1, true), c.transcript) << c.stream;
        // Whatever came before, the next connection starts clean.
        EXPECT_EQ(feed(s, unhex("ff ff 42"), 1, true), "D:ff 42") << c.stream;
    }
}

TEST(TelnetSession, DataIsHandedOutFromTheInputWithoutCopies) {
    struct Range : pv::TelnetHandler {
        const uint8_t* begin = nullptr;
        const uint8_t* end = nullptr;
        int outside = 0;
        void telnetData(const uint8_t* data, size_t length) override {
            const bool allIac =
                std::all_of(data, data + length, [](uint8_t b) { return b == 0xff; });
            outside += (data < begin || data + length > end) && !allIac ? 1 : 0;
        }
        void telnetSubnegotiation(uint8_t, const uint8_t*, size_t) override {}
        void telnetEvent(const TelnetEvent&) override {}
    };
    const Bytes stream = unhex("41 ff ff 42 ff fb 00 43 44 ff");
    Range range;
    range.begin = stream.data();
    range.end = stream.data() + stream.size();
    TelnetSession s;
    s.receive(stream.data(), stream.size(), range);
    const Bytes next = unhex("ff 45");
    range.begin = next.data();
    range.end = next.data() + next.size();
    s.receive(next.data(), next.size(), range);
    EXPECT_EQ(range.outside, 0);
}

TEST(TelnetEscape, DoublesEveryIacAndNeverSplitsAPair) {
    struct Case {
        const char* in;
        size_t capacity;
        const char* out;
        size_t consumed;
    };
    const Case cases[] = {
        {"41 ff 42", 10, "41 ff ff 42", 3}, {"ff ff", 10, "ff ff ff ff", 2},
        {"41 ff 42", 2, "41", 1},  // the pair would not fit whole
        {"41 ff 42", 3, "41 ff ff", 2},     {"ff", 1, "", 0},
        {"41 42 43", 2, "41 42", 2},        {"", 4, "", 0},
    };
    for (const Case& c : cases) {
        const Bytes in = unhex(c.in);
        Bytes out(c.capacity + 1, 0xEE);
        const auto r = TelnetSession::escapeInto(in.data(), in.size(), out.data(), c.capacity);
        EXPECT_EQ(hex(out.data(), r.produced), hex(unhex(c.out))) << c.in << " into " << c.capacity;
        EXPECT_EQ(r.consumed, c.consumed) << c.in << " into " << c.capacity;
        EXPECT_EQ(out[c.capacity], 0xEE) << c.in << " into " << c.capacity;
    }
}

TEST(TelnetEscape, EscapedDataComesBackUnchangedThroughTheSession) {
    std::mt19937 random(7);
    Bytes data(100000);
    for (uint8_t& b : data) {
        b = random() % 4 == 0 ? 0xff : static_cast<uint8_t>(random());
    }
    Bytes wire = unhex("30");  // appendEscaped adds to what is there
    TelnetSession::appendEscaped(wire, data.data(), data.size());
    Bytes chunked;
    std::vector<uint8_t> area(257);
    for (size_t at = 0; at < data.size();) {
        const auto r =
            TelnetSession::escapeInto(data.data() + at, data.size() - at, area.data(), area.size());
        ASSERT_GT(r.consumed, 0u);
        chunked.insert(chunked.end(), area.begin(), area.begin() + r.produced);
        at += r.consumed;
    }
    EXPECT_EQ(Bytes(wire.begin() + 1, wire.end()), chunked);

    struct Collect : pv::TelnetHandler {
        Bytes data;
        int others = 0;
        void telnetData(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
        void telnetSubnegotiation(uint8_t, const uint8_t*, size_t) override { ++others; }
        void telnetEvent(const TelnetEvent&) override { ++others; }
    } collect;
    TelnetSession s;
    for (size_t at = 0; at < chunked.size(); at += 1499) {
        s.receive(chunked.data() + at, std::min<size_t>(1499, chunked.size() - at), collect);
    }
    EXPECT_EQ(collect.data, data);
    EXPECT_EQ(collect.others, 0);
}

TEST(TelnetSession, RandomStreamsGiveTheSameResultInAnyPieces) {
    // Bytes weighted towards the protocol's own, so every state is visited often.
    const uint8_t alphabet[] = {0xff, 0xff, 0xff, 0xfa, 0xf0, 0xfb, 0xfc, 0xfd,
                                0xfe, 0x2c, 0x00, 0x03, 0x41, 0x65, 0xf1};
    std::mt19937 random(2217);
    for (int round = 0; round < 200; ++round) {
        Bytes stream(1 + random() % 600);
        for (uint8_t& b : stream) {
            b = alphabet[random() % sizeof alphabet];
        }
        TelnetSession whole;
        clientPolicy(whole);
        const std::string expected = feed(whole, stream, stream.size(), true);
        TelnetSession cut;
        clientPolicy(cut);
        EXPECT_EQ(feed(cut, stream, 1 + random() % 7, true), expected) << hex(stream);
        EXPECT_EQ(hex(cut.output()), hex(whole.output())) << hex(stream);
    }
}

}  // namespace
