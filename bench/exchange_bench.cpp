// The eXchange pass on side A's buffer, 4 KB per arrival, as the receive path runs it.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <random>

#include "manipulation/ExchangeRunner.h"
#include "ports/TtyBackend.h"

using namespace pv;

namespace {

constexpr int kBlock = 4096;

ExchangeSetFields fields(const char* search, const char* replace, bool ascii, bool wildcard) {
    ExchangeSetFields f;
    f.active = true;
    f.asciiInput = ascii;
    f.wildcard = wildcard;
    f.searchText = search;
    f.replaceText = replace;
    return f;
}

void defineThreeSets(ExchangeSettings& settings) {
    settings.storeSet(1, exchangeSetOfFields(fields("OK", "ACK", true, false)));
    settings.storeSet(2, exchangeSetOfFields(fields("02 3F 03", "02 30 03", false, true)));
    ExchangeSetFields enter = fields("END", "", true, false);
    enter.addEnterSearch = true;
    settings.storeSet(3, exchangeSetOfFields(enter));
    settings.RebuildPassCopies();
}

// Text lines of a protocol, where the sets find something in most lines.
std::vector<uint8_t> protocolText() {
    const std::string lines[] = {"AT+CSQ\r\nOK\r\n", "\x02X\x03", "data 12345 END\r\n",
                                 "+CREG: 0,1\r\n"};
    std::vector<uint8_t> data;
    std::mt19937 random(3);
    while (data.size() < kBlock) {
        const std::string& line = lines[random() % 4];
        data.insert(data.end(), line.begin(), line.end());
    }
    data.resize(kBlock);
    return data;
}

std::vector<uint8_t> randomBytes() {
    std::vector<uint8_t> data(kBlock);
    std::mt19937 random(5);
    for (uint8_t& b : data) {
        b = static_cast<uint8_t>(random());
    }
    return data;
}

void runPasses(benchmark::State& state, bool active, const std::vector<uint8_t>& data) {
    TtyBackend& lines = systemTtyBackend();
    PortSide sideA(lines);
    size_t out = 0;
    ExchangeRunner runner(sideA, [&] {
        out += static_cast<size_t>(sideA.captureCount);
        sideA.captureCount = 0;
    });
    if (active) {
        defineThreeSets(runner.settings());
    }
    for (auto _ : state) {
        std::copy(data.begin(), data.end(), sideA.captureBuffer.begin());
        sideA.captureCount = kBlock;
        runner.ExchangePass();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

void BM_ExchangePassNoSetActive(benchmark::State& state) {
    runPasses(state, false, protocolText());
}
void BM_ExchangePassThreeSetsProtocolText(benchmark::State& state) {
    runPasses(state, true, protocolText());
}
void BM_ExchangePassThreeSetsRandomBytes(benchmark::State& state) {
    runPasses(state, true, randomBytes());
}
// The refill of the buffer alone, which every case above includes.
void BM_RefillOnly(benchmark::State& state) {
    const auto data = protocolText();
    PortSide sideA(systemTtyBackend());
    for (auto _ : state) {
        std::copy(data.begin(), data.end(), sideA.captureBuffer.begin());
        benchmark::DoNotOptimize(sideA.captureBuffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

}  // namespace

BENCHMARK(BM_RefillOnly);
BENCHMARK(BM_ExchangePassNoSetActive);
BENCHMARK(BM_ExchangePassThreeSetsProtocolText);
BENCHMARK(BM_ExchangePassThreeSetsRandomBytes);

int main(int argc, char** argv) {
    // The hold time-out is a timer, which needs an application object.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
