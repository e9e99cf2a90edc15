#include "ports/VirtualSerialPort.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "ports/TtyLine.h"

namespace pv {

namespace {

constexpr const char* kTextInUse =
    "Serial port '%s' is in use by '%s'!\nPlease close it there first. Otherwise I am unable to "
    "delete the port!\n\nPress 'OK' after closing the port in the other application!\n\nPress "
    "'Cancel' to abort, but this will lead to a 'hanging' port in Windows device manager!";
constexpr const char* kTextUnknownProgram = "another program";
constexpr const char* kTextBadName = "'%s' is not a valid virtual port name.";
constexpr const char* kTextNameHeld = "The virtual port '%s' is in use by another instance.";
constexpr const char* kTextNameTaken =
    "'%s' exists and is not a virtual port link of yours; it is left alone.";
constexpr const char* kTextNoPty = "Unable to create a pseudo-terminal: %s";
constexpr const char* kTextNoRawMode = "Unable to set raw mode on '%s'.";
constexpr const char* kTextDroppedWhileAway =
    "%s: %lld bytes were dropped because no program was reading the port.";

// A receiver that took nothing from a notification is asked again after this pause rather than
// at once, which would spin.
constexpr int kReadRetryMs = 10;
// Only where inotify cannot watch the slave: how often to look whether a program opened it.
constexpr int kPeerPollMs = 50;

// POLLHUP on the master: no process has the slave open.
short masterState(int masterFd) {
    pollfd p{masterFd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    return r > 0 ? p.revents : 0;
}

bool holdsFile(const std::string& fdDir, const std::string& path) {
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr) {
        return false;
    }
    bool found = false;
    char target[256];
    while (dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string link = fdDir + "/" + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        if (n > 0 && path.compare(0, std::string::npos, target, static_cast<size_t>(n)) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

}  // namespace

CVirtualSerialPort::CVirtualSerialPort(Prompt& prompt, std::string directory, QObject* parent)
    : pv::Channel(parent), prompt_(prompt), directory_(std::move(directory)) {}

CVirtualSerialPort::~CVirtualSerialPort() {
    releasePort();
}

bool CVirtualSerialPort::OpenPort(const std::string& name) {
    lastError_.clear();
    if (open_) {
        if (name == portName_) {
            return true;  // left open by a cancelled ClosePort: take it up again
        }
        releasePort();
    }
    if (!VirtualPortDirectory::isValidPortName(name)) {
        lastError_ = formatText(kTextBadName, name.c_str());
        return false;
    }
    portName_ = name;
    if (!createPort(name)) {
        releasePort();
        return false;
    }
    open_ = true;
    return true;
}

bool CVirtualSerialPort::createPort(const std::string& name) {
    if (!directory_.open(lastError_)) {
        return false;
    }
    lockFd_ = directory_.lockName(name);
    if (lockFd_ < 0) {
        lastError_ = formatText(kTextNameHeld, name.c_str());
        return false;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char slaveName[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, slaveName, sizeof slaveName) != 0) {
        lastError_ = formatText(kTextNoPty, std::strerror(errno));
        if (master >= 0) {
            ::close(master);
        }
        return false;
    }
    masterFd_ = master;
    slavePath_ = slaveName;

    // Raw mode before the link appears, so no opener ever sees a translating line. Closing our
    // slave again leaves the master in hang-up until a program opens the port.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool raw = slave >= 0 && setTtyFormat(slave, TtyLineFormat{});
    if (slave >= 0) {
        ::close(slave);
    }
    if (!raw) {
        lastError_ = formatText(kTextNoRawMode, slavePath_.c_str());
        return false;
    }

    // The second way: a link whose lock nobody holds was left by an instance that died.
    if (!directory_.createLink(name, slavePath_) &&
        !directory_.replaceStaleLink(name, slavePath_)) {
        lastError_ = formatText(kTextNameTaken, directory_.linkPath(name).c_str());
        return false;
    }

    readNotifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Read, this);
    readNotifier_->setEnabled(false);
    connect(readNotifier_, &QSocketNotifier::activated, this,
            &CVirtualSerialPort::onMasterReadable);
    out_.attach(masterFd_);

    // A program opening or closing the slave is an inotify event on its node; no polling needed.
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ >= 0 &&
        ::inotify_add_watch(inotifyFd_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) >= 0) {
        openWatch_ = new QSocketNotifier(inotifyFd_, QSocketNotifier::Read, this);
        connect(openWatch_, &QSocketNotifier::activated, this,
                &CVirtualSerialPort::onSlaveOpenedOrClosed);
    } else {
        peerPoll_ = new QTimer(this);
        connect(peerPoll_, &QTimer::timeout, this, &CVirtualSerialPort::onSlaveOpenedOrClosed);
        peerPoll_->start(kPeerPollMs);
    }
    return true;
}

void CVirtualSerialPort::releasePort() {
    for (QSocketNotifier** notifier : {&readNotifier_, &openWatch_}) {
        if (*notifier != nullptr) {
            (*notifier)->setEnabled(false);
            (*notifier)->disconnect(this);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (peerPoll_ != nullptr) {
        peerPoll_->stop();
        peerPoll_->deleteLater();
        peerPoll_ = nullptr;
    }
    if (inotifyFd_ >= 0) {
        ::close(inotifyFd_);
        inotifyFd_ = -1;
    }
    // The link goes before the pty, so nobody opens a path that leads nowhere.
    if (!slavePath_.empty()) {
        directory_.removeLink(portName_, slavePath_);
    }
    if (masterFd_ >= 0) {
        countDropped(static_cast<long long>(out_.detach()));
        ::close(masterFd_);
        masterFd_ = -1;
    }
    directory_.unlockName(portName_, lockFd_);
    lockFd_ = -1;
    directory_.close();
    open_ = false;
    peerPresent_ = false;
    portName_.clear();
    slavePath_.clear();
}

bool CVirtualSerialPort::slaveHeld() const {
    return masterFd_ >= 0 && (masterState(masterFd_) & POLLHUP) == 0;
}

bool CVirtualSerialPort::releaseIfUnused() {
    if (slaveHeld()) {
        return false;
    }
    reportDroppedWhileAway();
    releasePort();
    return true;
}

bool CVirtualSerialPort::ClosePort() {
    if (!open_) {
        return true;
    }
    while (!releaseIfUnused()) {
        std::string user = UsedBy();
        if (user.empty()) {
            user = kTextUnknownProgram;
        }
        const std::string text = formatText(kTextInUse, portName_.c_str(), user.c_str());
        if (prompt_.message(text, {}, PromptButtons::OkCancel, PromptIcon::Warning) !=
            PromptAnswer::Ok) {
            return false;
        }
    }
    return true;
}

std::string CVirtualSerialPort::UsedBy() const {
    if (slavePath_.empty()) {
        return {};
    }
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return {};
    }
    std::string name;
    while (dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (holdsFile("/proc/" + pid + "/fd", slavePath_)) {
            std::ifstream comm("/proc/" + pid + "/comm");
            std::getline(comm, name);
            if (!name.empty()) {
                break;
            }
        }
    }
    ::closedir(proc);
    return name;
}

int CVirtualSerialPort::ReadBytes(uint8_t* buffer, int count) {
    readDuringNotify_ = true;
    if (!open_ || buffer == nullptr || count <= 0) {
        return 0;
    }
    int taken = 0;
    while (taken < count) {
        const ssize_t n = ::read(masterFd_, buffer + taken, static_cast<size_t>(count - taken));
        if (n > 0) {
            taken += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EAGAIN: all taken; EIO: the program has closed the port
        }
    }
    return taken;
}

int CVirtualSerialPort::WriteBytes(const uint8_t* data, int count) {
    if (data == nullptr || count <= 0 || masterFd_ < 0) {
        return 0;
    }
    if (!peerPresent_) {
        if ((masterState(masterFd_) & POLLHUP) != 0) {
            countDropped(count);
            droppedWhileAway_ += count;
            return 0;
        }
        // The program opened the port before its open event reached us.
        peerPresent_ = true;
    }
    const size_t refused = out_.send(data, static_cast<size_t>(count));
    countDropped(static_cast<long long>(refused));
    return count - static_cast<int>(refused);
}

void CVirtualSerialPort::dropQueued() {
    countDropped(static_cast<long long>(out_.clear()));
}

void CVirtualSerialPort::applyReading(bool on) {
    // With nobody on the port the notifier sees the hang-up and switches itself off again.
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(on);
    }
}

void CVirtualSerialPort::onMasterReadable() {
    int waiting = 0;
    if (::ioctl(masterFd_, FIONREAD, &waiting) == 0 && waiting > 0) {
        readDuringNotify_ = false;
        emit OnDataAvailable(waiting);
        emit readyRead();
        if (!readDuringNotify_ && readNotifier_ != nullptr && !readingPaused()) {
            readNotifier_->setEnabled(false);
            QTimer::singleShot(kReadRetryMs, this, [this] {
                if (readNotifier_ != nullptr && !readingPaused()) {
                    readNotifier_->setEnabled(true);
                }
            });
        }
        return;
    }
    // Nothing to read: readiness without data is the hang-up of the last program.
    if ((masterState(masterFd_) & POLLHUP) != 0) {
        readNotifier_->setEnabled(false);
        if (peerPresent_) {
            peerLeft();
        }
    }
}

void CVirtualSerialPort::onSlaveOpenedOrClosed() {
    if (inotifyFd_ >= 0) {
        char events[4096];
        while (::read(inotifyFd_, events, sizeof events) > 0) {
        }
    }
    const short state = masterState(masterFd_);
    if ((state & POLLHUP) == 0) {
        peerArrived();
    } else if ((state & POLLIN) != 0) {
        readNotifier_->setEnabled(!readingPaused());  // what it wrote before closing still arrives
    } else if (peerPresent_) {
        peerLeft();
    }
}

void CVirtualSerialPort::peerArrived() {
    peerPresent_ = true;
    readNotifier_->setEnabled(!readingPaused());
    reportDroppedWhileAway();
}

void CVirtualSerialPort::reportDroppedWhileAway() {
    if (droppedWhileAway_ > 0) {
        emit notice(formatText(kTextDroppedWhileAway, portName_.c_str(), droppedWhileAway_));
        droppedWhileAway_ = 0;
    }
}

void CVirtualSerialPort::peerLeft() {
    peerPresent_ = false;
    droppedWhileAway_ += static_cast<long long>(out_.backlog());
    dropQueued();
    if ((masterState(masterFd_) & POLLHUP) == 0) {
        peerArrived();  // a program opened the port again meanwhile
        return;
    }
    // What the program left unread would reach the next opener as if it were new; a closed real
    // port loses it too. Opening the slave for the flush makes inotify report us, which finds
    // the hang-up again and does nothing more.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        int unread = 0;
        if (::ioctl(slave, TIOCINQ, &unread) == 0) {
            countDropped(unread);
            droppedWhileAway_ += unread;
        }
        ::tcflush(slave, TCIFLUSH);
        ::close(slave);
    }
}

}  // namespace pv
