// End to end with the window's panes on the offscreen platform: a steady stream arrives on side
// A through a pseudo-terminal while the display is on. Reports whether every byte reached side
// B unchanged, how long the main thread went without serving its event loop, and memory.
//   display_e2e_bench [seconds=30] [bytes per second=1000000] [on|off: display output]
//                     [bytes per row=16] [history rows=100]
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "app/ConsolePrompt.h"
#include "app/LineMonitor.h"
#include "datapath/DisplayPanes.h"

using namespace pv;

namespace {

uint8_t streamByte(uint64_t k) {
    return static_cast<uint8_t>((k * 0x9E3779B1ULL) >> 13);
}

struct Pty {
    Pty() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(2);
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        path = name;
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
    int master = -1;
    int slave = -1;  // kept open so the master never sees a hang-up
    std::string path;
};

long rssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

class ConsoleView : public MonitorView {
  public:
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side, const uint8_t*, int) override {}
    void sideStateChanged(Side) override {}
    ConsolePrompt prompt_;
};

double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Times every event the main thread handles, in CPU time of the thread, so the figures hold on
// a loaded machine where the wall-clock gaps also count time the thread was not scheduled.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool outer = depth_++ == 0;
        const double start = outer ? threadCpuMs() : 0;
        const bool result = QApplication::notify(receiver, event);
        if (--depth_ == 0 && outer) {
            const double spent = threadCpuMs() - start;
            auto* timer = qobject_cast<QTimer*>(receiver);
            double& worst = timer != nullptr && timer->interval() == DisplayPanes::kFrameMs
                                ? worstFrameMs
                                : worstOtherMs;
            worst = std::max(worst, spent);
            (timer != nullptr && timer->interval() == DisplayPanes::kFrameMs ? frameMs : otherMs) +=
                spent;
        }
        return result;
    }
    double worstFrameMs = 0;
    double worstOtherMs = 0;
    double frameMs = 0;
    double otherMs = 0;

  private:
    int depth_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    const double rate = argc > 2 ? std::atof(argv[2]) : 1e6;
    const auto total = static_cast<uint64_t>(seconds * rate);

    Pty a, b;
    ConsoleView view;
    LineMonitor monitor(view);
    monitor.sides().settings(Side::A).devicePath = a.path;
    monitor.sides().settings(Side::B).devicePath = b.path;
    DisplayPanes panes(monitor.displayStep());
    panes.resize(900, 500);
    panes.show();
    monitor.displayStep().setOutputEnabled(!(argc > 3 && std::string(argv[3]) == "off"));
    monitor.display().setBytesPerRow(argc > 4 ? std::atoi(argv[4]) : 16);
    monitor.display().setHistoryLines(argc > 5 ? std::atoi(argv[5])
                                               : DisplayFormatter::kDefaultHistoryLines);
    if (!monitor.sides().StartSide(Side::A) || !monitor.sides().StartSide(Side::B)) {
        return 2;
    }

    std::atomic<uint64_t> received{0}, wrong{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(65536);
        uint64_t k = 0;
        while (k < total && !stop) {
            pollfd p{b.master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                continue;
            }
            const ssize_t n = ::read(b.master, buffer.data(), buffer.size());
            for (ssize_t i = 0; i < n; ++i, ++k) {
                if (buffer[static_cast<size_t>(i)] != streamByte(k)) {
                    ++wrong;
                }
            }
            received = k;
        }
    });
    std::thread writer([&] {
        // Paced in 2 ms steps, the way a serial line delivers.
        const auto start = std::chrono::steady_clock::now();
        std::vector<uint8_t> chunk;
        uint64_t k = 0;
        while (k < total && !stop) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * rate));
            chunk.clear();
            for (; k < due; ++k) {
                chunk.push_back(streamByte(k));
            }
            size_t done = 0;
            while (done < chunk.size() && !stop) {
                pollfd p{a.master, POLLOUT, 0};
                if (::poll(&p, 1, 100) <= 0) {
                    continue;
                }
                const ssize_t n = ::write(a.master, chunk.data() + done, chunk.size() - done);
                if (n > 0) {
                    done += static_cast<size_t>(n);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    // The main thread's responsiveness: the longest gap between ticks of a 5 ms timer.
    constexpr int kTickMs = 5;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, worstGap = 0;
    std::vector<qint64> gaps;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        gaps.push_back(now - lastTick);
        worstGap = std::max(worstGap, now - lastTick);
        lastTick = now;
    });
    tick.start(kTickMs);
    std::vector<long> rss;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { rss.push_back(rssKb()); });
    sampler.start(1000);
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (received >= total || clock.elapsed() > static_cast<qint64>(seconds * 1000) + 10000) {
            QApplication::quit();
        }
    });
    done.start(50);
    QApplication::exec();
    const qint64 finishedMs = clock.elapsed();
    stop = true;
    writer.join();
    reader.join();
    monitor.sides().StopSide(Side::A);
    monitor.sides().StopSide(Side::B);

    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("%llu bytes due in %.1f s at %.0f B/s; side B got %llu, %llu differ\n",
                static_cast<unsigned long long>(total), seconds, rate,
                static_cast<unsigned long long>(received.load()),
                static_cast<unsigned long long>(wrong.load()));
    std::printf("all bytes through after %.1f s\n", static_cast<double>(finishedMs) / 1000);
    std::printf(
        "shown: ComA = %lld; main thread: longest gap between %d ms ticks %lld ms, "
        "99th percentile %lld ms\n",
        monitor.sides().side(Side::A).totalShown, kTickMs, static_cast<long long>(worstGap),
        static_cast<long long>(p99));
    std::printf(
        "main thread CPU: longest frame (pane sync) %.1f ms, longest other event (receive,"
        " display step, forward) %.1f ms; total %.0f ms in frames, %.0f ms in other "
        "events\n",
        app.worstFrameMs, app.worstOtherMs, app.frameMs, app.otherMs);
    std::printf("RSS kB per second:");
    for (long kb : rss) {
        std::printf(" %ld", kb);
    }
    std::printf("\n");
    return received == total && wrong == 0 ? 0 : 1;
}
