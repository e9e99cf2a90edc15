#include <gtest/gtest.h>

#include <random>

#include "manipulation/ExchangeEngine.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

struct SetDef {
    std::string search;
    std::string replace;
    bool wildcard = false;
};

ExchangeSettings settingsOf(const std::vector<SetDef>& defs) {
    ExchangeSettings settings;
    for (size_t i = 0; i < defs.size(); ++i) {
        ExchangeSet set;
        set.active = !defs[i].search.empty();
        set.wildcard = defs[i].wildcard;
        set.setSearch(bytes(defs[i].search));
        set.setReplace(bytes(defs[i].replace));
        settings.storeSet(static_cast<int>(i) + 1, set);
    }
    settings.RebuildPassCopies();
    return settings;
}

class CollectingSink : public ExchangeSink {
  public:
    void put(const uint8_t* data, size_t count) override {
        EXPECT_GT(count, 0u);
        EXPECT_LE(count, ExchangeEngine::kChunk);
        out.insert(out.end(), data, data + count);
        ++pieces;
    }
    Bytes out;
    int pieces = 0;
};

// The pass as one scan per set over the whole data in one buffer, without any size limit.
Bytes referencePass(Bytes d, const ExchangeSettings& settings) {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        const ExchangeSet& s = settings.passCopy(k);
        if (!s.active || s.searchLength == 0) {
            continue;
        }
        const size_t m = static_cast<size_t>(s.searchLength);
        const auto agrees = [&](uint8_t b, size_t i) {
            return b == s.search[i] || (s.wildcard && s.search[i] == 0x3F);
        };
        size_t p = 0;
        while (p < d.size()) {
            if (!agrees(d[p], 0)) {
                ++p;
                continue;
            }
            size_t i = 0;
            while (i < m && i < d.size() - p && agrees(d[p + i], i)) {
                ++i;
            }
            if (i == m) {
                d.erase(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p + m));
                d.insert(d.begin() + static_cast<long>(p), s.replace.begin(),
                         s.replace.begin() + s.replaceLength);
                p += static_cast<size_t>(s.replaceLength);
            } else if (i == d.size() - p) {
                break;
            } else {
                ++p;
            }
        }
    }
    return d;
}

// Feeds the blocks one after the other; returns what went out after each block.
std::vector<Bytes> runBlocks(const ExchangeSettings& settings, const std::vector<Bytes>& blocks,
                             bool release) {
    ExchangeEngine engine(settings);
    std::vector<Bytes> outputs;
    for (const Bytes& block : blocks) {
        CollectingSink sink;
        engine.Pass(block.data(), block.size(), sink);
        outputs.push_back(sink.out);
    }
    if (release) {
        CollectingSink sink;
        engine.Release(sink);
        outputs.push_back(sink.out);
        EXPECT_FALSE(engine.holding());
    }
    return outputs;
}

TEST(ExchangeEngine, BlocksAndWhatGoesOutAfterEach) {
    struct Case {
        const char* name;
        std::vector<SetDef> sets;
        std::vector<std::string> blocks;
        std::vector<std::string> out;  // after each block
    };
    const Case cases[] = {
        {"grows", {{"AB", "XYZ"}}, {"ABCAB"}, {"XYZCXYZ"}},
        {"empty replacement deletes", {{"AB", ""}}, {"xABABy", "ABAB"}, {"xy", ""}},
        {"split match is replaced", {{"AB", "XYZ"}}, {"xA", "By"}, {"x", "XYZy"}},
        {"split that does not match", {{"AB", "XYZ"}}, {"xA", "Cy"}, {"x", "ACy"}},
        {"split over three reads", {{"ABCD", "-"}}, {"zA", "BC", "D"}, {"z", "", "-"}},
        {"restart inside a failed match", {{"AAB", "-"}}, {"AA", "AB"}, {"", "A-"}},
        {"wild card in the middle", {{"A?C", "-", true}}, {"AZC A?C ABD"}, {"- - ABD"}},
        {"no wild card", {{"A?C", "-"}}, {"AZC A?C"}, {"AZC -"}},
        {"wild card first",
         {{"?BC", "-", true}},
         {"xBCyBC", "BC"},
         {"--", "B"}},  // C may start one
        {"chained sets", {{"A", "B"}, {"B", "C"}}, {"ABxBA"}, {"CCxCC"}},
        {"later set sees the earlier's output", {{"A", "BB"}, {"BB", "Q"}}, {"ABx"}, {"QBx"}},
        {"own search in the replacement", {{"AB", "xAB"}}, {"ABAB"}, {"xABxAB"}},
        {"own search split across reads", {{"AB", "xAB"}}, {"A", "BA", "B"}, {"", "xAB", "xAB"}},
        {"inactive set 2 between", {{"A", "1"}, {"", ""}, {"1", "2"}}, {"AA"}, {"22"}},
    };
    for (const Case& c : cases) {
        std::vector<Bytes> blocks;
        for (const std::string& b : c.blocks) {
            blocks.push_back(bytes(b));
        }
        const auto outputs = runBlocks(settingsOf(c.sets), blocks, false);
        for (size_t i = 0; i < c.out.size(); ++i) {
            EXPECT_EQ(outputs[i], bytes(c.out[i])) << c.name << ", block " << i;
        }
    }
}

