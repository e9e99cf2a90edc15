// What the end-to-end benchmarks share: a raw pseudo-terminal, a writer that paces a stream the
// way a serial line delivers it, and the main loop that measures the main thread while the
// program under test runs on the offscreen platform.
#pragma once

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
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace pv::bench {

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
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    int master = -1;
    int slave = -1;  // kept open so the master never sees a hang-up
    std::string path;
};

inline long rssKb() {
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

inline double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Times every event the main thread handles, in CPU time of the thread, so the figures hold on
// a loaded machine where the wall-clock gaps also count time the thread was not scheduled. The
// events isFrame picks (the view's frames) are counted apart.
class TimedApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool outer = depth_++ == 0;
        const double start = outer ? threadCpuMs() : 0;
        const bool result = QApplication::notify(receiver, event);
        if (--depth_ == 0 && outer) {
            const double spent = threadCpuMs() - start;
            const bool frame = isFrame && isFrame(receiver);
            double& worst = frame ? worstFrameMs : worstOtherMs;
            worst = std::max(worst, spent);
            (frame ? frameMs : otherMs) += spent;
        }
        return result;
    }
    std::function<bool(QObject*)> isFrame;
    double worstFrameMs = 0;
    double worstOtherMs = 0;
    double frameMs = 0;
    double otherMs = 0;

  private:
    int depth_ = 0;
};

// Writes total bytes of byteAt(0), byteAt(1)... into fd at rate bytes per second, in 2 ms steps,
// until done or stop.
class PacedWriter {
  public:
    PacedWriter(int fd, uint64_t total, double rate, std::function<uint8_t(uint64_t)> byteAt)
        : thread_([this, fd, total, rate, byteAt = std::move(byteAt)] {
              const auto start = std::chrono::steady_clock::now();
              std::vector<uint8_t> chunk;
              uint64_t k = 0;
              while (k < total && !stop_) {
                  const double elapsed =
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                          .count();
                  const auto due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * rate));
                  chunk.clear();
                  for (; k < due; ++k) {
                      chunk.push_back(byteAt(k));
                  }
                  size_t done = 0;
                  while (done < chunk.size() && !stop_) {
                      pollfd p{fd, POLLOUT, 0};
                      if (::poll(&p, 1, 100) <= 0) {
                          continue;
                      }
                      const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
                      if (n > 0) {
                          done += static_cast<size_t>(n);
                      }
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          }) {}
    ~PacedWriter() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The main thread's figures over one run of the event loop.
struct LoopFigures {
    static constexpr int kTickMs = 5;
    qint64 finishedMs = 0;
    qint64 worstGapMs = 0;  // the longest gap between ticks of a 5 ms timer
    qint64 p99GapMs = 0;
    std::vector<long> rssKb;  // sampled once a second
};

// Runs the event loop until finished() holds, or 10 s after the run's seconds have passed.
inline LoopFigures runMainLoop(double seconds, const std::function<bool()>& finished) {
    LoopFigures figures;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    std::vector<qint64> gaps;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        gaps.push_back(now - lastTick);
        lastTick = now;
    });
    tick.start(LoopFigures::kTickMs);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { figures.rssKb.push_back(rssKb()); });
    sampler.start(1000);
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (finished() || clock.elapsed() > static_cast<qint64>(seconds * 1000) + 10000) {
            QApplication::quit();
        }
    });
    done.start(50);
    QApplication::exec();
    figures.finishedMs = clock.elapsed();
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty()) {
        figures.worstGapMs = gaps.back();
        figures.p99GapMs = gaps[gaps.size() * 99 / 100];
    }
    return figures;
}

inline void printLoopFigures(const LoopFigures& figures, const TimedApplication& app,
                             const char* frames, const char* others) {
    std::printf("main thread: longest gap between %d ms ticks %lld ms, 99th percentile %lld ms\n",
                LoopFigures::kTickMs, static_cast<long long>(figures.worstGapMs),
                static_cast<long long>(figures.p99GapMs));
    std::printf(
        "main thread CPU: %s longest %.1f ms, %.0f ms in all; %s longest %.1f ms, %.0f ms in "
        "all\n",
        frames, app.worstFrameMs, app.frameMs, others, app.worstOtherMs, app.otherMs);
    std::printf("RSS kB per second:");
    for (long kb : figures.rssKb) {
        std::printf(" %ld", kb);
    }
    std::printf("\n");
}

}  // namespace pv::bench
