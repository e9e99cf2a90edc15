#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/LineMonitor.h"
#include "ports/Rfc2217Channel.h"
#include "ports/TtyLine.h"
#include "support/Collect.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/Spawned.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

constexpr int kWaitMs = 8000;
constexpr const char* kSer2net = "/usr/sbin/ser2net";

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool listening(int port) {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    const bool up = probe.waitForConnected(200);
    probe.abort();
    return up;
}

std::vector<uint8_t> everyByteTwice() {
    std::vector<uint8_t> bytes;
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 256; ++b) {
            bytes.push_back(static_cast<uint8_t>(round == 0 ? b : 255 - b));
        }
    }
    return bytes;
}

class Rfc2217SideTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.useWindowControls = true;
        view.window[1].devicePath = farB.path();
        view.window[1].portNumber = 2;
    }
    long countNotices(const std::string& part) const {
        const auto& all = view.prompt_.notices;
        return std::count_if(all.begin(), all.end(), [&](const std::string& n) {
            return n.find(part) != std::string::npos;
        });
    }
    bool waitNotice(const std::string& part) {
        return waitUntil([&] { return countNotices(part) > 0; }, kWaitMs);
    }

    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
};

struct LineCase {
    int baud;
    int parity;    // window's index: 0 N, 1 E, 2 O
    int dataBits;  // 0: 7, 1: 8
    int stopBits;  // 0: 1, 1: 2
    tcflag_t cflag;
};

// ser2net serves a pseudo-terminal; side A is its client, side B a local port. The line
// settings must arrive on the pseudo-terminal, and every byte value must cross both ways.
TEST_F(Rfc2217SideTest, Ser2netServesAPortBytesExactAndLineApplied) {
    if (!QFileInfo::exists(kSer2net)) {
        GTEST_SKIP() << "ser2net is not installed (scripts/deps.sh installs it)";
    }
    // A pseudo-terminal keeps 8 data bits without parity whatever it is asked for, so of 7E2
    // only the stop bits can be seen there.
    const LineCase cases[] = {
        {115200, 0, 1, 0, CS8},
        {19200, 1, 0, 1, CS8 | CSTOPB},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.baud);
        PtyPair remote;
        const int port = freePort();
        const std::string config = "connection: &pv#  accepter: telnet(rfc2217),tcp,127.0.0.1," +
                                   std::to_string(port) + "#  connector: serialdev," +
                                   remote.path() + ",9600n81,local";
        Spawned ser2net({kSer2net, "-n", "-u", "-P", "/dev/null", "-Y", config});
        ASSERT_TRUE(waitUntil([&] { return listening(port); }, kWaitMs));

        PortSettings& a = view.window[0];
        a.devicePath = "rfc2217://127.0.0.1:" + std::to_string(port);
        a.baud = c.baud;
        a.parity = c.parity;
        a.dataBits = c.dataBits;
        a.stopBits = c.stopBits;
        a.dtr = true;
        a.reopen = false;
        view.baud[0].editText = std::to_string(c.baud);
        view.window[1].baud = c.baud;
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
        ASSERT_TRUE(waitUntil([&] { return getTtySpeed(remote.slave()) == c.baud; }, kWaitMs));
        ASSERT_TRUE(waitUntil(
            [&] {
                termios t{};
                ::tcgetattr(remote.slave(), &t);
                return (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == c.cflag;
            },
            kWaitMs));

        const std::vector<uint8_t> bytes = everyByteTwice();
        remote.write(bytes);
        EXPECT_EQ(collect(farB.master(), bytes.size()), bytes) << "remote port -> side B";
        farB.write(bytes);
        EXPECT_EQ(collect(remote.master(), bytes.size()), bytes) << "side B -> remote port";

        // ser2net on a pseudo-terminal never answers SET-CONTROL: said once, and nothing waits.
        EXPECT_TRUE(waitNotice("does not answer requests to set the DTR"));
        EXPECT_EQ(countNotices("does not answer requests to set the DTR"), 1);
        EXPECT_TRUE(monitor.sides().side(Side::A).started);

        // The server going away stops the side (reopen is off), with a notice.
        ser2net.stop();
        EXPECT_TRUE(waitUntil([&] { return !monitor.sides().side(Side::A).started; }, kWaitMs));
        EXPECT_EQ(countNotices("Comport A has been stopped"), 1);
        monitor.sides().StopSide(Side::B);
        monitor.sides().waitForDrains();
        view.prompt_.notices.clear();
    }
}

