#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>

#include "ports/SerialPort.h"
#include "support/FakeTtyBackend.h"
#include "support/PtyPair.h"
#include "support/Spawned.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

bool openPort(SerialPort& port, const std::string& path, int baud = 9600) {
    std::string error;
    const bool ok = port.Open(path, baud, "N", 8, 1, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

TEST(SerialPortOpen, RejectsBadParametersWithAllFiveValues) {
    PtyPair pty;
    struct Case {
        int baud;
        const char* parity;
        int dataBits;
        int stopBits;
        const char* shownParity;
    };
    const Case cases[] = {{9600, "x", 8, 1, "X"}, {9600, "N", 6, 1, "N"}, {9600, "N", 9, 1, "N"},
                          {9600, "e", 8, 0, "E"}, {9600, "N", 8, 3, "N"}, {74, "N", 8, 1, "N"},
                          {9600, "", 8, 1, ""}};
    for (const Case& c : cases) {
        SerialPort port;
        std::string error;
        EXPECT_FALSE(port.Open(pty.path(), c.baud, c.parity, c.dataBits, c.stopBits, error));
        char expected[256];
        std::snprintf(expected, sizeof expected, "Fehlerhafter Parameter in ('%s',%d,%s,%d,%d)",
                      pty.path().c_str(), c.baud, c.shownParity, c.dataBits, c.stopBits);
        EXPECT_EQ(error.substr(0, error.find('\n')), expected);
        EXPECT_EQ(error.substr(error.find('\n') + 1), port.failureCause());
        EXPECT_FALSE(port.isOpen());
    }
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open("", 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Fehlerhafter Parameter in ('',9600,N,8,1)\nNo device is chosen.");
    EXPECT_FALSE(port.Open("/dev/null", 74, "N", 8, 1, error));
    EXPECT_EQ(port.failureCause(), "74 baud is below the lowest rate, 75 baud.");
}

TEST(SerialPortOpen, AcceptsEveryFrameFormatAndAnyBaud) {
    PtyPair pty;
    for (const char* parity : {"n", "E", "O", "M", "S"}) {
        for (int dataBits : {7, 8}) {
            for (int stopBits : {1, 2}) {
                SerialPort port;
                std::string error;
                ASSERT_TRUE(port.Open(pty.path(), 250000, parity, dataBits, stopBits, error))
                    << parity << dataBits << stopBits << error;
                EXPECT_EQ(port.currentBaud(), 250000);
                EXPECT_EQ(error, "");
            }
        }
    }
}

TEST(SerialPortOpen, OpenTwiceAndDevicesInUseOrUnusable) {
    PtyPair pty;
    SerialPort first;
    ASSERT_TRUE(openPort(first, pty.path()));
    std::string error;
    EXPECT_FALSE(first.Open(pty.path(), 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Schnittstelle '" + pty.path() +
                         "' ist bereits initialisert !!!\nThe port is open already.");
    EXPECT_TRUE(first.isOpen());

    SerialPort second;
    EXPECT_FALSE(second.Open(pty.path(), 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Handle für '" + pty.path() +
                         "' konnte nicht erzeugt werden !!!\nVermutlich ist der Port in Gebrauch "
                         "!\n'" +
                         pty.path() +
                         "' is locked by another program, or by the other side of this one.");
    EXPECT_EQ(second.failureCause(), error.substr(error.rfind('\n') + 1));
    second.Close();

    first.Close();
    EXPECT_TRUE(openPort(second, pty.path())) << "the lock is released by Close";
    EXPECT_EQ(second.failureCause(), "");
}

// Whatever the path names, one message with its cause beneath the fixed text; nothing is left
// open and nothing is retried.
TEST(SerialPortOpen, PathsThatAreNoSerialDeviceGiveOneClearMessageEach) {
    TempFolder dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeWholeFile(dir.file("file"), "x");
    std::filesystem::create_symlink(dir.file("ttyGone"), dir.file("dangling"));
    const std::string noHandle =
        "' konnte nicht erzeugt werden !!!\nVermutlich ist der Port in Gebrauch !\n";
    const std::string noState = "' konnte nicht übernommen werden !!!\n";
    struct Case {
        std::string path;
        std::string fixed;  // the driver's text after "Handle für '<path>" or "Status für '<path>"
        std::string cause;
    };
    const Case cases[] = {
        {dir.path().string(), noHandle, "is a folder, not a serial device."},
        {fifo, noState, "is a FIFO (named pipe), not a serial device."},
        {dir.file("file"), noState, "is a regular file, not a serial device."},
        {"/proc/self/cmdline", noState, "is a regular file, not a serial device."},
        {"/dev/null", noState, "is not a terminal device, so no serial port."},
        {dir.file("dangling"), noHandle,
         "is a link to '" + dir.file("ttyGone") +
             "', which does not exist: the device is not connected."},
        {"/nonexistent/ttyUSB9", noHandle, "does not exist: the device is not connected"},
        {dir.file("file") + "/x", noHandle, "Not a directory"},
    };
    for (const Case& c : cases) {
        SerialPort port;
        std::string error;
        EXPECT_FALSE(port.Open(c.path, 9600, "N", 8, 1, error)) << c.path;
        const std::string head = (c.fixed == noHandle ? "Handle für '" : "Status für '") + c.path;
        EXPECT_EQ(error.rfind(head + c.fixed + "'" + c.path + "'", 0), 0u) << error;
        EXPECT_NE(port.failureCause().find(c.cause), std::string::npos) << port.failureCause();
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.fd(), -1);
    }
}

// Another program reading the device would take the received bytes: it is refused by name. The
// test itself, which serves the pty, is the line's other end and does not count.
TEST(SerialPortOpen, ADeviceAnotherProgramHoldsIsRefusedWithItsName) {
    PtyPair pty;
    auto reader = std::make_unique<Spawned>(holderCommand(), pty.path());
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open(pty.path(), 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Handle für '" + pty.path() +
                         "' konnte nicht erzeugt werden !!!\nVermutlich ist der Port in Gebrauch "
                         "!\n'" +
                         pty.path() +
                         "' is open in another program, which would take the received bytes: "
                         "'sleep' (process " +
                         std::to_string(reader->pid()) + ").");
    EXPECT_FALSE(port.isOpen());
    reader.reset();
    EXPECT_TRUE(openPort(port, pty.path()));
}

// A driver that cannot run at the rate asked for runs at another one; the open fails and says
// both, instead of reporting success on a line at the wrong speed.
TEST(SerialPortOpen, ARateTheDriverRefusesFailsTheOpenNamingBothRates) {
    PtyPair pty;
    FakeTtyBackend driver;
    driver.maxBaud = 230400;
    SerialPort port(driver);
    std::string error;
    EXPECT_FALSE(port.Open(pty.path(), 250000, "N", 8, 1, error));
    EXPECT_EQ(error, "Device-Control Block für '" + pty.path() +
                         "' konnte nicht verbunden werden !!!\nThe driver refused 250000 baud; it "
                         "offered 230400 baud.");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.fd(), -1);
    ASSERT_TRUE(openPort(port, pty.path(), 230400));
    EXPECT_EQ(port.currentBaud(), 230400);
}

// Root passes TIOCEXCL, so the test asks as nobody, in a child process.
TEST(SerialPortOpen, OthersMayOpenTheDeviceOnceThePortIsClosed) {
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.path().c_str(), 0666), 0);
    const auto othersMayOpen = [&] {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            ::_exit(fd >= 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    SerialPort port;
    ASSERT_TRUE(openPort(port, pty.path()));
    EXPECT_FALSE(othersMayOpen()) << "exclusive while open";
    port.Close();
    EXPECT_TRUE(othersMayOpen()) << "the exclusive flag outlived the port";
}

TEST(SerialPortOpen, DsrFlowIsRefusedRatherThanIgnored) {
    PtyPair pty;
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open(pty.path(), 9600, "N", 8, 1, error, false, true));
    EXPECT_EQ(error, "Device-Control Block für '" + pty.path() +
                         "' konnte nicht verbunden werden !!!\nDSR flow control has no "
                         "counterpart on Linux.");
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPortClosed, EveryOperationRefuses) {
    SerialPort port;
    std::string error;
    const uint8_t byte = 0x41;
    EXPECT_FALSE(port.Write(&byte, 1, error));
    EXPECT_EQ(error, "Schnittstelle '' ist nicht initialisert !!!");
    int received = 7;
    EXPECT_FALSE(port.Read(10, received, 1));
    EXPECT_EQ(received, 7);
    EXPECT_EQ(port.GetInQueue(), -1);
    EXPECT_FALSE(port.SetReadTimeout(1));
    EXPECT_FALSE(port.SetLines(true, true, true, true));
    EXPECT_FALSE(port.SetFlowControl(true, false, true, false));
    bool cts, dsr, ring, rlsd;
    EXPECT_FALSE(port.GetModemStatus(cts, dsr, ring, rlsd));
    EXPECT_FALSE(port.StartEventThread(nullptr, {}));
    EXPECT_FALSE(port.StopEventThread());
    port.Close();
}

TEST(SerialPortIo, WriteReadAndQueueCount) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(openPort(port, pty.path()));
    std::string error;
    const auto out = randomBytes(3000, 1);
    ASSERT_TRUE(port.Write(out.data(), static_cast<int>(out.size()), error)) << error;
    EXPECT_EQ(pty.read(out.size()), out) << "no byte may be translated";

    int received = -1;
    EXPECT_TRUE(port.Read(0, received, 1));
    EXPECT_EQ(received, 0);
    EXPECT_FALSE(port.Read(10, received, -1));
    EXPECT_FALSE(port.Read(10, received, 1)) << "nothing waiting";
    EXPECT_EQ(received, 0);

    // The tty layer hands at most 4 KB at a time to its reader.
    const auto in = randomBytes(3000, 2);
    pty.write(in);
    ASSERT_TRUE(waitUntil([&] { return port.GetInQueue() == 3000; }));
    ASSERT_TRUE(port.Read(port.GetInQueue(), received, 1));
    EXPECT_EQ(received, 3000);
    EXPECT_EQ(port.rxCount(), 3000);
    EXPECT_EQ(std::vector<uint8_t>(port.rxBuffer(), port.rxBuffer() + received), in);
}

TEST(SerialPortLines, SetLinesAndModemStatusThroughTheBackend) {
    PtyPair pty;
    FakeTtyBackend lines;
    SerialPort port(lines);
    ASSERT_TRUE(openPort(port, pty.path()));
    EXPECT_TRUE(port.SetLines(true, true, false, false));
    EXPECT_EQ(lines.lines(port.fd()) & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);
    EXPECT_TRUE(port.SetLines(true, false, true, true));
    EXPECT_EQ(lines.lines(port.fd()) & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);

    lines.setInputLines(port.fd(), TIOCM_CTS | TIOCM_CD, true);
    bool cts = false, dsr = true, ring = true, rlsd = false;
    ASSERT_TRUE(port.GetModemStatus(cts, dsr, ring, rlsd));
    EXPECT_TRUE(cts);
    EXPECT_FALSE(dsr);
    EXPECT_FALSE(ring);
    EXPECT_TRUE(rlsd);

    EXPECT_TRUE(port.SetFlowControl(false, false, true, true));
    EXPECT_FALSE(port.SetFlowControl(true, true, false, false)) << "DSR flow cannot be done";
}

TEST(SerialPortLines, RealPtyHasNoModemLines) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(openPort(port, pty.path()));
    bool cts, dsr, ring, rlsd;
    EXPECT_FALSE(port.GetModemStatus(cts, dsr, ring, rlsd));
}

