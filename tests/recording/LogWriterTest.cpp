#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "base/Version.h"
#include "datapath/SymbolTables.h"
#include "recording/FakeLogClock.h"
#include "recording/LogWriter.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"

using namespace pv;

namespace fs = std::filesystem;

namespace {

const std::string kCrLf = "\r\n";

std::string header(const std::string& identifier = {}) {
    std::string text = std::string("Logfile PortaVigilant Version ") + kVersion + kCrLf +
                       "More information can be found at : " + kProductWebPage + kCrLf;
    if (!identifier.empty()) {
        text += "Identifier : " + identifier + kCrLf;
    }
    return text + "created : 07.12.2026 09:19:02 by tester" + kCrLf +
           "Remember to use a non-proportional characterset to view correctly !" + kCrLf + kCrLf;
}

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) {
        text.push_back(static_cast<char>(v));
    }
    return text;
}

// Complex output with everything that adds to a header or a row switched off; cases switch on
// what they look at.
LogSettings plainComplex(int bytesPerRow) {
    LogSettings s;
    s.mode = LogMode::Complex;
    s.content = LogContent::Both;
    s.paragraph = false;
    s.portNames = false;
    s.timestamp = false;
    s.asciiSymbols = false;
    s.hexSymbols = false;
    s.bytesPerRow = bytesPerRow;
    return s;
}

// Every case runs with the file reopened per block and with the file held open: both must give
// the same file, complete after every block.
class LogWriterTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        clock_.setLocal(2026, 12, 7, 9, 19, 2, 45);
        writer_.setOwnerName("tester");
        writer_.setReopenPerBlock(GetParam());
    }
    void TearDown() override { writer_.Stop(); }

    std::string path() const { return folder_.file("test.log"); }
    std::string contents() const { return readWholeFile(path()); }
    void start(const LogSettings& settings, const std::string& identifier = {}) {
        writer_.ApplySettings(settings);
        ASSERT_TRUE(writer_.Start(path(), identifier));
    }
    void write(const std::string& data, bool fromA) {
        writer_.WriteBlock(reinterpret_cast<const uint8_t*>(data.data()),
                           static_cast<int>(data.size()), fromA);
    }

    TempFolder folder_{"pv-log"};
    FakeLogClock clock_;
    ScriptedPrompt prompt_;
    LogWriter writer_{&prompt_, clock_};
};

TEST_P(LogWriterTest, HeaderNamesTheIdentifierOnlyWhenThereIsOne) {
    start(LogSettings{});
    EXPECT_EQ(contents(), header());
    writer_.Stop();
    start(LogSettings{}, "Line 7 test rig");
    EXPECT_EQ(contents(), header("Line 7 test rig")) << "Start empties an existing file";
}

TEST_P(LogWriterTest, SingleHexGivesOneLinePerByteWithThePauseOnTheFirst) {
    LogSettings s;
    s.mode = LogMode::SingleHex;
    start(s);
    clock_.advance(250);
    write(bytes({0x0D, 0x41}), false);
    EXPECT_EQ(contents(), header() + "0D\tB\t250\r\n41\tB\t0\r\n");
    clock_.advance(7);
    write(bytes({0x0F, 0x10, 0xFF}), true);
    EXPECT_EQ(contents(),
              header() + "0D\tB\t250\r\n41\tB\t0\r\n" + "0F\tA\t7\r\n10\tA\t0\r\nFF\tA\t0\r\n");
}

TEST_P(LogWriterTest, PlainAsciiAppendsTheBytesUnchanged) {
    LogSettings s;
    s.mode = LogMode::PlainAscii;
    start(s);
    const std::string data = bytes({'A', 0x00, 0x0D, 0x0A, 0xFF, ' '});
    write(data, true);
    write("xy", false);
    EXPECT_EQ(contents(), header() + data + "xy");
}

TEST_P(LogWriterTest, ComplexRowKeepsBytesInTheAsciiAreaAndHexFromColumnBytesPerRowPlusTen) {
    LogSettings s = plainComplex(4);
    s.timestamp = true;
    s.milliseconds = true;
    s.portNames = true;
    s.usePortNumber = false;
    s.nameA = "Modem";
    start(s);
    write(bytes({0x41, 0x54, 0x0D}), true);
    const std::string headerLine = "07.12.2026 09:19:02:045     Comport A ('Modem')\r\n";
    EXPECT_EQ(contents(), header() + headerLine) << "the row waits until it is full or flushed";
    writer_.Stop();
    EXPECT_EQ(contents(), header() + headerLine + "AT\r" + std::string(11, ' ') + "41 54 0D\r\n");
}

