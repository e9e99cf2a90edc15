// What recording costs per block and per MB, and how late playback gets its bytes out.
//
// recordBlocks: one RecorderWriter::RecordBlock into a file on the temporary folder per
// iteration, for the block sizes serial reads deliver. At 1 MB/s the recorder's share of a core
// is the CPU time per MB divided by 10 in percent.
//
// playbackTiming: plays 1000 records with pauses of 1-10 ms against the real clock, waiting as
// the engine's timer does (whole milliseconds from msUntilNext, rounded up), and reports how
// late each byte left after its due time (p50, p99, max) and how far the whole run was from the
// recorded span divided by the speed. playbackRelativeSleeps does the same with a sleep of each
// record's pause before its byte, for comparison: its errors add up over the file.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <random>
#include <vector>

#include "base/FileNeu.h"
#include "recording/PlaybackScheduler.h"
#include "recording/RecorderFile.h"
#include "recording/RecorderWriter.h"

using namespace pv;

namespace {

std::string tempFolder() {
    std::string dir = (std::filesystem::temp_directory_path() / "pv-recbench-XXXXXX").string();
    return ::mkdtemp(dir.data()) == nullptr ? std::string() : dir;
}

void recordBlocks(benchmark::State& state) {
    const auto blockSize = static_cast<size_t>(state.range(0));
    const std::string dir = tempFolder();
    if (dir.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = dir + "/bench.rec";
    RecorderWriter writer;
    if (!writer.Start(path)) {
        state.SkipWithError("cannot create the recorder file");
        return;
    }
    std::vector<uint8_t> block(blockSize);
    std::iota(block.begin(), block.end(), uint8_t{0});
    int64_t bytes = 0;
    for (auto _ : state) {
        if (!writer.RecordBlock(block.data(), block.size())) {
            state.SkipWithError("write failed");
            break;
        }
        bytes += static_cast<int64_t>(blockSize);
        // Keep the file from growing without bound over long runs.
        if (bytes >= (int64_t{64} << 20)) {
            state.PauseTiming();
            writer.Start(path);
            bytes = 0;
            state.ResumeTiming();
        }
    }
    writer.Stop();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(blockSize));
    std::filesystem::remove_all(dir);
}

BENCHMARK(recordBlocks)->ArgName("block")->Arg(1)->Arg(16)->Arg(64)->Arg(1024)->Arg(4096);

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// 1000 records with pauses of 1-10 ms; dueMs gets each byte's time from the start.
std::string timingRecords(std::vector<int64_t>& dueMs) {
    std::mt19937 random(3);
    std::string contents;
    int64_t at = 0;
    for (int i = 0; i < 1000; ++i) {
        const uint32_t delay = i == 0 ? 0 : 1 + random() % 10;
        at += delay;
        dueMs.push_back(at);
        appendRecord(contents, delay, static_cast<uint8_t>(i));
    }
    return contents;
}

void sleepUs(int64_t us) {
    const timespec pause{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    ::nanosleep(&pause, nullptr);
}

void reportLateness(benchmark::State& state, const std::vector<double>& lateMs,
                    double spanErrorMs) {
    state.counters["p50_late_ms"] = percentile(lateMs, 0.50);
    state.counters["p99_late_ms"] = percentile(lateMs, 0.99);
    state.counters["max_late_ms"] = percentile(lateMs, 1.0);
    state.counters["span_error_ms"] = spanErrorMs;
}

void playbackTiming(benchmark::State& state) {
    const double speed = static_cast<double>(state.range(0));
    const std::string dir = tempFolder();
    const std::string path = dir + "/timing.rec";
    std::vector<int64_t> dueMs;
    const std::string contents = timingRecords(dueMs);
    {
        CFileNeu out;
        if (dir.empty() || !out.Open(path, CFileNeu::modeCreate | CFileNeu::modeWrite) ||
            !out.Write(contents.data(), contents.size())) {
            state.SkipWithError("cannot write the recorder file");
            return;
        }
    }
    CFileNeu file;
    file.Open(path, CFileNeu::modeRead);
    const RecorderFileCheck check = checkRecorderFile(file);
    MonotonicClock& clock = steadyClock();
    std::vector<double> lateMs;
    double spanErrorMs = 0;
    for (auto _ : state) {
        RecorderReader reader(file, check.records);
        PlaybackScheduler scheduler(reader, {speed, 1}, clock);
        lateMs.clear();
        const int64_t start = clock.nowUs();
        scheduler.start();
        while (scheduler.running()) {
            const int64_t wait = scheduler.msUntilNext();
            if (wait > 0) {
                sleepUs(wait * 1000);
            }
            const auto before = static_cast<size_t>(scheduler.bytesSent());
            const size_t got = scheduler.takeDue().size();
            const int64_t now = clock.nowUs();
            for (size_t i = before; i < before + got; ++i) {
                const double due = static_cast<double>(dueMs[i]) * 1000.0 / speed;
                lateMs.push_back((static_cast<double>(now - start) - due) / 1000.0);
            }
        }
        spanErrorMs = static_cast<double>(clock.nowUs() - start) / 1000.0 -
                      static_cast<double>(dueMs.back()) / speed;
    }
    reportLateness(state, lateMs, spanErrorMs);
    std::filesystem::remove_all(dir);
}

void playbackRelativeSleeps(benchmark::State& state) {
    const double speed = static_cast<double>(state.range(0));
    std::vector<int64_t> dueMs;
    const std::string contents = timingRecords(dueMs);
    MonotonicClock& clock = steadyClock();
    std::vector<double> lateMs;
    double spanErrorMs = 0;
    for (auto _ : state) {
        lateMs.clear();
        const int64_t start = clock.nowUs();
        for (size_t i = 0; i < dueMs.size(); ++i) {
            const auto* record =
                reinterpret_cast<const uint8_t*>(contents.data()) + i * kRecordSize;
            sleepUs(std::llround(decodeRecord(record).delayMs * 1000.0 / speed));
            const double due = static_cast<double>(dueMs[i]) * 1000.0 / speed;
            lateMs.push_back((static_cast<double>(clock.nowUs() - start) - due) / 1000.0);
        }
        spanErrorMs = static_cast<double>(clock.nowUs() - start) / 1000.0 -
                      static_cast<double>(dueMs.back()) / speed;
    }
    reportLateness(state, lateMs, spanErrorMs);
}

BENCHMARK(playbackTiming)
    ->ArgName("speed")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(playbackRelativeSleeps)
    ->ArgName("speed")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
