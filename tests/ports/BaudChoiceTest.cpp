#include <gtest/gtest.h>

#include "ports/BaudChoice.h"

using namespace pv;

namespace {

TEST(BaudChoice, ListSelectionByPrefixAndExactText) {
    EXPECT_EQ(baudListIndexByPrefix(960), 5) << "960 selects \"9600\"";
    EXPECT_EQ(baudListIndexExact(960), 0);
    EXPECT_EQ(baudListIndexByPrefix(115200), 9);
    EXPECT_EQ(baudListIndexByPrefix(250000), 0);
    EXPECT_EQ(baudListIndexByPrefix(1), 2) << "first entry beginning with 1 is 1200";
    EXPECT_EQ(baudListIndexExact(300), 1);
}

TEST(BaudChoice, GetItTakesValidRatesAndRestoresOthers) {
    struct Case {
        const char* typed;
        int baudBefore;
        int baudAfter;
        const char* editAfter;
        int listAfter;
    };
    const Case cases[] = {
        {"250000", 9600, 250000, "250000", 0},
        {"19200", 9600, 19200, "19200", 6},
        {" 960 ", 9600, 960, "960", 0},
        {"0", 2400, 2400, "2400", 3},
        {"1000000", 960, 960, "960", 5},
        {"abc", 9600, 9600, "9600", 5},
        {"12x", 9600, 9600, "9600", 5},
        {"921600", 9600, 921600, "921600", 0},
        {"50", 9600, 50, "50", 0},
    };
    for (const Case& c : cases) {
        BaudControls controls{-1, c.typed};
        int baud = c.baudBefore;
        getIt(controls, baud);
        EXPECT_EQ(baud, c.baudAfter) << c.typed;
        EXPECT_EQ(controls.editText, c.editAfter) << c.typed;
        EXPECT_EQ(controls.listIndex, c.listAfter) << c.typed;
    }
}

TEST(BaudChoice, ListSelection) {
    BaudControls controls{5, "9600"};
    int baud = 9600;
    baudListSelected(controls, 3, baud);
    EXPECT_EQ(baud, 2400);
    EXPECT_EQ(controls.editText, "2400");

    controls.editText = "250000";
    baudListSelected(controls, 0, baud);
    EXPECT_EQ(baud, 2400) << "a valid typed rate waits for Get It";
    EXPECT_EQ(controls.editText, "250000");

    // A fresh string rather than assigning a literal: GCC 12 at -O3 reports a false -Wrestrict
    // for the in-place copy (GCC bug 105329).
    controls.editText = std::string("0");
    baudListSelected(controls, 0, baud);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(controls.editText, "9600");

    baudListSelected(controls, -1, baud);
    EXPECT_EQ(controls.listIndex, 0) << "no selection changes nothing";
}

}  // namespace
