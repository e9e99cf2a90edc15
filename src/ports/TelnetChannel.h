#pragma once

#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "ports/Channel.h"
#include "ports/OutputQueue.h"

class QTcpSocket;

namespace pv {

// A channel over one Telnet connection, for either end of RFC 2217: data goes out with every
// 0xFF doubled, received bytes go to the protocol end (received()), which hands the data back
// through deliver() and leaves its own answers in protocolOutput(). Reading is bounded: while
// the data path is paused or has not taken the last block, the socket is not read and TCP holds
// the peer back. What the socket cannot take yet waits in a bounded queue, and so does data while
// the peer has asked us to hold it (sendingHeld()).
class TelnetChannel : public Channel {
    Q_OBJECT

  public:
    using Channel::Channel;
    ~TelnetChannel() override;

    void send(const uint8_t* data, int count) override;
    size_t backlog() const override;
    int read(uint8_t* buffer, int capacity) override;

    bool connected() const;

  protected:
    // Starts using a socket (a child of this channel); its end comes as ended().
    void useSocket(QTcpSocket* socket);
    // Stops using the socket without reporting an end; unread and unsent bytes are dropped.
    void dropSocket();
    QTcpSocket* socket() const { return socket_; }

    virtual void received(const uint8_t* data, size_t length) = 0;
    virtual const std::vector<uint8_t>* protocolOutput() const = 0;
    virtual void clearProtocolOutput() = 0;
    virtual bool sendingHeld() const = 0;
    // The connection ended (reason for the user); what came with the close was received.
    virtual void ended(const std::string& reason) = 0;

    // Data from the peer, undoubled.
    void deliver(const uint8_t* data, size_t length);
    // Sends what the protocol end has to say.
    void writeControl();
    // Sends the data that waited, as far as the socket takes it.
    void flush();
    void applyReading(bool on) override;

  private:
    void onReadable();
    void onBytesWritten();
    void onEnded(const std::string& reason);
    void announceLater();

    QTcpSocket* socket_ = nullptr;
    bool ending_ = false;
    bool announcing_ = false;
    OutputQueue waiting_{kQueueBound};
    OutputQueue inbound_{256 * 1024};
    std::vector<uint8_t> scratch_;
};

}  // namespace pv
