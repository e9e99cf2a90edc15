#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ports/Channel.h"
#include "ports/NetworkChannel.h"
#include "ports/SocketClass.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWaitMs = 5000;
const char* kLoopback = "127.0.0.1";

Bytes pattern(int length, int seed = 0) {
    Bytes out(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        out[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 13 + seed) & 0xFF);
    }
    return out;
}

// Frames written by hand, so the link is checked against the wire layout.
Bytes rawFrame(uint8_t type, int declaredLength, const Bytes& payload) {
    // Sized once and filled in place: growing a three-byte vector by insert() draws a false
    // -Warray-bounds from GCC 12 at -O3.
    Bytes out(3 + payload.size());
    out[0] = type;
    out[1] = static_cast<uint8_t>(declaredLength >> 8);
    out[2] = static_cast<uint8_t>(declaredLength & 0xFF);
    std::copy(payload.begin(), payload.end(), out.begin() + 3);
    return out;
}

Bytes rawFrame(uint8_t type, const Bytes& payload) {
    return rawFrame(type, static_cast<int>(payload.size()), payload);
}

// Collects the payloads a link delivers, in order.
struct Received {
    std::vector<Bytes> payloads;
    size_t total = 0;

    void listenTo(CSocketClass& link) {
        QObject::connect(&link, &CSocketBaseClass::dataReceived,
                         [this](const uint8_t* data, int length) {
                             payloads.emplace_back(data, data + length);
                             total += static_cast<size_t>(length);
                         });
    }
    Bytes joined() const {
        Bytes out;
        for (const Bytes& p : payloads) {
            out.insert(out.end(), p.begin(), p.end());
        }
        return out;
    }
};

// A peer that knows nothing of the link's code: a plain socket writing bytes.
class RawPeer {
  public:
    explicit RawPeer(int port) {
        socket_.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        connected_ = socket_.waitForConnected(kWaitMs);
    }
    bool connected() const { return connected_; }
    QTcpSocket& socket() { return socket_; }
    void write(const Bytes& bytes) {
        socket_.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qint64>(bytes.size()));
        while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(kWaitMs)) {
        }
    }

  private:
    QTcpSocket socket_;
    bool connected_ = false;
};

class LinkServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        received.listenTo(server);
        ASSERT_TRUE(server.Create(true, 0, kLoopback)) << prompt.messages.back();
        ASSERT_TRUE(server.isListening());
    }

    std::unique_ptr<RawPeer> acceptedPeer() {
        auto peer = std::make_unique<RawPeer>(server.listenPort());
        EXPECT_TRUE(peer->connected());
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.IsConnected(); }, kWaitMs));
        return peer;
    }

    ScriptedPrompt prompt;
    Received received;
    CSocketClass server{prompt};
};

TEST_F(LinkServerTest, CutsEveryKindOfFrameFromOneRead) {
    auto peer = acceptedPeer();
    const Bytes big = pattern(30000, 5);
    Bytes stream;
    for (const Bytes& frame : {rawFrame(0, {'A', 'B'}), rawFrame(1, {'x', 'y', 'z'}),
                               rawFrame(0, {}), rawFrame(0, {'C', 'D'}), rawFrame(0, big),
                               rawFrame(7, 65535, pattern(65535)), rawFrame(0, {'!'})}) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    peer->write(stream);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.total >= 30005; }, kWaitMs));
    const std::vector<Bytes> expected = {{'A', 'B'},
                                         {'C', 'D'},
                                         Bytes(big.begin(), big.begin() + 10240),
                                         Bytes(big.begin() + 10240, big.begin() + 20480),
                                         Bytes(big.begin() + 20480, big.end()),
                                         {'!'}};
    EXPECT_EQ(received.payloads, expected);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(LinkServerTest, FrameWrittenByteByByteArrivesWhole) {
    auto peer = acceptedPeer();
    const Bytes frame = rawFrame(0, pattern(300));
    for (uint8_t byte : frame) {
        peer->write({byte});
        QCoreApplication::processEvents();
        EXPECT_TRUE(received.payloads.empty() || byte == frame.back());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.total == 300; }, kWaitMs));
    EXPECT_EQ(received.payloads, std::vector<Bytes>{pattern(300)});
}

