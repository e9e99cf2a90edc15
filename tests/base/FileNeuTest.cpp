#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <random>

#include "base/FileNeu.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"

using namespace pv;

namespace fs = std::filesystem;

namespace {

class FileNeuTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }

    std::string path(const std::string& name) const { return folder_.file(name); }

    std::string writeRaw(const std::string& name, const std::string& bytes) const {
        writeWholeFile(path(name), bytes);
        return path(name);
    }

    std::string readRaw(const std::string& name) const { return readWholeFile(path(name)); }

    // A file object on the given contents, open for reading.
    CFileNeu& openWith(const std::string& bytes) {
        const std::string p = writeRaw("in.txt", bytes);
        EXPECT_TRUE(file_.Open(p, CFileNeu::modeRead));
        return file_;
    }

    std::string accessError(const std::string& cause, const std::string& p) const {
        return "'" + cause + "' beim Zugriff auf die Datei '" + p + "'";
    }

    TempFolder folder_{"pv-fileneu"};
    ScriptedPrompt prompt_;
    CFileNeu file_{&prompt_};
};

TEST_F(FileNeuTest, WritersAreReadBackByTheirReaders) {
    const std::string odd = std::string("\x00\x7F\x81\xFF\xE4\r", 6);
    {
        CFileNeu out(&prompt_);
        ASSERT_TRUE(out.Open(path("p.dat"), CFileNeu::modeCreate | CFileNeu::modeWrite));
        EXPECT_TRUE(out.WriteLine("text"));
        EXPECT_TRUE(out.WriteLine(""));
        EXPECT_TRUE(out.WriteLine(odd));
        for (int32_t v : {0, -5, 48, INT_MAX, INT_MIN}) {
            EXPECT_TRUE(out.WriteInt(v));
        }
        EXPECT_TRUE(out.WriteFlag(true));
        EXPECT_TRUE(out.WriteFlag(false));
        EXPECT_TRUE(out.WriteString("tail"));
    }
    // Every byte but the CR goes through: a text line holds no line break.
    EXPECT_EQ(readRaw("p.dat").substr(0, 15),
              std::string("text\r\n\r\n\x00\x7F\x81\xFF\xE4\r\n", 15));

    CFileNeu in(&prompt_);
    ASSERT_TRUE(in.Open(path("p.dat"), CFileNeu::modeRead));
    std::string text;
    ASSERT_TRUE(in.ReadTextLine(text));
    EXPECT_EQ(text, "text");
    ASSERT_TRUE(in.ReadTextLine(text));
    EXPECT_EQ(text, "");
    ASSERT_TRUE(in.ReadTextLine(text));
    EXPECT_EQ(text, odd.substr(0, 5));
    for (int32_t expected : {0, -5, 48, INT_MAX, INT_MIN}) {
        int32_t value = 1;
        ASSERT_TRUE(in.ReadInt(value));
        EXPECT_EQ(value, expected);
    }
    bool flag = false;
    ASSERT_TRUE(in.ReadFlag(flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(in.ReadFlag(flag));
    EXPECT_FALSE(flag);
    ASSERT_TRUE(in.ReadTextLine(text));
    EXPECT_EQ(text, "tail");
    text = "kept";
    EXPECT_FALSE(in.ReadTextLine(text));
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(FileNeuTest, TextLinesAtEndOfFileAndWithOddLineEnds) {
    struct Case {
        std::string contents;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a\r\nlast", {"a", "last"}},
        {"a\r\nz", {"a", "z"}},  // a last line of one character is still a line
        {"a\nb\r\n", {"a", "b"}},
        {"\n\nx\r\n", {"", "", "x"}},  // lone LFs are empty lines, not the end
        {"a\r\r\n", {"a\r"}},
        {"a\rb\r\n", {"a\rb"}},
        {"\r\n\r\n", {"", ""}},
    };
    for (const Case& c : cases) {
        CFileNeu& f = openWith(c.contents);
        std::vector<std::string> lines;
        std::string text;
        while (lines.size() < 10 && f.ReadTextLine(text)) {
            lines.push_back(text);
        }
        EXPECT_EQ(lines, c.lines) << testing::PrintToString(c.contents);
        f.Close();
    }
}

TEST_F(FileNeuTest, RawLineEndsOnlyAtCrLfUnlessAnyLineFeedIsAsked) {
    CFileNeu& f = openWith("a\nb\r\nc\n");
    EXPECT_EQ(f.ReadRawLine(false), "a\nb\r\n");
    EXPECT_EQ(f.ReadRawLine(true), "c\n");
    EXPECT_EQ(f.ReadRawLine(true), "");
    f.SeekToBegin();
    EXPECT_EQ(f.ReadRawLine(true), "a\n");
    // Reading ahead must not move the position past the line for the other operations.
    char next[3] = {};
    EXPECT_EQ(f.Read(next, 3), 3u);
    EXPECT_EQ(std::string(next, 3), "b\r\n");
}

TEST_F(FileNeuTest, LineBreaksInsideATextLineAreLeftOut) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\rb", "ab"}, {"a\nb", "ab"}, {"a\r\nb", "ab"}, {"\r\n", ""}, {"\n\rx\r", "x"}};
    CFileNeu out(&prompt_);
    ASSERT_TRUE(out.Open(path("t.dat"), CFileNeu::modeCreate | CFileNeu::modeWrite));
    std::string expected;
    for (const auto& [text, line] : cases) {
        EXPECT_TRUE(out.WriteLine(text));
        expected += line + "\r\n";
    }
    out.Close();
    EXPECT_EQ(readRaw("t.dat"), expected);
}

TEST_F(FileNeuTest, BoundedLineReadStopsWhereAskedEvenOnAnEndlessDevice) {
    CFileNeu& f = openWith("abcdefgh\r\nij\r\n");
    EXPECT_TRUE(f.isRegularFile());
    EXPECT_EQ(f.ReadRawLine(false, 5), "abcde");
    EXPECT_EQ(f.ReadRawLine(false, 100), "fgh\r\n");
    EXPECT_EQ(f.ReadRawLine(false, 4), "ij\r\n");
    EXPECT_EQ(f.ReadRawLine(false, 4), "");
    f.Close();

    CFileNeu zero;
    ASSERT_TRUE(zero.Open("/dev/zero", CFileNeu::modeRead));
    EXPECT_FALSE(zero.isRegularFile());
    EXPECT_EQ(zero.ReadRawLine(false, 600), std::string(600, '\0'));
}

TEST_F(FileNeuTest, ReplacingLeavesTheOldFileUntilTheCommitAndKeepsItsMode) {
    const std::string p = writeRaw("p.dat", "old\r\n");
    ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
    const auto entries = [this] {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder_.path()), {}));
    };

    // Given up (a write failed): the old file stays and the new one goes.
    ASSERT_TRUE(file_.OpenReplacing(p));
    EXPECT_TRUE(file_.WriteLine("half"));
    EXPECT_EQ(readRaw("p.dat"), "old\r\n");
    EXPECT_EQ(entries(), 2u);
    file_.Close();
    EXPECT_EQ(readRaw("p.dat"), "old\r\n");
    EXPECT_EQ(entries(), 1u);

    ASSERT_TRUE(file_.OpenReplacing(p));
    EXPECT_TRUE(file_.WriteLine("new"));
    EXPECT_TRUE(file_.CommitReplacing());
    EXPECT_FALSE(file_.isOpen());
    EXPECT_EQ(readRaw("p.dat"), "new\r\n");
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), 1u);

    // Through a link the file it names is replaced; the link stays.
    fs::create_symlink(p, path("link.dat"));
    ASSERT_TRUE(file_.OpenReplacing(path("link.dat")));
    EXPECT_TRUE(file_.WriteLine("linked"));
    EXPECT_TRUE(file_.CommitReplacing());
    EXPECT_TRUE(fs::is_symlink(path("link.dat")));
    EXPECT_EQ(readRaw("p.dat"), "linked\r\n");

    // A new file, and one in a folder that is not there.
    ASSERT_TRUE(file_.OpenReplacing(path("fresh.dat")));
    EXPECT_TRUE(file_.CommitReplacing());
    EXPECT_TRUE(fs::exists(path("fresh.dat")));
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_FALSE(file_.OpenReplacing(path("none/x.dat")));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], accessError("Ungültiger Pfad", path("none/x.dat")));
}

