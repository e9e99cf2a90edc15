#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

using State = FileTransfer::State;

constexpr const char* kSideAStopped = "Comport A is not started - the file is not sent";

class FileTransferTest : public test::EngineFixture {
  protected:
    std::string file(const std::string& name, const std::string& bytes) {
        writeWholeFile(dir.file(name), bytes);
        return dir.file(name);
    }
    bool upload(const std::string& path) {
        std::string refusal;
        const bool started = transfer().startUpload(path, refusal);
        EXPECT_EQ(refusal, "");
        return started;
    }
    bool ended(int timeoutMs = 10000) {
        return waitUntil([&] { return !transfer().uploading(); }, timeoutMs);
    }

    TempFolder dir;
};

TEST_F(FileTransferTest, FilesThatCannotBeReadAreRefusedOthersGoInBlocksAtTheirPace) {
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, farB.path(), dir.path().string(), std::string()}) {
        std::string refusal = "unchanged";
        EXPECT_FALSE(transfer().startUpload(path, refusal)) << path;
        EXPECT_EQ(refusal.substr(0, refusal.find('\n')),
                  path.empty() ? "" : "Unable to open file !!!");
        EXPECT_EQ(transfer().state(), State::Idle);
    }
    struct Case {
        bool paced;
        const char* ms;
        const char* bytes;
        size_t fileSize;
        std::vector<size_t> expected;
    };
    const Case cases[] = {
        {false, "10", "1", 300, {128, 128, 44}},
        {true, "10", "1", 5, {1, 1, 1, 1, 1}},
        // A parameter file's value beyond the limit is clamped when the upload starts.
        {true, "1", "4000", 2100, {1023, 1023, 54}},
    };
    std::string all;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileSize << " bytes, " << c.ms << " ms");
        blocksB.clear();
        timesB.clear();
        settings().delayOn = c.paced;
        settings().delayMsText = c.ms;
        settings().delayBytesText = c.bytes;
        const std::string bytes = text(randomBytes(c.fileSize, 7));
        all += bytes;
        ASSERT_TRUE(upload(file("up.bin", bytes)));
        ASSERT_TRUE(ended());
        EXPECT_EQ(transfer().state(), State::Finished);
        EXPECT_EQ(blocksB, c.expected);
        for (size_t i = 1; c.paced && i < timesB.size(); ++i) {
            EXPECT_GE(timesB[i] - timesB[i - 1], std::chrono::milliseconds(std::stoi(c.ms)))
                << "between blocks " << i - 1 << " and " << i;
        }
    }
    EXPECT_TRUE(atA(all.size()) == all) << "every byte, in order";
    EXPECT_TRUE(text(view.shown[1]) == all) << "shown and logged as side B's, nothing refused";
    EXPECT_TRUE(monitor.terminal().screen().text().empty()) << "not in the terminal's text";
}

// The device reads slowly: the upload waits for it instead of queueing the file, and its
// progress counts what has left, not what was handed on.
TEST_F(FileTransferTest, AnUnpacedUploadIntoASlowReaderKeepsMemoryBoundedAndHonestProgress) {
    const std::vector<uint8_t> bytes = randomBytes(1 << 20, 3);
    ASSERT_TRUE(upload(file("big.bin", text(bytes))));
    constexpr long long kKernelSlack = 64 * 1024;  // what the pseudo-terminal itself holds
    size_t mostBacklog = 0;
    long long mostAhead = 0;
    std::vector<uint8_t> got;
    const auto readUntil = [&](size_t count) {
        return waitUntil(
            [&] {
                PtyPair::readFd(farA.master(), got, std::min(got.size() + 2048, count), 0);
                mostBacklog = std::max(mostBacklog, monitor.receivePath().backlog(Side::A));
                mostAhead =
                    std::max(mostAhead, transfer().left() - static_cast<long long>(got.size()));
                return got.size() >= count;
            },
            30000);
    };
    ASSERT_TRUE(readUntil(bytes.size() / 2));
    EXPECT_TRUE(transfer().uploading()) << "half read: the rest still waits in the file";
    EXPECT_LE(mostBacklog, FileTransfer::kRoomBytes + kUnpacedBlockBytes);
    EXPECT_LE(mostAhead, kKernelSlack);
    ASSERT_TRUE(readUntil(bytes.size()) && ended());
    EXPECT_EQ(transfer().state(), State::Finished);
    EXPECT_TRUE(got == bytes);
}

