#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>

#include "ports/SerialPort.h"
#include "support/FakeTtyBackend.h"
#include "support/PtyPair.h"
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
        EXPECT_EQ(error, expected);
        EXPECT_FALSE(port.isOpen());
    }
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open("", 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Fehlerhafter Parameter in ('',9600,N,8,1)");
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
    EXPECT_EQ(error, "Schnittstelle '" + pty.path() + "' ist bereits initialisert !!!");
    EXPECT_TRUE(first.isOpen());

    SerialPort second;
    EXPECT_FALSE(second.Open(pty.path(), 9600, "N", 8, 1, error));
    EXPECT_EQ(error,
              "Handle für '" + pty.path() +
                  "' konnte nicht erzeugt werden !!!\nVermutlich ist der Port in Gebrauch !");
    second.Close();

    first.Close();
    EXPECT_TRUE(openPort(second, pty.path())) << "the lock is released by Close";

    SerialPort missing;
    EXPECT_FALSE(missing.Open("/nonexistent/ttyUSB9", 9600, "N", 8, 1, error));
    EXPECT_EQ(error,
              "Handle für '/nonexistent/ttyUSB9' konnte nicht erzeugt werden !!!\nVermutlich ist "
              "der Port in Gebrauch !");
    SerialPort directory;
    EXPECT_FALSE(directory.Open("/tmp", 9600, "N", 8, 1, error));
    EXPECT_NE(error.find("Handle für '/tmp'"), std::string::npos);

    SerialPort regular;
    EXPECT_FALSE(regular.Open("/proc/self/cmdline", 9600, "N", 8, 1, error));
    EXPECT_EQ(error, "Status für '/proc/self/cmdline' konnte nicht übernommen werden !!!\n");
    EXPECT_FALSE(regular.isOpen());
    regular.Close();
    EXPECT_EQ(regular.fd(), -1);
}

TEST(SerialPortOpen, DsrFlowIsRefusedRatherThanIgnored) {
    PtyPair pty;
    SerialPort port;
    std::string error;
    EXPECT_FALSE(port.Open(pty.path(), 9600, "N", 8, 1, error, false, true));
    EXPECT_EQ(error,
              "Device-Control Block für '" + pty.path() + "' konnte nicht verbunden werden !!!");
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