TEST_F(FileNeuTest, FlagLines) {
    struct Case {
        const char* contents;
        bool ok;
        bool value;
    };
    const Case cases[] = {
        {"1\r\n", true, true},    {"0\r\n", true, false},    {"2\r\n", false, false},
        {"10\r\n", false, false}, {"\r\n", false, false},    {"", false, false},
        {"1", true, true},  // last line without line end
        {" 1\r\n", false, false}, {"1\n\r\n", false, false},
    };
    for (const Case& c : cases) {
        CFileNeu& f = openWith(c.contents);
        bool value = !c.value;
        EXPECT_EQ(f.ReadFlag(value), c.ok) << testing::PrintToString(c.contents);
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.contents;
        }
        f.Close();
    }
}

TEST_F(FileNeuTest, DecimalLines) {
    struct Case {
        const char* contents;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"42\r\n", true, 42},
        {"-7", true, -7},
        {"abc\r\n", true, 0},
        {" +12x\r\n", true, 12},
        {"\r\n", true, 0},
        {"", false, 0},
        {"99999999999\r\n", true, INT_MAX},  // clamped, never wrapped into range
        {"-99999999999\r\n", true, INT_MIN},
    };
    for (const Case& c : cases) {
        CFileNeu& f = openWith(c.contents);
        int32_t value = 12345;
        EXPECT_EQ(f.ReadInt(value), c.ok) << c.contents;
        EXPECT_EQ(value, c.ok ? c.value : 12345) << c.contents;
        f.Close();
    }
}

