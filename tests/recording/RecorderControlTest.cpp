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

// What arrived at a far end so far, without waiting for more.
void drain(int fd, std::vector<uint8_t>& out) {
    PtyPair::readFd(fd, out, SIZE_MAX, 0);
}

class RecorderControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        for (Side s : {Side::A, Side::B}) {
            monitor.sides().WriteSettings(s, serialWithoutReopen(s == Side::A ? *farA : farB));
        }
    }
    // A lost device stops its side.
    static PortSettings serialWithoutReopen(const PtyPair& far) {
        PortSettings settings = serialOn(far.path());
        settings.reopen = false;
        return settings;
    }
    RecorderControl& recorder() { return monitor.recorder(); }
    std::string file(const std::string& name) const { return folder_.file(name); }
    std::string writeRec(std::initializer_list<std::pair<uint32_t, uint8_t>> records,
                         const std::string& name = "in.rec") {
        writeWholeFile(file(name), recordsOf(records));
        return file(name);
    }
    void startBoth() {
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    }
    bool playbackEnded() const { return !view.finished.empty(); }

    TempFolder folder_{"pv-recctl"};
    std::unique_ptr<PtyPair> farA = std::make_unique<PtyPair>();
    PtyPair farB;
    FakeTtyBackend lines;
    RecorderTestView view;
    LineMonitor monitor{view, lines};
};

// What side A receives is recorded in order; what side B sends toward A never is. Played back into
// side A, the same bytes come out in the same order.
TEST_F(RecorderControlTest, RecordedBytesPlayBackIntoSideAInOrder) {
    startBoth();
    ASSERT_TRUE(recorder().StartRecording(file("run.rec")));
    const std::vector<uint8_t> sent = randomBytes(3000, 7);
    std::vector<uint8_t> atB;
    std::vector<uint8_t> fromB;
    for (size_t at = 0; at < sent.size(); at += 1000) {
        const auto first = sent.begin() + static_cast<long>(at);
        farA->write({first, first + 1000});
        farB.write(bytesOf("not recorded"));
        ASSERT_TRUE(waitUntil([&] {
            drain(farB.master(), atB);
            drain(farA->master(), fromB);
            return atB.size() == at + 1000 && fromB.size() == (at / 1000 + 1) * 12;
        }));
    }
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(Side::A).totalShown == 3000; }));
    recorder().OnRecordStop();
    const std::string rec = readWholeFile(file("run.rec"));
    ASSERT_EQ(rec.size(), 3000 * kRecordSize);
    EXPECT_EQ(recordedBytes(rec), sent);

    ASSERT_TRUE(recorder().StartPlayback(file("run.rec")));
    EXPECT_EQ(collect(farA->master(), 3000), sent);
    ASSERT_TRUE(waitUntil([&] { return playbackEnded(); }));
    EXPECT_EQ(view.finished, std::vector<PlaybackState>{PlaybackState::completed});
    EXPECT_TRUE(view.prompt_.messages.empty());
}

// Played bytes go out through side A and are shown and logged as side A's, but they are not
// received bytes: side B, the trigger and the recorder never see them.
TEST_F(RecorderControlTest, PlayedBytesReachOnlySideAAndItsDisplay) {
    startBoth();
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
    ASSERT_TRUE(waitUntil([&] { return playbackEnded(); }));
    // A byte side A really receives passes on to B behind anything the playback might have sent.
    farA->write(bytesOf("!"));
    std::vector<uint8_t> atB;
    ASSERT_TRUE(waitUntil([&] {
        drain(farB.master(), atB);
        return !atB.empty();
    }));
    EXPECT_EQ(atB, bytesOf("!"));
    EXPECT_EQ(view.shown[0], bytesOf("AT\r!"));
    ASSERT_FALSE(view.statuses.empty());
    EXPECT_NE(view.statuses.back(), "Triggered !!!");
    monitor.logging().OnLoggingStop();
    const std::string logged = readWholeFile(file("run.log"));
    EXPECT_TRUE(logged.ends_with("\r\n\r\nAT\r!")) << logged;
}