TEST_P(LogWriterTest, FullRowsAreWrittenAtOnceAndThePendingOneByStop) {
    start(plainComplex(16));
    std::string block;
    for (int i = 0; i < 40; ++i) {
        block.push_back(static_cast<char>('a' + i % 26));
    }
    write(block, true);
    const auto row = [&](int from, int n) {
        std::string text = block.substr(static_cast<size_t>(from), static_cast<size_t>(n));
        text.resize(26, ' ');
        for (int i = 0; i < n; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(block[from + i]));
            text += hex;
        }
        text.pop_back();
        return text + kCrLf;
    };
    const std::string twoRows = header() + kCrLf + row(0, 16) + row(16, 16);
    EXPECT_EQ(contents(), twoRows);
    EXPECT_EQ(writer_.bytesInRow(), 8);
    writer_.Stop();
    EXPECT_EQ(contents(), twoRows + row(32, 8));
    EXPECT_FALSE(writer_.active());
}

TEST_P(LogWriterTest, ParagraphRules) {
    struct Case {
        const char* name;
        bool paragraph;
        bool timeoutParagraph;
        uint32_t pause;
        bool secondFromA;
        bool newParagraph;
    };
    const Case cases[] = {
        {"without paragraphs the other side continues the row", false, false, 5000, false, false},
        {"paragraphs start with the other side", true, false, 0, false, true},
        {"the same side continues its row", true, false, 0, true, false},
        {"a pause of exactly the time-out continues", false, true, 100, true, false},
        {"a longer pause starts a paragraph", false, true, 101, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogSettings s = plainComplex(8);
        s.paragraph = c.paragraph;
        s.timeoutParagraph = c.timeoutParagraph;
        s.timeout = 100;
        s.content = LogContent::AsciiOnly;
        start(s);
        write("ab", true);
        clock_.advance(c.pause);
        write("cd", c.secondFromA);
        writer_.Stop();
        const std::string expected =
            c.newParagraph ? kCrLf + "ab" + kCrLf + kCrLf + "cd" + kCrLf : kCrLf + "abcd" + kCrLf;
        EXPECT_EQ(contents(), header() + expected);
    }
}

TEST_P(LogWriterTest, HeaderTextForms) {
    struct Case {
        const char* name;
        bool timestamp;
        bool milliseconds;
        int ms;
        bool portNames;
        bool usePortNumber;
        std::string userName;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing chosen gives an empty line", false, false, 0, false, true, "", ""},
        {"milliseconds get three digits", true, true, 7, false, true, "",
         "07.12.2026 09:19:02:007"},
        {"two-digit milliseconds", true, true, 45, false, true, "", "07.12.2026 09:19:02:045"},
        {"no milliseconds", true, false, 999, false, true, "", "07.12.2026 09:19:02"},
        {"the connection name", false, false, 0, true, true, "Modem", "Comport A ('COM1:')"},
        {"an empty user name has no brackets", false, false, 0, true, false, "", "Comport A"},
        {"stamp and name", true, false, 0, true, false, "PLC",
         "07.12.2026 09:19:02     Comport A ('PLC')"},
    };
    writer_.SetConnectionNameA("COM1:");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogSettings s = plainComplex(16);
        s.timestamp = c.timestamp;
        s.milliseconds = c.milliseconds;
        s.portNames = c.portNames;
        s.usePortNumber = c.usePortNumber;
        s.nameA = c.userName;
        s.content = LogContent::AsciiOnly;
        clock_.now.milliseconds = c.ms;
        start(s);
        write("x", true);
        writer_.Stop();
        EXPECT_EQ(contents(), header() + c.expected + kCrLf + "x" + kCrLf);
    }
}

TEST_P(LogWriterTest, SingleLinePutsTheHeaderBeforeEveryRowOfItsParagraph) {
    LogSettings s = plainComplex(2);
    s.singleLine = true;
    s.portNames = true;
    s.paragraph = true;
    s.content = LogContent::HexOnly;
    writer_.SetConnectionNameB("VirtualCOM3:");
    start(s);
    write("abc", false);
    write("d", true);
    writer_.Stop();
    EXPECT_EQ(contents(), header() + "Comport B ('VirtualCOM3:') 61 62\r\n" +
                              "Comport B ('VirtualCOM3:') 63\r\n" + "Comport A 64\r\n");
}

