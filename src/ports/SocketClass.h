#pragma once

#include <string>

#include "ports/DataFrame.h"
#include "ports/NetworkSettings.h"
#include "ports/SocketBaseClass.h"

class QTcpServer;

namespace pv {

// The TCP link of the main window. As server it listens, serves one client at a time and
// listens again when that client leaves; as client it connects to the configured server. Data
// payloads arrive through dataReceived; blocks go out as data frames through SendBlock.
// Everything runs on the main thread.
class CSocketClass : public CSocketBaseClass {
    Q_OBJECT

  public:
    explicit CSocketClass(Prompt& prompt, QObject* parent = nullptr);
    ~CSocketClass() override;

    // Server: listen on port (0 lets the system choose) at listenAddress, empty meaning all
    // addresses. Client: prepare for Connect. Failures are reported and return false.
    bool Create(bool isServer, int port, const std::string& listenAddress = {});
    // Client only: a first attempt, and up to 100 ms for the server to answer.
    bool Connect(const std::string& address, int port);
    // Create, and as client Connect, from the settings.
    bool Open(const NetworkSettings& settings);
    bool IsConnected() const;
    // Raw bytes to the peer. Nothing is lost while the network is busy: Qt queues them.
    bool Send(const uint8_t* data, int length);
    // A block of received bytes as data frames (one per 10240 bytes).
    bool SendBlock(const uint8_t* block, int length);
    // The same without a message: 0, or the error number that stopped it.
    int trySendBlock(const uint8_t* block, int length);
    void setReceiving(bool on) override;
    void Close() override;

    bool isServer() const { return isServer_; }
    bool isListening() const;
    // The port the server listens on, once it does.
    int listenPort() const { return listenPort_; }
    qint64 pendingBytes() const override;

  signals:
    void clientAccepted();
    // After the link's message box; the owner stops the sides that depend on the link alone.
    void closedByClient();
    void closedByServer();

  private:
    // Hands raw bytes to the connected socket; 0 or the error number, nothing reported.
    int sendRaw(const uint8_t* data, int length);
    bool listen();
    void onNewConnection();
    void onClientGone();
    void onServerGone();

    QTcpServer* server_ = nullptr;
    CSocketBaseClass connection_;
    bool hasConnection_ = false;
    bool isServer_ = true;
    bool clientConnected_ = false;
    int port_ = -1;
    int listenPort_ = 0;
    std::string listenAddress_;
    // A refused send is shown once, not once per block, until sending works again.
    bool backlogReported_ = false;
    // Counts Close calls, so a closed notification knows whether its handler closed the link.
    unsigned closeCount_ = 0;
    DataFrame::Buffer sendFrame_{};
};

}  // namespace pv
