#include <gtest/gtest.h>

#include "base/FileNeu.h"
#include "manipulation/ExchangeSettings.h"

#include "support/TempFolder.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(std::span<const uint8_t> span) {
    return Bytes(span.begin(), span.end());
}

TEST(ExchangeSetOfFields, OkReadsTheTextsInTheChosenMode) {
    struct Case {
        bool ascii;
        const char* search;
        const char* replace;
        bool active;  // after "OK", with "Activate" checked
        Bytes searchBytes;
        Bytes replaceBytes;
    };
    const Case cases[] = {
        {false, "0d 0A", "0D0A", true, {0x0D, 0x0A}, {0x0D, 0x0A}},
        {false, "4", "41", false, {}, {0x41}},  // a single digit gives no bytes
        {false, "41 3f 43", "", true, {0x41, 0x3F, 0x43}, {}},
        {true, "OK", "a b", true, {'O', 'K'}, {'a', ' ', 'b'}},
        {true, "", "x", false, {}, {'x'}},
    };
    for (const Case& c : cases) {
        ExchangeSetFields fields;
        fields.active = true;
        fields.asciiInput = c.ascii;
        fields.searchText = c.search;
        fields.replaceText = c.replace;
        const ExchangeSet set = exchangeSetOfFields(fields);
        EXPECT_EQ(set.active, c.active) << c.search;
        EXPECT_EQ(bytesOf(set.searchBytes()), c.searchBytes) << c.search;
        EXPECT_EQ(bytesOf(set.replaceBytes()), c.replaceBytes) << c.replace;
        // Opening the dialog again shows the bytes in the set's own mode.
        const ExchangeSetFields shown = fieldsOfExchangeSet(set);
        EXPECT_EQ(TextToBytes(shown.searchText, c.ascii), c.searchBytes);
    }
    ExchangeSetFields longText;
    longText.searchText = std::string(100, 'x');
    EXPECT_EQ(exchangeSetOfFields(longText).searchLength, 80);
}

TEST(ExchangeSettings, PassCopiesAddEnterAndFollowActive) {
    ExchangeSettings settings;
    EXPECT_FALSE(settings.AnyActive());
    ExchangeSetFields fields;
    fields.active = true;
    fields.addEnterSearch = true;
    fields.searchText = "OK";
    fields.replaceText = std::string(80, 'r');
    fields.addEnterReplace = true;
    settings.storeSet(2, exchangeSetOfFields(fields));
    EXPECT_FALSE(settings.AnyActive());  // not before the pass copies are made
    settings.RebuildPassCopies();
    EXPECT_TRUE(settings.AnyActive());
    EXPECT_EQ(bytesOf(settings.set(2).searchBytes()), (Bytes{'O', 'K'}));
    EXPECT_EQ(bytesOf(settings.passCopy(2).searchBytes()), (Bytes{'O', 'K', 0x0D, 0x0A}));
    EXPECT_EQ(settings.passCopy(2).replaceLength, 82);
    EXPECT_EQ(settings.passCopy(2).replace[81], 0x0A);

    settings.SetActive(2, false);
    EXPECT_FALSE(settings.set(2).active);
    EXPECT_FALSE(settings.passCopy(2).active);
    EXPECT_FALSE(settings.AnyActive());
}

TEST(ExchangeSettings, QuickAccessRefusesASetWithNothingToSearch) {
    ExchangeSettings settings;
    EXPECT_FALSE(settings.ToggleFromQuickAccess(2, true));
    EXPECT_FALSE(settings.set(2).active);
    EXPECT_TRUE(settings.ToggleFromQuickAccess(2, false));

    // "Add Enter" alone gives the pass copy something to search.
    ExchangeSet enterOnly;
    enterOnly.addEnterSearch = true;
    settings.storeSet(2, enterOnly);
    settings.RebuildPassCopies();
    EXPECT_TRUE(settings.ToggleFromQuickAccess(2, true));
    EXPECT_TRUE(settings.passCopy(2).active);
    EXPECT_TRUE(settings.AnyActive());
}

class ExchangeFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }

    std::string contents() const { return readWholeFile(path_); }
    void writeContents(const std::string& bytes) const { writeWholeFile(path_, bytes); }

    TempFolder folder_{"pv-exchange"};
    std::string path_ = folder_.file("sets.dat");
};

TEST_F(ExchangeFileTest, SaveWritesTheNineLinesOfTheEnteredSets) {
    ExchangeSettings settings;
    ExchangeSetFields hex;
    hex.active = true;
    hex.wildcard = true;
    hex.asciiInput = false;
    hex.addEnterReplace = true;
    hex.searchText = "41 3f 5";
    hex.replaceText = "0a";
    settings.storeSet(1, exchangeSetOfFields(hex));
    ExchangeSetFields ascii;
    ascii.addEnterSearch = true;
    ascii.searchText = "OK";
    settings.storeSet(3, exchangeSetOfFields(ascii));
    settings.RebuildPassCopies();

    CFileNeu file;
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeCreate | CFileNeu::modeWrite));
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(settings.SaveSet(file, k));
    }
    file.Close();
    EXPECT_EQ(contents(),
              "1\r\n1\r\n0\r\n0\r\n1\r\n2\r\n41 3F \r\n1\r\n0A \r\n"
              "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n\r\n0\r\n\r\n"
              "0\r\n0\r\n1\r\n1\r\n0\r\n2\r\nOK\r\n0\r\n\r\n");

    ExchangeSettings loaded;
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeRead));
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(loaded.LoadSet(file, k));
    }
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(loaded.set(k), settings.set(k)) << k;
        EXPECT_EQ(loaded.passCopy(k), settings.passCopy(k)) << k;
    }
    EXPECT_TRUE(loaded.AnyActive());
}

TEST_F(ExchangeFileTest, LoadTakesLengthsFromTheTextsAndKeepsTheSetOnAnIncompleteRecord) {
    writeContents(
        "1\r\n0\r\n0\r\n0\r\n0\r\n99\r\n0D 0A\r\n-5\r\n41\r\n"  // lengths are wrong
        "1\r\n0\r\n1\r\n0\r\n0\r\n2\r\nAB\r\n");                // ends early
    ExchangeSettings settings;
    ExchangeSet before;
    before.setSearch(Bytes{'q'});
    settings.storeSet(2, before);
    CFileNeu file;
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeRead));
    ASSERT_TRUE(settings.LoadSet(file, 1));
    EXPECT_EQ(bytesOf(settings.set(1).searchBytes()), (Bytes{0x0D, 0x0A}));
    EXPECT_EQ(bytesOf(settings.set(1).replaceBytes()), (Bytes{0x41}));
    EXPECT_FALSE(settings.LoadSet(file, 2));
    EXPECT_EQ(bytesOf(settings.set(2).searchBytes()), (Bytes{'q'}));
    EXPECT_FALSE(settings.set(2).active);

    file.Close();
    writeContents("1\r\n0\r\n2\r\n");  // a flag line that is not 0 or 1
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeRead));
    EXPECT_FALSE(settings.LoadSet(file, 3));
}

}  // namespace