// Aborted or cut off, an upload stops after the block in hand and says how far it came.
TEST_F(FileTransferTest, AnUploadThatEndsEarlyStopsAtOnceWithTheReasonAndTheCount) {
    const struct {
        const char* what;
        std::function<void()> fault;
        State state;
        std::string progress;  // before and after the count
        std::string reason;
        std::string refusal;  // of the next upload, its first line
    } cases[] = {
        {"aborted", [&] { transfer().abortUpload(); }, State::Aborted, "sent ", "", ""},
        {"side A stops", [&] { monitor.sides().StopSide(Side::A); }, State::Failed,
         "Upload stopped after ", ": " + std::string(kSideAStopped), kSideAStopped},
        {"side B stops", [&] { monitor.sides().StopSide(Side::B); }, State::Failed,
         "Upload stopped after ", ": the terminal was closed",
         "The terminal does not stand in for Comport B - the file is not sent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(monitor.sides().side(Side::A).started || monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().side(Side::B).started || monitor.sides().StartTerminal());
        settings().delayOn = true;
        settings().delayMsText = "5";
        ASSERT_TRUE(upload(file("slow.txt", std::string(1000, 'y'))));
        ASSERT_TRUE(waitUntil([&] { return transfer().handedOn() >= 3; }));
        c.fault();
        ASSERT_TRUE(ended(2000));
        EXPECT_EQ(transfer().state(), c.state);
        const long long sent = transfer().handedOn();
        EXPECT_EQ(transfer().progressText(),
                  c.progress + std::to_string(sent) + " of 1000 bytes" + c.reason);
        EXPECT_FALSE(waitUntil([&] { return transfer().handedOn() != sent; }, 50));
        if (c.state == State::Aborted) {
            EXPECT_EQ(atA(static_cast<size_t>(sent)).size(), static_cast<size_t>(sent));
        }
        std::string refusal;
        EXPECT_EQ(transfer().startUpload(dir.file("slow.txt"), refusal), c.refusal.empty());
        EXPECT_EQ(refusal.substr(0, refusal.find('\n')), c.refusal);
        transfer().abortUpload();
    }
    // A file that fails to read: the kernel answers reads of this one with EIO.
    ASSERT_TRUE(monitor.sides().StartTerminal());
    ASSERT_TRUE(upload("/proc/self/mem"));
    ASSERT_TRUE(ended());
    EXPECT_EQ(transfer().state(), State::Failed);
    EXPECT_EQ(transfer().progressText(), "Upload stopped after 0 of 0 bytes: Input/output error");
}

// Paced by lines: each line waits for the device's prompt, or for the time-out.
TEST_F(FileTransferTest, AnUploadByLinesWaitsForThePrompt) {
    settings().waitForText = ">";
    settings().waitTimeoutMs = 60000;
    ASSERT_TRUE(upload(file("script.txt", "one\ntwo\n")));
    EXPECT_EQ(atA(4), "one\n");
    EXPECT_FALSE(waitUntil([&] { return transfer().handedOn() > 4; }, 50)) << "waits for '>'";
    farA.write(bytesOf("ok\r\n> "));
    EXPECT_EQ(atA(8), "one\ntwo\n");
    EXPECT_FALSE(ended(50)) << "the last line waits too";
    farA.write(bytesOf("> "));
    ASSERT_TRUE(ended());

    settings().waitTimeoutMs = 20;
    ASSERT_TRUE(upload(file("script.txt", "a\nb\n")));
    ASSERT_TRUE(ended());
    EXPECT_EQ(transfer().progressText(),
              "sent 4 of 4 bytes; after 2 lines '>' did not come in time");
}

TEST_F(FileTransferTest, DownloadHoldsWhatTheTerminalShowsInItsOrder) {
    const std::string path = file("down.txt", "old contents");
    std::string refusal;
    ASSERT_TRUE(transfer().startDownload(path, refusal));
    settings().termEcho = true;
    type("ab");
    farA.write(bytesOf("XY\r\n"));
    ASSERT_TRUE(waitUntil([&] { return transfer().downloaded() == 6; }));
    type("c");
    monitor.sides().StopSide(Side::B);
    EXPECT_FALSE(transfer().downloading()) << "Stop B closes the file";
    EXPECT_EQ(readWholeFile(path), "abXY\r\nc");

    // A disk that is full: the first failed write ends the download with one notice.
    ASSERT_TRUE(monitor.sides().StartTerminal());
    ASSERT_TRUE(transfer().startDownload("/dev/full", refusal));
    farA.write(bytesOf("one"));
    ASSERT_TRUE(waitUntil([&] { return !transfer().downloading(); }));
    farA.write(bytesOf("two"));
    ASSERT_TRUE(waitUntil([&] { return screen() == "onetwo"; }));
    std::vector<std::string> said;
    std::copy_if(view.prompt_.notices.begin(), view.prompt_.notices.end(), std::back_inserter(said),
                 [](const std::string& n) { return n.rfind("Download", 0) == 0; });
    EXPECT_EQ(said, std::vector<std::string>{"Download stopped: writing to '/dev/full' failed (No "
                                             "space left on device); 0 bytes were written."});
}

}  // namespace
