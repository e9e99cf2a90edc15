#include <gtest/gtest.h>
#include <termios.h>

#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <string>
#include <vector>

#include "app/LineMonitor.h"
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

// ser2net serves a pseudo-terminal to side A; side B is offered to the network and pyserial's
// rfc2217:// client drives it. The line settings of both ends are taken, every byte value
// crosses both ways exactly, and a second client of side B is turned away with the reason.
TEST_F(Rfc2217SideTest, Ser2netAndPyserialAtTheTwoEnds) {
    const QString python = qEnvironmentVariable("PV_PYTHON");  // empty on a first configure
    const QString interpreter = python.isEmpty() ? "/usr/bin/python3" : python;
    QProcess client;
    client.start(interpreter, {"-c", "import serial.rfc2217"});
    if (!QFileInfo::exists(kSer2net) || !client.waitForFinished(kWaitMs) ||
        client.exitCode() != 0) {
        GTEST_SKIP() << "ser2net or pyserial is missing (scripts/deps.sh installs them)";
    }
    PtyPair remote;
    const int port = freePort();
    const std::string config = "connection: &pv#  accepter: telnet(rfc2217),tcp,127.0.0.1," +
                               std::to_string(port) + "#  connector: serialdev," + remote.path() +
                               ",9600n81,local";
    Spawned ser2net({kSer2net, "-n", "-u", "-P", "/dev/null", "-Y", config});
    ASSERT_TRUE(waitUntil(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return probe.waitForConnected(200);
        },
        kWaitMs));
    // Away from ser2net's 9600 8N1: the speed and the stop bits show on the pseudo-terminal.
    PortSettings& a = view.window[0];
    a.devicePath = "rfc2217://127.0.0.1:" + std::to_string(port);
    a.baud = 19200;
    a.stopBits = 1;
    a.reopen = false;
    view.baud[0].editText = "19200";
    const int offered = freePort();
    view.window[1].serial = false;
    view.window[1].rfc2217Listen = std::to_string(offered);
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    ASSERT_TRUE(waitUntil(
        [&] {
            termios t{};
            ::tcgetattr(remote.slave(), &t);
            return ::cfgetospeed(&t) == B19200 &&
                   (t.c_cflag & (CSIZE | PARENB | CSTOPB)) == (CS8 | CSTOPB);
        },
        kWaitMs));
    const auto nextLine = [&client] {
        waitUntil([&] { return client.canReadLine() || client.state() == QProcess::NotRunning; },
                  kWaitMs);
        return client.readLine().trimmed().toStdString();
    };
    const char* script = R"(import serial, sys
every = bytes(range(256)) + bytes(reversed(range(256)))
p = serial.serial_for_url('rfc2217://127.0.0.1:%1', baudrate=57600, timeout=5)
p.dtr = True
p.write(every)
print('sent', flush=True)
print(p.read(512) == every, flush=True)
p.baudrate = 38400
sys.stdin.read()
)";
    client.start(interpreter, {"-c", QString(script).arg(offered)});
    ASSERT_EQ(nextLine(), "sent") << client.readAllStandardError().toStdString();
    std::vector<uint8_t> every(512);
    for (size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<uint8_t>(i < 256 ? i : 511 - i);
    }
    EXPECT_EQ(collect(remote.master(), every.size()), every) << "client -> remote port";
    EXPECT_TRUE((view.lineBoxes[{Side::B, ModemLine::Dtr}]));
    remote.write(every);
    EXPECT_EQ(nextLine(), "True") << "remote port -> client";
    EXPECT_TRUE(waitUntil([&] { return monitor.sides().settings(Side::B).baud == 38400; }));
    EXPECT_TRUE(waitNotice("the RFC 2217 client set the line to 38400 8N1"));
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(offered));
    waitUntil([&] { return second.canReadLine(); }, kWaitMs);
    EXPECT_NE(second.readLine().toStdString().find("in use by another client"), std::string::npos);
    EXPECT_TRUE(waitNotice("refused RFC 2217 client"));
    // ser2net on a pseudo-terminal never answers SET-CONTROL: that is said, and nothing waits.
    EXPECT_TRUE(waitNotice("does not answer requests to set the DTR"));
    EXPECT_TRUE(monitor.sides().side(Side::A).started);
    // The server going away stops the side (reopen is off), with a notice.
    ser2net.stop();
    EXPECT_TRUE(waitUntil([&] { return !monitor.sides().side(Side::A).started; }, kWaitMs));
    EXPECT_EQ(countNotices("Comport A has been stopped"), 1);
    client.closeWriteChannel();
    client.waitForFinished(kWaitMs);
}

// A server silent at first (that is said) reports as a local port would: line errors shown, CTS
// mirrored to the other side's RTS under "Auto". Bad input is said and the data around it goes
// on. When the server drops the connection, the side with "reopen" connects again, said once.
TEST_F(Rfc2217SideTest, ServerReportsCountBadInputIsSaidAndALostConnectionIsOpenedAgain) {
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
    EXPECT_TRUE(waitNotice("does not answer requests to set the COM-PORT-OPTION"));

    // NOTIFY-LINESTATE overrun + framing, then break; NOTIFY-MODEMSTATE CTS on (changed).
    const std::string sb = "\xff\xfa\x2c";
    const std::string reports =
        sb + "\x6a\x0a\xff\xf0" + sb + "\x6a\x10\xff\xf0" + sb + "\x6b\x11\xff\xf0";
    peer->write(reports.data(), static_cast<qint64>(reports.size()));
    ASSERT_TRUE(waitUntil(
        [&] {
            monitor.sides().checkLineErrors();
            return view.lineErrors[0] == "1 overrun, 1 framing error, 1 break";
        },
        kWaitMs))
        << view.lineErrors[0];
    EXPECT_TRUE(waitUntil([&] { return view.lineBoxes[{Side::B, ModemLine::Rts}]; }, kWaitMs));

    // A subnegotiation too long to keep, read in many pieces, then data, then a subnegotiation
    // the close cuts short.
    const std::string bad = sb + std::string(1 << 20, 'x') + "\xff\xf0" + "ok" + sb + "\x01";
    peer->write(bad.data(), static_cast<qint64>(bad.size()));
    EXPECT_EQ(collect(farB.master(), 2), (std::vector<uint8_t>{'o', 'k'}));
    EXPECT_TRUE(waitNotice("a subnegotiation too long to keep"));
    peer->disconnectFromHost();  // once what it still holds is written
    EXPECT_TRUE(waitNotice("the connection ended inside a subnegotiation"));

    ASSERT_TRUE(waitNotice("connects again every"));
    EXPECT_TRUE(monitor.sides().waitingForDevice(Side::A));
    EXPECT_TRUE(waitNotice("is back"));
    EXPECT_FALSE(monitor.sides().waitingForDevice(Side::A));
    EXPECT_EQ(countNotices("connects again every"), 1);
}

}  // namespace