TEST_F(FileNeuTest, CheckedValueOutOfRangeTakesReplacementAndReportsOnRequest) {
    const std::string message =
        "Der Wert 'Baudrate' liegt außerhalb des Wertebereiches !\nMinimum = 1   Maximum = 48\n"
        "Eingelesener Wert = 0 gesetzt auf 16 !";
    struct Case {
        bool report;
        bool show;
        size_t messages;
    };
    for (const Case& c : {Case{true, true, 1}, Case{false, true, 0}, Case{true, false, 0}}) {
        prompt_.messages.clear();
        CFileNeu& f = openWith("0\r\n48\r\n");
        f.setShowMessages(c.show);
        int32_t value = 0;
        ASSERT_TRUE(f.ReadIntChecked(value, 1, 48, 16, "Baudrate", c.report));
        EXPECT_EQ(value, 16);
        ASSERT_EQ(prompt_.messages.size(), c.messages);
        if (c.messages > 0) {
            EXPECT_EQ(prompt_.messages[0], message);
        }
        ASSERT_TRUE(f.ReadIntChecked(value, 1, 48, 16, "Baudrate", true));
        EXPECT_EQ(value, 48);
        EXPECT_FALSE(f.ReadIntChecked(value, 1, 48, 16, "Baudrate", true));
        EXPECT_EQ(value, 48);
        EXPECT_EQ(prompt_.messages.size(), c.messages);
        f.Close();
        f.setShowMessages(true);
    }
}

TEST_F(FileNeuTest, OpenFailuresNameCauseAndFile) {
    writeRaw("plain", "x");
    struct Case {
        std::string path;
        unsigned flags;
        const char* cause;
    };
    const Case cases[] = {
        {path("missing.dat"), CFileNeu::modeRead, "Datei nicht gefunden"},
        {path("nofolder/x.dat"), CFileNeu::modeRead, "Ungültiger Pfad"},
        {path("nofolder/x.dat"), CFileNeu::modeCreate | CFileNeu::modeWrite, "Ungültiger Pfad"},
        {path("plain/x.dat"), CFileNeu::modeRead, "Ungültiger Pfad"},
        {folder_.path().string(), CFileNeu::modeRead, "Zugriff verweigert"},
        {folder_.path().string(), CFileNeu::modeCreate | CFileNeu::modeWrite, "Zugriff verweigert"},
    };
    for (const Case& c : cases) {
        prompt_.messages.clear();
        EXPECT_FALSE(file_.Open(c.path, c.flags)) << c.path;
        EXPECT_FALSE(file_.isOpen());
        ASSERT_EQ(prompt_.messages.size(), 1u) << c.path;
        EXPECT_EQ(prompt_.messages[0], accessError(c.cause, c.path));
    }
}

TEST_F(FileNeuTest, ForbiddenPathIsAccessDenied) {
    std::string forbidden = writeRaw("locked", "x");
    ::chmod(forbidden.c_str(), 0);
    if (::geteuid() == 0) {
        // Root passes file modes; the kernel still refuses writing this one.
        forbidden = "/sys/kernel/notes";
        if (!fs::exists(forbidden)) {
            GTEST_SKIP() << "no file forbidden to root here";
        }
    }
    EXPECT_FALSE(file_.Open(forbidden, CFileNeu::modeCreate | CFileNeu::modeWrite));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], accessError("Zugriff verweigert", forbidden));
}

