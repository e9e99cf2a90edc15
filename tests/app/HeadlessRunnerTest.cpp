#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include "app/LineMonitor.h"
#include "ports/DataFrame.h"
#include "ports/TtyLine.h"
#include "support/FakeView.h"
#include "support/ProgramRun.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

int openRaw(const QString& path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList bridge(const PtyPair& a, const PtyPair& b) {
    return {"--headless", "--device-a", q(a.path()), "--device-b", q(b.path())};
}

Outcome stop(QProcess* process, int signal = SIGTERM, int timeoutMs = 10000) {
    ::kill(static_cast<pid_t>(process->processId()), signal);
    return finish(process, timeoutMs);
}

// Side A's device sends there, side B's answers back; each must arrive whole.
void exchange(PtyPair& a, PtyPair& b, const std::string& there, const std::string& back) {
    a.write(bytesOf(there));
    EXPECT_EQ(b.read(there.size(), 5000), bytesOf(there));
    b.write(bytesOf(back));
    EXPECT_EQ(a.read(back.size(), 5000), bytesOf(back));
}

// A parameter file as the program saves it, with what configure set.
void saveParams(const QString& path, const std::function<void(LineMonitor&)>& configure) {
    FakeView view;
    LineMonitor monitor(view);
    configure(monitor);
    monitor.parameters().parameterFile().setPath(path.toStdString());
    ASSERT_TRUE(monitor.parameters().SaveParameters());
}

// Line n of a text file with CR LF line ends (1-based).
QByteArray lineOf(const QString& path, int n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    return n <= lines.size() ? lines[n - 1].chopped(1) : QByteArray();
}

// What the log holds after its header.
QByteArray logData(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<no log>";
    }
    const QByteArray log = file.readAll();
    const qsizetype end = log.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray("<no header>") : log.mid(end + 4);
}

TEST(HeadlessRunner, BadArgumentsExitWithTwoAndTheUsage) {
    const Outcome run = finish(launch({"--headless", "--device-a", "x", "--baud", "fast"}));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.stdErr.contains("--baud expects a whole number")) << run.stdErr.toStdString();
    EXPECT_TRUE(run.stdErr.contains("usage: portavigilant"));
}

TEST(HeadlessRunner, ASideThatCannotStartExitsWithOneAndItsMessage) {
    PtyPair b;
    const Outcome run = finish(
        launch({"--headless", "--device-a", "/nonexistent/ttyUSB3", "--device-b", q(b.path())}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.stdErr.trimmed(),
              "Unable to open the port !!! Maybe it is in use ! '/nonexistent/ttyUSB3' does not "
              "exist: the device is not connected, or it was removed.");
}

// Without --reopen, nothing left to bridge is a failed run, not an idle one; with it, the run
// waits for the device and bridges again.
TEST(HeadlessRunner, LosingTheDevicesEndsTheRunUnlessReopenWaitsForThem) {
    {
        SCOPED_TRACE("without --reopen");
        auto a = std::make_unique<PtyPair>();
        auto b = std::make_unique<PtyPair>();
        QProcess* process = launch(bridge(*a, *b));
        a->write(bytesOf("x"));
        EXPECT_EQ(b->read(1, 5000), bytesOf("x"));
        a.reset();
        b.reset();
        const Outcome run = finish(process);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.stdErr.trimmed().endsWith(
            "Every started side has lost its device; the run ends (with --reopen it would wait "
            "for the devices to come back)."))
            << run.stdErr.toStdString();
    }
    SCOPED_TRACE("with --reopen");
    TempFolder dir;
    const QString link = q(dir.file("ttyPlug"));
    auto a = std::make_unique<PtyPair>();
    PtyPair b;
    ASSERT_TRUE(QFile::link(q(a->path()), link));
    QProcess* process =
        launch({"--headless", "--device-a", link, "--device-b", q(b.path()), "--reopen"});
    a->write(bytesOf("x"));
    EXPECT_EQ(b.read(1, 5000), bytesOf("x"));
    a.reset();
    QFile::remove(link);
    a = std::make_unique<PtyPair>();
    ASSERT_TRUE(QFile::link(q(a->path()), link));
    // The bytes wait in the new pty until the program has opened it again.
    exchange(*a, b, "again", "back");
    const Outcome run = stop(process);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.stdErr.contains("waits for it to come back")) << run.stdErr.toStdString();
    EXPECT_TRUE(run.stdErr.contains("is back and open again"));
}

