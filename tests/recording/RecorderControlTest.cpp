#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "app/LineMonitor.h"
#include "base/CommandIds.h"
#include "recording/FakeLogClock.h"
#include "recording/Records.h"
#include "support/Collect.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/FileSizeLimit.h"
#include "support/PtyPair.h"
#include "support/SideSettings.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

class RecorderTestView : public FakeView {
  public:
    void playbackStarted() override { ++playbacksStarted; }
    void playbackFinished(PlaybackState state) override { finished.push_back(state); }
    int playbacksStarted = 0;
    std::vector<PlaybackState> finished;
};

class RecorderControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        monitor.sides().WriteSettings(Side::A, serialWithoutReopen(*farA));
        monitor.sides().WriteSettings(Side::B, serialWithoutReopen(farB));
    }
    // A lost device stops its side.
    static PortSettings serialWithoutReopen(const PtyPair& far) {
        PortSettings settings = serialOn(far.path());
        settings.reopen = false;
        return settings;
    }
    // Side A stopped and back on a fresh device, as before a case.
    void resetSideA() {
        monitor.sides().StopSide(Side::A);
        ASSERT_TRUE(waitUntil([&] { return !monitor.sides().draining(); }));
        farA = std::make_unique<PtyPair>();
        monitor.sides().WriteSettings(Side::A, serialWithoutReopen(*farA));
    }
    // Waits until `out` holds `size` bytes of what reached the far end `fd`.
    static bool drainTo(int fd, std::vector<uint8_t>& out, size_t size) {
        return waitUntil([&] {
            PtyPair::readFd(fd, out, SIZE_MAX, 0);
            return out.size() == size;
        });
    }
    RecorderControl& recorder() { return monitor.recorder(); }
    std::string file(const std::string& name) const { return folder_.file(name); }
    std::string writeRec(std::initializer_list<std::pair<uint32_t, uint8_t>> records,
                         const std::string& name = "in.rec") {
        writeWholeFile(file(name), recordsOf(records));
        return file(name);
    }

    TempFolder folder_{"pv-recctl"};
    std::unique_ptr<PtyPair> farA = std::make_unique<PtyPair>();
    PtyPair farB;
    FakeTtyBackend lines;
    RecorderTestView view;
    LineMonitor monitor{view, lines};
};

// What side A receives is recorded in order, what B sends toward A never is, and it plays back
// into side A unchanged. Played bytes are shown and logged as side A's but are not received
// bytes: side B, the trigger and the recorder never see them. A write failure stops recording,
// not the bridge.
TEST_F(RecorderControlTest, RecordedBytesPlayBackThroughSideAOnly) {
    ASSERT_TRUE(monitor.sides().StartSide(Side::A) && monitor.sides().StartSide(Side::B));
    ASSERT_TRUE(recorder().StartRecording(file("run.rec")));
    const std::vector<uint8_t> sent = randomBytes(3000, 7);
    std::vector<uint8_t> atB, fromB;
    farA->write(sent);
    farB.write(bytesOf("not recorded"));
    ASSERT_TRUE(drainTo(farB.master(), atB, 3000) && drainTo(farA->master(), fromB, 12));
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(Side::A).totalShown == 3000; }));
    recorder().OnRecordStop();
    const std::string rec = readWholeFile(file("run.rec"));
    ASSERT_EQ(rec.size(), 3000 * kRecordSize);
    EXPECT_EQ(recordedBytes(rec), sent);
    ASSERT_TRUE(recorder().StartPlayback(file("run.rec")));
    EXPECT_EQ(collect(farA->master(), 3000), sent);
    ASSERT_TRUE(waitUntil([&] { return !view.finished.empty(); }));

    TriggerSettings trigger;
    trigger.active = true;
    trigger.autoDeactivate = false;
    trigger.setPatternText("AT");
    monitor.triggers().DefineTrigger(trigger);
    LogSettings log;
    log.mode = LogMode::PlainAscii;
    monitor.logging().ApplyLogSettings(log);
    ASSERT_TRUE(monitor.logging().StartLogging(file("run.log")));
    ASSERT_TRUE(recorder().StartPlayback(writeRec({{0, 'A'}, {1, 'T'}, {1, '\r'}})));
    EXPECT_EQ(collect(farA->master(), 3), bytesOf("AT\r"));
    ASSERT_TRUE(waitUntil([&] { return view.finished.size() == 2; }));
    EXPECT_EQ(view.finished, std::vector<PlaybackState>(2, PlaybackState::completed));
    EXPECT_TRUE(view.prompt_.messages.empty());
    // A byte side A really receives passes on to B behind anything the playback might have sent.
    farA->write(bytesOf("!"));
    ASSERT_TRUE(drainTo(farB.master(), atB, 3001));
    EXPECT_EQ(atB.back(), '!');
    std::vector<uint8_t> shown = sent;
    shown.insert(shown.end(), sent.begin(), sent.end());
    shown.insert(shown.end(), {'A', 'T', '\r', '!'});
    EXPECT_EQ(view.shown[0], shown);
    ASSERT_FALSE(view.statuses.empty());
    EXPECT_NE(view.statuses.back(), "Triggered !!!");
    monitor.logging().OnLoggingStop();
    const std::string logged = readWholeFile(file("run.log"));
    EXPECT_TRUE(logged.ends_with("\r\n\r\nAT\r!")) << logged;

    // A recording that cannot be written stops at its first failure with one notice; the bridge
    // goes on.
    ASSERT_TRUE(recorder().StartRecording(file("full.rec")));
    {
        const FileSizeLimit full(kRecordSize);
        for (const char* text : {"over", "more"}) {
            farA->write(bytesOf(text));
            ASSERT_TRUE(drainTo(farB.master(), atB, atB.size() + 4));
        }
    }
    EXPECT_FALSE(recorder().recording());
    ASSERT_EQ(view.prompt_.notices.size(), 1u);
    EXPECT_NE(view.prompt_.notices[0].find("Recording has been stopped."), std::string::npos);
    EXPECT_EQ(std::vector<uint8_t>(atB.end() - 8, atB.end()), bytesOf("overmore"));
}

