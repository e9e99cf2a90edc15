#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

// For tests that run the program itself: their target defines PV_EXECUTABLE.
namespace pv {

struct Outcome {
    int exitCode = -1;  // -1: it did not end normally
    QString stdOut;
    QString stdErr;
};

inline QProcess* launch(const QStringList& args) {
    auto* process = new QProcess;
    process->start(PV_EXECUTABLE, args);
    EXPECT_TRUE(process->waitForStarted(5000));
    return process;
}

// Waits for the end of a launched run, and deletes it.
inline Outcome finish(QProcess* process, int timeoutMs = 10000) {
    EXPECT_TRUE(process->waitForFinished(timeoutMs));
    Outcome run{process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
                QString::fromUtf8(process->readAllStandardOutput()),
                QString::fromUtf8(process->readAllStandardError())};
    delete process;
    return run;
}

}  // namespace pv