TEST(ExchangeEngine, ReleaseSendsHeldBytesUnreplacedThroughTheLaterSets) {
    // Set 1 holds the A; released, it is not replaced by set 1 but set 2 still sees it.
    const auto settings = settingsOf({{"AB", "-"}, {"A", "Z"}});
    const auto outputs = runBlocks(settings, {bytes("xA")}, true);
    EXPECT_EQ(outputs[0], bytes("x"));
    EXPECT_EQ(outputs[1], bytes("Z"));

    // Set 2 holds the Q; set 1's release completes its match, as one scan over QA would.
    const auto chained = settingsOf({{"AB", "-"}, {"QA", "+"}});
    EXPECT_EQ(runBlocks(chained, {bytes("QA")}, true), (std::vector<Bytes>{{}, bytes("+")}));
}

TEST(ExchangeEngine, AnySplitGivesTheResultOfOneBlock) {
    std::mt19937 random(7);
    const std::vector<std::vector<SetDef>> configs = {
        {{"AB", "XYZ"}},
        {{"ABA", "B"}, {"BB", ""}, {"?A", "AA?", true}},
        {{"A?A?", "", true}, {"B", "ABAB"}, {"AAB", "BA"}},
        {{"ABABAB", "A"}, {"A", "AB"}},
    };
    for (size_t ci = 0; ci < configs.size(); ++ci) {
        const ExchangeSettings settings = settingsOf(configs[ci]);
        for (int round = 0; round < 200; ++round) {
            Bytes data(random() % 60);
            for (uint8_t& b : data) {
                b = "AB?"[random() % 3];
            }
            std::vector<Bytes> blocks;
            for (size_t p = 0; p < data.size();) {
                const size_t n = std::min<size_t>(1 + random() % 5, data.size() - p);
                blocks.emplace_back(data.begin() + static_cast<long>(p),
                                    data.begin() + static_cast<long>(p + n));
                p += n;
            }
            Bytes joined;
            for (const Bytes& out : runBlocks(settings, blocks, true)) {
                joined.insert(joined.end(), out.begin(), out.end());
            }
            ASSERT_EQ(joined, referencePass(data, settings))
                << "config " << ci << ", data " << std::string(data.begin(), data.end());
        }
    }
}

TEST(ExchangeEngine, GrowthLeavesCompleteInPieces) {
    // 10 KB of matches that double, then a set that makes every byte 80.
    const Bytes block = bytes(std::string(10240, 'A'));
    {
        const auto settings = settingsOf({{"A", "AA"}});
        ExchangeEngine engine(settings);
        CollectingSink sink;
        engine.Pass(block.data(), block.size(), sink);
        EXPECT_EQ(sink.out, bytes(std::string(20480, 'A')));
        EXPECT_GE(sink.pieces, 2);
    }
    {
        const auto settings = settingsOf({{"A", "AA"}, {"A", std::string(80, 'z')}});
        ExchangeEngine engine(settings);
        CollectingSink sink;
        engine.Pass(block.data(), block.size(), sink);
        EXPECT_EQ(sink.out.size(), 20480u * 80u);
        EXPECT_TRUE(
            std::all_of(sink.out.begin(), sink.out.end(), [](uint8_t b) { return b == 'z'; }));
    }
}

TEST(ExchangeEngine, HoldStaysBoundedByTheSearchLength) {
    // Every read extends a possible match that completes only at the very end.
    ExchangeSettings settings;
    ExchangeSet set;
    set.active = true;
    set.addEnterSearch = true;
    set.setSearch(bytes(std::string(80, 'A')));
    set.setReplace(bytes("-"));
    settings.storeSet(1, set);
    settings.RebuildPassCopies();
    ExchangeEngine engine(settings);
    CollectingSink sink;
    const Bytes a = bytes(std::string(7, 'A'));
    for (int i = 0; i < 5000; ++i) {
        engine.Pass(a.data(), a.size(), sink);
        ASSERT_LE(engine.heldCount(), 81u);
    }
    EXPECT_EQ(sink.out.size() + engine.heldCount(), 35000u);
    EXPECT_EQ(engine.heldCount(), 80u);
    const Bytes enter = bytes("\r\n");
    engine.Pass(enter.data(), enter.size(), sink);
    EXPECT_EQ(sink.out.back(), '-');
    EXPECT_EQ(sink.out.size(), 35000u - 80u + 1u);
    EXPECT_FALSE(engine.holding());
}

TEST(ExchangeEngine, ChangedSetsReleaseHeldBytesAndUnchangedKeepThem) {
    auto settings = settingsOf({{"AB", "-"}});
    ExchangeEngine engine(settings);
    CollectingSink sink;
    const Bytes a = bytes("A");
    const Bytes b = bytes("B");
    engine.Pass(a.data(), 1, sink);
    settings.RebuildPassCopies();  // the same sets again
    engine.Pass(b.data(), 1, sink);
    EXPECT_EQ(sink.out, bytes("-"));

    engine.Pass(a.data(), 1, sink);
    settings.SetActive(1, false);
    engine.Pass(b.data(), 1, sink);
    EXPECT_EQ(sink.out, bytes("-AB"));
    EXPECT_FALSE(engine.holding());
}

TEST(ExchangeEngine, ActiveSetWithoutSearchBytesPassesEverything) {
    // A file may hold an active set with an empty search text.
    ExchangeSettings settings;
    ExchangeSet set;
    set.active = true;
    set.setReplace(bytes("R"));
    settings.storeSet(1, set);
    settings.RebuildPassCopies();
    EXPECT_TRUE(settings.AnyActive());
    EXPECT_EQ(runBlocks(settings, {bytes("abc")}, false)[0], bytes("abc"));
}

}  // namespace