TEST_F(LinkServerTest, PeerCutMidFramePassesOnTheRestAndTheNextClientIsServed) {
    std::vector<std::string> events;
    QObject::connect(&server, &CSocketBaseClass::dataReceived,
                     [&](const uint8_t*, int n) { events.push_back("data " + std::to_string(n)); });
    QObject::connect(&server, &CSocketClass::closedByClient,
                     [&] { events.push_back("closed after: " + prompt.notices.back()); });
    {
        auto peer = acceptedPeer();
        peer->write(rawFrame(0, 100, pattern(40)));
        peer->socket().disconnectFromHost();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.IsConnected(); }, kWaitMs));
    }
    EXPECT_EQ(events,
              (std::vector<std::string>{"data 40", "closed after: Socket closed by Client !"}));
    EXPECT_EQ(received.payloads, std::vector<Bytes>{pattern(40)});
    ASSERT_TRUE(server.isListening());

    auto second = acceptedPeer();
    second->write(rawFrame(0, {'2'}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.payloads.size() == 2; }, kWaitMs));
    EXPECT_EQ(received.payloads.back(), Bytes{'2'});
    EXPECT_EQ(prompt.notices.size(), 1u);
    EXPECT_TRUE(prompt.messages.empty()) << "a closed link never waits on a box";
}

TEST_F(LinkServerTest, PeerStallingMidFrameBlocksNothing) {
    auto peer = acceptedPeer();
    const Bytes frame = rawFrame(0, pattern(5000));
    peer->write(Bytes(frame.begin(), frame.begin() + 2000));
    // The link keeps working while the rest of the frame is missing.
    ASSERT_TRUE(server.SendBlock(pattern(3).data(), 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->socket().bytesAvailable() == 6; }, kWaitMs));
    EXPECT_TRUE(received.payloads.empty());
    peer->write(Bytes(frame.begin() + 2000, frame.end()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.total == 5000; }, kWaitMs));
    EXPECT_EQ(received.payloads, std::vector<Bytes>{pattern(5000)});
}

TEST_F(LinkServerTest, SecondClientIsRefusedWhileTheFirstIsConnected) {
    auto first = acceptedPeer();
    EXPECT_FALSE(server.isListening());
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.listenPort()));
    EXPECT_FALSE(second.waitForConnected(kWaitMs));
    EXPECT_EQ(second.error(), QAbstractSocket::ConnectionRefusedError);
    first->write(rawFrame(0, {'1'}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.total == 1; }, kWaitMs));
    EXPECT_TRUE(server.IsConnected());
}

TEST_F(LinkServerTest, OwnerClosingInTheClosedHandlerStopsListening) {
    QObject::connect(&server, &CSocketClass::closedByClient, [&] { server.Close(); });
    {
        auto peer = acceptedPeer();
        peer->socket().disconnectFromHost();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.IsConnected(); }, kWaitMs));
    }
    EXPECT_FALSE(server.isListening());
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.listenPort()));
    EXPECT_FALSE(late.waitForConnected(kWaitMs));
}

// Both ends are this program: a server and a client in one process.
class LinkPairTest : public ::testing::Test {
  protected:
    void SetUp() override {
        atServer.listenTo(server);
        atClient.listenTo(client);
        ASSERT_TRUE(server.Create(true, 0, kLoopback));
        NetworkSettings settings;
        settings.isServer = false;
        settings.serverAddress = kLoopback;
        settings.port = server.listenPort();
        ASSERT_TRUE(client.Open(settings)) << clientPrompt.messages.back();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.IsConnected(); }, kWaitMs));
        ASSERT_TRUE(client.IsConnected());
    }

    ScriptedPrompt serverPrompt;
    ScriptedPrompt clientPrompt;
    Received atServer;
    Received atClient;
    CSocketClass server{serverPrompt};
    CSocketClass client{clientPrompt};
};

