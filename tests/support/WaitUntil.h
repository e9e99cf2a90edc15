#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace pv {

// Runs the event loop until the condition holds or the time is up. Unlike QTest::qWaitFor it
// never sleeps between checks, so a data path on the event loop runs at full speed meanwhile.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || elapsed.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    check.start(1);
    if (!condition()) {
        loop.exec();
    }
    return condition();
}

}  // namespace pv
