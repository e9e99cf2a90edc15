#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ports/DeviceCheck.h"
#include "ports/LineErrors.h"
#include "support/PtyPair.h"
#include "support/Spawned.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(DeviceCheck, PermissionCauseNamesTheDevicesGroupWithTheHint) {
    TempFolder dir;
    const std::string node = dir.file("ttyS0");
    writeWholeFile(node, "");
    // A node of root's group gets the usual serial group; else the node's own group is named.
    const group* dialout = ::getgrnam("dialout");
    std::string expectedGroup = "dialout";
    if (::geteuid() != 0 || dialout == nullptr || ::chown(node.c_str(), 0, dialout->gr_gid) != 0) {
        struct stat st {};
        ::stat(node.c_str(), &st);
        if (st.st_gid != 0) {
            expectedGroup = ::getgrgid(st.st_gid)->gr_name;
        }
    }
    const std::string cause = openErrorCause(node, EACCES);
    EXPECT_EQ(cause, "No permission to open '" + node + "': add your user to the group '" +
                         expectedGroup + "' (sudo usermod -aG " + expectedGroup +
                         " $USER) and log in again.");
    EXPECT_TRUE(contains(openErrorCause(node, ENXIO), "No device answers"));
    EXPECT_TRUE(contains(openErrorCause(node, EBUSY), "opened exclusively"));
}

// The program that serves a pseudo-terminal holds its slave too: it is the line's other end.
// A program that only holds the slave is a competing reader and is named.
TEST(DeviceCheck, HoldersAreOtherReadersNotTheLinesOtherEnd) {
    Spawned server({"python3", "-c",
                    "import os, pty, sys, time\n"
                    "m, s = pty.openpty()\n"
                    "print(os.ttyname(s), flush=True)\n"
                    "time.sleep(600)\n"});
    const std::string slave = server.readLine();
    ASSERT_FALSE(slave.empty());
    EXPECT_TRUE(deviceHolders(slave).empty()) << "the master's holder is left out";

    Spawned reader(holderCommand(), slave);
    const std::vector<DeviceHolder> holders = deviceHolders(slave);
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, reader.pid());
    EXPECT_EQ(holders[0].name, "sleep");

    // This process holds a pty of its own: it is never counted.
    PtyPair own;
    EXPECT_TRUE(deviceHolders(own.path()).empty());
    EXPECT_EQ(withCause("Unable !", ""), "Unable !");
}

TEST(LineErrorTally, CountsSinceTheOpenAndReportsWhatGrewOnce) {
    LineErrorTally tally;
    LineCounts before;
    before.overrun = 7;  // counted before the port was opened: not ours
    before.frame = 3;
    tally.reset(before);
    EXPECT_FALSE(tally.any());
    EXPECT_EQ(tally.text(), "");

    LineCounts now = before;
    now.overrun += 1;
    now.bufferOverrun += 1;
    now.frame += 1;
    now.cts += 5;  // line changes are no errors
    EXPECT_EQ(tally.update(now), (std::vector<LineFault>{LineFault::Overrun, LineFault::Framing}));
    EXPECT_TRUE(tally.update(now).empty()) << "nothing new";
    now.parity += 1;
    now.breaks += 3;
    EXPECT_EQ(tally.update(now), (std::vector<LineFault>{LineFault::Parity, LineFault::Break}));
    EXPECT_EQ(tally.count(LineFault::Overrun), 2);
    EXPECT_EQ(tally.text(), "2 overruns, 1 framing error, 1 parity error, 3 breaks");
    EXPECT_EQ(lineFaultNotice('B', "/dev/ttyUSB0", LineFault::Break),
              "Comport B ('/dev/ttyUSB0'): break received.");
}

}  // namespace