TEST_F(LinkPairTest, BlocksTravelBothWaysAsFrames) {
    ASSERT_TRUE(client.SendBlock(pattern(10240).data(), 10240));
    ASSERT_TRUE(QTest::qWaitFor([&] { return atServer.total == 10240; }, kWaitMs));
    EXPECT_EQ(atServer.payloads, std::vector<Bytes>{pattern(10240)});

    // Larger than a frame: split, never cut short.
    const Bytes big = pattern(25000, 9);
    ASSERT_TRUE(server.SendBlock(big.data(), 25000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return atClient.total == 25000; }, kWaitMs));
    EXPECT_EQ(atClient.payloads.size(), 3u);
    EXPECT_EQ(atClient.joined(), big);
    EXPECT_TRUE(serverPrompt.messages.empty());
    EXPECT_TRUE(clientPrompt.messages.empty());
}

TEST_F(LinkPairTest, BusyLinkQueuesInOrderUpToItsBoundAndThenRefuses) {
    // Nothing is read while this loop runs, so the kernel buffers fill and Qt has to queue.
    Bytes sent;
    int refusedAt = -1;
    for (int i = 0; i < 3000 && refusedAt < 0; ++i) {
        const Bytes block = pattern(10240, i);
        if (client.trySendBlock(block.data(), 10240) != 0) {
            refusedAt = i;
            break;
        }
        sent.insert(sent.end(), block.begin(), block.end());
        EXPECT_LE(client.pendingBytes(),
                  static_cast<qint64>(pv::Channel::kQueueBound) + DataFrame::kMaxFrame);
    }
    EXPECT_GT(refusedAt, 0) << "a peer that does not read is not queued for without end";
    EXPECT_GT(client.pendingBytes(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return atServer.total == sent.size(); }, 20000));
    EXPECT_EQ(atServer.joined(), sent);
    EXPECT_EQ(client.pendingBytes(), 0);
    EXPECT_TRUE(clientPrompt.messages.empty());
}

// The channel hands payloads on a block per announcement, as the data path reads them: bytes
// that came while it was paused follow once it resumes without waiting for more traffic, and
// everything that came before a close is handed on before the close is reported.
TEST_F(LinkPairTest, ChannelHandsOnEveryByteAfterAPauseAndBeforeAClose) {
    NetworkChannel channel(client);
    Bytes got;
    size_t atPause = 0;
    QObject::connect(&channel, &Channel::readyRead, [&] {
        uint8_t block[10240];
        const int n = channel.read(block, sizeof block);
        got.insert(got.end(), block, block + n);
        if (atPause == 0) {
            atPause = got.size();
            channel.pauseReading();
        }
    });
    // Small payloads, all in the socket before the link reads: one go brings them all.
    Bytes sent;
    for (int i = 0; i < 16; ++i) {
        const Bytes block = pattern(1000, i);
        ASSERT_TRUE(server.SendBlock(block.data(), 1000));
        sent.insert(sent.end(), block.begin(), block.end());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return atPause > 0; }, kWaitMs));
    QTest::qWait(50);  // room for a fault: nothing may be announced while paused
    EXPECT_EQ(got.size(), atPause);
    channel.resumeReading();
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= sent.size(); }, kWaitMs)) << got.size();

    size_t atClose = 0;
    QObject::connect(&client, &CSocketClass::closedByServer, [&] { atClose = got.size(); });
    const Bytes tail = pattern(50000, 5);
    ASSERT_TRUE(server.SendBlock(tail.data(), static_cast<int>(tail.size())));
    server.Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return atClose > 0; }, kWaitMs));
    sent.insert(sent.end(), tail.begin(), tail.end());
    EXPECT_EQ(atClose, sent.size());
    EXPECT_EQ(got, sent);
    EXPECT_EQ(channel.droppedCount(), 0);
}

TEST_F(LinkPairTest, ServerGoingAwayIsReportedToTheClient) {
    QSignalSpy closed(&client, &CSocketClass::closedByServer);
    server.Close();
    ASSERT_TRUE(closed.wait(kWaitMs));
    EXPECT_EQ(clientPrompt.notices, std::vector<std::string>{"Socket closed by Server !"});
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.Send(pattern(3).data(), 3));
    EXPECT_EQ(clientPrompt.messages.back(), "Socket is not initialised !");
    EXPECT_TRUE(serverPrompt.messages.empty());
}

