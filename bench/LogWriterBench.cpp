// Cost of logging one block, with the file reopened per block and held open, for each format
// and a few block sizes, without and with a time column (the time of day, the dearest: it
// reads the wall clock per block). 1 MB/s of traffic in 64-byte blocks is 16,000 blocks per second,
// so a block must cost well under 60 us to leave the data path time for everything else.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>
#include <vector>

#include "recording/LogWriter.h"

using namespace pv;

namespace {

void logBlocks(benchmark::State& state) {
    const bool reopen = state.range(0) != 0;
    const auto mode = static_cast<LogMode>(state.range(1));
    const auto blockSize = static_cast<size_t>(state.range(2));
    const auto column = static_cast<TimeColumn>(state.range(3));
    std::string dir = (std::filesystem::temp_directory_path() / "pv-logbench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = dir + "/bench.log";

    LogSettings settings;
    settings.mode = mode;
    settings.timeoutParagraph = true;
    settings.timeColumn = column;
    LogWriter writer;
    writer.setReopenPerBlock(reopen);
    writer.ApplySettings(settings);
    writer.SetConnectionNameA("COM1:");
    writer.SetConnectionNameB("COM2:");
    if (!writer.Start(path, "bench")) {
        state.SkipWithError("cannot create the log file");
        return;
    }
    std::vector<uint8_t> block(blockSize);
    std::iota(block.begin(), block.end(), uint8_t{0});
    bool fromA = true;
    int64_t blocks = 0;
    for (auto _ : state) {
        writer.WriteBlock(block.data(), static_cast<int>(block.size()), fromA);
        // Alternate sides every few blocks, as a request/response exchange does.
        if (++blocks % 4 == 0) {
            fromA = !fromA;
        }
        // Keep the file from growing without bound over long runs.
        if (blocks % 200000 == 0) {
            state.PauseTiming();
            writer.Stop();
            writer.Start(path, "bench");
            state.ResumeTiming();
        }
    }
    writer.Stop();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(blockSize));
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(dir);
}

void arguments(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"reopen", "mode", "block", "times"});
    for (int reopen : {1, 0}) {
        for (int mode : {0, 1, 2}) {
            for (int block : {16, 64, 1024}) {
                for (int times : {0, 1}) {
                    bench->Args({reopen, mode, block, times});
                }
            }
        }
    }
}

BENCHMARK(logBlocks)->Apply(arguments);

}  // namespace