class EventCollector {
  public:
    SerialEventHandler handler() {
        return [this](SerialPort& port, unsigned events) {
            all |= events;
            ++calls;
            if (events & SerialEvent::RxChar) {
                int n = 0;
                if (port.Read(port.GetInQueue(), n, 1)) {
                    received.insert(received.end(), port.rxBuffer(), port.rxBuffer() + n);
                }
            }
        };
    }
    unsigned all = 0;
    int calls = 0;
    std::vector<uint8_t> received;
};

TEST(SerialPortEvents, ReceivedBytesAndLineChangesReachTheMainThread) {
    PtyPair pty;
    FakeTtyBackend lines;
    SerialPort port(lines);
    ASSERT_TRUE(openPort(port, pty.path()));
    QObject owner;
    EventCollector events;
    ASSERT_TRUE(port.StartEventThread(&owner, events.handler()));
    EXPECT_TRUE(port.threadRunning());
    EXPECT_FALSE(port.StartEventThread(&owner, events.handler())) << "one thread per port";

    const auto data = randomBytes(20000, 3);
    std::thread writer([&] { pty.write(data); });
    ASSERT_TRUE(waitUntil([&] { return events.received.size() == data.size(); }));
    writer.join();
    EXPECT_EQ(events.received, data);

    lines.setInputLines(port.fd(), TIOCM_CTS, true);
    ASSERT_TRUE(waitUntil([&] { return (events.all & SerialEvent::Cts) != 0; }));
    lines.setInputLines(port.fd(), TIOCM_DSR, true);
    ASSERT_TRUE(waitUntil([&] { return (events.all & SerialEvent::Dsr) != 0; }));
    EXPECT_EQ(events.all & (SerialEvent::Ring | SerialEvent::Rlsd), 0u);

    EXPECT_TRUE(port.StopEventThread());
    EXPECT_FALSE(port.threadRunning());
    EXPECT_FALSE(port.StopEventThread()) << "a second stop reports false";
}

