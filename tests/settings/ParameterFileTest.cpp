#include "settings/ParameterFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "datapath/DisplayFormatter.h"
#include "manipulation/ExchangeSettings.h"
#include "manipulation/Trigger.h"
#include "ports/NetworkSettings.h"
#include "ports/PortSettings.h"
#include "recording/LogSettings.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"
#include "terminal/TerminalSettings.h"

using namespace pv;

namespace {

// Every record the file holds, with a parameter file bound to them.
struct Records {
    PortSettings a;
    PortSettings b;
    ExchangeSettings exchange;
    LogSettings log;
    NetworkSettings network;
    Trigger trigger;
    TerminalSettings terminal;
    DisplayFormatter display;
    bool echoA = false;
    bool echoB = false;
    std::string identifier;
    bool checkForUpdate = true;
    ScriptedPrompt prompt;
    ParameterFile file{{a, b, exchange, log, network, trigger, terminal, display, echoA, echoB,
                        identifier, checkForUpdate},
                       &prompt};
};

// Every record of got equals its counterpart in want.
void expectSameRecords(const Records& got, const Records& want) {
    EXPECT_EQ(got.a, want.a);
    EXPECT_EQ(got.b, want.b);
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        EXPECT_EQ(got.exchange.set(k), want.exchange.set(k)) << "eXchange set " << k;
    }
    EXPECT_EQ(got.exchange.holdTimeoutMs, want.exchange.holdTimeoutMs);
    EXPECT_EQ(got.log, want.log);
    EXPECT_EQ(got.network, want.network);
    EXPECT_EQ(got.trigger.settings(), want.trigger.settings());
    EXPECT_EQ(got.terminal, want.terminal);
    EXPECT_EQ(got.display.symbols(), want.display.symbols());
    EXPECT_EQ(got.display.bytesPerRow(), want.display.bytesPerRow());
    EXPECT_EQ(got.display.useAsciiSymbols, want.display.useAsciiSymbols);
    EXPECT_EQ(got.display.useHexSymbols, want.display.useHexSymbols);
    EXPECT_EQ(got.display.rowClock().options(), want.display.rowClock().options());
    EXPECT_EQ(got.echoA, want.echoA);
    EXPECT_EQ(got.echoB, want.echoB);
    EXPECT_EQ(got.identifier, want.identifier);
    EXPECT_EQ(got.checkForUpdate, want.checkForUpdate);
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// A file as a person would write it from the documented layout, every item away from its
// default. Index i holds line i + 1.
std::vector<std::string> handWrittenFile() {
    std::vector<std::string> l = {"Datafile PortaVigilant V6.01", "made by hand", "", "",
                                  "created : 01.01.2026 00:00:00 by someone"};
    auto add = [&l](std::initializer_list<std::string> lines) { l.insert(l.end(), lines); };
    add({"7", "1", "0", "1", "19200"});                               // 6-10 side A
    add({"9", "2", "0", "1", "57600"});                               // 11-15 side B
    add({"1", "0", "1", "0", "0", "3", "abc", "2", "xy"});            // 16-24 eXchange set 1, ASCII
    add({"1", "0", "0", "0", "0", "2", "41 42 ", "1", "0D "});        // 25-33 set 2, Hex
    add({"0", "1", "1", "1", "1", "1", "z", "1", "q"});               // 34-42 set 3
    add({"0", "1", "2", "0", "0", "0", "0", "0", "32", "1", "250"});  // 43-53 logging
    add({"0", "lab-pc", "4711"});                                     // 54-56 TCP link
    add({"0", "1", "0", "1"});                                        // 57-60 kinds of side
    add({"1", "1", "3", "ABC", "5", "0"});                            // 61-66 trigger
    add({"1", "1", "2", "/f1", "/f2", "/f3", "/f4", "/f5"});          // 67-74 terminal
    add({"1", "1", "1", "1", "1", "1"});                              // 75-80 DTR, RTS, Auto
    for (int b = 0; b < 256; ++b) {
        l.push_back("h" + std::to_string(b));  // 81-336
    }
    for (int b = 0; b < 256; ++b) {
        l.push_back("a" + std::to_string(b));  // 337-592
    }
    add({"1", "1", "1", "1", "Bench 7", "1"});  // 593-598
    for (int k = 2; k <= 10; ++k) {
        l.push_back("key F" + std::to_string(k));  // 599-607
    }
    add({"1", "24", "1", "1"});                                        // 608-611
    add({"1", "0", "1", "0", "250"});                                  // 612-616 trigger output
    add({"1", "0", "1", "0", "1", "0", "1", "0", "1"});                // 617-625 function key Enter
    add({"0", "North", "South", "0", "0", "0", "1", "20", "4", "1"});  // 626-635
    return l;
}

class ParameterFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        r.file.setPath(folder.file("p.dat"));
    }
    void write(const std::vector<std::string>& lines) {
        writeWholeFile(r.file.path(), joinLines(lines));
    }
    std::vector<std::string> saved() { return splitLines(readWholeFile(r.file.path())); }

    TempFolder folder;
    Records r;
};

