#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ports/VirtualSerialPort.h"
#include "support/PtyPair.h"
#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"

using namespace pv;

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 5000;

QString python() {
    const char* path = std::getenv("PV_PYTHON");
    return QString::fromLocal8Bit(path != nullptr && *path != '\0' ? path : "/usr/bin/python3");
}

std::string hexOf(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// An outside program that talks on stdin and stdout, line by line.
class Peer {
  public:
    void start(const QString& program, const QStringList& arguments) {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(kWaitMs)) << program.toStdString();
    }
    void startScript(const QStringList& arguments) {
        start(python(), QStringList{PV_PEER_SCRIPT} + arguments);
    }
    std::string line(int timeoutMs = kWaitMs) {
        (void)QTest::qWaitFor(
            [this] { return process.canReadLine() || process.state() == QProcess::NotRunning; },
            timeoutMs);
        if (!process.canReadLine()) {
            return "(no line: " + process.readAllStandardError().toStdString() + ")";
        }
        return process.readLine().trimmed().toStdString();
    }
    void send(const std::string& text) { process.write(QByteArray::fromStdString(text + "\n")); }
    bool finish() {
        process.closeWriteChannel();
        return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, kWaitMs);
    }
    ~Peer() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kWaitMs);
        }
    }

    QProcess process;
};

// Collects what the port receives, the way the monitor's receive step reads it.
struct Receiver {
    explicit Receiver(CVirtualSerialPort& port) {
        QObject::connect(&port, &CVirtualSerialPort::OnDataAvailable, &port, [this, &port](int n) {
            uint8_t capture[10240];
            const int taken = port.ReadBytes(capture, std::min(n, int(sizeof capture)));
            bytes.insert(bytes.end(), capture, capture + taken);
        });
    }
    bool waitFor(size_t count, int timeoutMs = kWaitMs) {
        return QTest::qWaitFor([&] { return bytes.size() >= count; }, timeoutMs);
    }
    std::vector<uint8_t> bytes;
};

// Answers each in-use box by running the step scripted for it.
class StepPrompt : public Prompt {
  public:
    PromptAnswer message(const std::string& text, const std::string&, PromptButtons buttons,
                         PromptIcon) override {
        messages.push_back(text);
        EXPECT_EQ(buttons, PromptButtons::OkCancel);
        if (messages.size() > steps.size()) {
            ADD_FAILURE() << "unexpected box: " << text;
            return PromptAnswer::Cancel;
        }
        return steps[messages.size() - 1]();
    }
    std::optional<std::string> chooseFile(const FileDialogRequest&) override { return {}; }
    void notice(const std::string& text) override { notices.push_back(text); }

    std::vector<std::function<PromptAnswer()>> steps;
    std::vector<std::string> notices;
    std::vector<std::string> messages;
};

std::string inUseText(const std::string& port, const std::string& user) {
    return "Serial port '" + port + "' is in use by '" + user +
           "'!\nPlease close it there first. Otherwise I am unable to delete the port!\n\nPress "
           "'OK' after closing the port in the other application!\n\nPress 'Cancel' to abort, but "
           "this will lead to a 'hanging' port in Windows device manager!";
}

class VirtualPort : public ::testing::Test {
  protected:
    std::string dir() const { return scratch.file("vp"); }
    std::string scratchFile(const char* name) const { return scratch.file(name); }
    // Starts the plain peer on the port and waits until the port has seen it arrive.
    void startPlainPeer(Peer& peer, CVirtualSerialPort& port) {
        peer.startScript({"plain", QString::fromStdString(port.linkPath())});
        ASSERT_EQ(peer.line(), "open");
        ASSERT_TRUE(QTest::qWaitFor([&] { return port.peerConnected(); }, kWaitMs));
    }

    TempFolder scratch;
    ScriptedPrompt prompt;
};

