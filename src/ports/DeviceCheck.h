#pragma once

#include <string>
#include <vector>

namespace pv {

// Why a serial device cannot be used, said in one line the user can act on. The fixed messages
// of a failed start stay as they are; these lines go beneath them.

enum class NodeKind {
    CharDevice,  // worth opening
    Missing,     // nothing there (unplugged, or removed since it was listed)
    Directory,
    NotADevice,  // a FIFO, a regular file, a socket, a block device
};

struct NodeCheck {
    NodeKind kind = NodeKind::Missing;
    std::string cause;  // empty for CharDevice
};

// Looks at what the path names before anything opens it, so a FIFO is never opened and a
// dangling link is told apart from a mistyped name.
NodeCheck checkDeviceNode(const std::string& path);

// The cause of a failed open() of path with errno error.
std::string openErrorCause(const std::string& path, int error);

// A process other than this one that holds the device open.
struct DeviceHolder {
    int pid = 0;
    std::string name;  // its /proc/<pid>/comm
};

// The processes that have the device open, found through procRoot/<pid>/fd. A pseudo-terminal's
// master holder (socat, a test harness, a terminal emulator) is the line's other end, not a
// competing reader, and is left out; so is this process. Processes of other users are seen only
// with the privilege to read their descriptors.
std::vector<DeviceHolder> deviceHolders(const std::string& path,
                                        const std::string& procRoot = "/proc");
std::string holdersCause(const std::string& path, const std::vector<DeviceHolder>& holders);

// A fixed text with its cause beneath it, on a line of its own.
std::string withCause(const std::string& text, const std::string& cause);

}  // namespace pv