TEST_P(LogWriterTest, DisabledLogWritesNothingButTheHeader) {
    LogSettings s;
    s.enabled = false;
    for (LogMode mode : {LogMode::SingleHex, LogMode::PlainAscii, LogMode::Complex}) {
        s.mode = mode;
        start(s);
        write("data", true);
        writer_.Stop();
        EXPECT_EQ(contents(), header());
    }
}

TEST_P(LogWriterTest, SymbolsFillTheRowAndWideRowsAreWrittenWhole) {
    SymbolTables tables;
    tables.hexSymbols[0x41] = "LETTER-A";
    LogSettings s = plainComplex(48);
    s.asciiSymbols = true;
    s.hexSymbols = true;
    s.symbols = &tables;
    start(s);
    std::string block(47, 'B');
    block += 'A';
    write(block, true);
    // ASCII symbols from column 0, hex symbols from 3 * 48 + 10 = 154, each followed by a blank.
    std::string row = std::string(47, 'B') + "A";
    row.resize(154, ' ');
    for (int i = 0; i < 47; ++i) {
        row += "42 ";
    }
    row += "LETTER-A";
    EXPECT_EQ(contents(), header() + kCrLf + row + kCrLf);
    EXPECT_GT(row.size(), 255u);
}

TEST_P(LogWriterTest, ControlBytesUseTheirSymbolsAndZeroDoesNotCutTheRow) {
    LogSettings s = plainComplex(8);
    s.hexSymbols = true;
    start(s);
    write(bytes({'a', ' ', 0x00, ' ', 'b', ' ', ' '}), true);
    writer_.Stop();
    std::string row = bytes({'a', ' ', 0x00, ' ', 'b'});
    row.resize(18, ' ');
    row += "61 20 NUL 20 62 20 20";
    EXPECT_EQ(contents(), header() + kCrLf + row + kCrLf);
}

TEST_P(LogWriterTest, NothingIsWrittenWhileInactiveAndAFailedStartLeavesLoggingOff) {
    write("lost", true);
    EXPECT_FALSE(fs::exists(path()));
    writer_.ApplySettings(LogSettings{});
    EXPECT_FALSE(writer_.Start(folder_.file("missing/x.log"), ""));
    EXPECT_FALSE(writer_.active());
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_NE(prompt_.messages[0].find("x.log"), std::string::npos);
}

TEST_P(LogWriterTest, NewSettingsKeepThePendingRow) {
    start(plainComplex(4));
    write("ab", true);
    LogSettings s = plainComplex(4);
    s.content = LogContent::AsciiOnly;
    writer_.ApplySettings(s);
    write("cd", true);
    writer_.Stop();
    EXPECT_EQ(contents(), header() + kCrLf + "abcd" + std::string(10, ' ') + "61 62" + kCrLf);
}

TEST_P(LogWriterTest, LongAsciiSymbolsMoveTheHexAreaBehindThem) {
    // Up to three characters per symbol the hex area starts at 3 * 4 + 10.
    const std::pair<std::string, size_t> cases[] = {{"", 22}, {"<A>", 22}, {"<LONG>", 34}};
    for (const auto& [symbol, hexColumn] : cases) {
        SymbolTables tables;
        tables.asciiSymbols['A'] = symbol;
        LogSettings s = plainComplex(4);
        s.asciiSymbols = true;
        s.symbols = &tables;
        start(s);
        write("AAAA", true);
        std::string row = symbol + symbol + symbol + symbol;
        row.resize(hexColumn, ' ');
        row += "41 41 41 41";
        EXPECT_EQ(contents(), header() + kCrLf + row + kCrLf) << symbol;
        writer_.Stop();
    }
}

TEST_P(LogWriterTest, AWriteThatFailsLeavesTheFileEndingWithAWholeLine) {
    LogSettings s;
    s.mode = LogMode::SingleHex;
    start(s);
    write("A", true);
    const std::string before = contents();
    {
        const FileSizeLimit full(before.size() + 100);
        EXPECT_FALSE(writer_.WriteBlock(
            reinterpret_cast<const uint8_t*>(std::string(50, 'x').data()), 50, true));
    }
    EXPECT_EQ(contents(), before) << "the 11 lines that fitted and the piece of the 12th are gone";
    EXPECT_NE(writer_.failureText().find("Speichermedium voll"), std::string::npos);
    // With room again the next block follows without a gap.
    write("B", true);
    EXPECT_EQ(contents(), before + "42\tA\t0\r\n");
    writer_.Stop();

    // The pending row that Stop writes is whole or not there.
    start(plainComplex(8));
    write("abc", true);
    const std::string withHeader = contents();
    {
        const FileSizeLimit full(withHeader.size() + 5);
        writer_.Stop();
    }
    EXPECT_EQ(contents(), withHeader);
}