TEST_F(VirtualPort, ExchangesOneMegabyteBothWaysWithASlowReader) {
    constexpr size_t kSize = 1 << 20;
    CVirtualSerialPort port(prompt, dir());
    ASSERT_TRUE(port.OpenPort("COM5")) << port.lastError();
    const auto toPeer = randomBytes(kSize, 1);
    const auto fromPeer = randomBytes(kSize, 2);
    writeFile(scratchFile("to_peer"), toPeer);
    writeFile(scratchFile("from_peer"), fromPeer);
    Receiver receiver(port);

    Peer peer;
    peer.startScript({"exchange", QString::fromStdString(port.linkPath()),
                      QString::fromStdString(scratchFile("to_peer")),
                      QString::fromStdString(scratchFile("from_peer"))});
    ASSERT_EQ(peer.line(), "open");
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.peerConnected(); }, kWaitMs));

    // The peer reads nothing yet, so most of this has to wait in our queue.
    for (size_t at = 0; at < toPeer.size(); at += 4096) {
        const int n = static_cast<int>(std::min<size_t>(4096, toPeer.size() - at));
        EXPECT_EQ(port.WriteBytes(toPeer.data() + at, n), n);
    }
    EXPECT_GT(port.queuedCount(), kSize / 2);
    EXPECT_LE(port.queuedCount(), pv::Channel::kQueueBound);

    peer.send("go");
    EXPECT_EQ(peer.line(60000), "rx ok");
    ASSERT_TRUE(receiver.waitFor(fromPeer.size(), 60000)) << receiver.bytes.size();
    EXPECT_TRUE(receiver.bytes == fromPeer);
    EXPECT_EQ(port.queuedCount(), 0u);
    EXPECT_EQ(port.droppedCount(), 0);
    peer.send("done");
    EXPECT_TRUE(peer.finish());
}

TEST_F(VirtualPort, PassesEveryByteValueUntranslatedToAProgramThatSetsNothing) {
    CVirtualSerialPort port(prompt, dir());
    ASSERT_TRUE(port.OpenPort("COM1")) << port.lastError();
    Receiver receiver(port);
    Peer peer;
    startPlainPeer(peer, port);

    // CR, LF, ^C, ^D, XON/XOFF and DEL would all be changed or eaten by a cooked line.
    std::vector<uint8_t> everyValue;
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 256; ++b) {
            everyValue.push_back(static_cast<uint8_t>(b));
        }
    }
    EXPECT_EQ(port.WriteBytes(everyValue.data(), int(everyValue.size())), 512);
    peer.send("read 512 3000");
    EXPECT_EQ(peer.line(), "got " + hexOf(everyValue));

    peer.send("write " + hexOf(everyValue));
    EXPECT_EQ(peer.line(), "written");
    ASSERT_TRUE(receiver.waitFor(everyValue.size()));
    EXPECT_EQ(hexOf(receiver.bytes), hexOf(everyValue)) << "no echo, no translation";
}

TEST_F(VirtualPort, BytesForNobodyAreDroppedAndCountedNeverDeliveredLater) {
    CVirtualSerialPort port(prompt, dir());
    QObject::connect(&port, &pv::Channel::notice,
                     [&](const std::string& text) { prompt.notice(text); });
    ASSERT_TRUE(port.OpenPort("COM3")) << port.lastError();
    EXPECT_FALSE(port.peerConnected());
    const auto early = bytesOf("early");
    EXPECT_EQ(port.WriteBytes(early.data(), 5), 0);
    EXPECT_EQ(port.droppedCount(), 5);

    {
        Peer peer;
        startPlainPeer(peer, port);
        // The next program to open the port hears what it missed, once.
        EXPECT_EQ(prompt.notices,
                  std::vector<std::string>{
                      "COM3: 5 bytes were dropped because no program was reading the port."});
        const auto fresh = bytesOf("fresh");
        EXPECT_EQ(port.WriteBytes(fresh.data(), 5), 5);
        peer.send("read 64 300");
        EXPECT_EQ(peer.line(), "got " + hexOf(fresh));
        const auto unread = bytesOf("unread");
        EXPECT_EQ(port.WriteBytes(unread.data(), 6), 6);
        peer.send("quit");
        ASSERT_TRUE(peer.finish());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !port.peerConnected(); }, kWaitMs));
    // What the program left unread is dropped; the kernel may report it only in part.
    EXPECT_GE(port.droppedCount(), 5);
    EXPECT_LE(port.droppedCount(), 5 + 6);

    {
        // More than the pty holds: the rest waits in our queue when the program goes.
        Peer peer;
        startPlainPeer(peer, port);
        const auto bulk = randomBytes(64 << 10, 3);
        EXPECT_EQ(port.WriteBytes(bulk.data(), int(bulk.size())), int(bulk.size()));
        EXPECT_GT(port.queuedCount(), 0u);
        peer.send("quit");
        ASSERT_TRUE(peer.finish());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !port.peerConnected(); }, kWaitMs));
    EXPECT_EQ(port.queuedCount(), 0u);
    // The kernel reports only part of what its pty buffers held, so the count is a lower bound.
    EXPECT_GE(port.droppedCount(), 5 + 6 + (48 << 10));

    Peer next;
    startPlainPeer(next, port);
    const auto latest = bytesOf("new");
    EXPECT_EQ(port.WriteBytes(latest.data(), 3), 3);
    next.send("read 64 300");
    EXPECT_EQ(next.line(), "got " + hexOf(latest));
    EXPECT_EQ(prompt.notices.size(), 3u);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(VirtualPort, AReceiverThatSkipsANotificationIsAskedAgain) {
    CVirtualSerialPort port(prompt, dir());
    ASSERT_TRUE(port.OpenPort("COM8")) << port.lastError();
    int notifications = 0;
    std::vector<uint8_t> received;
    QObject::connect(&port, &CVirtualSerialPort::OnDataAvailable, &port, [&](int count) {
        if (++notifications % 2 == 1) {
            return;  // busy elsewhere, e.g. its buffer is full
        }
        uint8_t capture[64];
        const int taken = port.ReadBytes(capture, std::min(count, int(sizeof capture)));
        received.insert(received.end(), capture, capture + taken);
    });
    Peer peer;
    startPlainPeer(peer, port);
    const auto data = randomBytes(200, 4);
    peer.send("write " + hexOf(data));
    EXPECT_EQ(peer.line(), "written");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= data.size(); }, kWaitMs))
        << received.size() << " after " << notifications << " notifications";
    EXPECT_EQ(hexOf(received), hexOf(data));
}

