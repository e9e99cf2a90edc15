#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>
#include <random>
#include <vector>

#include "base/FileNeu.h"
#include "recording/FakeMonotonicClock.h"
#include "recording/PlaybackScheduler.h"
#include "recording/RecorderFile.h"
#include "recording/RecorderWriter.h"
#include "recording/Records.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

class PlaybackSchedulerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }

    // Opens and checks the file, as the playback command does.
    uint64_t openChecked(const std::string& contents) {
        writeWholeFile(path_, contents);
        EXPECT_TRUE(file_.Open(path_, CFileNeu::modeRead));
        const RecorderFileCheck check = checkRecorderFile(file_);
        EXPECT_TRUE(check.good());
        return check.records;
    }

    // Takes what is due at the clock's time and notes when each byte came.
    void takeAt(PlaybackScheduler& scheduler) {
        for (uint8_t byte : scheduler.takeDue()) {
            played_.push_back(byte);
            playedAtUs_.push_back(clock_.us);
        }
    }

    TempFolder folder_{"pv-playback"};
    std::string path_ = folder_.file("p.rec");
    CFileNeu file_;
    FakeMonotonicClock clock_;
    std::string played_;
    std::vector<int64_t> playedAtUs_;
};

// Records blocks at known times, then plays them with a clock that steps 250 us at a time: each
// byte must come with the first step at or after its recorded time divided by the speed, so that
// playback has neither drift nor early bytes.
TEST_F(PlaybackSchedulerTest, RoundTripKeepsTheRecordedTimingAtAnySpeed) {
    std::mt19937 random(7);
    std::string sent;
    std::vector<int64_t> sentAtMs;
    FakeMonotonicClock recordingClock;
    {
        RecorderWriter writer(nullptr, recordingClock);
        ASSERT_TRUE(writer.Start(path_));
        int64_t at = 0;
        for (int block = 0; block < 1000; ++block) {
            at += block == 0 ? 0 : 1 + random() % 10;
            std::string bytes(1 + random() % 3, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            recordingClock.us = 1'000'000 + at * 1000;
            ASSERT_TRUE(
                writer.RecordBlock(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            sent += bytes;
            sentAtMs.insert(sentAtMs.end(), bytes.size(), at);
        }
    }
    ASSERT_TRUE(file_.Open(path_, CFileNeu::modeRead));
    const RecorderFileCheck check = checkRecorderFile(file_);
    ASSERT_TRUE(check.good());
    EXPECT_EQ(check.spanMs, static_cast<uint64_t>(sentAtMs.back()));

    for (const double speed : {1.0, 4.0, 0.5}) {
        SCOPED_TRACE(speed);
        played_.clear();
        playedAtUs_.clear();
        RecorderReader reader(file_, check.records);
        PlaybackScheduler scheduler(reader, {speed, 1}, clock_);
        const int64_t start = clock_.us;
        scheduler.start();
        for (int steps = 0; scheduler.running() && steps < 200000; ++steps) {
            takeAt(scheduler);
            clock_.us += 250;
        }
        ASSERT_EQ(scheduler.state(), PlaybackState::completed);
        ASSERT_EQ(played_, sent);
        EXPECT_EQ(scheduler.bytesSent(), sent.size());
        EXPECT_EQ(scheduler.percent(), 100);
        for (size_t i = 0; i < sent.size(); ++i) {
            const double dueUs = static_cast<double>(sentAtMs[i]) * 1000.0 / speed;
            const auto cameUs = static_cast<double>(playedAtUs_[i] - start);
            ASSERT_GE(cameUs, dueUs - 1) << "byte " << i << " early";
            ASSERT_LT(cameUs, dueUs + 250) << "byte " << i << " late";
        }
    }
}

TEST_F(PlaybackSchedulerTest, AbortInALongPauseEndsAtOnce) {
    RecorderReader reader(file_, openChecked(recordsOf({{0, 'a'}, {kMaxRecordDelayMs, 'b'}})));
    PlaybackScheduler scheduler(reader, {}, clock_);
    scheduler.start();
    takeAt(scheduler);
    // Rounded up, never more: a timer for this wait fires neither early nor a tick late.
    EXPECT_EQ(scheduler.msUntilNext(), kMaxRecordDelayMs);
    clock_.us += 300;
    EXPECT_EQ(scheduler.msUntilNext(), kMaxRecordDelayMs);
    scheduler.abort();
    EXPECT_EQ(scheduler.state(), PlaybackState::aborted);
    EXPECT_EQ(scheduler.msUntilNext(), -1);
    clock_.advanceMs(kMaxRecordDelayMs);
    takeAt(scheduler);
    EXPECT_EQ(played_, "a");
    EXPECT_EQ(scheduler.percent(), 50);
    EXPECT_TRUE(scheduler.errorText().empty());
    // Side A gone: the engine ends it with its text; an ended playback stays as it ended.
    scheduler.fail(kTextComportANotOpen);
    EXPECT_EQ(scheduler.state(), PlaybackState::aborted);
}

// The file changes under the playing scheduler after the first bytes went out. The chunk read
// before the change is still played; what is read after it ends playback with the error, never
// with bytes that are not records.
TEST_F(PlaybackSchedulerTest, FileChangedWhilePlayedEndsWithTheError) {
    struct Case {
        const char* name;
        off_t truncateTo;          // -1: keep the length
        int64_t overwriteAt = -1;  // record whose pause becomes 0xFFFFFFFF
        size_t playedBytes;
    };
    const std::vector<Case> cases = {
        {"cut inside a record", 5002 * 5 + 3, -1, 5002},
        {"emptied", 0, -1, 4096},
        {"a pause above the limit appears", -1, 6000, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        played_.clear();
        std::string contents;
        for (int i = 0; i < 10000; ++i) {
            appendRecord(contents, i % 2, static_cast<uint8_t>(i));
        }
        file_.Close();
        RecorderReader reader(file_, openChecked(contents));
        PlaybackScheduler scheduler(reader, {}, clock_);
        scheduler.start();
        clock_.advanceMs(50);
        takeAt(scheduler);
        ASSERT_EQ(played_.size(), 101u);
        if (c.truncateTo >= 0) {
            ASSERT_EQ(::truncate(path_.c_str(), c.truncateTo), 0);
        } else {
            contents.replace(static_cast<size_t>(c.overwriteAt) * kRecordSize, 4,
                             "\xFF\xFF\xFF\xFF");
            writeWholeFile(path_, contents);
        }
        clock_.advanceMs(10000);
        while (scheduler.running()) {
            takeAt(scheduler);
        }
        EXPECT_EQ(scheduler.state(), PlaybackState::failed);
        EXPECT_EQ(scheduler.errorText(), kTextPlaybackReadFailed);
        std::string expected;
        for (size_t i = 0; i < c.playedBytes; ++i) {
            expected.push_back(static_cast<char>(i));
        }
        EXPECT_EQ(played_, expected);
    }
}

TEST_F(PlaybackSchedulerTest, PassesFollowEachOtherWithoutAGap) {
    const uint64_t records = openChecked(recordsOf({{0, 'a'}, {5, 'b'}, {5, 'c'}}));
    struct Case {
        uint32_t passes;
        int64_t runMs;
        std::string played;
        uint64_t total;
        int percent;
        PlaybackState state;
    };
    const std::vector<Case> cases = {
        {2, 100, "abcabc", 6, 100, PlaybackState::completed},
        // Until aborted: the bar shows the pass now playing.
        {0, 27, "abcabcab", 0, 66, PlaybackState::running},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.passes);
        played_.clear();
        playedAtUs_.clear();
        RecorderReader reader(file_, records);
        PlaybackScheduler scheduler(reader, {1.0, c.passes}, clock_);
        const int64_t start = clock_.us;
        scheduler.start();
        for (int64_t ms = 0; ms <= c.runMs; ++ms) {
            clock_.us = start + ms * 1000;
            takeAt(scheduler);
        }
        EXPECT_EQ(played_, c.played);
        EXPECT_EQ(scheduler.totalBytes(), c.total);
        EXPECT_EQ(scheduler.percent(), c.percent);
        EXPECT_EQ(scheduler.state(), c.state);
        // The second pass's first byte comes with the first pass's last one.
        if (played_.size() >= 4) {
            EXPECT_EQ(playedAtUs_[3], playedAtUs_[2]);
        }
    }
}

TEST(PlaybackProgress, PercentAndTextHoldForAnySize) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    struct Case {
        uint64_t part;
        uint64_t whole;
        int percent;
    };
    const std::vector<Case> cases = {
        {0, 7, 0},
        {1, 3, 33},
        {7, 7, 100},
        {8, 7, 100},
        {5, 0, 0},
        // 100 * part passes 32 bits here: a file of 150 MB.
        {21474837, 30000000, 71},
        {kMax / 2, kMax, 49},
        {kMax - 1, kMax, 99},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentOf(c.part, c.whole), c.percent) << c.part << " of " << c.whole;
    }
    EXPECT_EQ(playbackProgressText(5000000000, 6000000000), "5000000000 of 6000000000 bytes sent");
    EXPECT_EQ(playbackProgressText(12, 0), "12 bytes sent");
}

}  // namespace
