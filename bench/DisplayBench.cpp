// The display step alone: blocks rendered into ASCII and Hex text and appended to two in-memory
// panes, with trimming, as the engine runs it for every received block.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "datapath/DisplayFormatter.h"
#include "datapath/PaneModel.h"

using namespace pv;

namespace {

void displayBlocks(benchmark::State& state, bool symbols, TimeColumn time = TimeColumn::Off) {
    const auto blockSize = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> block(blockSize);
    std::mt19937 random(7);
    for (uint8_t& byte : block) {
        byte = static_cast<uint8_t>(random());
    }
    PaneModel ascii, hex;
    DisplayFormatter formatter;
    formatter.attach(&ascii, &hex);
    formatter.useAsciiSymbols = symbols;
    formatter.useHexSymbols = symbols;
    formatter.rowClock().setOptions({time, 0});
    bool sideA = true;
    for (auto _ : state) {
        formatter.DisplayBlock(sideA ? PaneFormat::SideA : PaneFormat::SideB, block.data(),
                               static_cast<int>(blockSize), systemStamp());
        sideA = !sideA;
        benchmark::DoNotOptimize(ascii.length());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * blockSize));
}

void BM_Display16PerRow(benchmark::State& state) {
    displayBlocks(state, false);
}
void BM_Display16PerRowSymbols(benchmark::State& state) {
    displayBlocks(state, true);
}

// Every row begins with the time of day, and every block is an answer with its response time.
void BM_Display16PerRowTimeOfDay(benchmark::State& state) {
    displayBlocks(state, false, TimeColumn::Clock);
}

}  // namespace

BENCHMARK(BM_Display16PerRow)->Arg(64)->Arg(4096);
BENCHMARK(BM_Display16PerRowTimeOfDay)->Arg(64)->Arg(4096);
BENCHMARK(BM_Display16PerRowSymbols)->Arg(64)->Arg(4096);