TEST_F(VirtualPort, InUseBoxNamesTheProgramAndRepeatsUntilItHasClosed) {
    StepPrompt steps;
    CVirtualSerialPort port(steps, dir());
    ASSERT_TRUE(port.OpenPort("COM4")) << port.lastError();
    const std::string link = port.linkPath();
    Peer socat;
    socat.start("socat", {"-", QString::fromStdString(link) + ",raw,echo=0"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.peerConnected(); }, kWaitMs));
    EXPECT_EQ(port.UsedBy(), "socat");

    steps.steps = {[] { return PromptAnswer::Ok; },  // pressed while socat still holds it
                   [&] {
                       EXPECT_TRUE(socat.finish());
                       return PromptAnswer::Ok;
                   }};
    EXPECT_TRUE(port.ClosePort());
    ASSERT_EQ(steps.messages.size(), 2u);
    EXPECT_EQ(steps.messages[0], inUseText("COM4", "socat"));
    EXPECT_EQ(steps.messages[1], steps.messages[0]);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portName(), "");
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(VirtualPort, CancelInTheInUseBoxLeavesTheWorkingPortInPlace) {
    StepPrompt steps;
    CVirtualSerialPort port(steps, dir());
    ASSERT_TRUE(port.OpenPort("COM6")) << port.lastError();
    Receiver receiver(port);
    Peer socat;
    socat.start("socat", {"-", QString::fromStdString(port.linkPath()) + ",raw,echo=0"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.peerConnected(); }, kWaitMs));

    steps.steps = {[] { return PromptAnswer::Cancel; }};
    EXPECT_FALSE(port.ClosePort());
    EXPECT_EQ(steps.messages.size(), 1u);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(fs::read_symlink(port.linkPath()), port.slavePath());
    socat.send("still here");
    EXPECT_TRUE(receiver.waitFor(11));
    EXPECT_EQ(std::string(receiver.bytes.begin(), receiver.bytes.end()), "still here\n");

    EXPECT_TRUE(port.OpenPort("COM6")) << "a start under the same name takes the port up again";
    EXPECT_TRUE(socat.finish());
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(steps.messages.size(), 1u) << "no box once nobody holds the port";
}

TEST_F(VirtualPort, ClosedPortAnswersQuietly) {
    CVirtualSerialPort port(prompt, dir());
    EXPECT_TRUE(port.ClosePort());
    uint8_t buffer[16] = {1, 2, 3};
    EXPECT_EQ(port.WriteBytes(buffer, 3), 0);
    EXPECT_EQ(port.ReadBytes(buffer, 16), 0);
    EXPECT_EQ(port.UsedBy(), "");
    ASSERT_TRUE(port.OpenPort("COM2"));
    EXPECT_TRUE(port.ClosePort());
    EXPECT_TRUE(port.ClosePort());
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(fs::exists(dir() + "/COM2"));
    EXPECT_FALSE(fs::exists(dir() + "/.COM2.lock"));
}

