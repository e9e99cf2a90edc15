#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

// Reads what is there on fd, waiting until `until` shows up in all read so far or the time is up.
bool readUntil(int fd, std::string& all, const std::string& until, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (all.find(until) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        all.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

void writeAll(int fd, const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// The program runs on a pseudo-terminal of its own, as in a terminal emulator: it is the
// session leader there, so Ctrl-C typed on that terminal is its SIGINT.
class ConsoleSession {
  public:
    explicit ConsoleSession(const std::vector<std::string>& args) {
        std::vector<char*> argv{const_cast<char*>(PV_EXECUTABLE)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            ::execv(PV_EXECUTABLE, argv.data());
            ::_exit(127);
        }
        // Kept open here so the terminal's mode can be read after the program has gone.
        slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    }
    ~ConsoleSession() {
        if (pid_ > 0 && exitStatus_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(slave_);
        ::close(master_);
    }
    int master() const { return master_; }
    termios mode() const {
        termios tio{};
        ::tcgetattr(slave_, &tio);
        return tio;
    }
    bool raw() const { return (mode().c_lflag & (ICANON | ECHO)) == 0; }
    // The exit status, or -1 when the program has not ended within the time.
    int waitForExit(int timeoutMs = 5000) {
        waitUntil(
            [&] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return exitStatus_ >= 0;
            },
            timeoutMs);
        return exitStatus_;
    }

  private:
    pid_t pid_ = -1;
    int master_ = -1;
    int slave_ = -1;
    int exitStatus_ = -1;
};

TEST(HeadlessTerminal, TypedKeysGoToSideAItsBytesComeOutAndCtrlCRestoresTheTerminal) {
    PtyPair farA;
    QTemporaryDir dir;
    ConsoleSession session({"--terminal", "--device-a", farA.path(), "--params",
                            dir.filePath("none.dat").toStdString(), "--control-keys"});
    ASSERT_TRUE(waitUntil([&] { return session.raw(); })) << "raw mode once the sides run";
    EXPECT_TRUE(session.mode().c_lflag & ISIG) << "Ctrl-C still a signal";

    writeAll(session.master(), "AT\r\t\x1B[A");
    EXPECT_EQ(farA.read(8), bytesOf("AT\r\n\t\x1B[A"));
    farA.write(bytesOf("\x1B[1mOK\x1B[0m\r\n"));
    std::string shown;
    EXPECT_TRUE(readUntil(session.master(), shown, "\x1B[0m")) << shown;
    EXPECT_NE(shown.find("\x1B[1mOK"), std::string::npos) << "side A's bytes unchanged";

    writeAll(session.master(), "\x03");
    EXPECT_EQ(session.waitForExit(), 0);
    // Back to the mode a new pseudo-terminal starts in.
    const termios after = session.mode();
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | IEXTEN | ISIG),
              tcflag_t{ICANON | ECHO | IEXTEN | ISIG});
    EXPECT_EQ(after.c_iflag & (ICRNL | IXON), tcflag_t{ICRNL | IXON});
    EXPECT_NE(after.c_cc[VSUSP], _POSIX_VDISABLE);
    EXPECT_NE(after.c_cc[VQUIT], _POSIX_VDISABLE);
}

TEST(HeadlessTerminal, TheEndOfAPipedInputEndsTheInputNotTheRun) {
    PtyPair farA;
    QTemporaryDir dir;
    QProcess process;
    process.start(PV_EXECUTABLE, {"--terminal", "--device-a", QString::fromStdString(farA.path()),
                                  "--params", dir.filePath("none.dat")});
    ASSERT_TRUE(process.waitForStarted(5000));
    process.write("hi\n");
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForBytesWritten(5000));
    EXPECT_EQ(farA.read(4), bytesOf("hi\r\n"));
    farA.write(bytesOf("still here"));
    QByteArray out;
    EXPECT_TRUE(waitUntil([&] {
        out += process.readAllStandardOutput();
        return out == "still here";
    })) << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardError(), "");
}

// The file transfer without a window: --send and --download.
struct Outcome {
    int exitCode = -1;
    std::string errors;
    std::vector<uint8_t> atA;
};

// Runs the program with side A on a pseudo-terminal whose far end is read as fast as it comes.
Outcome runWithSideA(PtyPair& farA, const QStringList& args, size_t expectBytes) {
    QTemporaryDir dir;
    QProcess process;
    process.start(PV_EXECUTABLE, QStringList{"--device-a", QString::fromStdString(farA.path()),
                                             "--params", dir.filePath("none.dat")} +
                                     args);
    Outcome run;
    if (!process.waitForStarted(5000)) {
        return run;
    }
    waitUntil(
        [&] {
            PtyPair::readFd(farA.master(), run.atA, expectBytes, 0);
            return process.state() == QProcess::NotRunning;
        },
        60000);
    PtyPair::readFd(farA.master(), run.atA, expectBytes, 100);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.errors = process.readAllStandardError().toStdString();
    return run;
}

TEST(HeadlessSend, AFileGoesToSideAByteForByteAndTheRunEnds) {
    TempFolder dir;
    const std::vector<uint8_t> big = randomBytes(6 << 20, 11);
    writeWholeFile(dir.file("big.bin"), std::string(big.begin(), big.end()));
    writeWholeFile(dir.file("small.txt"), "hello");
    struct Case {
        QStringList args;
        std::vector<uint8_t> expected;
        int exitCode;
        std::string errors;
    };
    const Case cases[] = {
        {{"--send", QString::fromStdString(dir.file("big.bin"))},
         big,
         0,
         "sent 6291456 of 6291456 bytes\n"},
        {{"--send", QString::fromStdString(dir.file("small.txt")), "--send-delay", "2:1",
          "--download", QString::fromStdString(dir.file("down.txt"))},
         bytesOf("hello"),
         0,
         "sent 5 of 5 bytes\n"},
        {{"--send", QString::fromStdString(dir.file("missing.txt"))}, {}, 5, "File not found !!!"},
        {{"--download", QString::fromStdString(dir.file("no/folder/down.txt")), "--duration", "5"},
         {},
         5,
         "Unable to create file !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        PtyPair farA;
        const Outcome run = runWithSideA(farA, c.args, c.expected.size() + 1);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.errors.find(c.errors), std::string::npos) << run.errors;
        EXPECT_EQ(run.atA.size(), c.expected.size());
        EXPECT_TRUE(run.atA == c.expected);
    }
    EXPECT_EQ(readWholeFile(dir.file("down.txt")), "") << "created; side A sent nothing";
}

}  // namespace