// A driver that can wait for line changes is waited on, not polled; the stop ends the wait. One
// whose wait ends at once, again and again, is not let to spin the thread.
TEST(SerialPortEvents, LineChangesComeFromTheDriversWaitWhereItHasOne) {
    PtyPair pty;
    FakeTtyBackend lines;
    lines.lineWaits = true;
    SerialPort port(lines);
    ASSERT_TRUE(openPort(port, pty.path()));
    QObject owner;
    EventCollector events;
    for (int round = 0; round < 3; ++round) {
        const int waits = lines.lineWaitCount();
        ASSERT_TRUE(port.StartEventThread(&owner, events.handler()));
        // The change comes while the thread sleeps in the driver, which must wake it.
        ASSERT_TRUE(waitUntil([&] { return lines.lineWaitCount() > waits; }));
        const bool on = round % 2 == 0;
        lines.setInputLines(port.fd(), TIOCM_CTS | TIOCM_RNG, on);
        ASSERT_TRUE(waitUntil([&] { return events.calls == round + 1; }));
        EXPECT_EQ(events.all, SerialEvent::Cts | SerialEvent::Ring);
        EXPECT_TRUE(port.StopEventThread()) << "the wait in the driver ends at the stop";
    }

    lines.lineWaitsEndAtOnce = true;
    EventCollector spun;
    const int waits = lines.lineWaitCount();
    ASSERT_TRUE(port.StartEventThread(&owner, spun.handler()));
    ASSERT_TRUE(waitUntil([&] { return lines.lineWaitCount() > waits + 100; }));
    lines.setInputLines(port.fd(), TIOCM_DSR, true);
    ASSERT_TRUE(waitUntil([&] { return spun.all == SerialEvent::Dsr; }));
    EXPECT_LT(lines.lineWaitCount(), waits + 110) << "the wait was given up";
    EXPECT_TRUE(port.StopEventThread());
}

