#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ports/PortSettings.h"
#include "ports/Rfc2217Address.h"
#include "ports/Rfc2217Server.h"
#include "ports/SideView.h"
#include "ports/TelnetChannel.h"

class QTcpServer;

namespace pv {

// A side offered as a serial port over the network: an RFC 2217 server on [address:]port whose
// client (pyserial's rfc2217://, a com port redirector) is the side's peer, as a virtual port's
// program is. The line settings and the DTR and RTS the client asks for are taken and reported;
// as on a null-modem cable, the client sees its own RTS as CTS and its DTR as DSR and CD.
//
// One client at a time: another one is told why in plain text and disconnected. While no
// client is connected, what the side sends is dropped and counted, and the count is said when
// the next client connects or the side stops.
class Rfc2217ServerChannel : public TelnetChannel, private Rfc2217ServerListener {
    Q_OBJECT

  public:
    explicit Rfc2217ServerChannel(std::string label, QObject* parent = nullptr);
    ~Rfc2217ServerChannel() override;

    // Listens on "[ADDRESS:]PORT"; false with the reason when the text is wrong or the address
    // cannot be listened on.
    bool listen(const std::string& spec, const PortSettings& settings, std::string& error);
    void close();
    bool isListening() const;
    // "127.0.0.1:4001", with the port really listened on.
    std::string address() const;
    bool clientConnected() const { return server_ != nullptr; }
    // What the client has set; the side's settings until it sets something.
    const Rfc2217PortState& state() const { return state_; }

    void send(const uint8_t* data, int count) override;

  signals:
    // The client set the line; the box shows it.
    void lineSettingsSet(const rfc2217::LineSettings& line);
    // The client switched DTR or RTS.
    void lineSwitched(ModemLine line, bool on);

  private:
    void onNewConnection();
    void refuse(QTcpSocket* socket);
    void received(const uint8_t* data, size_t length) override;
    TelnetProtocolEnd* protocol() const override { return server_.get(); }
    void ended(const std::string& reason) override;
    void rfc2217Data(const uint8_t* data, size_t length) override { deliver(data, length); }
    void rfc2217Event(const Rfc2217ServerEvent& event) override;
    void onLineSettings();
    void showLines();
    void reportDropped();

    std::string label_;
    QTcpServer* listener_ = nullptr;
    std::unique_ptr<Rfc2217Server> server_;
    std::string peer_;
    Rfc2217PortState state_;
    bool lineReportDue_ = false;
    long long droppedWhileAlone_ = 0;
};

}  // namespace pv