// Each refusal is said before anything is sent or shown, and no playback starts.
TEST_F(RecorderControlTest, PlaybackIsRefusedWithTheReason) {
    const std::string good = writeRec({{0, 'x'}, {5, 'y'}});
    const std::string tooLong = writeRec({{0, 'x'}, {86400001, 'y'}, {0, 'z'}}, "long.rec");
    writeWholeFile(file("empty.rec"), "");
    const auto startA = [&] { ASSERT_TRUE(monitor.sides().StartSide(Side::A)); };
    const struct {
        const char* name;
        std::function<void()> setUp;
        std::string path;
        std::vector<std::string> messages;
    } cases[] = {
        {"side A stopped", [] {}, good, {kTextComportANotOpen}},
        {"side A network only",
         [&] {
             monitor.sides().WriteSettings(Side::A, networkOnly());
             monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
             startA();
         },
         good,
         {kTextComportANotOpen}},
        {"recording",
         [&] {
             startA();
             ASSERT_TRUE(recorder().StartRecording(file("other.rec")));
         },
         good,
         {kTextStopRecordingFirst}},
        {"empty file", startA, file("empty.rec"), {kTextRecorderCheckFailed}},
        {"pause over a day", startA, tooLong, {kTextRecorderCheckFailed}},
        {"missing file", startA, file("none.rec"), {"", kTextRecorderOpenFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        view.prompt_.messages.clear();
        EXPECT_FALSE(recorder().StartPlayback(c.path));
        ASSERT_EQ(view.prompt_.messages.size(), c.messages.size());
        EXPECT_EQ(view.prompt_.messages.back(), c.messages.back());
        EXPECT_EQ(view.playbacksStarted, 0);
        EXPECT_FALSE(recorder().playing());
        // The menu command refuses a stopped side before it asks for a file.
        if (c.messages.back() == kTextComportANotOpen) {
            monitor.commands().dispatch(Command::PlaybackStart);
            EXPECT_TRUE(view.prompt_.fileRequests.empty());
        }
        recorder().OnRecordStop();
        monitor.sides().StopSide(Side::A);
        monitor.sides().WriteSettings(Side::A, serialWithoutReopen(*farA));
        ASSERT_TRUE(waitUntil([&] { return !monitor.sides().draining(); }));
    }
    std::vector<uint8_t> atA;
    drain(farA->master(), atA);
    EXPECT_TRUE(atA.empty());
    EXPECT_TRUE(view.shown[0].empty());
}

// A playback ended early: aborted (at once, also in a long pause, without a message), side A's
// device lost in a long pause (at once, with the reason), side A stopped by the user (at the
// next byte, with the reason). The menu offers playback again afterwards.
TEST_F(RecorderControlTest, APlaybackEndedEarlyStopsAtOnceWithItsReason) {
    const std::string longPause = writeRec({{0, 'a'}, {60000, 'b'}}, "long.rec");
    const std::string shortPause = writeRec({{0, 'a'}, {300, 'b'}, {60000, 'c'}}, "short.rec");
    const struct {
        const char* name;
        std::string path;
        std::function<void()> end;
        PlaybackState state;
        std::vector<std::string> messages;
    } cases[] = {
        {"abort", longPause, [&] { recorder().abortPlayback(); }, PlaybackState::aborted, {}},
        {"device lost",
         longPause,
         [&] {
             farA->releaseSlave();
             farA.reset();
         },
         PlaybackState::failed,
         {kTextComportANotOpen}},
        {"side stopped",
         shortPause,
         [&] { monitor.sides().StopSide(Side::A); },
         PlaybackState::failed,
         {kTextComportANotOpen}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.finished.clear();
        view.prompt_.messages.clear();
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(recorder().StartPlayback(c.path));
        ASSERT_EQ(collect(farA->master(), 1), bytesOf("a"));
        EXPECT_FALSE(recorder().recorderMenuState().playbackStartEnabled);
        EXPECT_FALSE(recorder().recorderMenuState().recordStartEnabled);
        c.end();
        ASSERT_TRUE(waitUntil([&] { return playbackEnded(); }, 5000));
        EXPECT_EQ(view.finished, std::vector<PlaybackState>{c.state});
        EXPECT_EQ(view.prompt_.messages, c.messages);
        EXPECT_EQ(recorder().playback()->bytesSent(), 1u);
        EXPECT_TRUE(recorder().recorderMenuState().playbackStartEnabled);
        monitor.sides().StopSide(Side::A);
        ASSERT_TRUE(waitUntil([&] { return !monitor.sides().draining(); }));
        farA = std::make_unique<PtyPair>();
        monitor.sides().WriteSettings(Side::A, serialWithoutReopen(*farA));
    }
}

// A recording that cannot be written stops at the first failure with one notice; the bridge
// goes on.
TEST_F(RecorderControlTest, AWriteFailureStopsRecordingOnceAndTheBridgeGoesOn) {
    startBoth();
    ASSERT_TRUE(recorder().StartRecording(file("full.rec")));
    std::vector<uint8_t> atB;
    const auto pass = [&](const std::string& text) {
        const size_t before = atB.size();
        farA->write(bytesOf(text));
        return waitUntil([&] {
            drain(farB.master(), atB);
            return atB.size() == before + text.size();
        });
    };
    ASSERT_TRUE(pass("ok"));
    {
        const FileSizeLimit full(2 * kRecordSize);
        ASSERT_TRUE(pass("over") && pass("more"));
    }
    EXPECT_FALSE(recorder().recording());
    EXPECT_FALSE(recorder().recorderIndicatorShown());
    ASSERT_EQ(view.prompt_.notices.size(), 1u);
    EXPECT_NE(view.prompt_.notices[0].find("Recording has been stopped."), std::string::npos);
    EXPECT_EQ(atB, bytesOf("okovermore"));
}

// The menu's record commands: the default name, the file kinds refused as targets, the
// extension added to a bare name, and the indicator that blinks only while side A runs.
TEST_F(RecorderControlTest, RecordStartChoosesAFileAndTheMenuFollows) {
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
        view.prompt_.messages.clear();
        view.prompt_.setNextFileName(c.chosen);
        monitor.commands().dispatch(Command::RecordStart);
        EXPECT_EQ(recorder().recording(), c.started);
        EXPECT_EQ(view.prompt_.messages.empty() ? "" : view.prompt_.messages.back(), c.message);
    }
    const FileDialogRequest& request = view.prompt_.fileRequests.back();
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.initialPath, "PortaVigilant_261208_1405.rec");
    EXPECT_EQ(request.filter, kRecorderFileFilter);
    EXPECT_EQ(recorder().writer().path(), file("capture.rec"));

    EXPECT_TRUE(recorder().recorderIndicatorShown());
    recorder().OnRecorderBlinkTick();
    EXPECT_TRUE(recorder().recorderIndicatorShown()) << "side A stopped: no blinking";
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    recorder().OnRecorderBlinkTick();
    EXPECT_FALSE(recorder().recorderIndicatorShown());
    recorder().OnRecorderBlinkTick();
    EXPECT_TRUE(recorder().recorderIndicatorShown());

    monitor.commands().dispatch(Command::RecordStop);
    EXPECT_FALSE(recorder().recording());
}

}  // namespace
