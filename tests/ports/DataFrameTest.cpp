#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ports/DataFrame.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

// A frame built by hand, so the reader is checked against the wire layout, not the encoder.
Bytes rawFrame(uint8_t type, int declaredLength, const Bytes& payload) {
    // Sized once and filled in place: growing a three-byte vector by insert() draws a false
    // -Warray-bounds from GCC 12 at -O3.
    Bytes out(3 + payload.size());
    out[0] = type;
    out[1] = static_cast<uint8_t>(declaredLength >> 8);
    out[2] = static_cast<uint8_t>(declaredLength & 0xFF);
    std::copy(payload.begin(), payload.end(), out.begin() + 3);
    return out;
}

Bytes rawFrame(uint8_t type, const Bytes& payload) {
    return rawFrame(type, static_cast<int>(payload.size()), payload);
}

Bytes pattern(int length, int seed = 0) {
    Bytes out(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        out[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + seed) & 0xFF);
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// Feeds the stream in pieces of the given sizes (cycled) and collects every payload.
std::vector<Bytes> readInPieces(DataFrameReader& reader, const Bytes& stream,
                                const std::vector<size_t>& pieces) {
    std::vector<Bytes> payloads;
    size_t offset = 0;
    size_t next = 0;
    while (offset < stream.size()) {
        const size_t size = std::min(pieces[next++ % pieces.size()], stream.size() - offset);
        int used = 0;
        while (used < static_cast<int>(size)) {
            used += reader.read(stream.data() + offset + used, static_cast<int>(size) - used);
            if (reader.hasPayload()) {
                payloads.emplace_back(reader.payload(), reader.payload() + reader.payloadLength());
                reader.releasePayload();
            }
        }
        offset += size;
    }
    return payloads;
}

TEST(DataFrameEncode, HeaderIsTypeZeroAndBigEndianLength) {
    struct Case {
        int length;
        uint8_t high;
        uint8_t low;
    };
    for (const Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{255, 0, 0xFF}, Case{256, 1, 0},
                         Case{10240, 0x28, 0x00}}) {
        const Bytes block = pattern(c.length, 3);
        DataFrame::Buffer frame{};
        frame.fill(0xEE);
        ASSERT_EQ(DataFrame::encode(block.data(), c.length, frame), c.length + 3) << c.length;
        EXPECT_EQ(frame[0], 0);
        EXPECT_EQ(frame[1], c.high);
        EXPECT_EQ(frame[2], c.low);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), frame.begin() + 3)) << c.length;
    }
}

TEST(DataFrameEncode, RefusesBlocksThatDoNotFitOneFrame) {
    const Bytes block = pattern(10241);
    DataFrame::Buffer frame{};
    EXPECT_EQ(DataFrame::encode(block.data(), 10241, frame), 0);
    EXPECT_EQ(DataFrame::encode(block.data(), -1, frame), 0);
    EXPECT_EQ(DataFrame::encode(nullptr, 5, frame), 0);
}

TEST(DataFrameReader, SameResultHoweverTheStreamIsCut) {
    const Bytes big = pattern(30000, 1);
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"two frames", concat({rawFrame(0, {'A', 'B'}), rawFrame(0, {'C'})}), {{'A', 'B'}, {'C'}}},
        {"other types are skipped whole",
         concat({rawFrame(1, {0, 0, 3}), rawFrame(0xFF, pattern(5000)), rawFrame(0, {'x'})}),
         {{'x'}}},
        {"empty data frame delivers nothing and keeps the next",
         concat({rawFrame(0, {}), rawFrame(0, {'y', 'z'})}),
         {{'y', 'z'}}},
        {"oversized length arrives in parts, stream stays aligned",
         concat({rawFrame(0, big), rawFrame(0, {'!'})}),
         {Bytes(big.begin(), big.begin() + 10240),
          Bytes(big.begin() + 10240, big.begin() + 20480),
          Bytes(big.begin() + 20480, big.end()),
          {'!'}}},
        {"largest legal frame", rawFrame(0, pattern(10240)), {pattern(10240)}},
    };
    for (const Case& c : cases) {
        for (const auto& pieces : std::vector<std::vector<size_t>>{
                 {c.stream.size()}, {1}, {2, 5, 3}, {4096}, {10243, 1}}) {
            DataFrameReader reader;
            EXPECT_EQ(readInPieces(reader, c.stream, pieces), c.expected)
                << c.name << ", first piece " << pieces[0];
            EXPECT_FALSE(reader.midFrame()) << c.name;
        }
    }
}

TEST(DataFrameReader, GarbageNeverOverrunsAndDoesNotDependOnReadSizes) {
    std::mt19937 random(12345);
    Bytes garbage(300000);
    for (uint8_t& b : garbage) {
        b = static_cast<uint8_t>(random());
    }
    DataFrameReader whole;
    const std::vector<Bytes> expected = readInPieces(whole, garbage, {garbage.size()});
    std::vector<size_t> pieces(64);
    for (size_t& p : pieces) {
        p = 1 + random() % 3000;
    }
    DataFrameReader cut;
    EXPECT_EQ(readInPieces(cut, garbage, pieces), expected);
    size_t delivered = 0;
    for (const Bytes& p : expected) {
        EXPECT_GT(p.size(), 0u);
        EXPECT_LE(p.size(), 10240u);
        delivered += p.size();
    }
    EXPECT_LT(delivered, garbage.size());
}

TEST(DataFrameReader, FinishPassesOnAPartialPayloadAndDropsAPartialHeader) {
    DataFrameReader reader;
    const Bytes partial = concat({rawFrame(0, 100, {}), pattern(40)});
    EXPECT_EQ(reader.read(partial.data(), static_cast<int>(partial.size())), 43);
    EXPECT_FALSE(reader.hasPayload());
    EXPECT_TRUE(reader.midFrame());
    ASSERT_TRUE(reader.finish());
    EXPECT_EQ(Bytes(reader.payload(), reader.payload() + reader.payloadLength()), pattern(40));
    reader.releasePayload();

    const Bytes header = {0, 0};
    reader.read(header.data(), 2);
    EXPECT_FALSE(reader.finish());
    EXPECT_FALSE(reader.midFrame());
    // A skipped frame cut short leaves nothing to pass on either.
    const Bytes skipped = concat({rawFrame(3, 50, {}), pattern(10)});
    reader.read(skipped.data(), static_cast<int>(skipped.size()));
    EXPECT_FALSE(reader.finish());

    const Bytes next = rawFrame(0, {'n'});
    EXPECT_EQ(readInPieces(reader, next, {1}), std::vector<Bytes>{{'n'}});
}

TEST(DataFrameReader, HoldsAReadyPayloadUntilReleased) {
    DataFrameReader reader;
    const Bytes stream = concat({rawFrame(0, {'a'}), rawFrame(0, {'b'})});
    EXPECT_EQ(reader.read(stream.data(), static_cast<int>(stream.size())), 4);
    EXPECT_EQ(reader.read(stream.data() + 4, 4), 0);
    reader.releasePayload();
    EXPECT_EQ(reader.read(stream.data() + 4, 4), 4);
    EXPECT_EQ(reader.payload()[0], 'b');
}

}  // namespace
