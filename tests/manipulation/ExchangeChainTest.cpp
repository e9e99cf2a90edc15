#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <thread>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

ExchangeSetFields asciiSet(const std::string& search, const std::string& replace) {
    ExchangeSetFields fields;
    fields.active = true;
    fields.searchText = search;
    fields.replaceText = replace;
    return fields;
}

// Both sides on pseudo-terminals; the test writes to side A's far end and reads side B's.
class ExchangeChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    }
    ExchangeSettings& sets() { return monitor.exchange().settings(); }
    void define(std::vector<ExchangeSetFields> fields) {
        for (size_t i = 0; i < fields.size(); ++i) {
            sets().storeSet(static_cast<int>(i) + 1, exchangeSetOfFields(fields[i]));
        }
        sets().RebuildPassCopies();
    }
    // Reads count bytes from a far end while the main thread keeps handling events.
    static Bytes collect(const PtyPair& far, size_t count, int timeoutMs = 20000) {
        Bytes got;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            got = far.read(count, timeoutMs);
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done.load(); }, timeoutMs + 1000));
        reader.join();
        return got;
    }
    bool shownA(const std::string& text) const { return view.shown[0] == bytesOf(text); }

    PtyPair farA;
    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
};

TEST_F(ExchangeChainTest, SetsRewriteWhatSideBReceivesAndWhatIsShown) {
    struct Step {
        std::string write;
        std::string shownAfter;  // everything side A's pane shows after this read
        bool held;
    };
    struct Case {
        const char* name;
        std::vector<ExchangeSetFields> sets;
        std::vector<Step> steps;
    };
    ExchangeSetFields wildFirst = asciiSet("?BC", "-");
    wildFirst.wildcard = true;
    ExchangeSetFields hex = asciiSet("0d 0A", "2D");
    hex.asciiInput = false;
    ExchangeSetFields enter = asciiSet("OK", "!");
    enter.addEnterSearch = true;
    const Case cases[] = {
        {"grows", {asciiSet("AB", "XYZ")}, {{"ABCAB", "XYZCXYZ", false}}},
        {"deleted block", {asciiSet("AB", "")}, {{"ABAB", "", false}, {"zAB", "z", false}}},
        {"split match", {asciiSet("AB", "XYZ")}, {{"xA", "x", true}, {"By", "xXYZy", false}}},
        {"split no match", {asciiSet("AB", "XYZ")}, {{"xA", "x", true}, {"Cy", "xACy", false}}},
        {"wild card first", {wildFirst}, {{"ZBCaBC", "--", false}}},
        {"chained", {asciiSet("A", "B"), asciiSet("B", "C")}, {{"ABxBA", "CCxCC", false}}},
        {"hex with blanks", {hex}, {{"a\r\nb", "a-b", false}}},
        {"add enter", {enter}, {{"OK OK\r\n", "OK !", false}}},
        {"own search", {asciiSet("AB", "xAB")}, {{"A", "", true}, {"BAB", "xABxAB", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        define(c.sets);
        view.shown[0].clear();
        for (const Step& step : c.steps) {
            farA.write(bytesOf(step.write));
            ASSERT_TRUE(waitUntil([&] {
                return shownA(step.shownAfter) && monitor.exchange().holding() == step.held;
            }));
        }
        const std::string& result = c.steps.back().shownAfter;
        EXPECT_EQ(collect(farB, result.size()), bytesOf(result));
        EXPECT_TRUE(farB.read(1, 50).empty());
        define({{}, {}, {}});
    }
    // The add-enter set kept its text as entered; only the pass looked for CR LF.
    EXPECT_TRUE(view.prompt_.messages.empty());
}

TEST_F(ExchangeChainTest, GrowthPastTheBufferArrivesComplete) {
    for (const std::string& replacement : {std::string("AA"), std::string(10, 'Z')}) {
        SCOPED_TRACE(replacement);
        define({asciiSet("A", replacement)});
        view.shown[0].clear();
        monitor.sides().side(Side::A).totalShown = 0;
        const size_t expected = 10240 * replacement.size();
        std::thread writer([&] { farA.write(Bytes(10240, 'A')); });
        const Bytes got = collect(farB, expected);
        writer.join();
        ASSERT_EQ(got.size(), expected);
        EXPECT_TRUE(
            std::all_of(got.begin(), got.end(), [&](uint8_t b) { return b == replacement[0]; }));
        ASSERT_TRUE(waitUntil([&] { return view.shown[0].size() == expected; }));
        EXPECT_EQ(monitor.sides().side(Side::A).totalShown, static_cast<long long>(expected));
    }
}

TEST_F(ExchangeChainTest, SideBBytesAreNeverChanged) {
    define({asciiSet("A", "Z"), asciiSet("B", "")});
    farB.write(bytesOf("ABAB"));
    EXPECT_EQ(collect(farA, 4), bytesOf("ABAB"));
    EXPECT_EQ(view.shown[1], bytesOf("ABAB"));
    farA.write(bytesOf("ABAB"));
    EXPECT_EQ(collect(farB, 2), bytesOf("ZZ"));
}

TEST_F(ExchangeChainTest, TimeOutSendsHeldBytesOnUnchanged) {
    define({asciiSet("AB", "-")});
    sets().holdTimeoutMs = 150;
    QElapsedTimer elapsed;
    elapsed.start();
    farA.write(bytesOf("xA"));
    ASSERT_TRUE(waitUntil([&] { return shownA("x") && monitor.exchange().holding(); }));
    EXPECT_EQ(collect(farB, 2), bytesOf("xA"));
    EXPECT_GE(elapsed.elapsed(), 150);
    EXPECT_TRUE(shownA("xA"));
    EXPECT_FALSE(monitor.exchange().holding());

    // The next B is new data, not the end of the released match.
    farA.write(bytesOf("B"));
    EXPECT_EQ(collect(farB, 1), bytesOf("B"));
}

TEST_F(ExchangeChainTest, IdleRuleSendsHeldBytesOnThe52ndEmptyNotification) {
    define({asciiSet("AB", "-")});
    sets().holdTimeoutMs = 600000;
    farA.write(bytesOf("xA"));
    ASSERT_TRUE(waitUntil([&] { return shownA("x") && monitor.exchange().holding(); }));
    // The port's own thread may have added one empty notification of its own.
    for (int i = 0; i < 50; ++i) {
        monitor.receivePath().OnSerialReceive();
    }
    EXPECT_TRUE(monitor.exchange().holding());
    monitor.receivePath().OnSerialReceive();
    monitor.receivePath().OnSerialReceive();
    EXPECT_FALSE(monitor.exchange().holding());
    EXPECT_TRUE(shownA("xA"));
    EXPECT_EQ(collect(farB, 2), bytesOf("xA"));
}

TEST_F(ExchangeChainTest, StoppingSideASendsHeldBytesOn) {
    define({asciiSet("ABC", "-")});
    sets().holdTimeoutMs = 600000;
    farA.write(bytesOf("xAB"));
    ASSERT_TRUE(waitUntil([&] { return shownA("x") && monitor.exchange().heldCount() == 2; }));
    monitor.sides().StopSide(Side::A);
    EXPECT_TRUE(shownA("xAB"));
    EXPECT_EQ(collect(farB, 3), bytesOf("xAB"));
}

}  // namespace