// Each refusal is said before anything is sent or shown (which files the check refuses is the
// file tests' concern). A playback that started ends on side A's device lost in a long pause at
// once, on side A stopped by the user at the next byte; both with the reason, nothing sent after.
TEST_F(RecorderControlTest, PlaybackRefusedOrEndedEarlySaysWhy) {
    const std::string good = writeRec({{0, 'x'}, {5, 'y'}});
    const std::string longPause = writeRec({{0, 'a'}, {60000, 'b'}}, "long.rec");
    const std::string shortPause = writeRec({{0, 'a'}, {300, 'b'}, {60000, 'c'}}, "short.rec");
    writeWholeFile(file("empty.rec"), "");
    const auto startA = [&] { ASSERT_TRUE(monitor.sides().StartSide(Side::A)); };
    const auto networkA = [&] {
        monitor.sides().WriteSettings(Side::A, networkOnly());
        monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
        startA();
    };
    const auto recording = [&] {
        startA();
        ASSERT_TRUE(recorder().StartRecording(file("other.rec")));
    };
    const auto loseDevice = [&] {
        farA->releaseSlave();
        farA.reset();
    };
    const auto stopA = [&] { monitor.sides().StopSide(Side::A); };
    const struct {
        const char* name;
        std::function<void()> setUp;
        std::string path;
        std::vector<std::string> messages;
        std::function<void()> end;  // null: refused
    } cases[] = {
        {"side A stopped", [] {}, good, {kTextComportANotOpen}, nullptr},
        {"side A network only", networkA, good, {kTextComportANotOpen}, nullptr},
        {"recording", recording, good, {kTextStopRecordingFirst}, nullptr},
        {"empty file", startA, file("empty.rec"), {kTextRecorderCheckFailed}, nullptr},
        {"missing file", startA, file("none.rec"), {"", kTextRecorderOpenFailed}, nullptr},
        {"device lost", startA, longPause, {kTextComportANotOpen}, loseDevice},
        {"side stopped", startA, shortPause, {kTextComportANotOpen}, stopA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        view.prompt_.messages.clear();
        if (c.end) {
            ASSERT_TRUE(recorder().StartPlayback(c.path));
            ASSERT_EQ(collect(farA->master(), 1), bytesOf("a"));
            c.end();
            ASSERT_TRUE(waitUntil([&] { return !view.finished.empty(); }, 5000));
            EXPECT_EQ(view.finished, std::vector<PlaybackState>{PlaybackState::failed});
            EXPECT_EQ(recorder().playback()->bytesSent(), 1u);
            view.finished.clear();
        } else {
            EXPECT_FALSE(recorder().StartPlayback(c.path));
            EXPECT_EQ(view.playbacksStarted, 0);
            EXPECT_TRUE(view.shown[0].empty());
        }
        ASSERT_EQ(view.prompt_.messages.size(), c.messages.size());
        EXPECT_EQ(view.prompt_.messages.back(), c.messages.back());
        // The menu command refuses a stopped side before it asks for a file.
        if (!c.end && c.messages.back() == kTextComportANotOpen) {
            monitor.commands().dispatch(Command::PlaybackStart);
            EXPECT_TRUE(view.prompt_.fileRequests.empty());
        }
        recorder().OnRecordStop();
        resetSideA();
    }
}

// The record command offers a name from the local time, refuses the parameter and the log file,
// adds the extension to a bare name; the indicator blinks only while side A runs.
TEST_F(RecorderControlTest, RecordStartChoosesAFileAndTheIndicatorFollowsSideA) {
    FakeLogClock clock;
    clock.setLocal(2026, 12, 8, 14, 5, 0, 0);
    recorder().setNameClock(clock);
    monitor.parameters().parameterFile().setPath(file("PortaVigilant.dat"));
    ASSERT_TRUE(monitor.logging().StartLogging(file("run.log")));
    const struct {
        std::optional<std::string> chosen;
        bool started;
        std::string message;
    } cases[] = {
        {std::nullopt, false, ""},
        {file("PortaVigilant.dat"), false, kTextTargetIsParameterFile},
        {file("run.log"), false, kTextTargetIsLogFile},
        {file("capture"), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.value_or("cancelled"));
        view.prompt_.messages.clear();
        view.prompt_.setNextFileName(c.chosen);
        monitor.commands().dispatch(Command::RecordStart);
        EXPECT_EQ(recorder().recording(), c.started);
        EXPECT_EQ(view.prompt_.messages.empty() ? "" : view.prompt_.messages.back(), c.message);
    }
    EXPECT_EQ(view.prompt_.fileRequests.back().initialPath, "PortaVigilant_261208_1405.rec");
    EXPECT_EQ(recorder().writer().path(), file("capture.rec"));

    recorder().OnRecorderBlinkTick();
    EXPECT_TRUE(recorder().recorderIndicatorShown()) << "side A stopped: no blinking";
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    recorder().OnRecorderBlinkTick();
    EXPECT_FALSE(recorder().recorderIndicatorShown());
}

}  // namespace