TEST_F(LinkPairTest, ClientLeavingLetsTheServerListenAgain) {
    QSignalSpy closed(&server, &CSocketClass::closedByClient);
    client.Close();
    ASSERT_TRUE(closed.wait(kWaitMs));
    EXPECT_EQ(serverPrompt.notices, std::vector<std::string>{"Socket closed by Client !"});
    EXPECT_TRUE(clientPrompt.messages.empty());
    ASSERT_TRUE(server.isListening());

    NetworkSettings again;
    again.isServer = false;
    again.serverAddress = kLoopback;
    again.port = server.listenPort();
    ASSERT_TRUE(client.Open(again));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.IsConnected(); }, kWaitMs));
    ASSERT_TRUE(server.SendBlock(pattern(5).data(), 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return atClient.total == 5; }, kWaitMs));
}

TEST(LinkWire, A10240ByteBlockIsOneFrameOf10243Bytes) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    ScriptedPrompt prompt;
    CSocketClass client{prompt};
    ASSERT_TRUE(client.Create(false, peer.serverPort()));
    ASSERT_TRUE(client.Connect(kLoopback, peer.serverPort()));
    ASSERT_TRUE(peer.waitForNewConnection(kWaitMs));
    std::unique_ptr<QTcpSocket> socket(peer.nextPendingConnection());

    ASSERT_TRUE(client.SendBlock(pattern(10240).data(), 10240));
    ASSERT_TRUE(client.SendBlock(pattern(1).data(), 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket->bytesAvailable() >= 10243 + 4; }, kWaitMs));
    const QByteArray wire = socket->readAll();
    ASSERT_EQ(wire.size(), 10243 + 4);
    EXPECT_EQ(wire.left(3), QByteArray("\x00\x28\x00", 3));
    EXPECT_EQ(Bytes(wire.begin() + 3, wire.begin() + 10243), pattern(10240));
    EXPECT_EQ(wire.mid(10243), QByteArray("\x00\x00\x01\x00", 4));
}

TEST(LinkErrors, FailuresShowTheirTexts) {
    int freePort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        freePort = probe.serverPort();
    }
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const int busyPort = occupant.serverPort();

    struct Case {
        const char* name;
        std::function<bool(CSocketClass&)> action;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"refused",
         [&](CSocketClass& s) {
             return s.Create(false, freePort) && s.Connect(kLoopback, freePort);
         },
         10061, "The attempt to connect was rejected !"},
        {"address in use", [&](CSocketClass& s) { return s.Create(true, busyPort, kLoopback); },
         10048, "The specified address is already in use !"},
        {"listen address not local", [](CSocketClass& s) { return s.Create(true, 0, "192.0.2.1"); },
         10049, "The specified address is not available from the local machine !"},
        {"port beyond 16 bits", [](CSocketClass& s) { return s.Create(true, 70000); }, 10022,
         "Invalid Parameter !"},
        {"client with an empty address",
         [](CSocketClass& s) { return s.Create(false, 5000) && s.Connect("", 5000); }, 10022,
         "Invalid Parameter !"},
        {"connect as server",
         [](CSocketClass& s) { return s.Create(true, 0, kLoopback) && s.Connect(kLoopback, 1); }, 0,
         "Servers are not able to 'Connect' !"},
        {"send with no client yet",
         [](CSocketClass& s) {
             return s.Create(true, 0, kLoopback) && s.SendBlock(pattern(1).data(), 1);
         },
         1, "Socket is not initialised !"},
        {"send before connect",
         [](CSocketClass& s) { return s.Create(false, 5000) && s.Send(pattern(1).data(), 1); }, 3,
         "Not connect to Server !"},
    };
    for (const Case& c : cases) {
        for (bool messages : {true, false}) {
            ScriptedPrompt prompt;
            CSocketClass link{prompt};
            link.EnableMessages(messages);
            EXPECT_FALSE(c.action(link)) << c.name;
            EXPECT_EQ(link.lastError(), c.code) << c.name;
            EXPECT_EQ(prompt.messages,
                      messages ? std::vector<std::string>{c.message} : std::vector<std::string>{})
                << c.name;
            EXPECT_FALSE(link.IsConnected()) << c.name;
        }
    }
}

}  // namespace
