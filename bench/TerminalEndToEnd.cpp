// End to end with the terminal window on the offscreen platform: a steady stream arrives on side
// A through a pseudo-terminal while side B is the terminal, shown in its window (and, as in the
// program, in the main window's panes). Reports whether every byte was shown, how long the main
// thread went without serving its event loop, the cost of the window's frames, and memory.
//   terminal_e2e_bench [seconds=30] [bytes per second=1000000] [text|binary|line]
//     text: coloured console lines; binary: random bytes; line: no line end at all
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
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/ConsolePrompt.h"
#include "app/LineMonitor.h"
#include "datapath/DisplayPanes.h"
#include "terminal/TerminalDialog.h"
#include "terminal/TerminalTextArea.h"

using namespace pv;

namespace {

std::string streamOf(const std::string& kind) {
    std::string bytes;
    if (kind == "binary") {
        std::mt19937 random(7);
        bytes.resize(1 << 20);
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
    } else if (kind == "line") {
        for (int i = 0; bytes.size() < (1u << 20); ++i) {
            bytes += "no line end " + std::to_string(i) + " ";
        }
    } else {
        for (int i = 0; bytes.size() < (1u << 20); ++i) {
            bytes += "\x1B[01;34mdrwxr-xr-x\x1B[0m  2 root root  4096 Jan  1 12:00 dir" +
                     std::to_string(i) + "\r\n";
        }
    }
    return bytes;
}

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

double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

class ConsoleView : public MonitorView {
  public:
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side, const uint8_t*, int) override {}
    void sideStateChanged(Side) override {}
    bool openTerminalWindow() override {
        window->OpenTerminal();
        return true;
    }
    void closeTerminalWindow() override { window->CloseTerminal(); }
    ConsolePrompt prompt_;
    CTerminalDialog* window = nullptr;
};

// Times every event the main thread handles, in CPU time of the thread; the terminal window's
// frames are counted apart.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool outer = depth_++ == 0;
        const double start = outer ? threadCpuMs() : 0;
        const bool result = QApplication::notify(receiver, event);
        if (--depth_ == 0 && outer) {
            const double spent = threadCpuMs() - start;
            const bool frame = receiver->objectName() == QLatin1String("terminalFrame");
            (frame ? worstFrameMs : worstOtherMs) =
                std::max(frame ? worstFrameMs : worstOtherMs, spent);
            (frame ? frameMs : otherMs) += spent;
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
    const std::string kind = argc > 3 ? argv[3] : "text";
    const auto total = static_cast<uint64_t>(seconds * rate);
    const std::string stream = streamOf(kind);

    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);

    ConsoleView view;
    LineMonitor monitor(view);
    DisplayPanes panes(monitor.displayStep());
    panes.resize(900, 500);
    panes.show();
    CTerminalDialog window(monitor.terminal(), CTerminalDialog::kLargeTemplate);
    view.window = &window;
    monitor.sides().settings(Side::A).devicePath = name;
    if (!monitor.sides().StartSide(Side::A) || !monitor.sides().StartTerminal()) {
        return 2;
    }

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const auto start = std::chrono::steady_clock::now();
        uint64_t k = 0;
        while (k < total && !stop) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            uint64_t due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * rate));
            while (k < due && !stop) {
                const size_t at = k % stream.size();
                const size_t count = std::min<uint64_t>(due - k, stream.size() - at);
                pollfd p{master, POLLOUT, 0};
                if (::poll(&p, 1, 100) <= 0) {
                    continue;
                }
                const ssize_t n = ::write(master, stream.data() + at, count);
                if (n > 0) {
                    k += static_cast<uint64_t>(n);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

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
    const long long& shown = monitor.sides().side(Side::A).totalShown;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (static_cast<uint64_t>(shown) >= total ||
            clock.elapsed() > static_cast<qint64>(seconds * 1000) + 10000) {
            QApplication::quit();
        }
    });
    done.start(50);
    QApplication::exec();
    const qint64 finishedMs = clock.elapsed();
    stop = true;
    writer.join();
    const TerminalScreen& screen = monitor.terminal().screen();
    std::printf("%s: %llu bytes due in %.1f s at %.0f B/s; shown %lld, all through after %.1f s\n",
                kind.c_str(), static_cast<unsigned long long>(total), seconds, rate, shown,
                static_cast<double>(finishedMs) / 1000);
    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("main thread: longest gap between %d ms ticks %lld ms, 99th percentile %lld ms\n",
                kTickMs, static_cast<long long>(worstGap), static_cast<long long>(p99));
    std::printf(
        "main thread CPU: terminal frames longest %.1f ms, %.0f ms in all; other events longest "
        "%.1f ms, %.0f ms in all\n",
        app.worstFrameMs, app.frameMs, app.worstOtherMs, app.otherMs);
    std::printf("terminal text: %lld characters, %d lines; text area blocks %d\n",
                static_cast<long long>(screen.length()), screen.lineCount(),
                window.textArea().document()->blockCount());
    std::printf("RSS kB per second:");
    for (long kb : rss) {
        std::printf(" %ld", kb);
    }
    std::printf("\n");
    monitor.sides().closeAll();
    ::close(master);
    ::close(slave);
    return static_cast<uint64_t>(shown) == total ? 0 : 1;
}
