#pragma once

#include <cstdint>
#include <string>

#include "ports/Channel.h"
#include "ports/FdOutput.h"
#include "ports/VirtualPortDirectory.h"

class QSocketNotifier;
class QTimer;

namespace pv {

class Prompt;

// A virtual serial port: a pseudo-terminal whose slave is published as a link "<dir>/<name>" that
// other programs (picocom, minicom, pyserial) open as a serial port. Bytes they write arrive
// through OnDataAvailable and ReadBytes; bytes given to WriteBytes go to them.
//
// While no program has the port open, WriteBytes drops the bytes and counts them in
// droppedCount(), as a real line does; bytes the program left unread when it closed are dropped
// (and counted) too, so the next opener never sees stale data. While a program has it open,
// nothing is dropped: what the pseudo-terminal cannot take yet waits in the channel's bounded
// output queue. Main thread only.
class CVirtualSerialPort : public pv::Channel {
    Q_OBJECT

  public:
    // An empty directory means VirtualPortDirectory::defaultPath().
    explicit CVirtualSerialPort(Prompt& prompt, std::string directory = {},
                                QObject* parent = nullptr);
    ~CVirtualSerialPort() override;
    CVirtualSerialPort(const CVirtualSerialPort&) = delete;
    CVirtualSerialPort& operator=(const CVirtualSerialPort&) = delete;

    // Creates the port under name; if a stale link of a killed instance has the name, takes it
    // over. False when a live port holds the name, the name or the directory is refused, or
    // anything else has the name. Opening again under the name already held succeeds at once.
    bool OpenPort(const std::string& name);
    // Deletes the port. While another program holds it, asks the user (OK retries, Cancel gives
    // false and leaves the port open). True when the port was not open.
    bool ClosePort();
    // Hands the bytes to the program using the port; returns how many were taken (written or
    // queued), 0 when they were dropped because no program has the port open.
    int WriteBytes(const uint8_t* data, int count);
    // Takes up to count received bytes; never waits.
    int ReadBytes(uint8_t* buffer, int count);
    // Name of a program holding the port open, or empty.
    std::string UsedBy() const;

    bool isOpen() const { return open_; }
    const std::string& portName() const { return portName_; }
    const std::string& directory() const { return directory_.path(); }
    std::string linkPath() const { return open_ ? directory_.linkPath(portName_) : std::string(); }
    const std::string& slavePath() const { return slavePath_; }
    // A program has the port open (as last seen; WriteBytes checks again).
    bool peerConnected() const { return peerPresent_; }
    size_t queuedCount() const { return out_.backlog(); }
    // Why the last OpenPort failed, for diagnostics.
    const std::string& lastError() const { return lastError_; }

    void send(const uint8_t* data, int count) override { WriteBytes(data, count); }
    size_t backlog() const override { return out_.backlog(); }
    void holdOutput(bool on) override { out_.hold(on); }
    int read(uint8_t* buffer, int capacity) override { return ReadBytes(buffer, capacity); }

  signals:
    // Bytes wait; count is how many ReadBytes can take now.
    void OnDataAvailable(int count);

  protected:
    void applyReading(bool on) override;

  private:
    bool createPort(const std::string& name);
    void releasePort();
    bool releaseIfUnused();
    bool slaveHeld() const;
    void onMasterReadable();
    void onSlaveOpenedOrClosed();
    void peerArrived();
    void peerLeft();
    void dropQueued();
    // Bytes no program took, said once: when the next program opens the port, or at the close.
    void reportDroppedWhileAway();

    Prompt& prompt_;
    VirtualPortDirectory directory_;
    bool open_ = false;
    std::string portName_;
    std::string slavePath_;
    std::string lastError_;
    int masterFd_ = -1;
    int lockFd_ = -1;
    int inotifyFd_ = -1;
    // Children of this object; released with deleteLater, since a release may run inside their
    // own notification.
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QSocketNotifier* openWatch_ = nullptr;
    QTimer* peerPoll_ = nullptr;
    bool readDuringNotify_ = false;
    bool peerPresent_ = false;
    long long droppedWhileAway_ = 0;
    pv::FdOutput out_{this, [this] { emit backlogShrank(); }};
};

}  // namespace pv