TEST_F(VirtualPort, OneNameServesOnePort) {
    CVirtualSerialPort first(prompt, dir());
    CVirtualSerialPort second(prompt, dir());
    ASSERT_TRUE(first.OpenPort("COM5"));
    EXPECT_FALSE(second.OpenPort("COM5"));
    EXPECT_NE(second.lastError(), "");
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(fs::read_symlink(dir() + "/COM5"), first.slavePath()) << "the live link is kept";

    ASSERT_TRUE(first.OpenPort("COM7")) << "a new name lets go of the old one";
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir() + "/COM5")));
    EXPECT_TRUE(second.OpenPort("COM5")) << second.lastError();
    EXPECT_NE(first.slavePath(), second.slavePath());

    for (const char* bad : {"", "../COM1", "COM1/x", ".hidden"}) {
        CVirtualSerialPort port(prompt, dir());
        EXPECT_FALSE(port.OpenPort(bad)) << bad;
    }
    EXPECT_FALSE(fs::exists(scratch.file("COM1")));
}

TEST_F(VirtualPort, PlantedEntriesAreNeverFollowedOrReplaced) {
    const std::string victim = scratchFile("victim");
    std::ofstream(victim) << "keep";
    struct Case {
        const char* name;
        std::function<void(const std::string& at)> plant;
    };
    const Case cases[] = {
        {"COM1", [&](const std::string& at) { fs::create_symlink(victim, at); }},
        {"COM2", [&](const std::string& at) { std::ofstream(at) << "file"; }},
        {"COM3", [&](const std::string& at) { fs::create_directory(at); }},
        {"COM4", [&](const std::string& at) { fs::create_symlink("../victim", at); }},
    };
    fs::create_directory(dir());
    fs::permissions(dir(), fs::perms::owner_all);
    for (const Case& c : cases) {
        const std::string at = dir() + "/" + c.name;
        c.plant(at);
        const auto before = fs::symlink_status(at).type();
        CVirtualSerialPort port(prompt, dir());
        EXPECT_FALSE(port.OpenPort(c.name)) << c.name;
        EXPECT_EQ(fs::symlink_status(at).type(), before) << c.name;
    }
    EXPECT_EQ(fs::read_symlink(dir() + "/COM1"), victim);
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");

    // The directory itself swapped for a link to one that looks right.
    const std::string lookalike = scratchFile("lookalike");
    fs::create_directory(lookalike);
    fs::permissions(lookalike, fs::perms::owner_all);
    fs::create_directory_symlink(lookalike, scratchFile("vp-link"));
    CVirtualSerialPort port(prompt, scratchFile("vp-link"));
    EXPECT_FALSE(port.OpenPort("COM1"));
    EXPECT_TRUE(fs::is_empty(lookalike));
}

TEST_F(VirtualPort, StaleLinkOfAKilledInstanceIsTakenOver) {
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PV_HELPER_DIR", QString::fromStdString(dir()));
    helper.setProcessEnvironment(env);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_filter=VirtualPortHelper.DISABLED_HoldPortUntilKilled",
                  "--gtest_also_run_disabled_tests"});
    QByteArray output;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += helper.readAllStandardOutput();
            return output.contains("holding COM9");
        },
        kWaitMs));
    const std::string link = dir() + "/COM9";
    ASSERT_TRUE(fs::is_symlink(link));
    helper.kill();
    ASSERT_TRUE(helper.waitForFinished(kWaitMs));
    ASSERT_TRUE(fs::is_symlink(link)) << "a killed instance leaves its link behind";

    CVirtualSerialPort port(prompt, dir());
    ASSERT_TRUE(port.OpenPort("COM9")) << port.lastError();
    EXPECT_EQ(fs::read_symlink(link), port.slavePath());
    Peer peer;
    startPlainPeer(peer, port);
    const auto hello = bytesOf("hello");
    EXPECT_EQ(port.WriteBytes(hello.data(), 5), 5);
    peer.send("read 5 2000");
    EXPECT_EQ(peer.line(), "got " + hexOf(hello));
}

// Run only by StaleLinkOfAKilledInstanceIsTakenOver, in a process of its own that gets killed.
TEST(VirtualPortHelper, DISABLED_HoldPortUntilKilled) {
    const char* dir = std::getenv("PV_HELPER_DIR");
    ASSERT_NE(dir, nullptr);
    ScriptedPrompt prompt;
    CVirtualSerialPort port(prompt, dir);
    ASSERT_TRUE(port.OpenPort("COM9")) << port.lastError();
    std::printf("holding COM9\n");
    std::fflush(stdout);
    (void)QTest::qWaitFor([] { return false; }, 60000);
}

}  // namespace
