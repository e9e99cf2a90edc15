#include <gtest/gtest.h>

#include "app/RateDisplay.h"

using namespace pv;

namespace {

TEST(RateDisplay, WarningBlinksAbove200WithOutputOn) {
    RateDisplay display;
    const auto first = display.tick(250, true);
    EXPECT_EQ(first.rateText, "250 c/s");
    EXPECT_TRUE(first.high);
    EXPECT_TRUE(first.setStatus);
    EXPECT_EQ(first.statusText, kTextRateWarning);
    const auto second = display.tick(250, true);
    EXPECT_TRUE(second.setStatus);
    EXPECT_EQ(second.statusText, "");
    EXPECT_EQ(display.tick(250, true).statusText, kTextRateWarning);
}

TEST(RateDisplay, OutputOffOrLowRateClearsTheLine) {
    RateDisplay display;
    display.tick(300, true);
    const auto off = display.tick(300, false);
    EXPECT_TRUE(off.high) << "still red";
    EXPECT_TRUE(off.setStatus);
    EXPECT_EQ(off.statusText, "");
    EXPECT_FALSE(display.tick(300, false).setStatus) << "an empty line is left alone";

    while (display.tick(300, true).statusText.empty()) {
    }
    const auto low = display.tick(200, true);
    EXPECT_FALSE(low.high) << "200 is green";
    EXPECT_EQ(low.rateText, "200 c/s");
    EXPECT_TRUE(low.setStatus);
    EXPECT_EQ(low.statusText, "");
    EXPECT_FALSE(display.tick(0, true).setStatus);
}

}  // namespace
