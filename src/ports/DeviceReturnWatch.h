#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>

namespace pv {

// Tells when a device path that went away (a USB adapter pulled, a link removed) may be back.
// It watches, with inotify, the nearest folder on the way to the path that exists, and, while the
// path is a link leading nowhere, the nearest one on the way to its target; the watch moves
// deeper as folders reappear (udev creates /dev/serial/by-id again with the first adapter).
// A burst of changes is folded into one look. Nothing runs while nothing changes.
// The node that was lost may still be there for a moment (a hang-up comes before the node goes);
// only another node counts as back, so a device that came back before the watch began is seen,
// and a dead node is not opened again and again.
class DeviceReturnWatch : public QObject {
    Q_OBJECT

  public:
    explicit DeviceReturnWatch(QObject* parent = nullptr);

    // Which node a path leads to. A pty that reuses a freed index gets the same inode number
    // but not the same change time.
    struct NodeId {
        unsigned long device = 0;
        unsigned long inode = 0;
        long long changedNs = 0;
        bool operator==(const NodeId&) const = default;
    };
    // The node of an open descriptor (zero when it cannot be told).
    static NodeId nodeOf(int fd);

    // Starts watching for another node than lost (the one that failed), and takes a first look
    // shortly, in case the device is back already.
    void watch(const std::string& path, NodeId lost);
    void stop();
    // The node the path leads to now does not open: only another one counts as back.
    void giveUpOnCurrentNode();
    bool watching() const { return !path_.empty(); }

  signals:
    // The path leads to something again; whether it opens is for the receiver to find out.
    void appeared();

  private:
    void look();
    void arm();

    std::string path_;
    NodeId lost_;  // the node the path led to when it was lost; zero once it has gone
    QFileSystemWatcher watcher_;
    QTimer settle_;
    QTimer poll_;  // only where a folder cannot be watched
};

}  // namespace pv
