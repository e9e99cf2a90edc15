// The terminal's text area model fed by side A: what one received block costs, for binary
// garbage, an endless line without line ends and coloured console text, and how much memory the
// model holds once its limits are reached. The window shows the model at frame rate, so this is
// the whole per-block cost on the main thread.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "terminal/TerminalScreen.h"

using namespace pv;

namespace {

std::string garbage(size_t size) {
    std::string bytes(size, '\0');
    std::mt19937 random(5);
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

std::string console(size_t size) {
    const std::string line = "\x1B[01;34mdrwxr-xr-x\x1B[0m  2 root root  4096 Jan  1 12:00 bin\r\n";
    std::string bytes;
    while (bytes.size() < size) {
        bytes += line;
    }
    bytes.resize(size);
    return bytes;
}

void showBlocks(benchmark::State& state, const std::string& stream) {
    const auto blockSize = static_cast<size_t>(state.range(0));
    TerminalScreen screen;
    size_t at = 0;
    for (auto _ : state) {
        if (at + blockSize > stream.size()) {
            at = 0;
        }
        screen.show(std::string_view(stream).substr(at, blockSize));
        at += blockSize;
        // A frame every 40 ms at 1 MB/s is one per 40 KB.
        if (at % (40 * 1024) < blockSize) {
            benchmark::DoNotOptimize(screen.textFrom(screen.changedFrom()).size());
            screen.markShown();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * blockSize));
    state.counters["held_chars"] = static_cast<double>(screen.length());
    state.counters["lines"] = screen.lineCount();
    state.counters["memory"] = static_cast<double>(screen.memoryUse());
}

void BM_ScreenBinaryGarbage(benchmark::State& state) {
    static const std::string stream = garbage(8 << 20);
    showBlocks(state, stream);
}
void BM_ScreenEndlessLine(benchmark::State& state) {
    static const std::string stream(8 << 20, 'x');
    showBlocks(state, stream);
}
void BM_ScreenConsoleText(benchmark::State& state) {
    static const std::string stream = console(8 << 20);
    showBlocks(state, stream);
}

}  // namespace

BENCHMARK(BM_ScreenBinaryGarbage)->Arg(64)->Arg(4096);
BENCHMARK(BM_ScreenEndlessLine)->Arg(64)->Arg(4096);
BENCHMARK(BM_ScreenConsoleText)->Arg(64)->Arg(4096);
