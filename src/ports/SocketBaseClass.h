#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <array>
#include <cstdint>
#include <string>

#include "ports/DataFrame.h"

class QTcpSocket;

namespace pv {

class Prompt;

// The error number users see for a failure Qt reports.
int wsaErrorFromQt(QAbstractSocket::SocketError error);

// One end of the TCP link: the client socket, or the connection a server accepted. It reads
// whatever arrives, cuts the stream into frames and hands each data payload to dataReceived, on
// the main thread. Failures are kept as error numbers and shown by ReportError.
class CSocketBaseClass : public QObject {
    Q_OBJECT

  public:
    explicit CSocketBaseClass(Prompt& prompt, QObject* parent = nullptr);
    ~CSocketBaseClass() override;
    CSocketBaseClass(const CSocketBaseClass&) = delete;
    CSocketBaseClass& operator=(const CSocketBaseClass&) = delete;

    void EnableMessages(bool on) { messagesEnabled_ = on; }
    bool messagesEnabled() const { return messagesEnabled_; }
    int lastError() const { return lastError_; }
    // Shows the text of the last error when messages are enabled.
    void ReportError();
    // The text of an error number as the user sees it.
    static std::string errorText(int code);

    // Raw bytes from the socket, without waiting: a read that finds nothing is a would-block,
    // which quietWouldBlock accepts. The link reads by itself when bytes arrive, so owners take
    // payloads from dataReceived and never need this.
    bool Receive(uint8_t* buffer, int length, int& received, bool quietWouldBlock);
    virtual void Close();

    bool connected() const { return connected_; }
    // Bytes handed to Qt that the network stack has not taken yet.
    virtual qint64 pendingBytes() const;

    // Takes over a connected socket; partner is the listening side that accepted it, if any.
    void attach(QTcpSocket* socket, CSocketBaseClass* partner);
    // Queues bytes for sending; 0 or the error number. Nothing is reported here.
    int write(const uint8_t* data, int length);
    // Off: nothing more is read from the socket, so the peer's sending is held by TCP's own
    // flow control once the small read buffer is full. On again: what waits is read.
    virtual void setReceiving(bool on);

  signals:
    // A data payload; the bytes are valid only during the call, so connect directly.
    void dataReceived(const uint8_t* data, int length);
    // The payloads of one go at the socket have all come through dataReceived.
    void payloadsDelivered();
    // The peer closed or the connection broke; the socket is already closed.
    void peerClosed();
    // Some of the bytes waiting to be sent have left.
    void bytesSent();

  protected:
    // Stores the code and reports it.
    void fail(int code);

    Prompt& prompt_;
    int lastError_ = 0;
    bool ready_ = false;
    bool created_ = false;
    bool connected_ = false;
    CSocketBaseClass* partner_ = nullptr;
    bool accepted_ = false;
    bool messagesEnabled_ = true;

  private:
    void onReadyRead();
    void readAvailable(bool evenIfPaused);
    void onDisconnected();
    void deliver(const uint8_t* data, int length);
    void releaseSocket();

    QTcpSocket* socket_ = nullptr;
    // Counts sockets taken over and closed, so a delivery notices that its owner closed us.
    unsigned epoch_ = 0;
    bool delivering_ = false;
    bool closePending_ = false;
    bool receiving_ = true;
    DataFrameReader reader_;
    std::array<uint8_t, 16384> chunk_{};
};

}  // namespace pv