TEST(HeadlessRunner, BridgesUntilSigtermThenStopsCleanly) {
    PtyPair a, b;
    QProcess* process = launch(bridge(a, b) + QStringList{"--baud", "115200"});
    // Both directions at once, through the real program.
    const auto toB = randomBytes(200000, 31), toA = randomBytes(150000, 32);
    std::vector<uint8_t> atA, atB;
    std::thread ta([&] { atA = a.read(toA.size(), 5000); });
    std::thread tb([&] { atB = b.read(toB.size(), 5000); });
    // The program may still be opening its ports; the first bytes wait in the pty.
    a.write(toB);
    b.write(toA);
    ta.join();
    tb.join();
    EXPECT_TRUE(atB == toB) << atB.size();
    EXPECT_TRUE(atA == toA) << atA.size();
    EXPECT_EQ(getTtySpeed(a.slave()), 115200);
    EXPECT_EQ(getTtySpeed(b.slave()), 115200);
    const Outcome run = stop(process);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr, "");
}

TEST(HeadlessRunner, DurationEndsTheRunAndAVanishedDeviceIsReported) {
    auto a = std::make_unique<PtyPair>();
    PtyPair b;
    QProcess* process = launch(bridge(*a, b) + QStringList{"--duration", "1.5"});
    a->write(bytesOf("x"));
    EXPECT_EQ(b.read(1, 5000), bytesOf("x"));
    const std::string pathA = a->path();
    a.reset();
    const Outcome run = finish(process);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.stdErr.contains(q(pathA))) << run.stdErr.toStdString();
    EXPECT_EQ(run.stdErr.count('\n'), 1) << "one message, one line";
}

// The demo needs no hardware: two virtual ports that any program can open, bridged.
TEST(HeadlessRunner, DemoBridgesTwoVirtualPortsAndSaysHowToOpenThem) {
    TempFolder dir;
    const QString ports = q(dir.file("ports"));
    QProcess* process = launch({"--demo", "--virtual-dir", ports});
    QString intro;
    ASSERT_TRUE(waitUntil([&] {
        intro += QString::fromUtf8(process->readAllStandardOutput());
        return intro.contains("Ctrl-C");
    }));
    EXPECT_TRUE(intro.contains("picocom -b 115200 " + ports + "/COM1")) << intro.toStdString();
    EXPECT_TRUE(intro.contains(ports + "/COM2"));

    const int com1 = openRaw(ports + "/COM1");
    const int com2 = openRaw(ports + "/COM2");
    ASSERT_GE(com1, 0);
    ASSERT_GE(com2, 0);
    const auto hello = bytesOf("hello\r\n");
    ASSERT_EQ(::write(com1, hello.data(), hello.size()), static_cast<ssize_t>(hello.size()));
    std::vector<uint8_t> got;
    PtyPair::readFd(com2, got, hello.size(), 5000);
    EXPECT_EQ(got, hello);
    ::close(com1);
    ::close(com2);

    const Outcome run = stop(process, SIGINT);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(ports + "/COM1")) << "the ports are removed at the end";
}

TEST(HeadlessRunner, LogsBothDirectionsAndClosesTheLogOnSigint) {
    PtyPair a, b;
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString logPath = q(dir.file("run.log"));
    QProcess* process = launch(bridge(a, b) + QStringList{"--log", logPath});
    // B's row is still pending in the writer: only a proper stop writes it.
    exchange(a, b, "AT\r", "OK");
    const Outcome run = stop(process, SIGINT);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr, "");

    QFile file(logPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString log = QString::fromLatin1(file.readAll());
    log.replace(QRegularExpression("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d"), "<time>");
    log.replace(QRegularExpression(" by [^\r]*\r"), " by <user>\r");
    const auto row = [](QString ascii, const QString& hex) {
        return ascii.leftJustified(58, ' ') + hex + "\r\n";
    };
    const QString expected =
        "Logfile PortaVigilant Version 6.01\r\n"
        "More information can be found at : the README.md of the PortaVigilant sources\r\n"
        "created : <time> by <user>\r\n"
        "Remember to use a non-proportional characterset to view correctly !\r\n\r\n"
        "<time>     Comport A ('" +
        q(a.path()) + "')\r\n" + row("AT\x7F", "41 54 CR") + "<time>     Comport B ('" +
        q(b.path()) + "')\r\n" + row("OK", "4F 4B");
    EXPECT_EQ(log.toStdString(), expected.toStdString());
}

