#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

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
        {{"--send", QString::fromStdString(dir.file("small.txt")), "--start", "b"},
         {},
         5,
         "Comport A is not started - the file is not sent"},
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