TEST_P(LogWriterTest, ALogRenamedOrDeletedWhileLoggingIsReopenedUnderItsName) {
    LogSettings plain;
    plain.mode = LogMode::PlainAscii;
    start(plain);
    const auto moved = [this](int n) { return folder_.file("test.log." + std::to_string(n)); };
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Unchanged);
    write("A", true);
    fs::rename(path(), moved(1));
    write("B", true);  // before the rotation is noticed
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Reopened);
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Unchanged);
    write("C", true);
    fs::rename(path(), moved(2));
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Reopened);
    write("D", true);
    // No byte is missing from the files together, and a new file starts with its own header;
    // a file opened per block takes what came before the rotation was noticed.
    EXPECT_EQ(readWholeFile(moved(1)), header() + (GetParam() ? "A" : "AB"));
    EXPECT_EQ(readWholeFile(moved(2)), GetParam() ? "BC" : header() + "C");
    EXPECT_EQ(contents(), header() + "D");

    // Cut short in place (copytruncate): no hole of zeros in front of the next bytes.
    fs::resize_file(path(), 0);
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Unchanged);
    write("E", true);
    EXPECT_EQ(contents(), "E");

    // The row in progress ends a moved file that is held open; one reopened per block has
    // no hold on the moved file, and the row goes on in the new one.
    writer_.Stop();
    start(plainComplex(8));
    write("ab", true);
    fs::rename(path(), moved(3));
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Reopened);
    write("c", true);
    writer_.Stop();
    const auto row = [](const std::string& ascii, const std::string& hex) {
        return ascii + std::string(18 - ascii.size(), ' ') + hex + kCrLf;
    };
    if (GetParam()) {
        EXPECT_EQ(readWholeFile(moved(3)), header() + kCrLf);
        EXPECT_EQ(contents(), header() + row("abc", "61 62 63"));
    } else {
        EXPECT_EQ(readWholeFile(moved(3)), header() + kCrLf + row("ab", "61 62"));
        EXPECT_EQ(contents(), header() + kCrLf + row("c", "63"));
    }

    // Deleted: a new file of the name.
    start(plainComplex(8));
    fs::remove(path());
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Reopened);
    EXPECT_EQ(contents(), header());

    fs::remove_all(folder_.path());
    EXPECT_EQ(writer_.ReopenIfMoved(), LogFileCheck::Failed);
    EXPECT_NE(writer_.failureText().find("test.log"), std::string::npos);
    EXPECT_TRUE(prompt_.messages.empty()) << "the data path is never stopped by a box";
}