// What the server reports of its port reaches the side as a local port's would: line errors
// in the side's tally and notices, CTS mirrored to the other side's RTS under "Auto". When the
// server drops the connection, the side with "reopen" waits and connects again, said once.
TEST_F(Rfc2217SideTest, ServerReportsCountAndALostConnectionIsOpenedAgain) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    view.window[0].devicePath = "rfc2217://127.0.0.1:" + std::to_string(server.serverPort());
    view.window[0].reopen = true;
    view.window[0].autoHandshake = true;
    view.window[1].autoHandshake = true;
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }, kWaitMs));
    QTcpSocket* peer = server.nextPendingConnection();
    // NOTIFY-LINESTATE overrun + framing, then break; NOTIFY-MODEMSTATE CTS on (changed).
    const char reports[] =
        "\xff\xfa\x2c\x6a\x0a\xff\xf0\xff\xfa\x2c\x6a\x10\xff\xf0"
        "\xff\xfa\x2c\x6b\x11\xff\xf0";
    peer->write(reports, sizeof reports - 1);
    ASSERT_TRUE(waitUntil(
        [&] {
            monitor.sides().checkLineErrors();
            return monitor.sides().lineErrors(Side::A).count(LineFault::Break) == 1;
        },
        kWaitMs));
    EXPECT_EQ(monitor.sides().lineErrors(Side::A).count(LineFault::Overrun), 1);
    EXPECT_EQ(monitor.sides().lineErrors(Side::A).count(LineFault::Framing), 1);
    EXPECT_EQ(monitor.sides().lineErrors(Side::A).count(LineFault::Parity), 0);
    EXPECT_NE(view.lineErrors[0].find("1 break"), std::string::npos) << view.lineErrors[0];
    EXPECT_TRUE(waitUntil([&] { return view.lineBoxes[{Side::B, ModemLine::Rts}]; }, kWaitMs));

    delete peer;
    ASSERT_TRUE(waitNotice("connects again every"));
    EXPECT_TRUE(monitor.sides().side(Side::A).started);
    EXPECT_TRUE(monitor.sides().waitingForDevice(Side::A));
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }, kWaitMs));
    const std::unique_ptr<QTcpSocket> again(server.nextPendingConnection());
    EXPECT_TRUE(waitNotice("is back"));
    EXPECT_FALSE(monitor.sides().waitingForDevice(Side::A));
    EXPECT_EQ(countNotices("connects again every"), 1);
}

