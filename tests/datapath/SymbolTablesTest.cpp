#include <gtest/gtest.h>

#include <fstream>

#include "base/FileNeu.h"
#include "datapath/SymbolTables.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

TEST(SymbolSet, Defaults) {
    const SymbolSet hex = SymbolSet::hexDefaults();
    const SymbolSet ascii = SymbolSet::asciiDefaults();
    const std::pair<uint8_t, const char*> names[] = {{0x00, "NUL"}, {0x09, "TAB"}, {0x0D, "CR"},
                                                     {0x1F, "US"},  {0x20, "20"},  {0x41, "41"},
                                                     {0x7F, "7F"},  {0xA0, "A0"},  {0xFF, "FF"}};
    for (const auto& [byte, name] : names) {
        EXPECT_EQ(hex[byte], name);
    }
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        EXPECT_EQ(ascii[byte], std::string(1, b < 0x20 ? '\x7F' : static_cast<char>(b))) << b;
    }
}

TEST(SymbolTables, ByteToPaneText) {
    SymbolTables tables;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        // The default ASCII symbols look exactly like no symbols.
        EXPECT_EQ(tables.asciiText(byte, true), tables.asciiText(byte, false)) << b;
        ASSERT_EQ(tables.hexText(byte, false).size(), 3u);
    }
    struct Case {
        uint8_t byte;
        const char* hexOff;
        const char* hexOn;
        const char* asciiOff;
    };
    const Case cases[] = {{0x0D, "0D ", "CR ", "\x7F"},
                          {0x05, "05 ", "ENQ ", "\x7F"},
                          {0x41, "41 ", "41 ", "A"},
                          {0x7F, "7F ", "7F ", "\x7F"},
                          {0xFF, "FF ", "FF ", "\xFF"}};
    for (const Case& c : cases) {
        EXPECT_EQ(tables.hexText(c.byte, false), c.hexOff);
        EXPECT_EQ(tables.hexText(c.byte, true), c.hexOn);
        EXPECT_EQ(tables.asciiText(c.byte, false), c.asciiOff);
    }
    // A long symbol is shown whole, every time its byte comes.
    tables.asciiSymbols[0x02] = "<STX>";
    tables.hexSymbols[0x02] = "start";
    std::string ascii;
    std::string hex;
    for (uint8_t b : {0x02, 0x41, 0x02}) {
        tables.appendAsciiText(ascii, b, true);
        tables.appendHexText(hex, b, true);
    }
    EXPECT_EQ(ascii, "<STX>A<STX>");
    EXPECT_EQ(hex, "start 41 start ");
    EXPECT_EQ(tables.asciiText(0x02, false), "\x7F");
}

TEST(SymbolTables, BlocksForTheDialog) {
    const SymbolBlock ascii0 = defaultSymbolBlock(0, true);
    const SymbolBlock hex0 = defaultSymbolBlock(0, false);
    for (int k = 0; k < 64; ++k) {
        const auto i = static_cast<size_t>(k);
        EXPECT_EQ(ascii0[i], std::string(1, k < 32 ? '\x7F' : static_cast<char>(k)));
        EXPECT_EQ(hex0[i], k < 32 ? std::string(ControlCharNames[i]) : defaultHexSymbol(i));
    }
    EXPECT_EQ(defaultSymbolBlock(192, false)[63], "FF");
    EXPECT_EQ(defaultSymbolBlock(128, true)[1], "\x81");

    SymbolBlock fields = defaultSymbolBlock(64, false);
    EXPECT_EQ(lastEmptyField(fields), std::nullopt);
    fields[5].clear();
    fields[17].clear();
    EXPECT_EQ(lastEmptyField(fields), 17);
    fields[17] = " ";  // blanks are text
    EXPECT_EQ(lastEmptyField(fields), 5);

    for (const auto& [given, start] : std::initializer_list<std::pair<int, int>>{
             {-5, 0}, {63, 0}, {64, 64}, {200, 192}, {999, 192}}) {
        EXPECT_EQ(symbolBlockStart(given), start) << given;
    }
    SymbolTables tables;
    fields = tables.block(192, true);
    fields[0] = "x";
    tables.storeBlock(192, true, fields);
    EXPECT_EQ(tables.asciiSymbols[192], "x");
    EXPECT_EQ(tables.asciiSymbols[255], "\xFF");
    EXPECT_EQ(tables.hexSymbols, SymbolSet::hexDefaults());
}

class SymbolFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        path_ = folder_.file("p.dat");
    }

    void writeLines(int count, const std::string& line) {
        std::ofstream out(path_, std::ios::binary);
        for (int i = 0; i < count; ++i) {
            out << line << "\r\n";
        }
    }

    bool load(SymbolTables& tables) {
        CFileNeu file(&prompt_);
        EXPECT_TRUE(file.Open(path_, CFileNeu::modeRead));
        return tables.LoadSymbols(file);
    }

    // Tables that differ from the defaults in every entry.
    static SymbolTables custom() {
        SymbolTables tables;
        for (int b = 0; b < 256; ++b) {
            tables.hexSymbols[static_cast<uint8_t>(b)] = "h" + std::to_string(b);
            tables.asciiSymbols[static_cast<uint8_t>(b)] = "a" + std::to_string(b);
        }
        return tables;
    }

    TempFolder folder_{"pv-symbols"};
    std::string path_;
    ScriptedPrompt prompt_;
};

TEST_F(SymbolFileTest, SavedTablesLoadBackUnchanged) {
    SymbolTables saved = custom();
    saved.asciiSymbols[0x0D] = "\t";  // CR and LF cannot be part of a line
    saved.asciiSymbols[0x7F] = "\x7F";
    saved.asciiSymbols[0xFF] = "\xFF\xFE";
    saved.hexSymbols[0x20] = "  ";
    {
        CFileNeu file(&prompt_);
        ASSERT_TRUE(file.Open(path_, CFileNeu::modeCreate | CFileNeu::modeWrite));
        ASSERT_TRUE(saved.SaveSymbols(file));
        // 512 lines, each the entry and CR LF.
        size_t expected = 0;
        for (int b = 0; b < 256; ++b) {
            expected += saved.hexSymbols[static_cast<uint8_t>(b)].size() +
                        saved.asciiSymbols[static_cast<uint8_t>(b)].size() + 4;
        }
        EXPECT_EQ(file.GetLength64(), static_cast<int64_t>(expected));
    }
    SymbolTables loaded;
    EXPECT_TRUE(load(loaded));
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(SymbolFileTest, EmptyEntriesGiveTheDefaults) {
    // A lone CR is no entry: saved again it would be an empty line.
    for (const char* line : {"", "\r"}) {
        writeLines(512, line);
        SymbolTables tables = custom();
        EXPECT_TRUE(load(tables));
        EXPECT_EQ(tables.hexSymbols, SymbolSet::hexDefaults());
        EXPECT_EQ(tables.asciiSymbols, SymbolSet::asciiDefaults());
    }
    writeLines(512, "a\rb");
    SymbolTables tables;
    EXPECT_TRUE(load(tables));
    EXPECT_EQ(tables.asciiSymbols[0x41], "ab");
}

TEST_F(SymbolFileTest, FileEndingEarlyKeepsTheUnreadEntries) {
    const SymbolTables before = custom();
    struct Case {
        int lines;
        int hexRead;
        int asciiRead;
    };
    for (const Case& c : {Case{300, 256, 44}, Case{256, 256, 0}, Case{10, 10, 0}, Case{0, 0, 0}}) {
        writeLines(c.lines, "new");
        SymbolTables tables = before;
        EXPECT_FALSE(load(tables)) << c.lines;
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<uint8_t>(b);
            EXPECT_EQ(tables.hexSymbols[byte], b < c.hexRead ? "new" : before.hexSymbols[byte]);
            EXPECT_EQ(tables.asciiSymbols[byte],
                      b < c.asciiRead ? "new" : before.asciiSymbols[byte]);
        }
    }
}

}  // namespace
