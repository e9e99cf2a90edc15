// End to end with the window's panes on the offscreen platform: a steady stream arrives on side
// A through a pseudo-terminal while the display is on. Reports whether every byte reached side
// B unchanged, how long the main thread went without serving its event loop, and memory.
//   display_e2e_bench [seconds=30] [bytes per second=1000000] [on|off: display output]
//                     [bytes per row=16] [history rows=100]
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "EndToEnd.h"
#include "app/ConsolePrompt.h"
#include "app/LineMonitor.h"
#include "datapath/DisplayPanes.h"

using namespace pv;
using namespace pv::bench;

namespace {

uint8_t streamByte(uint64_t k) {
    return static_cast<uint8_t>((k * 0x9E3779B1ULL) >> 13);
}

class ConsoleView : public MonitorView {
  public:
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side, const uint8_t*, int) override {}
    void sideStateChanged(Side) override {}
    ConsolePrompt prompt_;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    app.isFrame = [](QObject* receiver) {
        auto* timer = qobject_cast<QTimer*>(receiver);
        return timer != nullptr && timer->interval() == DisplayPanes::kFrameMs;
    };
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
    LoopFigures figures;
    {
        const PacedWriter writer(a.master, total, rate, streamByte);
        figures = runMainLoop(seconds, [&] { return received >= total; });
    }
    stop = true;
    reader.join();
    monitor.sides().StopSide(Side::A);
    monitor.sides().StopSide(Side::B);

    std::printf("%llu bytes due in %.1f s at %.0f B/s; side B got %llu, %llu differ\n",
                static_cast<unsigned long long>(total), seconds, rate,
                static_cast<unsigned long long>(received.load()),
                static_cast<unsigned long long>(wrong.load()));
    std::printf("all bytes through after %.1f s; shown: ComA = %lld\n",
                static_cast<double>(figures.finishedMs) / 1000,
                monitor.sides().side(Side::A).totalShown);
    printLoopFigures(figures, app, "frames (pane sync)",
                     "other events (receive, display step, forward)");
    return received == total && wrong == 0 ? 0 : 1;
}
