#pragma once

#include <string>

namespace pv {

// What a name in the virtual port directory currently is.
enum class PortEntry {
    Absent,    // nothing has the name
    PortLink,  // a link of ours to a pseudo-terminal slave (live or left by a killed instance)
    Foreign,   // anything else: never followed, replaced or removed
};

// The private directory that holds the links of the virtual ports, one per name, and a lock file
// per name that a live port holds. Every operation works relative to the directory's descriptor,
// so the directory cannot be swapped for another between the check and the use.
class VirtualPortDirectory {
  public:
    // An empty path means the default directory.
    explicit VirtualPortDirectory(std::string path = {});
    ~VirtualPortDirectory();
    VirtualPortDirectory(const VirtualPortDirectory&) = delete;
    VirtualPortDirectory& operator=(const VirtualPortDirectory&) = delete;

    // $XDG_RUNTIME_DIR/portavigilant, else /tmp/portavigilant-<uid>.
    static std::string defaultPath(const char* runtimeDir, unsigned uid);
    static std::string defaultPath();
    // A plain file name: letters, digits, '_' and '-', at most 64, not starting with '-'.
    static bool isValidPortName(const std::string& name);

    const std::string& path() const { return path_; }
    std::string linkPath(const std::string& name) const { return path_ + "/" + name; }

    // Creates the directory (mode 0700) when missing and opens it. Refuses a link, a non-directory,
    // one owned by someone else or one that group or others may enter.
    bool open(std::string& error);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Takes the name's lock without waiting; -1 while a live port holds it or when the lock file
    // is not a plain file of ours.
    int lockName(const std::string& name) const;
    // Removes the lock file while still holding it, then lets go.
    void unlockName(const std::string& name, int lockFd) const;

    PortEntry inspect(const std::string& name, std::string* target = nullptr) const;
    // Fails when anything has the name.
    bool createLink(const std::string& name, const std::string& target) const;
    // Replaces a PortLink in one step; anything else under the name is left alone.
    bool replaceStaleLink(const std::string& name, const std::string& target) const;
    // Removes the link only while it is ours and still points at target.
    bool removeLink(const std::string& name, const std::string& target) const;

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace pv