// Writes into fd until it has taken nothing for a while: the program no longer reads it.
void fillUntilHeldBack(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const auto chunk = randomBytes(4096, 77);
    // Well beyond what both pseudo-terminals buffer (about 35 KiB together), well below what is
    // taken before side A is paused (that plus the 256 KiB high-water mark): a program that has
    // not started yet, or was not scheduled for a while on a busy machine, is not held back yet.
    constexpr size_t kBeyondBuffers = 128 * 1024;
    size_t written = 0;
    const auto start = std::chrono::steady_clock::now();
    auto lastTaken = start;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        const auto now = std::chrono::steady_clock::now();
        if (written >= kBeyondBuffers && now - lastTaken >= std::chrono::milliseconds(300)) {
            return;
        }
        const ssize_t taken = ::write(fd, chunk.data(), chunk.size());
        if (taken > 0) {
            written += static_cast<size_t>(taken);
            lastTaken = std::chrono::steady_clock::now();
        } else {
            ::usleep(1000);
        }
    }
}

// Peers that stop reading, or hold a virtual port to the end, never keep the run from ending.
TEST(HeadlessRunner, SigtermEndsARunThatEveryPeerHasStalled) {
    {
        SCOPED_TRACE("both devices stalled");
        PtyPair a, b;
        QProcess* process = launch(bridge(a, b));
        fillUntilHeldBack(a.master());  // b never reads, so the program stops reading a
        const Outcome run = stop(process, SIGTERM, 5000);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.stdErr.contains("Comport B: ") &&
                    run.stdErr.contains("bytes were still waiting"))
            << run.stdErr.toStdString();
    }
    {
        SCOPED_TRACE("a client keeps a virtual port open");
        TempFolder dir;
        const QString ports = q(dir.file("ports"));
        QProcess* process = launch({"--demo", "--virtual-dir", ports});
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(ports + "/COM1"); }));
        const int client = openRaw(ports + "/COM1");
        ASSERT_GE(client, 0);
        const Outcome run = stop(process, SIGTERM, 5000);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.stdErr.count("is in use by"), 1) << run.stdErr.toStdString();
        ::close(client);
    }
}

TEST(HeadlessRunner, ALogThatCannotBeCreatedExitsWithThree) {
    PtyPair a, b;
    const Outcome run =
        finish(launch(bridge(a, b) + QStringList{"--log", "/nonexistent/dir/run.log"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.stdErr.endsWith("Unable to create file, sorry !\n"))
        << run.stdErr.toStdString();
}

TEST(HeadlessRunner, AParameterFileSetsUpTheSidesAndSaveWritesItBack) {
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString params = q(dir.file("lab.dat"));
    PtyPair a, b;
    const QStringList setup =
        bridge(a, b) + QStringList{"--params", params, "--start", "none", "--baud", "57600"};
    Outcome run = finish(launch(setup));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr, "");
    EXPECT_FALSE(QFile::exists(params)) << "nothing is written without --save";
    run = finish(launch(setup + QStringList{"--save"}));
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_TRUE(QFile::exists(params));

    // The file alone now names both devices and their speed.
    QProcess* process = launch({"--headless", "--params", params});
    a.write(bytesOf("ping"));
    EXPECT_EQ(b.read(4, 5000), bytesOf("ping"));
    EXPECT_EQ(getTtySpeed(a.slave()), 57600);
    run = stop(process);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr, "");
}