TEST_F(ParameterFileTest, TheTableCoversLines6To635InOrderAndThenThisProgramsLines) {
    int expected = ParameterFile::kHeaderLines + 1;
    bool classicEnd = false;
    for (const ParameterItem& item : r.file.items()) {
        EXPECT_EQ(item.firstLine, expected) << item.name;
        expected += item.lineCount;
        classicEnd = classicEnd || expected == ParameterFile::kClassicLines + 1;
    }
    EXPECT_TRUE(classicEnd) << "an item ends exactly at line 635";
    EXPECT_GT(expected, ParameterFile::kClassicLines + 1) << "device paths follow line 635";
}

TEST_F(ParameterFileTest, EverySingleLineItemComesBackAfterSaveAndLoad) {
    // Each item is moved away from its default, saved, reset and read again.
    std::vector<std::string> expected;
    int n = 0;
    for (const ParameterItem& item : r.file.items()) {
        ++n;
        switch (item.kind) {
            case ParameterItem::Kind::Integer: {
                const int32_t v = item.defaultInt != item.max ? item.max : item.min;
                item.setInt(v);
                expected.push_back(std::to_string(item.getInt()));
                break;
            }
            case ParameterItem::Kind::Flag:
                *item.flag = !item.defaultFlag;
                expected.push_back(*item.flag ? "1" : "0");
                break;
            case ParameterItem::Kind::Text:
            case ParameterItem::Kind::RequiredText:
                *item.text = "t" + std::to_string(n);
                expected.push_back(*item.text);
                break;
            case ParameterItem::Kind::Block:
                expected.push_back({});
                break;
        }
    }
    ASSERT_TRUE(r.file.Save());
    r.file.SetDefaults();
    ASSERT_TRUE(r.file.Load());
    size_t i = 0;
    for (const ParameterItem& item : r.file.items()) {
        const std::string& want = expected[i++];
        switch (item.kind) {
            case ParameterItem::Kind::Integer:
                EXPECT_EQ(std::to_string(item.getInt()), want) << item.name;
                break;
            case ParameterItem::Kind::Flag:
                EXPECT_EQ(*item.flag ? "1" : "0", want) << item.name;
                break;
            case ParameterItem::Kind::Text:
            case ParameterItem::Kind::RequiredText:
                EXPECT_EQ(*item.text, want) << item.name;
                break;
            case ParameterItem::Kind::Block:
                break;
        }
    }
    EXPECT_EQ(r.file.lastLineRead(), static_cast<int>(saved().size()) + 1);
}

