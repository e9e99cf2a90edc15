#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "base/FileNeu.h"
#include "recording/FakeMonotonicClock.h"
#include "recording/RecorderDump.h"
#include "recording/RecorderFile.h"
#include "recording/RecorderWriter.h"
#include "recording/Records.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

const uint8_t* bytesOf(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

class RecorderFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }

    TempFolder folder_{"pv-recorder"};
    ScriptedPrompt prompt_;
    FakeMonotonicClock clock_;
};

// Each step moves the clock to a time (microseconds after the clock's start) and records a block.
struct Step {
    int64_t atUs;
    std::string block;
};

struct WriterCase {
    const char* name;
    std::vector<Step> steps;
    std::string file;
};

TEST_F(RecorderFileTest, WriterTurnsTimedBlocksIntoRecords) {
    const std::vector<WriterCase> cases = {
        {"first record has no pause, 1234 ms later is 00 00 04 D2",
         {{0, "a"}, {1234000, "b"}},
         std::string("\0\0\0\0a\0\0\x04\xD2"
                     "b",
                     10)},
        {"the first byte of a block carries the pause, the others none",
         {{0, "x"}, {7000, "abc"}},
         recordsOf({{0, 'x'}, {7, 'a'}, {0, 'b'}, {0, 'c'}})},
        {"a first block of three", {{500000, "abc"}}, recordsOf({{0, 'a'}, {0, 'b'}, {0, 'c'}})},
        {"a quiet gap over a day is stored as a day, so the file stays playable",
         {{0, "a"}, {25LL * 3600 * 1000000, "b"}, {25LL * 3600 * 1000000 + 3000, "c"}},
         recordsOf({{0, 'a'}, {86400000, 'b'}, {3, 'c'}})},
        {"pauses between fractions of milliseconds add up to the span without drift",
         {{400, "a"}, {1600, "b"}, {2200, "c"}, {3900, "d"}},
         recordsOf({{0, 'a'}, {1, 'b'}, {1, 'c'}, {1, 'd'}})},
    };
    for (const WriterCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder_.file("w.rec");
        writeWholeFile(path, "old contents are replaced");
        RecorderWriter writer(&prompt_, clock_);
        ASSERT_TRUE(writer.Start(path));
        const int64_t base = clock_.us;
        size_t count = 0;
        for (const Step& step : c.steps) {
            clock_.us = base + step.atUs;
            EXPECT_TRUE(writer.RecordBlock(bytesOf(step.block), step.block.size()));
            count += step.block.size();
            // On disk before the block is passed on.
            EXPECT_EQ(readWholeFile(path).size(), count * kRecordSize);
        }
        EXPECT_EQ(writer.bytesRecorded(), count);
        writer.Stop();
        EXPECT_EQ(readWholeFile(path), c.file);
    }
    EXPECT_TRUE(prompt_.messages.empty());
}

// Writes past a file size limit fail (EFBIG) after a partial write: a disk that fills up in the
// middle of a block.
TEST_F(RecorderFileTest, WriteFailureStopsRecordingOnceAndKeepsWhatWasWritten) {
    struct Case {
        size_t sizeLimit;
        uint64_t recordedBefore;
        uint64_t playableRecords;
    };
    const std::vector<Case> cases = {{3, 0, 0}, {12, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sizeLimit);
        const std::string path = folder_.file("limited.rec");
        RecorderWriter writer(&prompt_, clock_);
        ASSERT_TRUE(writer.Start(path));
        bool first = false;
        bool second = false;
        {
            const FileSizeLimit full(c.sizeLimit);
            first = writer.RecordBlock(bytesOf("a"), 1);
            second = writer.RecordBlock(bytesOf("bcd"), 3);
        }

        // The failing block says so; a block after it finds recording stopped.
        EXPECT_EQ(first, c.recordedBefore == 1);
        EXPECT_EQ(second, c.recordedBefore == 0);
        EXPECT_FALSE(writer.active());
        EXPECT_NE(writer.failureText().find("Speichermedium voll"), std::string::npos);
        EXPECT_EQ(writer.bytesRecorded(), c.recordedBefore);
        EXPECT_TRUE(writer.RecordBlock(bytesOf("e"), 1));
        EXPECT_EQ(readWholeFile(path).size(), c.sizeLimit);

        // A partial record behind the whole ones is ignored: what was written still plays.
        CFileNeu file;
        ASSERT_TRUE(file.Open(path, CFileNeu::modeRead));
        const RecorderFileCheck check = checkRecorderFile(file);
        EXPECT_EQ(check.good(), c.playableRecords > 0);
        EXPECT_EQ(check.records, c.playableRecords);
    }
    EXPECT_TRUE(prompt_.messages.empty());
}