TEST_F(FileNeuTest, FullDiskAndTooManyFilesAreNamed) {
    ASSERT_TRUE(file_.Open("/dev/full", CFileNeu::modeWrite));
    EXPECT_FALSE(file_.WriteLine("x"));
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], accessError("Speichermedium voll", "/dev/full"));
    file_.Close();

    const std::string p = writeRaw("some", "x");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> held;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) {
        held.push_back(fd);
    }
    prompt_.messages.clear();
    EXPECT_FALSE(file_.Open(p, CFileNeu::modeRead));
    for (int fd : held) {
        ::close(fd);
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], accessError("Zu viele offene Dateien", p));
}

TEST_F(FileNeuTest, ClosedObjectFailsQuietly) {
    char buffer[4];
    std::string text = "kept";
    int32_t value = 3;
    bool flag = true;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(file_.Read(buffer, sizeof buffer), 0u);
        EXPECT_FALSE(file_.Write("ab", 2));
        EXPECT_FALSE(file_.WriteLine("ab"));
        EXPECT_FALSE(file_.WriteInt(1));
        EXPECT_FALSE(file_.WriteFlag(true));
        EXPECT_EQ(file_.GetLength(), -1);
        EXPECT_EQ(file_.ReadRawLine(true), "");
        EXPECT_FALSE(file_.ReadTextLine(text));
        EXPECT_FALSE(file_.ReadInt(value));
        EXPECT_FALSE(file_.ReadIntChecked(value, 0, 1, 0, "x", true));
        EXPECT_FALSE(file_.ReadFlag(flag));
        file_.SeekToBegin();
        file_.SeekToEnd();
        file_.Close();
        // The second round runs on an object that was open once.
        ASSERT_TRUE(file_.Open(writeRaw("f", "1\r\n"), CFileNeu::modeRead));
        file_.Close();
    }
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(value, 3);
    EXPECT_TRUE(flag);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(FileNeuTest, CreateTruncatesAndNoTruncateKeepsForAppending) {
    const std::string p = writeRaw("log.txt", "old\r\n");
    ASSERT_TRUE(
        file_.Open(p, CFileNeu::modeCreate | CFileNeu::modeNoTruncate | CFileNeu::modeWrite));
    EXPECT_EQ(file_.GetLength(), 5);
    file_.SeekToEnd();
    EXPECT_TRUE(file_.WriteLine("new"));
    file_.Close();
    EXPECT_EQ(readRaw("log.txt"), "old\r\nnew\r\n");

    ASSERT_TRUE(file_.Open(p, CFileNeu::modeCreate | CFileNeu::modeWrite));
    EXPECT_EQ(file_.GetLength(), 0);
    file_.Close();
    EXPECT_TRUE(file_.Exists(p));
    EXPECT_FALSE(file_.Exists(path("none")));
    EXPECT_FALSE(file_.Exists(p + "/below"));
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(FileNeuTest, RandomBytesAreConsumedExactlyWithoutHanging) {
    std::mt19937 random(1234);
    std::string bytes(200000, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() % 4 == 0 ? "\r\n"[random() % 2] : random());
    }
    CFileNeu& f = openWith(bytes);
    for (bool anyLineFeed : {true, false}) {
        f.SeekToBegin();
        std::string joined;
        for (std::string line; !(line = f.ReadRawLine(anyLineFeed)).empty();) {
            joined += line;
        }
        EXPECT_EQ(joined, bytes);
    }
    // Every reader ends at the end of the file, whatever it found on the way.
    f.SeekToBegin();
    int32_t value = 0;
    int lines = 0;
    while (f.ReadIntChecked(value, 0, 10, 5, "x", false)) {
        ASSERT_LE(value, 10);
        ASSERT_LT(++lines, 200000);
    }
    // Each flag read takes exactly one line, valid or not.
    f.SeekToBegin();
    bool flag = false;
    for (int i = 0; i < lines; ++i) {
        f.ReadFlag(flag);
    }
    EXPECT_EQ(f.ReadRawLine(false), "");
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(FileNeuTest, OverlongLineKeepsItsStartAndItsLineEnd) {
    const std::string longLine(CFileNeu::kMaxLineLength + 1000, 'x');
    const std::string exact(CFileNeu::kMaxLineLength, 'y');
    CFileNeu& f = openWith(longLine + "\r\nnext\r\n" + exact + "\r\n" + longLine);
    std::string text;
    ASSERT_TRUE(f.ReadTextLine(text));
    EXPECT_EQ(text, longLine.substr(0, CFileNeu::kMaxLineLength));
    ASSERT_TRUE(f.ReadTextLine(text));
    EXPECT_EQ(text, "next");
    ASSERT_TRUE(f.ReadTextLine(text));
    EXPECT_EQ(text, exact);
    ASSERT_TRUE(f.ReadTextLine(text));
    EXPECT_EQ(text.size(), CFileNeu::kMaxLineLength);
    EXPECT_FALSE(f.ReadTextLine(text));
}

TEST_F(FileNeuTest, FileThatShrinksWhileReadEndsCleanly) {
    std::string contents;
    for (int i = 0; i < 100; ++i) {
        contents += "line " + std::to_string(i) + "\r\n";
    }
    CFileNeu& f = openWith(contents);
    std::string text;
    ASSERT_TRUE(f.ReadTextLine(text));
    ASSERT_TRUE(f.ReadTextLine(text));
    // Cut inside the third line: its start is what is left of it.
    ASSERT_EQ(::truncate(path("in.txt").c_str(), 18), 0);
    ASSERT_TRUE(f.ReadTextLine(text));
    EXPECT_EQ(text, "li");
    EXPECT_FALSE(f.ReadTextLine(text));
    ASSERT_EQ(::truncate(path("in.txt").c_str(), 0), 0);
    EXPECT_FALSE(f.ReadTextLine(text));
    EXPECT_EQ(f.GetLength(), 0);
    EXPECT_TRUE(prompt_.messages.empty());
}

// Every reader and writer, in turn, until the end; then writes, a seek and the whole contents.
// Each result is noted, so two files can be compared operation by operation.
std::string traceOf(CFileNeu& f) {
    std::string trace;
    std::string text;
    int32_t value = 0;
    bool flag = false;
    for (int step = 0;; ++step) {
        const int64_t before = f.GetLength64();
        bool more = true;
        switch (step % 5) {
            case 0:
                text = f.ReadRawLine(step % 2 == 0);
                more = !text.empty();
                break;
            case 1:
                more = f.ReadTextLine(text);
                break;
            case 2:
                more = f.ReadInt(value);
                text = std::to_string(value);
                break;
            case 3:
                // A line that is no flag is read past all the same.
                text = !f.ReadFlag(flag) ? "no flag" : flag ? "1" : "0";
                break;
            case 4: {
                char buffer[700];
                text.assign(buffer, f.Read(buffer, 1 + static_cast<size_t>(step) * 37 % 700));
                more = !text.empty();
                break;
            }
        }
        trace += std::to_string(before) + (more ? ":" + text : std::string("-")) + "|";
        if (!more) {
            break;
        }
    }
    trace += f.WriteLine("tail") && f.WriteInt(-7) && f.WriteFlag(true) ? "w" : "-";
    f.SeekToBegin();
    std::string all(static_cast<size_t>(f.GetLength64()) + 1, '?');
    all.resize(f.Read(all.data(), all.size()));
    return trace + "|" + all;
}

}  // namespace

// The memory file is the disk file's stand-in for the fuzzers: it must not differ in any answer.
TEST_F(FileNeuTest, MemoryFileAnswersLikeTheSameBytesOnDisk) {
    std::mt19937 random(99);
    std::string noise(3000, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random() % 5 == 0 ? "\r\n01"[random() % 4] : random());
    }
    const std::vector<std::string> contents = {
        "",
        "1\r\n0\r\n-42\r\nab\r\n",
        "a\nb\r\r\nc\r",
        std::string(1400, 'x') + "\r\n" + std::string(600, 'y') + "\n1",
        noise,
    };
    for (const std::string& bytes : contents) {
        CFileNeu disk;
        ASSERT_TRUE(disk.Open(writeRaw("disk", bytes), CFileNeu::modeReadWrite));
        CFileNeu memory;
        memory.OpenMemory(bytes);
        EXPECT_EQ(traceOf(memory), traceOf(disk)) << bytes.size() << " bytes";
        disk.Close();
        memory.Close();
        EXPECT_FALSE(memory.isOpen());
        EXPECT_EQ(memory.memory(), readRaw("disk"));
    }
}
