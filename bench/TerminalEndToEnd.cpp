// End to end with the terminal window on the offscreen platform: a steady stream arrives on side
// A through a pseudo-terminal while side B is the terminal, shown in its window (and, as in the
// program, in the main window's panes). Reports whether every byte was shown, how long the main
// thread went without serving its event loop, the cost of the window's frames, and memory.
//   terminal_e2e_bench [seconds=30] [bytes per second=1000000] [text|binary|line]
//     text: coloured console lines; binary: random bytes; line: no line end at all
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "EndToEnd.h"
#include "app/ConsolePrompt.h"
#include "app/LineMonitor.h"
#include "datapath/DisplayPanes.h"
#include "terminal/TerminalDialog.h"
#include "terminal/TerminalTextArea.h"

using namespace pv;
using namespace pv::bench;

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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    app.isFrame = [](QObject* receiver) {
        return receiver->objectName() == QLatin1String("terminalFrame");
    };
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    const double rate = argc > 2 ? std::atof(argv[2]) : 1e6;
    const std::string kind = argc > 3 ? argv[3] : "text";
    const auto total = static_cast<uint64_t>(seconds * rate);
    const std::string stream = streamOf(kind);

    Pty a;
    ConsoleView view;
    LineMonitor monitor(view);
    DisplayPanes panes(monitor.displayStep());
    panes.resize(900, 500);
    panes.show();
    CTerminalDialog window(monitor.terminal(), CTerminalDialog::kLargeTemplate);
    view.window = &window;
    monitor.sides().settings(Side::A).devicePath = a.path;
    if (!monitor.sides().StartSide(Side::A) || !monitor.sides().StartTerminal()) {
        return 2;
    }

    const long long& shown = monitor.sides().side(Side::A).totalShown;
    LoopFigures figures;
    {
        const PacedWriter writer(a.master, total, rate, [&stream](uint64_t k) {
            return static_cast<uint8_t>(stream[k % stream.size()]);
        });
        figures = runMainLoop(seconds, [&] { return static_cast<uint64_t>(shown) >= total; });
    }
    const TerminalScreen& screen = monitor.terminal().screen();
    std::printf("%s: %llu bytes due in %.1f s at %.0f B/s; shown %lld, all through after %.1f s\n",
                kind.c_str(), static_cast<unsigned long long>(total), seconds, rate, shown,
                static_cast<double>(figures.finishedMs) / 1000);
    printLoopFigures(figures, app, "terminal frames", "other events");
    std::printf("terminal text: %lld characters, %d lines; text area blocks %d\n",
                static_cast<long long>(screen.length()), screen.lineCount(),
                window.textArea().document()->blockCount());
    monitor.sides().closeAll();
    return static_cast<uint64_t>(shown) == total ? 0 : 1;
}