TEST_F(ParameterFileTest, AHandWrittenFileLoadsToItsValuesAndIsWrittenBackLineForLine) {
    const std::vector<std::string> hand = handWrittenFile();
    ASSERT_EQ(hand.size(), 635u);
    write(hand);
    ASSERT_TRUE(r.file.Load()) << "a file that ends at line 635 is complete";

    EXPECT_EQ(r.a.portNumber, 7);
    EXPECT_EQ(r.a.parity, 1);
    EXPECT_EQ(r.a.dataBits, 0);
    EXPECT_EQ(r.a.stopBits, 1);
    EXPECT_EQ(r.a.baud, 19200);
    EXPECT_EQ(r.b.portNumber, 9);
    EXPECT_EQ(r.b.baud, 57600);
    const ExchangeSet& s1 = r.exchange.set(1);
    EXPECT_TRUE(s1.active);
    EXPECT_EQ(std::string(s1.searchBytes().begin(), s1.searchBytes().end()), "abc");
    EXPECT_EQ(std::string(s1.replaceBytes().begin(), s1.replaceBytes().end()), "xy");
    const ExchangeSet& s2 = r.exchange.set(2);
    EXPECT_EQ(std::string(s2.searchBytes().begin(), s2.searchBytes().end()), "AB");
    EXPECT_EQ(std::string(s2.replaceBytes().begin(), s2.replaceBytes().end()), "\r");
    EXPECT_TRUE(r.exchange.set(3).wildcard);
    EXPECT_FALSE(r.log.enabled);
    EXPECT_EQ(r.log.mode, LogMode::PlainAscii);
    EXPECT_EQ(r.log.content, LogContent::HexOnly);
    EXPECT_EQ(r.log.bytesPerRow, 32);
    EXPECT_TRUE(r.log.timeoutParagraph);
    EXPECT_EQ(r.log.timeout, 250);
    EXPECT_FALSE(r.network.isServer);
    EXPECT_EQ(r.network.serverAddress, "lab-pc");
    EXPECT_EQ(r.network.port, 4711);
    EXPECT_TRUE(r.a.network && r.b.network && !r.a.serial && !r.b.serial);
    EXPECT_TRUE(r.trigger.settings().active);
    EXPECT_EQ(r.trigger.settings().patternText(), "ABC");
    EXPECT_EQ(r.trigger.settings().postscaler, 5);
    EXPECT_FALSE(r.trigger.settings().autoDeactivate);
    EXPECT_TRUE(r.terminal.termEcho && r.terminal.hexInput);
    EXPECT_EQ(r.terminal.enterMode, 2);
    EXPECT_EQ(r.terminal.filePaths[4], "/f5");
    EXPECT_TRUE(r.a.dtr && r.a.rts && r.a.autoHandshake && r.b.dtr && r.b.rts && r.b.autoHandshake);
    EXPECT_EQ(r.display.symbols().hexSymbols[0x41], "h65");
    EXPECT_EQ(r.display.symbols().asciiSymbols[0xFF], "a255");
    EXPECT_TRUE(r.display.useAsciiSymbols && r.display.useHexSymbols && r.echoA && r.echoB);
    EXPECT_EQ(r.identifier, "Bench 7");
    EXPECT_TRUE(r.log.singleLine);
    EXPECT_EQ(r.terminal.fkeyTexts[8], "key F10");
    EXPECT_TRUE(r.terminal.fkeyHex);
    EXPECT_EQ(r.display.bytesPerRow(), 24);
    EXPECT_TRUE(r.a.isVirtual && r.b.isVirtual);
    EXPECT_TRUE(r.trigger.settings().outputActive);
    EXPECT_FALSE(r.trigger.settings().lineDtr);
    EXPECT_EQ(r.trigger.settings().durationMs, 250);
    EXPECT_TRUE(r.terminal.fkeyEnter[0] && !r.terminal.fkeyEnter[1]);
    EXPECT_FALSE(r.log.usePortNumber);
    EXPECT_EQ(r.log.nameA, "North");
    EXPECT_EQ(r.log.nameB, "South");
    EXPECT_FALSE(r.log.logA || r.log.logB || r.checkForUpdate);
    EXPECT_TRUE(r.terminal.delayOn);
    EXPECT_EQ(r.terminal.delayMsText, "20");
    EXPECT_EQ(r.terminal.delayBytesText, "4");
    EXPECT_TRUE(r.log.milliseconds);

    // Written back, lines 6 to 635 are the hand-written ones; this program's lines follow.
    ASSERT_TRUE(r.file.Save());
    const std::vector<std::string> out = saved();
    ASSERT_GT(out.size(), 635u);
    EXPECT_EQ(out[0], "Datafile PortaVigilant V6.01");
    EXPECT_EQ(out[4].rfind("created : ", 0), 0u);
    for (size_t i = 5; i < 635; ++i) {
        EXPECT_EQ(out[i], hand[i]) << "line " << i + 1;
    }

    // Read again, that file gives back every record.
    Records again;
    again.file.setPath(r.file.path());
    ASSERT_TRUE(again.file.Load());
    expectSameRecords(again, r);
}