// pyserial's rfc2217:// client on the side offered to the network: the settings it makes are
// taken, bytes cross both ways exactly, and a second client is turned away with the reason.
TEST_F(Rfc2217SideTest, PyserialClientDrivesTheOfferedSide) {
    const char* python = std::getenv("PV_PYTHON");
    const QString interpreter = python != nullptr && *python != '\0' ? python : "/usr/bin/python3";
    QProcess client;
    const auto nextLine = [&client] {
        waitUntil([&] { return client.canReadLine() || client.state() == QProcess::NotRunning; },
                  kWaitMs);
        return client.readLine().trimmed().toStdString();
    };
    client.start(interpreter, {"-c", "import serial.rfc2217; print('ok')"});
    if (nextLine() != "ok") {
        GTEST_SKIP() << "pyserial is not installed (scripts/deps.sh installs python3-serial)";
    }
    client.waitForFinished(kWaitMs);
    const int port = freePort();
    view.window[0].serial = false;
    view.window[0].rfc2217Listen = std::to_string(port);
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    const std::string script =
        "import serial, sys\n"
        "p = serial.serial_for_url('rfc2217://127.0.0.1:" +
        std::to_string(port) +
        "', baudrate=57600, timeout=5)\n"
        "p.dtr = True\n"
        "p.write(bytes(range(256)) + bytes(reversed(range(256))))\n"
        "print('sent', flush=True)\n"
        "print(p.read(512).hex(), flush=True)\n"
        "p.baudrate = 38400\n"
        "print('done', flush=True)\n"
        "sys.stdin.read()\n";
    client.start(interpreter, {"-c", QString::fromStdString(script)});
    ASSERT_EQ(nextLine(), "sent") << client.readAllStandardError().toStdString();
    const std::vector<uint8_t> bytes = everyByteTwice();
    EXPECT_EQ(collect(farB.master(), bytes.size()), bytes) << "client -> side B";
    EXPECT_EQ(monitor.sides().settings(Side::A).baud, 57600);
    EXPECT_TRUE((view.lineBoxes[{Side::A, ModemLine::Dtr}]));

    farB.write(bytes);
    const QByteArray expected(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
    EXPECT_EQ(nextLine(), expected.toHex().toStdString()) << "side B -> client";
    EXPECT_EQ(nextLine(), "done");
    EXPECT_TRUE(waitUntil([&] { return monitor.sides().settings(Side::A).baud == 38400; }));
    EXPECT_TRUE(waitNotice("the RFC 2217 client set the line to 38400 8N1"));

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    waitUntil([&] { return second.canReadLine(); }, kWaitMs);
    EXPECT_NE(second.readLine().toStdString().find("in use by another client"), std::string::npos);
    EXPECT_TRUE(waitNotice("refused RFC 2217 client"));
    client.closeWriteChannel();
    client.waitForFinished(kWaitMs);
}

// What a faulty or hostile server sends: the channel passes the data on, says what was wrong
// and keeps its memory bounded. How bad input is parsed is the client's tests' concern; these
// cases need the channel's timer, its end of the connection and its reading.
struct BadServerCase {
    const char* name;
    std::vector<std::string> chunks;  // written one by one, the reader seeing each alone
    bool closeAfter;
    std::string data;    // what the channel must deliver
    std::string notice;  // a part of the notice expected
};

TEST(Rfc2217ChannelTest, BadServerInputIsSurvivedAndSaid) {
    const std::string sbComPort = "\xff\xfa\x2c";
    const BadServerCase cases[] = {
        {"silent server", {}, false, "", "does not answer requests to set the COM-PORT-OPTION"},
        {"close inside a subnegotiation",
         {"xy", sbComPort + "\x01\x00"},
         true,
         "xy",
         "the connection ended inside a subnegotiation"},
        {"1 MB subnegotiation",
         {sbComPort + std::string(1 << 20, 'x') + "\xff\xf0ok"},
         false,
         "ok",
         "a subnegotiation too long to keep"},
    };
    for (const BadServerCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        Rfc2217Channel channel("Comport A", nullptr, 300);
        std::vector<std::string> notices;
        std::string lostReason;
        std::string got;
        QObject::connect(&channel, &Channel::notice,
                         [&](const std::string& text) { notices.push_back(text); });
        QObject::connect(&channel, &Rfc2217Channel::lost,
                         [&](const std::string& reason) { lostReason = reason; });
        QObject::connect(&channel, &Channel::readyRead, [&] {
            char buffer[4096];
            const int n = channel.read(reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
            got.append(buffer, static_cast<size_t>(std::max(n, 0)));
        });
        std::string error;
        ASSERT_TRUE(channel.open("rfc2217://127.0.0.1:" + std::to_string(server.serverPort()),
                                 PortSettings{}, error));
        ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }, kWaitMs));
        QTcpSocket* peer = server.nextPendingConnection();
        for (const std::string& chunk : c.chunks) {
            peer->write(chunk.data(), static_cast<qint64>(chunk.size()));
            waitUntil([&] { return peer->bytesToWrite() == 0; }, kWaitMs);
            waitUntil([] { return false; }, 50);  // lets the channel read this one alone
        }
        if (c.closeAfter) {
            peer->disconnectFromHost();
            EXPECT_TRUE(waitUntil([&] { return !lostReason.empty(); }, kWaitMs));
        }
        EXPECT_TRUE(waitUntil([&] { return got.size() >= c.data.size(); }, kWaitMs));
        EXPECT_EQ(got, c.data);
        EXPECT_TRUE(waitUntil(
            [&] {
                return std::any_of(notices.begin(), notices.end(), [&](const std::string& n) {
                    return n.find(c.notice) != std::string::npos;
                });
            },
            kWaitMs));
        EXPECT_LE(channel.backlog(), Channel::kQueueBound);
        delete peer;
    }
}

}  // namespace
