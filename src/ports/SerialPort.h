#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ports/Channel.h"
#include "ports/FdOutput.h"
#include "ports/LineErrors.h"
#include "ports/TtyBackend.h"
#include "ports/TtyLine.h"

class QSocketNotifier;

namespace pv {

// Communication events reported by the event thread. The values are the classic comm event bits,
// so handlers read like their serial-port counterparts. SerialEvent::Lost is our own: the device
// hung up or failed (USB adapter pulled), and the event thread has ended.
namespace SerialEvent {
constexpr unsigned RxChar = 0x0001;
constexpr unsigned RxFlag = 0x0002;
constexpr unsigned TxEmpty = 0x0004;
constexpr unsigned Cts = 0x0008;
constexpr unsigned Dsr = 0x0010;
constexpr unsigned Rlsd = 0x0020;
constexpr unsigned Break = 0x0040;
constexpr unsigned Err = 0x0080;
constexpr unsigned Ring = 0x0100;
constexpr unsigned Lost = 0x10000;
}  // namespace SerialEvent

class SerialPort;
using SerialEventHandler = std::function<void(SerialPort& port, unsigned events)>;

// One real serial port on a tty device, and the channel of a serial side. Received bytes and a
// hang-up are reported on the owner's (main) thread straight from its event loop, which watches
// the device: one wake-up per block, as in any poll() relay. The event thread watches the modem
// lines and hands their changes to the handler; it then waits until the handler has run.
// Writes never wait: what the device cannot take yet waits in the channel's output queue.
class SerialPort : public pv::Channel {
    Q_OBJECT

  public:
    static constexpr int kBufferSize = 10240;

    explicit SerialPort(TtyBackend& lines = systemTtyBackend(), QObject* parent = nullptr);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool Open(const std::string& deviceName, int baud, std::string parity, int dataBits,
              int stopBits, std::string& errorText, bool ctsFlow = false, bool dsrFlow = false,
              int queueSize = 8192);
    void Close();
    // Queues what the device cannot take at once; false (with the text) only when bytes had to
    // be dropped because the queue was full or the device failed.
    bool Write(const uint8_t* data, int length, std::string& errorText);
    int GetInQueue();
    bool Read(int count, int& received, int timeoutMs);
    bool SetReadTimeout(int timeoutMs);
    bool SetLines(bool changeDtr, bool dtrOn, bool changeRts, bool rtsOn);
    bool SetFlowControl(bool changeDsr, bool dsrFlowOn, bool changeCts, bool ctsFlowOn);
    bool GetModemStatus(bool& cts, bool& dsr, bool& ring, bool& rlsd);
    // The handler runs on owner's thread; owner must outlive the thread or stop it first.
    bool StartEventThread(QObject* owner, SerialEventHandler handler);
    bool StopEventThread();

    bool isOpen() const { return open_; }
    bool threadRunning() const { return threadRunning_; }
    const std::string& deviceName() const { return deviceName_; }
    const uint8_t* rxBuffer() const { return rxBuffer_.data(); }
    int rxCount() const { return rxCount_; }
    int fd() const { return fd_; }
    // The rate the line really runs at.
    int currentBaud() const;
    // Why the last Open failed, in one line for the user; empty after a success.
    const std::string& failureCause() const { return cause_; }
    // The driver's line counters (false when it keeps none). Also makes sure that a line change
    // the event thread may have slept through is looked at.
    bool readLineCounts(LineCounts& counts);

    // While the port is closed (its device lost), what is sent is dropped and counted.
    void send(const uint8_t* data, int count) override;
    size_t backlog() const override { return out_.backlog(); }
    void holdOutput(bool on) override { out_.hold(on); }
    int read(uint8_t* buffer, int capacity) override;

  protected:
    void applyReading(bool on) override;

  private:
    bool fail(const char* text, std::string cause, std::string& errorText);
    bool openDevice(const std::string& deviceName, std::string& errorText);
    bool applyLineSettings(int baud, const TtyLineFormat& format, bool dsrFlow,
                           std::string& errorText);
    void eventLoop(bool watchLines, int lastLines);
    bool deliverLineChanges(int& lastLines, bool noteCounts, bool& delivered);
    bool stopRequested();
    bool handOver(unsigned events);
    void deliverEvents();
    void onReadable();
    void endEventLoop();

    TtyBackend& lines_;
    std::array<uint8_t, kBufferSize> rxBuffer_{};
    bool threadRunning_ = false;
    int rxCount_ = 0;
    bool open_ = false;
    std::string deviceName_;
    int fd_ = -1;
    int readTimeoutMs_ = 100;
    std::string cause_;

    // Event thread hand-over: the thread raises notifyFd_ with the events in pending_, the main
    // thread handles them and sets acked_; wakeFd_ and stop_ end the thread.
    std::thread thread_;
    int wakeFd_ = -1;
    int notifyFd_ = -1;
    std::atomic<unsigned> pending_{0};
    // The event thread sleeps in the driver until a line changes; the line changes the driver
    // had counted when it last looked.
    std::atomic<bool> waitsInDriver_{false};
    std::atomic<long long> seenLineChanges_{-1};
    std::mutex mutex_;
    std::condition_variable cv_;
    bool acked_ = false;
    bool stop_ = false;
    bool ended_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QSocketNotifier> rxNotifier_;  // the device's readiness on the main thread
    SerialEventHandler handler_;
    pv::FdOutput out_{this, [this] { emit backlogShrank(); }};
};

}  // namespace pv
