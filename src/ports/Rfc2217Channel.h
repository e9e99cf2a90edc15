#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "ports/LineErrors.h"
#include "ports/PortSettings.h"
#include "ports/Rfc2217Address.h"
#include "ports/Rfc2217Client.h"
#include "ports/TelnetChannel.h"

namespace pv {

// A serial port on another machine, reached over TCP through a Telnet server that speaks the
// com port option (ser2net, a device server): the channel of a side whose device is
// "rfc2217://host:port". The side's line settings, DTR, RTS and flow control go to the server;
// its modem lines and line errors come back as a local port's would.
//
// Connecting never waits: open() starts it, and bytes sent meanwhile wait in the bounded queue.
// A server that does not answer a request is not waited for: that is said once and the channel
// goes on. The end of the connection, whoever ends it, comes as lost().
class Rfc2217Channel : public TelnetChannel, private Rfc2217ClientListener {
    Q_OBJECT

  public:
    // label names the side in notices: "Comport A".
    explicit Rfc2217Channel(std::string label, QObject* parent = nullptr,
                            int64_t answerTimeoutMs = Rfc2217Client::kDefaultAnswerTimeoutMs);
    ~Rfc2217Channel() override;

    // Starts connecting to the device's server; false with the reason when the text is not a
    // valid "rfc2217://host:port".
    bool open(const std::string& device, const PortSettings& settings, std::string& error);
    // Ends the connection; nothing is reported as lost.
    void close();
    bool isOpen() const { return socket() != nullptr; }
    const std::string& device() const { return device_; }

    void setDtr(bool on);
    void setRts(bool on);
    void setHardwareFlow(bool on);
    // As the server last reported them; all off before its first report.
    rfc2217::ModemLines modemLines() const { return lines_; }
    // The line errors the server reported since open, counted as a driver counts them.
    const LineCounts& lineCounts() const { return counts_; }

  signals:
    // The connection is made; negotiation begins.
    void linkUp();
    // The connection failed or ended; reason says why, for the user.
    void lost(const std::string& reason);
    void modemLinesChanged();

  private:
    void received(const uint8_t* data, size_t length) override;
    TelnetProtocolEnd* protocol() const override { return client_.get(); }
    void ended(const std::string& reason) override;
    void rfc2217Data(const uint8_t* data, size_t length) override { deliver(data, length); }
    void rfc2217Event(const Rfc2217ClientEvent& event) override;
    void onConnected();
    void control();
    void armTimeout();
    void say(const std::string& text);
    int64_t now() const { return clock_.elapsed(); }

    std::string label_;
    int64_t answerTimeoutMs_;
    std::string device_;
    Rfc2217Endpoint endpoint_;
    PortSettings settings_;
    std::unique_ptr<Rfc2217Client> client_;
    QElapsedTimer clock_;
    QTimer answerTimer_;
    rfc2217::ModemLines lines_;
    LineCounts counts_;
};

}  // namespace pv
