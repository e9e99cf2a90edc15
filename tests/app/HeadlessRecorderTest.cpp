#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "recording/Records.h"
#include "support/ProgramRun.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// SIGTERM while recording: every block that reached side B is in the file, in order, since each
// is written before it is passed on and recording stops before the sides. SIGINT in a long pause
// of a playback ends it and the run at once, without an error.
TEST(HeadlessRecorder, ASignalEndsRecordingAndPlaybackCleanly) {
    TempFolder folder;
    PtyPair a, b;
    const std::string rec = folder.file("device.rec");
    QProcess* process = launch(
        {"--headless", "--device-a", q(a.path()), "--device-b", q(b.path()), "--record", q(rec)});
    std::vector<uint8_t> sent;
    for (unsigned chunk = 0; chunk < 5; ++chunk) {
        const std::vector<uint8_t> bytes = randomBytes(2000, chunk);
        a.write(bytes);
        ASSERT_EQ(b.read(bytes.size(), 5000), bytes);
        sent.insert(sent.end(), bytes.begin(), bytes.end());
    }
    ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
    EXPECT_EQ(finish(process).exitCode, 0);
    const std::string recorded = readWholeFile(rec);
    EXPECT_EQ(recorded.size(), sent.size() * kRecordSize);
    EXPECT_EQ(recordedBytes(recorded), sent);

    writeWholeFile(rec, recordsOf({{0, 'x'}, {60000, 'y'}}));
    process = launch({"--headless", "--device-a", q(a.path()), "--start", "a", "--play", q(rec)});
    ASSERT_EQ(a.read(1, 5000), bytesOf("x"));
    const auto before = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(process->processId()), SIGINT);
    const Outcome run = finish(process, 5000);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.stdErr.contains("Error")) << run.stdErr.toStdString();
}

// --play sends the file into side A and the run ends with it; a refusal ends with status 5 and
// its reason (every refusal takes that one way out); --dump-rec prints the file, with status 5
// for one that cannot play.
TEST(HeadlessRecorder, PlayAndDumpEndWithTheirStatus) {
    TempFolder folder;
    PtyPair a, b;
    const std::string good = folder.file("good.rec");
    writeWholeFile(good, recordsOf({{0, 'h'}, {20, 'i'}, {0, '!'}}) + "xy");
    writeWholeFile(folder.file("empty.rec"), "");
    // Split at spaces: the temporary paths have none.
    const struct {
        QString args;
        int exitCode;
        QString inStdErr;
        std::string atA;
        QString inStdOut;
    } cases[] = {
        {"--headless --start a --play-speed 2 --play-loop 2 --device-a " + q(a.path()) +
             " --play " + q(good),
         0, "Playback: 100 % (6 of 6 bytes sent)", "hi!hi!", ""},
        {"--headless --start b --device-b " + q(b.path()) + " --play " + q(good), 5,
         "Comport A is not open for serial connection !", "", ""},
        {"--dump-rec " + q(good), 0, "", "", "i!\n# 3 records, 20 ms\n# 2 trailing bytes ignored"},
        {"--dump-rec " + q(folder.file("empty.rec")), 5, "", "", "# no whole record: not playable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.toStdString());
        const Outcome run = finish(launch(c.args.split(' ')));
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.stdErr.contains(c.inStdErr)) << run.stdErr.toStdString();
        EXPECT_TRUE(run.stdOut.contains(c.inStdOut)) << run.stdOut.toStdString();
        EXPECT_EQ(a.read(c.atA.size(), 2000), bytesOf(c.atA));
    }
}

}  // namespace
