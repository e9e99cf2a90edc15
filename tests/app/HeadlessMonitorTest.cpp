#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <csignal>

#include "support/PtyPair.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

TEST(HeadlessMonitor, PrintsTheTrafficOfBothSidesWhileBridging) {
    PtyPair a, b;
    QProcess process;
    process.start(PV_EXECUTABLE,
                  {"--headless", "--monitor", "--device-a", QString::fromStdString(a.path()),
                   "--device-b", QString::fromStdString(b.path())});
    ASSERT_TRUE(process.waitForStarted(5000));
    QByteArray out;
    const auto printed = [&](const std::string& line) {
        return waitUntil(
            [&] {
                out += process.readAllStandardOutput();
                return out.contains(line.c_str());
            },
            5000);
    };
    a.write(bytesOf("AT\r"));
    EXPECT_EQ(b.read(3), bytesOf("AT\r"));
    // The row waits for more bytes, then shows after the pause.
    // 16 bytes per row: 48 columns of hex, 16 of text.
    EXPECT_TRUE(
        printed("A  41 54 0D " + std::string(39, ' ') + "|AT." + std::string(13, ' ') + "|\n"))
        << out.toStdString();
    b.write(bytesOf("OK"));
    EXPECT_EQ(a.read(2), bytesOf("OK"));
    EXPECT_TRUE(printed("B  " + std::string(9, ' ') + "4F 4B " + std::string(33, ' ') + "|   OK" +
                        std::string(11, ' ') + "|\n"))
        << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardError(), "");
}

// With times, each line starts with the time of day; the answer starts its own row and says how
// long side B took to answer.
TEST(HeadlessMonitor, TimestampsAndTheResponseTime) {
    PtyPair a, b;
    QProcess process;
    process.start(PV_EXECUTABLE, {"--headless", "--monitor", "--timestamps", "abs", "--device-a",
                                  QString::fromStdString(a.path()), "--device-b",
                                  QString::fromStdString(b.path())});
    ASSERT_TRUE(process.waitForStarted(5000));
    QString out;
    const QRegularExpression lines(
        "^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} {12}A  41 54 0D +\\|AT\\. +\\|\\n"
        "\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\+\\d+\\.\\d ms +B  4F 4B +\\|OK +\\|\\n$");
    a.write(bytesOf("AT\r"));
    EXPECT_EQ(b.read(3), bytesOf("AT\r"));
    b.write(bytesOf("OK"));
    EXPECT_EQ(a.read(2), bytesOf("OK"));
    EXPECT_TRUE(waitUntil(
        [&] {
            out += QString::fromUtf8(process.readAllStandardOutput());
            return lines.match(out).hasMatch();
        },
        5000))
        << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
}

}  // namespace