// A pipe or device could make the data path wait on its reader, or a check read for ever.
TEST_F(RecorderFileTest, OnlyPlainFilesAreRecordedIntoOrPlayed) {
    const std::string fifo = folder_.file("fifo.rec");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // With a reader a FIFO opens for writing.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string missing = folder_.file("missing/x.rec");
    for (const std::string& path : {missing, fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        prompt_.messages.clear();
        RecorderWriter writer(&prompt_, clock_);
        EXPECT_FALSE(writer.Start(path));
        EXPECT_FALSE(writer.active());
        // Only a failed creation has the file layer's text.
        EXPECT_EQ(prompt_.messages.size(), path == missing ? 1u : 0u);
        EXPECT_TRUE(writer.RecordBlock(bytesOf("a"), 1));
        EXPECT_EQ(writer.bytesRecorded(), 0u);
        if (path != missing) {
            CFileNeu file;
            ASSERT_TRUE(file.Open(path, CFileNeu::modeRead));
            EXPECT_EQ(checkRecorderFile(file).fault, RecorderFileFault::notRegular);
            EXPECT_EQ(dumpRecorderFile(file, [](const std::string&) {}).fault,
                      RecorderFileFault::notRegular);
        }
    }
    ::close(reader);
    CFileNeu closed;
    EXPECT_EQ(checkRecorderFile(closed).fault, RecorderFileFault::notOpen);
}

// The check and the dump of the same contents give the same verdict; the dump's text shows every
// record with its time, and what keeps the file from playing.
TEST_F(RecorderFileTest, CheckAndDumpAcceptOnlyWholeRecordsWithinTheLimit) {
    std::string seventeen;
    for (char c = 'a'; c < 'a' + 17; ++c) {
        appendRecord(seventeen, 0, static_cast<uint8_t>(c));
    }
    const std::string header =
        "#       ms  hex                                              ASCII\n";
    struct Case {
        const char* name;
        std::string contents;
        RecorderFileFault fault;
        uint64_t records;
        uint64_t badRecord;
        uint64_t spanMs;   // of a good file
        std::string dump;  // empty: not looked at
    };
    const std::vector<Case> cases = {
        {"12 bytes: 2 records, 2 trailing bytes ignored", recordsOf({{0, 'a'}, {1234, 'b'}}) + "xy",
         RecorderFileFault::none, 2, 0, 1234, ""},
        {"4 bytes: no whole record", std::string(4, '\0'), RecorderFileFault::noRecord, 0, 0, 0,
         ""},
        {"empty", "", RecorderFileFault::noRecord, 0, 0, 0, ""},
        {"a day in the middle passes", recordsOf({{0, 'a'}, {86400000, 'b'}, {1, 'c'}}),
         RecorderFileFault::none, 3, 0, 86400001, ""},
        {"a day and a millisecond in the middle fails",
         recordsOf({{0, 'a'}, {86400001, 'b'}, {3, 'c'}}), RecorderFileFault::delayTooLong, 3, 1, 0,
         header + "         0  61                                               a\n"
                  "  86400001  62                                               b\n"
                  "  86400004  63                                               c\n"
                  "# 3 records, 86400004 ms\n"
                  "# record 2 waits 86400001 ms, more than 86400000 ms: not playable\n"},
        {"the last record is checked too", recordsOf({{0, 'a'}, {1, 'b'}, {86400001, 'c'}}),
         RecorderFileFault::delayTooLong, 3, 2, 0, ""},
        {"the largest pause in the first record", recordsOf({{0xFFFFFFFF, 'a'}}),
         RecorderFileFault::delayTooLong, 1, 0, 0, ""},
        {"lines of up to 16 bytes that came together",
         recordsOf({{0, 'H'}, {0, 'i'}, {1234, '\r'}, {0, '\n'}, {5, 0x80}}) + seventeen + "z",
         RecorderFileFault::none, 22, 0, 1239,
         header + "         0  48 69                                            Hi\n"
                  "      1234  0D 0A                                            ..\n"
                  "      1239  80 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F  .abcdefghijklmno\n"
                  "      1239  70 71                                            pq\n"
                  "# 22 records, 1239 ms\n"
                  "# 1 trailing bytes ignored\n"},
        {"three bytes", "abc", RecorderFileFault::noRecord, 0, 0, 0,
         header + "# 0 records, 0 ms\n# 3 trailing bytes ignored\n"
                  "# no whole record: not playable\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder_.file("c.rec");
        writeWholeFile(path, c.contents);
        CFileNeu file(&prompt_);
        ASSERT_TRUE(file.Open(path, CFileNeu::modeRead));
        std::string text;
        const RecorderFileCheck dumped =
            dumpRecorderFile(file, [&text](const std::string& piece) { text += piece; });
        const RecorderFileCheck check = checkRecorderFile(file);
        for (const RecorderFileCheck& verdict : {check, dumped}) {
            EXPECT_EQ(verdict.fault, c.fault);
            EXPECT_EQ(verdict.records, c.records);
            EXPECT_EQ(verdict.badRecord, c.badRecord);
        }
        if (c.fault == RecorderFileFault::none) {
            EXPECT_EQ(check.spanMs, c.spanMs);
            // Playback reads from the start.
            char first = 0;
            file.Read(&first, 1);
            EXPECT_EQ(first, c.contents[0]);
        }
        if (!c.dump.empty()) {
            EXPECT_EQ(text, c.dump);
        }
    }
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(RecorderFileTest, DefaultNameAndTargetsThatMustNotBeOverwritten) {
    EXPECT_EQ(defaultRecorderFileName({1709622564, 0}), "PortaVigilant_240305_0709.rec");

    const std::string params = folder_.file("PortaVigilant.dat");
    const std::string log = folder_.file("run.log");
    const std::string other = folder_.file("run.rec");
    writeWholeFile(params, "1\r\n");
    writeWholeFile(other, "");
    std::filesystem::create_directory(folder_.file("sub"));
    std::filesystem::create_symlink(params, folder_.file("link.dat"));
    std::filesystem::create_hard_link(params, folder_.file("hard.dat"));
    struct Case {
        std::string target;
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {params, kTextTargetIsParameterFile},
        {folder_.file("sub/../link.dat"), kTextTargetIsParameterFile},
        {folder_.file("hard.dat"), kTextTargetIsParameterFile},
        // The log file need not exist yet to be taken.
        {folder_.file("./run.log"), kTextTargetIsLogFile},
        {other, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(refuseRecorderTarget(c.target, params, log), c.refusal);
    }
    EXPECT_EQ(refuseRecorderTarget(other, "", ""), "");
}

}  // namespace
