#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/MonitorOutput.h"

using namespace pv;

namespace {

std::string readAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// The traffic never waits for the printing: an output that takes nothing costs rows, which a
// line counts, and one that is gone or stuck never keeps the program from ending.
TEST(MonitorOutput, ASlowOrVanishedReaderCostsRowsNeverTheTraffic) {
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto output = std::make_unique<pv::MonitorOutput>(fds[1]);
    std::vector<uint8_t> block(4096);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i);
    }
    for (int i = 0; i < 1536; ++i) {  // 6 MiB: more than the queue and the pipe hold
        output->feed(true, block.data(), static_cast<int>(block.size()));
    }
    std::string text;
    std::thread reader([&] { text = readAll(fds[0]); });
    output.reset();
    ::close(fds[1]);
    reader.join();
    EXPECT_EQ(
        text.rfind("A  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F |................|\n", 0),
        0u)
        << text.substr(0, 200);
    // Queued rows first, then what was left out behind them.
    const size_t said = text.find(" bytes not shown: the output could not keep up --\n");
    ASSERT_NE(said, std::string::npos);
    EXPECT_GT(said, size_t{4} << 20);
    ::close(fds[0]);

    for (const bool readerLeaves : {true, false}) {
        SCOPED_TRACE(readerLeaves ? "the reader closed the pipe" : "nobody reads the pipe");
        ASSERT_EQ(::pipe(fds), 0);
        if (readerLeaves) {
            ::close(fds[0]);
        }
        std::vector<std::string> told;
        auto stuck = std::make_unique<pv::MonitorOutput>(
            fds[1], TimeViewOptions{}, [&](const std::string& why) { told.push_back(why); });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            stuck->feed(false, block.data(), static_cast<int>(block.size()));
        } while (readerLeaves && stuck->alive() && std::chrono::steady_clock::now() < until);
        EXPECT_NE(stuck->alive(), readerLeaves);
        stuck.reset();  // must end although nobody takes the rest
        // A reader that left is said once; an output stuck at the end is just left.
        EXPECT_EQ(told, readerLeaves ? std::vector<std::string>{"The traffic could not be "
                                                                "printed any more (Broken pipe); "
                                                                "the relay goes on without it."}
                                     : std::vector<std::string>{});
        ::close(fds[1]);
        if (!readerLeaves) {
            ::close(fds[0]);
        }
    }
}

// A file or device is written without waiting for it: every row reaches a file, and a full
// disk ends the printing like a closed pipe, and either is said once.
TEST(MonitorOutput, AFileGetsEveryRowAndAFullDiskEndsThePrinting) {
    char path[] = "/tmp/pv-monitor-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    const std::vector<uint8_t> block(4096, 0x41);
    auto output = std::make_unique<pv::MonitorOutput>(file);
    for (int i = 0; i < 64; ++i) {
        output->feed(i % 2 == 0, block.data(), static_cast<int>(block.size()));
    }
    output.reset();
    ::lseek(file, 0, SEEK_SET);
    const std::string text = readAll(file);
    ::close(file);
    ::unlink(path);
    const std::string row =
        "A  41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 |AAAAAAAAAAAAAAAA|\n";
    EXPECT_EQ(text.size(), row.size() * 64 * 4096 / 16);
    EXPECT_EQ(text.rfind(row, 0), 0u);
    EXPECT_EQ(text.find("not shown"), std::string::npos);

    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    std::vector<std::string> said;
    auto onFull = std::make_unique<pv::MonitorOutput>(
        full, TimeViewOptions{}, [&](const std::string& why) { said.push_back(why); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        onFull->feed(true, block.data(), static_cast<int>(block.size()));
    } while (onFull->alive() && std::chrono::steady_clock::now() < until);
    EXPECT_FALSE(onFull->alive());
    onFull.reset();
    EXPECT_EQ(said, std::vector<std::string>{"The traffic could not be printed any more (No space "
                                             "left on device); the relay goes on without it."});
    ::close(full);
}

}  // namespace