TEST_F(ParameterFileTest, HeaderCaseIsIgnoredButOtherVersionsAreRefused) {
    std::vector<std::string> lines = handWrittenFile();
    lines[0] = "DATAFILE PORTAVIGILANT V6.01";
    write(lines);
    EXPECT_TRUE(r.file.Load());
    EXPECT_EQ(r.a.portNumber, 7);

    lines[0] = "Datafile PortaVigilant V6.00";
    write(lines);
    EXPECT_FALSE(r.file.Load());
    EXPECT_EQ(r.a.portNumber, 1) << "nothing is read from a file of another version";
    EXPECT_EQ(r.b.portNumber, 2);

    r.file.setPath(folder.file("missing.dat"));
    EXPECT_FALSE(r.file.Load());
    EXPECT_TRUE(r.prompt.messages.empty()) << "a missing file is no news";
}

TEST_F(ParameterFileTest, ValuesOutsideTheirRangeAreReplacedSilently) {
    std::vector<std::string> lines = handWrittenFile();
    lines[9] = "200000";  // baud A
    lines[50] = "0";      // log bytes per row
    lines[8] = "5";       // stop bits A: the replacement is two, not the default
    lines[55] = "70000";  // TCP port
    lines[608] = "500";   // display bytes per row
    write(lines);
    ASSERT_TRUE(r.file.Load());
    EXPECT_EQ(r.a.baud, 9600);
    EXPECT_EQ(r.log.bytesPerRow, 16);
    EXPECT_EQ(r.a.stopBits, 1);
    EXPECT_EQ(r.network.port, 4000);
    EXPECT_EQ(r.display.bytesPerRow(), 16);
    EXPECT_TRUE(r.prompt.messages.empty());
}

TEST_F(ParameterFileTest, ADamagedFileKeepsWhatCameBeforeTheDamage) {
    std::vector<std::string> lines = handWrittenFile();
    r.display.setBytesPerRow(40);
    write({lines.begin(), lines.begin() + 100});
    EXPECT_FALSE(r.file.Load());
    EXPECT_EQ(r.file.lastLineRead(), 81) << "the symbol block starting at line 81 is incomplete";
    EXPECT_EQ(r.a.baud, 19200);
    EXPECT_TRUE(r.b.rts) << "line 79 was read";
    EXPECT_EQ(r.display.symbols().hexSymbols[19], "h19") << "symbols are taken one by one";
    EXPECT_NE(r.display.symbols().hexSymbols[20], "h20");
    EXPECT_EQ(r.identifier, "");
    EXPECT_EQ(r.display.bytesPerRow(), 16);

    for (const char* empty : {"", "\r"}) {  // the server address must not be empty
        lines[54] = empty;
        write(lines);
        EXPECT_FALSE(r.file.Load());
        EXPECT_EQ(r.file.lastLineRead(), 55);
    }
    EXPECT_EQ(r.log.timeout, 250) << "line 53 was read";
    EXPECT_EQ(r.network.serverAddress, "localhost");
    EXPECT_TRUE(r.a.serial) << "line 57 keeps its default";

    lines = handWrittenFile();
    lines[42] = "yes";  // a flag must read 0 or 1
    write(lines);
    EXPECT_FALSE(r.file.Load());
    EXPECT_EQ(r.file.lastLineRead(), 43);
}