TEST(HeadlessRunner, ANamedFileThatIsNoParameterFileIsReportedOnOneLine) {
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString params = q(dir.file("notes.dat"));
    writeWholeFile(params.toStdString(), "shopping list\r\n");
    const Outcome run = finish(launch({"--headless", "--params", params, "--start", "none"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr, "Error while reading parameters ! Please check your adjustment !\n");
    // Asked to save, it still leaves another program's file alone, says so and ends with 4.
    const Outcome kept =
        finish(launch({"--headless", "--params", params, "--start", "none", "--save"}));
    EXPECT_EQ(kept.exitCode, 4);
    EXPECT_TRUE(kept.stdErr.contains("'" + params + "' was not read as a parameter file"))
        << kept.stdErr.toStdString();
    EXPECT_EQ(readWholeFile(params.toStdString()), "shopping list\r\n");
    const Outcome unwritable = finish(launch(
        {"--headless", "--params", q(dir.file("no/such/dir/x.dat")), "--start", "none", "--save"}));
    EXPECT_EQ(unwritable.exitCode, 4);
    EXPECT_TRUE(unwritable.stdErr.contains("Error saving parameters !!!"))
        << unwritable.stdErr.toStdString();
}

// --log writes both sides in its own form, whatever the parameter file's logging options say
// (here: logging disabled, side A not logged, plain bytes); --save leaves those options as they
// were. With timestamps the rows start with the time since the first row, and B's answer says
// how long it took.
TEST(HeadlessRunner, LogFormatsIgnoreTheFilesLoggingOptionsAndKeepThem) {
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString params = q(dir.file("lab.dat"));
    saveParams(params, [](LineMonitor& monitor) {
        LogSettings& log = monitor.logging().storedSettings();
        log.enabled = false;
        log.logA = false;
        log.mode = LogMode::PlainAscii;
    });
    struct Case {
        QStringList format;
        const char* pattern;  // what the log holds after its header
        bool plain;           // no side names, so no 'B'
    };
    const Case cases[] = {
        {{}, "     Comport A \\('", false},
        {{"--log-format", "hex"}, "41\tA\t", false},
        {{"--log-format=plain"}, "^AT\rOK$", true},
        {{"--log-timestamps", "start"},
         "(^|\r\n) {7}0\\.000 {12}AT\x7F +41 54 CR\r\n.*\r\n +\\d+\\.\\d{3} \\+\\d+\\.\\d ms +OK "
         "+4F "
         "4B\r\n$",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format.join(' ').toStdString());
        PtyPair a, b;
        const QString logPath = q(dir.file("run.log"));
        QProcess* process = launch(
            bridge(a, b) + QStringList{"--params", params, "--log", logPath, "--save"} + c.format);
        exchange(a, b, "AT\r", "OK");
        const Outcome run = stop(process);
        EXPECT_EQ(run.exitCode, 0) << run.stdErr.toStdString();
        const QByteArray data = logData(logPath);
        const QRegularExpression pattern(c.pattern, QRegularExpression::DotMatchesEverythingOption);
        EXPECT_TRUE(pattern.match(QString::fromLatin1(data)).hasMatch()) << data.toStdString();
        EXPECT_EQ(data.contains('B'), !c.plain) << "side B is logged too";
        EXPECT_EQ(lineOf(params, 43), "0") << "logging Enabled";
        EXPECT_EQ(lineOf(params, 44), "1") << "log mode";
        EXPECT_EQ(lineOf(params, 629), "0") << "log Comport A";
    }
}

// A full disk (here: a file size limit) stops logging with one message; the bridge goes on and
// the run ends with 3.
TEST(HeadlessRunner, ALogThatCannotBeWrittenOnEndsTheRunWithThree) {
    PtyPair a, b;
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const QString logPath = q(dir.file("run.log"));
    constexpr rlim_t kLimit = 4096;
    auto* process = new QProcess;
    process->setChildProcessModifier([] {
        const rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process->start(PV_EXECUTABLE,
                   bridge(a, b) + QStringList{"--log", logPath, "--log-format", "plain"});
    ASSERT_TRUE(process->waitForStarted(5000));
    const auto bytes = randomBytes(3 * kLimit, 41);
    for (size_t at = 0; at < bytes.size(); at += 1000) {
        const std::vector<uint8_t> piece(
            bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + 1000, bytes.size())));
        a.write(piece);
        EXPECT_EQ(b.read(piece.size(), 5000), piece);
    }
    const Outcome run = stop(process);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.stdErr.count("Logging has been stopped."), 1) << run.stdErr.toStdString();
    const QByteArray data = logData(logPath);
    EXPECT_LT(data.size(), static_cast<qsizetype>(kLimit));
    EXPECT_TRUE(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                           static_cast<qsizetype>(bytes.size()))
                    .startsWith(data));
}

// Side A as the link's server has no client at the start: side B waits for one, says so, and
// starts as soon as it connects.
TEST(HeadlessRunner, SideBStartsWhenAClientConnectsToSideAsServer) {
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    PtyPair b;
    int port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const QString params = q(dir.file("server.dat"));
    saveParams(params, [port](LineMonitor& monitor) {
        PortSettings& a = monitor.sides().settings(Side::A);
        a.serial = false;
        a.network = true;
        monitor.sides().networkSettings().port = port;
    });
    QProcess* process = launch({"--headless", "--params", params, "--device-b", q(b.path())});
    QString told;
    ASSERT_TRUE(waitUntil([&] {
        told += QString::fromUtf8(process->readAllStandardError());
        return told.contains("Comport B starts when a client connects") ||
               process->state() == QProcess::NotRunning;
    }));
    EXPECT_TRUE(told.contains(QString("(port %1)").arg(port))) << told.toStdString();

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    ASSERT_TRUE(client.waitForConnected(5000));
    DataFrame::Buffer frame{};
    const auto hello = bytesOf("hello");
    const int size = DataFrame::encode(hello.data(), static_cast<int>(hello.size()), frame);
    client.write(reinterpret_cast<const char*>(frame.data()), size);
    ASSERT_TRUE(client.waitForBytesWritten(5000));
    EXPECT_EQ(b.read(hello.size(), 5000), hello);

    const Outcome run = stop(process);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.stdErr.count('\n'), 0) << "only the one line already read";
}

}  // namespace