TEST(SerialPortEvents, StopEndsTheThreadPromptlyWhileDataFlows) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(openPort(port, pty.path()));
    QObject owner;
    EventCollector events;
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const auto chunk = randomBytes(512, 4);
        while (feeding) {
            pollfd p{pty.master(), POLLOUT, 0};
            if (::poll(&p, 1, 10) > 0) {
                [[maybe_unused]] ssize_t n = ::write(pty.master(), chunk.data(), chunk.size());
            }
        }
    });
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(port.StartEventThread(&owner, events.handler()));
        const int before = events.calls;
        ASSERT_TRUE(waitUntil([&] { return events.calls > before + 2; }));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(port.StopEventThread());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    }
    // A stop from inside the handler (as when a side stops on a lost device) must not hang.
    ASSERT_TRUE(port.StartEventThread(&owner, [&](SerialPort& p, unsigned) { p.Close(); }));
    ASSERT_TRUE(waitUntil([&] { return !port.isOpen(); }));
    feeding = false;
    feeder.join();
}

TEST(SerialPortEvents, HangUpIsReportedOnceAndEndsTheThread) {
    auto pty = std::make_unique<PtyPair>();
    SerialPort port;
    ASSERT_TRUE(openPort(port, pty->path()));
    QObject owner;
    EventCollector events;
    ASSERT_TRUE(port.StartEventThread(&owner, events.handler()));
    pty->releaseSlave();
    pty->closeMaster();
    ASSERT_TRUE(waitUntil([&] { return (events.all & SerialEvent::Lost) != 0; }));
    QTest::qWait(50);
    EXPECT_EQ(events.calls, 1) << "no busy loop after the hang-up";
    port.Close();
}

}  // namespace