TEST_F(ParameterFileTest, TextsCannotBreakTheLineStructure) {
    r.terminal.fkeyTexts[0] = "AT\r\nZ";
    r.identifier = "two\nlines";
    r.display.symbols().asciiSymbols[0x41] = "";  // an empty symbol reads back as its default
    ASSERT_TRUE(r.file.Save());
    EXPECT_EQ(r.terminal.fkeyTexts[0], "ATZ") << "the key text loses its line ends in memory too";
    const std::vector<std::string> out = saved();
    EXPECT_EQ(out[598], "ATZ");
    EXPECT_EQ(out[596], "twolines");
    ASSERT_TRUE(r.file.Load());
    EXPECT_EQ(r.display.symbols().asciiSymbols[0x41], "A");
    EXPECT_EQ(r.terminal.fkeyTexts[0], "ATZ");
}

// Puts br into every text record; with br empty, what loading the result must give.
void fillTexts(Records& w, const std::string& br) {
    for (int k = 1; k <= 3; ++k) {
        ExchangeSet set;
        set.asciiInput = true;
        const std::string search = "s" + br + std::to_string(k);
        const std::string replace = br + "r";
        set.setSearch({reinterpret_cast<const uint8_t*>(search.data()), search.size()});
        set.setReplace({reinterpret_cast<const uint8_t*>(replace.data()), replace.size()});
        w.exchange.storeSet(k, set);
    }
    TriggerSettings trigger;
    trigger.asciiInput = true;
    trigger.setPatternText("T" + br + "P");
    w.trigger.Define(trigger);
    w.display.symbols().hexSymbols[0x10] = "H" + br;
    w.display.symbols().asciiSymbols[0x41] = br + "A";
    // Nothing left: the default comes back.
    w.display.symbols().asciiSymbols[0x42] = br.empty() ? "B" : br;
    w.terminal.filePaths[0] = "/tmp/a" + br + "b";
    w.terminal.fkeyTexts[1] = "AT" + br;
    w.terminal.delayMsText = "2" + br + "0";
    w.terminal.delayBytesText = br + "4";
    w.identifier = "id" + br + "x";
    w.network.serverAddress = "host" + br + "name";
    w.network.listenAddress = "::1" + br;
    w.log.nameA = "North" + br;
    w.log.nameB = br + "South";
    w.a.devicePath = "/dev/tty" + br + "S0";
    w.file.setOwnerName("me" + br + "you");
    // The last lines, which would have moved out of reach.
    w.log.milliseconds = true;
    w.exchange.holdTimeoutMs = 80;
}

