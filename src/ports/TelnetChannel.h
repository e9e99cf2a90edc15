#pragma once

#include <QTimer>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ports/Channel.h"
#include "ports/OutputQueue.h"
#include "ports/TelnetSession.h"

class QTcpSocket;

namespace pv {

// A channel over one Telnet connection, for either end of RFC 2217: data goes out with every
// 0xFF doubled, received bytes go to the protocol end (received()), which hands the data back
// through deliver() and leaves its own answers in protocol()'s output. Reading is bounded: while
// the data path is paused or has not taken the last block, the socket is not read and TCP holds
// the peer back. What the socket cannot take yet waits in a bounded queue, and so does data while
// the peer has asked the protocol end to hold it.
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
    // The protocol end of the connection; none while there is no connection.
    virtual TelnetProtocolEnd* protocol() const = 0;
    // The connection ended (reason for the user); what came with the close was received.
    virtual void ended(const std::string& reason) = 0;

    // Data from the peer, undoubled.
    void deliver(const uint8_t* data, size_t length);
    // Sends what the protocol end has to say.
    void writeControl();
    // Sends the data that waited, as far as the socket takes it.
    void flush();
    void applyReading(bool on) override;
    // A peer that repeats a fault is not worth more than one word per connection.
    void sayOnce(const std::string& text);
    // A new connection: every fault may be said again.
    void forgetSaid() { said_.clear(); }

  private:
    bool sendingHeld() const;
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
    std::set<std::string> said_;
};

}  // namespace pv