// A asks at 250 ms, B answers 12.4 ms later with five bytes, then B adds one more a second
// later: every form with every time column.
TEST_P(LogWriterTest, TimeColumnsInEachForm) {
    const std::string none(RowClock::kResponseWidth + 1, ' ');
    const std::string answer = "+12.4 ms   ";
    const auto complex = [](const std::string& p1, const std::string& p2, const std::string& p3) {
        return "Comport A\r\n" + p1 + "AT            41 54\r\n" + "Comport B\r\n" + p2 +
               "OK!!          4F 4B 21 21\r\n" + p3 + "!?            21 3F\r\n";
    };
    const auto singleHex = [](const std::string& a, const std::string& b1, const std::string& b,
                              const std::string& later) {
        return "41\tA\t250" + a + "\r\n54\tA\t0" + a + "\r\n4F\tB\t12" + b1 + "\r\n4B\tB\t0" + b +
               "\r\n21\tB\t0" + b + "\r\n21\tB\t0" + b + "\r\n21\tB\t0" + b + "\r\n3F\tB\t1000" +
               later + "\r\n";
    };
    struct Case {
        LogMode mode;
        TimeColumn column;
        std::string expected;
    };
    const Case cases[] = {
        {LogMode::SingleHex, TimeColumn::Off, singleHex("", "", "", "")},
        {LogMode::SingleHex, TimeColumn::Clock,
         singleHex("\t09:19:02.295", "\t09:19:02.307\t+12.4 ms", "\t09:19:02.307",
                   "\t09:19:03.307")},
        {LogMode::SingleHex, TimeColumn::SinceStart,
         singleHex("\t0.000", "\t0.012\t+12.4 ms", "\t0.012", "\t1.012")},
        {LogMode::SingleHex, TimeColumn::SincePrevious,
         singleHex("\t+0.000", "\t+0.012\t+12.4 ms", "\t+0.000", "\t+1.000")},
        {LogMode::PlainAscii, TimeColumn::Off, "ATOK!!!?"},
        {LogMode::PlainAscii, TimeColumn::Clock, "ATOK!!!?"},
        {LogMode::PlainAscii, TimeColumn::SinceStart, "ATOK!!!?"},
        {LogMode::PlainAscii, TimeColumn::SincePrevious, "ATOK!!!?"},
        {LogMode::Complex, TimeColumn::Off, complex("", "", "")},
        // A row carries the time of its first byte: the third row began with the answer.
        {LogMode::Complex, TimeColumn::Clock,
         complex("09:19:02.295 " + none, "09:19:02.307 " + answer, "09:19:02.307 " + none)},
        {LogMode::Complex, TimeColumn::SinceStart,
         complex("       0.000 " + none, "       0.012 " + answer, "       0.012 " + none)},
        {LogMode::Complex, TimeColumn::SincePrevious,
         complex("+      0.000 " + none, "+      0.012 " + answer, "+      0.000 " + none)},
    };
    const auto at = [this](int ms, int us) {
        clock_.tick = 1000 + static_cast<uint32_t>(ms);
        clock_.extraUs = us;
        clock_.setLocal(2026, 12, 7, 9, 19, 2 + (45 + ms) / 1000, (45 + ms) % 1000);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << ", column "
                                        << static_cast<int>(c.column));
        LogSettings s = plainComplex(4);
        s.mode = c.mode;
        s.paragraph = true;
        s.portNames = true;
        s.usePortNumber = false;
        s.timeColumn = c.column;
        at(0, 0);
        start(s);
        at(250, 0);
        write("AT", true);
        at(262, 400);
        write("OK!!!", false);
        at(1262, 400);
        write("?", false);
        writer_.Stop();
        // The header's "created" line was stamped at the start.
        EXPECT_EQ(contents(), header() + c.expected);
    }
}

TEST_P(LogWriterTest, WithTimeColumnsAnAnswerStartsItsOwnRowAfterTheStamp) {
    LogSettings s = plainComplex(8);
    s.content = LogContent::AsciiOnly;
    s.singleLine = true;
    s.portNames = true;
    s.usePortNumber = false;
    for (const TimeColumn column : {TimeColumn::Off, TimeColumn::SinceStart}) {
        s.timeColumn = column;
        clock_.tick = 1000;
        start(s);
        write("ab", true);
        clock_.advance(5);
        write("cd", false);
        writer_.Stop();
        EXPECT_EQ(contents(),
                  header() + (column == TimeColumn::Off
                                  ? "Comport A abcd\r\n"
                                  : "       0.000" + std::string(12, ' ') + "Comport A ab\r\n" +
                                        "       0.005 +5.0 ms    Comport B cd\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(FileStrategies, LogWriterTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Reopen" : "HeldOpen"; });

TEST(LogSettingsChecks, BytesPerRowAndTimeoutRanges) {
    const std::string rowMessage = "'Bytes per Row' is limited to 1..48 !";
    const std::string timeMessage = "'TimeOut Paragraph' is limited to 1..5000 ms !";
    struct Case {
        const char* bytesPerRow;
        const char* timeout;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"16", "100", {}},
        {"1", "1", {}},
        {"48", "5000", {}},
        {" 12xyz", "+20", {}},
        {"0", "100", {rowMessage}},
        {"49", "100", {rowMessage}},
        {"abc", "100", {rowMessage}},
        {"16", "5001", {timeMessage}},
        {"16", "", {timeMessage}},
        {"99999999999", "-1", {rowMessage, timeMessage}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(logSettingsProblems(c.bytesPerRow, c.timeout), c.messages)
            << c.bytesPerRow << " / " << c.timeout;
    }
}

TEST(LogSettingsChecks, DefaultFileNameCarriesDateAndTime) {
    FakeLogClock clock;
    clock.setLocal(2026, 3, 4, 5, 6, 7, 8);
    TimeStampMs now;
    now.Refresh(clock);
    EXPECT_EQ(defaultLogFileName(now), "PortaVigilant_260304_0506.log");
}

}  // namespace