// A pasted line break in any text would split its line and move every later line down.
TEST_F(ParameterFileTest, LineBreaksInTextsNeverMoveALine) {
    Records clean;
    fillTexts(clean, "");
    for (const std::string br : {"\r", "\n", "\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(br));
        Records w;
        w.file.setPath(r.file.path());
        fillTexts(w, br);
        ASSERT_TRUE(w.file.Save());

        const std::string raw = readWholeFile(w.file.path());
        const std::vector<std::string> out = splitLines(raw);
        EXPECT_EQ(joinLines(out), raw) << "every CR and LF is part of a line end";
        const ParameterItem& last = w.file.items().back();
        ASSERT_EQ(static_cast<int>(out.size()), last.firstLine + last.lineCount - 1);
        EXPECT_EQ(out[4].substr(out[4].size() - 5), "meyou");
        EXPECT_EQ(out[20], "2") << "the length of what the search line holds";
        EXPECT_EQ(out[21], "s1");
        EXPECT_EQ(out[62], "2");
        EXPECT_EQ(out[63], "TP");

        ASSERT_TRUE(r.file.Load());
        EXPECT_EQ(r.file.lastLineRead(), static_cast<int>(out.size()) + 1);
        expectSameRecords(r, clean);
    }
}

TEST_F(ParameterFileTest, ASaveThatMeetsAFullDiskLeavesTheOldFileAsItWas) {
    const std::string path = r.file.path();
    r.identifier = "first";
    ASSERT_TRUE(r.file.Save());
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    const std::string before = readWholeFile(path);

    // Writes fail as on a full disk once the new file passes 2 KB.
    r.identifier = "second";
    {
        const FileSizeLimit full(2048);
        EXPECT_FALSE(r.file.Save());
    }
    EXPECT_EQ(readWholeFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1)
        << "the new file is gone";
    ASSERT_EQ(r.prompt.messages.size(), 1u);
    EXPECT_EQ(r.prompt.messages[0],
              "'Speichermedium voll' beim Zugriff auf die Datei '" + path + "'");

    ASSERT_TRUE(r.file.Save());
    EXPECT_EQ(saved().at(596), "second");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

// The save at exit must not replace a file whose contents were never taken over.
TEST_F(ParameterFileTest, FilesThatLoadRefusesAreMarkedAndSaidWhy) {
    std::vector<std::string> otherVersion = handWrittenFile();
    otherVersion[0] = "Datafile PortaVigilant V6.00";
    const std::string fifo = folder.file("fifo.dat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder.file("folder.dat"));
    writeWholeFile(folder.file("ini.dat"), "[Settings]\r\nbaud=9600\r\n");
    writeWholeFile(folder.file("old.dat"), joinLines(otherVersion));
    writeWholeFile(folder.file("cut.dat"),
                   "Datafile PortaVigilant V6.01\r\n" +
                       joinLines({otherVersion.begin() + 1, otherVersion.begin() + 100}));
    writeWholeFile(folder.file("good.dat"), joinLines(handWrittenFile()));
    writeWholeFile(folder.file("locked.dat"), joinLines(handWrittenFile()));
    ::chmod(folder.file("locked.dat").c_str(), 0);

    struct Case {
        std::string path;
        ParameterLoad load;
        std::string why;  // the start of loadProblemText
    };
    std::vector<Case> cases = {
        {folder.file("ini.dat"), ParameterLoad::ForeignHeader, "'" + folder.file("ini.dat")},
        {folder.file("old.dat"), ParameterLoad::ForeignHeader, "'" + folder.file("old.dat")},
        {"/dev/zero", ParameterLoad::NotAFile, "'/dev/zero' is not a regular file"},
        {fifo, ParameterLoad::NotAFile, "'" + fifo + "' is not a regular file"},
        {folder.file("folder.dat"), ParameterLoad::NotAFile, "'" + folder.file("folder.dat")},
        {folder.file("missing.dat"), ParameterLoad::Missing, ""},
        {folder.file("cut.dat"), ParameterLoad::Damaged, "'" + folder.file("cut.dat")},
        {folder.file("good.dat"), ParameterLoad::Complete, ""},
    };
    if (::geteuid() != 0) {  // root reads any file
        cases.push_back({folder.file("locked.dat"), ParameterLoad::Unreadable,
                         "'Zugriff verweigert' beim Zugriff auf die Datei '"});
    }
    for (const Case& c : cases) {
        r.file.setPath(c.path);
        EXPECT_EQ(r.file.Load(), c.load == ParameterLoad::Complete) << c.path;
        EXPECT_EQ(r.file.lastLoad(), c.load) << c.path;
        const bool refused = c.load == ParameterLoad::ForeignHeader ||
                             c.load == ParameterLoad::NotAFile ||
                             c.load == ParameterLoad::Unreadable;
        EXPECT_EQ(r.file.refusedAtLoad(), refused) << c.path;
        EXPECT_EQ(r.file.loadProblemText().rfind(c.why, 0), 0u) << r.file.loadProblemText();
        EXPECT_EQ(r.file.loadProblemText().empty(), c.why.empty()) << c.path;
    }
    EXPECT_TRUE(r.prompt.messages.empty());

    // The mark belongs to the path: going back to it after another file keeps it.
    r.file.setPath(folder.file("old.dat"));
    EXPECT_TRUE(r.file.refusedAtLoad());
    EXPECT_NE(r.file.keptFileText().find("'" + folder.file("old.dat") + "'"), std::string::npos);
    // A save the user asks for makes it this program's file.
    ASSERT_TRUE(r.file.Save());
    EXPECT_FALSE(r.file.refusedAtLoad());
    EXPECT_TRUE(r.file.Load());
}

TEST_F(ParameterFileTest, ThisProgramsOwnLinesKeepWhatTheClassicLinesCannotHold) {
    r.a.devicePath = "/dev/ttyUSB3";
    r.b.devicePath = "/dev/serial/by-id/usb-FTDI_x-if00";
    r.a.baud = 921600;
    r.network.port = 12345;
    r.network.listenAddress = "127.0.0.1";
    r.exchange.holdTimeoutMs = 80;
    ASSERT_TRUE(r.file.Save());
    const std::vector<std::string> out = saved();
    EXPECT_EQ(out[9], "921600") << "other instances read this as 9600";
    r.file.SetDefaults();
    ASSERT_TRUE(r.file.Load());
    EXPECT_EQ(r.a.devicePath, "/dev/ttyUSB3");
    EXPECT_EQ(r.b.devicePath, "/dev/serial/by-id/usb-FTDI_x-if00");
    EXPECT_EQ(r.a.baud, 921600);
    EXPECT_EQ(r.network.port, 12345);
    EXPECT_EQ(r.network.listenAddress, "127.0.0.1");
    EXPECT_EQ(r.exchange.holdTimeoutMs, 80);

    // A classic line changed since (by another instance or by hand) wins over the wide one.
    std::vector<std::string> lines = saved();
    lines[9] = "19200";
    lines[55] = "4711";
    write(lines);
    ASSERT_TRUE(r.file.Load());
    EXPECT_EQ(r.a.baud, 19200);
    EXPECT_EQ(r.network.port, 4711);
}

TEST_F(ParameterFileTest, AMemoryFileLoadsAndSavesLikeTheFileOnDisk) {
    const std::vector<std::string> hand = handWrittenFile();
    std::vector<std::string> withOwnLines = hand;
    withOwnLines.push_back("/dev/ttyS4");
    for (const auto& lines :
         {withOwnLines, std::vector<std::string>(hand.begin(), hand.end() - 40)}) {
        write(lines);
        const bool diskLoaded = r.file.Load();
        Records fromMemory;
        CFileNeu in;
        in.OpenMemory(joinLines(lines));
        EXPECT_EQ(fromMemory.file.Load(in), diskLoaded);
        EXPECT_EQ(fromMemory.file.lastLineRead(), r.file.lastLineRead());

        ASSERT_TRUE(r.file.Save());
        CFileNeu out;
        out.OpenMemory();
        ASSERT_TRUE(fromMemory.file.Save(out));
        std::vector<std::string> disk = saved();
        std::vector<std::string> memory = splitLines(out.memory());
        ASSERT_EQ(memory.size(), disk.size());
        disk[4] = memory[4] = "";  // the time of saving
        EXPECT_EQ(memory, disk);
        EXPECT_TRUE(fromMemory.prompt.messages.empty());
    }
}

TEST_F(ParameterFileTest, SavingToAFolderThatCannotBeWrittenFails) {
    r.file.setPath(folder.file("no/such/folder/p.dat"));
    EXPECT_FALSE(r.file.Save());
    EXPECT_EQ(r.prompt.messages.size(), 1u) << "the file layer names the cause once";
}

}  // namespace
