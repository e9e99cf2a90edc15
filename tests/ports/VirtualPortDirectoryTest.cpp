#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ports/VirtualPortDirectory.h"
#include "support/TempFolder.h"

using namespace pv;

namespace fs = std::filesystem;

namespace {

// A private scratch folder of the test; the virtual port directory is made inside it.
class Scratch : public TempFolder {
  public:
    Scratch() : TempFolder("pvdir") {}
    std::string operator/(const std::string& name) const { return path().string() + "/" + name; }
};

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(VirtualPortDirectoryRules, DefaultPathAndPortNames) {
    EXPECT_EQ(VirtualPortDirectory::defaultPath("/run/user/1000", 1000),
              "/run/user/1000/portavigilant");
    EXPECT_EQ(VirtualPortDirectory::defaultPath(nullptr, 1000), "/tmp/portavigilant-1000");
    EXPECT_EQ(VirtualPortDirectory::defaultPath("", 7), "/tmp/portavigilant-7");
    EXPECT_EQ(VirtualPortDirectory::defaultPath("relative", 7), "/tmp/portavigilant-7");

    for (const char* good : {"COM1", "COM256", "com_5", "A-b"}) {
        EXPECT_TRUE(VirtualPortDirectory::isValidPortName(good)) << good;
    }
    for (const char* bad :
         {"", ".", "..", "../COM1", "COM1/x", ".COM1", "-COM1", "COM 1", "CÖM1"}) {
        EXPECT_FALSE(VirtualPortDirectory::isValidPortName(bad)) << bad;
    }
    EXPECT_FALSE(VirtualPortDirectory::isValidPortName(std::string(65, 'C')));
}

TEST(VirtualPortDirectoryOpen, CreatesAPrivateDirectory) {
    Scratch scratch;
    const mode_t oldMask = ::umask(0);  // the mode must not depend on the caller's umask
    VirtualPortDirectory dir(scratch / "ports/");
    std::string error;
    EXPECT_TRUE(dir.open(error)) << error;
    ::umask(oldMask);
    EXPECT_EQ(dir.path(), scratch / "ports");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_TRUE(dir.open(error)) << "an existing private directory is reused";
}

TEST(VirtualPortDirectoryOpen, RefusesDirectoriesOthersCouldUse) {
    struct Case {
        const char* what;
        void (*make)(const std::string& path, const std::string& elsewhere);
        const char* reason;
    };
    const Case cases[] = {
        {"group may enter",
         [](const std::string& p, const std::string&) { ::mkdir(p.c_str(), 0750); },
         "others may enter it (mode 0750); it must be yours alone (chmod 700)"},
        {"others may enter",
         [](const std::string& p, const std::string&) {
             ::mkdir(p.c_str(), 0700);
             ::chmod(p.c_str(), 0703);
         },
         "mode 0703"},
        {"a link to a private directory",
         [](const std::string& p, const std::string& e) {
             ::mkdir(e.c_str(), 0700);
             ::symlink(e.c_str(), p.c_str());
         },
         "it is a link, and it must be a real directory"},
        {"a plain file", [](const std::string& p, const std::string&) { std::ofstream(p) << "x"; },
         "it is no directory"},
        {"a missing parent", [](const std::string&, const std::string&) {},
         "No such file or directory"},
    };
    for (const Case& c : cases) {
        Scratch scratch;
        std::string path = scratch / "ports";
        if (std::string(c.what) == "a missing parent") {
            path = scratch / "missing/ports";
        }
        c.make(path, scratch / "elsewhere");
        VirtualPortDirectory dir(path);
        std::string error;
        EXPECT_FALSE(dir.open(error)) << c.what;
        EXPECT_FALSE(dir.isOpen()) << c.what;
        EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

TEST(VirtualPortDirectoryOpen, RefusesADirectoryOfAnotherUser) {
    Scratch scratch;
    const std::string path = scratch / "ports";
    ::mkdir(path.c_str(), 0700);
    if (::chown(path.c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "only root can give a directory away";
    }
    VirtualPortDirectory dir(path);
    std::string error;
    EXPECT_FALSE(dir.open(error));
    EXPECT_NE(error.find("it belongs to another user"), std::string::npos) << error;
}

TEST(VirtualPortDirectoryEntries, OnlyOurOwnPtyLinksAreTouched) {
    Scratch scratch;
    VirtualPortDirectory dir(scratch / "ports");
    std::string error;
    ASSERT_TRUE(dir.open(error)) << error;
    const std::string victim = scratch / "victim";
    std::ofstream(victim) << "keep";

    EXPECT_EQ(dir.inspect("COM1"), PortEntry::Absent);
    ASSERT_TRUE(dir.createLink("COM1", "/dev/pts/91"));
    EXPECT_FALSE(dir.createLink("COM1", "/dev/pts/92")) << "the name is taken";
    std::string target;
    EXPECT_EQ(dir.inspect("COM1", &target), PortEntry::PortLink);
    EXPECT_EQ(target, "/dev/pts/91");
    EXPECT_TRUE(dir.replaceStaleLink("COM1", "/dev/pts/92"));
    EXPECT_EQ(fs::read_symlink(dir.linkPath("COM1")), "/dev/pts/92");
    EXPECT_FALSE(dir.removeLink("COM1", "/dev/pts/91")) << "not the link we made";
    EXPECT_TRUE(dir.removeLink("COM1", "/dev/pts/92"));
    EXPECT_EQ(dir.inspect("COM1"), PortEntry::Absent);
    EXPECT_FALSE(dir.createLink("COM2", victim)) << "links only ever lead to a pty slave";

    fs::create_symlink(victim, dir.linkPath("COM3"));
    std::ofstream(dir.linkPath("COM4")) << "file";
    fs::create_symlink("/dev/pts/93", dir.linkPath("COM5"));
    const bool foreignOwner = ::lchown(dir.linkPath("COM5").c_str(), 65534, 65534) == 0;
    for (const char* name : {"COM3", "COM4", "COM5"}) {
        if (std::string(name) == "COM5" && !foreignOwner) {
            continue;
        }
        const auto before = fs::symlink_status(dir.linkPath(name)).type();
        EXPECT_EQ(dir.inspect(name), PortEntry::Foreign) << name;
        EXPECT_FALSE(dir.replaceStaleLink(name, "/dev/pts/94")) << name;
        EXPECT_FALSE(dir.removeLink(name, "/dev/pts/93")) << name;
        EXPECT_EQ(fs::symlink_status(dir.linkPath(name)).type(), before) << name;
    }
    EXPECT_EQ(fs::read_symlink(dir.linkPath("COM3")), victim);
    EXPECT_EQ(readAll(victim), "keep");
}

TEST(VirtualPortDirectoryLocks, OneHolderPerNameAndNoPlantedLockFile) {
    Scratch scratch;
    VirtualPortDirectory dir(scratch / "ports");
    std::string error;
    ASSERT_TRUE(dir.open(error)) << error;

    const int first = dir.lockName("COM1");
    ASSERT_GE(first, 0);
    EXPECT_EQ(dir.lockName("COM1"), -1) << "a second holder, even in the same process";
    const int other = dir.lockName("COM2");
    EXPECT_GE(other, 0);
    dir.unlockName("COM1", first);
    EXPECT_FALSE(fs::exists(dir.path() + "/.COM1.lock"));
    const int again = dir.lockName("COM1");
    EXPECT_GE(again, 0);
    dir.unlockName("COM1", again);
    dir.unlockName("COM2", other);

    // A lock file that a dead holder left behind is simply taken.
    std::ofstream(dir.path() + "/.COM3.lock");
    const int stale = dir.lockName("COM3");
    EXPECT_GE(stale, 0);
    dir.unlockName("COM3", stale);

    const std::string victim = scratch / "victim";
    std::ofstream(victim) << "keep";
    fs::create_symlink(victim, dir.path() + "/.COM4.lock");
    EXPECT_EQ(dir.lockName("COM4"), -1);
    EXPECT_EQ(readAll(victim), "keep");
    const int victimFd = ::open(victim.c_str(), O_RDONLY);
    EXPECT_EQ(::flock(victimFd, LOCK_EX | LOCK_NB), 0)
        << "the planted link's target stays unlocked";
    ::close(victimFd);
}

}  // namespace
