// The Telnet layer on the data path of an RFC 2217 side: undoubling IACs in what arrives and
// doubling them in what goes out, per 4 KB read, for random data (about one 0xFF in 256 bytes)
// and for the worst case of nothing but 0xFF. The TCP link relays about 45 MiB/s here, so this
// layer must stay far above that to cost the relay nothing worth measuring.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "ports/TelnetSession.h"

using namespace pv;

namespace {

constexpr size_t kBlock = 4096;

std::vector<uint8_t> block(bool allIac) {
    std::vector<uint8_t> data(kBlock, 0xFF);
    if (!allIac) {
        std::mt19937 random(5);
        for (uint8_t& b : data) {
            b = static_cast<uint8_t>(random());
        }
    }
    return data;
}

struct Count : pv::TelnetHandler {
    size_t bytes = 0;
    void telnetData(const uint8_t*, size_t length) override { bytes += length; }
    void telnetSubnegotiation(uint8_t, const uint8_t*, size_t) override {}
    void telnetEvent(const pv::TelnetEvent&) override {}
};

void receive(benchmark::State& state) {
    const std::vector<uint8_t> data = block(state.range(0) != 0);
    std::vector<uint8_t> wire;
    pv::TelnetSession::appendEscaped(wire, data.data(), data.size());
    pv::TelnetSession session;
    Count count;
    for (auto _ : state) {
        session.receive(wire.data(), wire.size(), count);
    }
    benchmark::DoNotOptimize(count.bytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}
BENCHMARK(receive)->Arg(0)->Arg(1)->ArgName("allIac");

void appendEscaped(benchmark::State& state) {
    const std::vector<uint8_t> data = block(state.range(0) != 0);
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        pv::TelnetSession::appendEscaped(out, data.data(), data.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}
BENCHMARK(appendEscaped)->Arg(0)->Arg(1)->ArgName("allIac");

void escapeInto(benchmark::State& state) {
    const std::vector<uint8_t> data = block(state.range(0) != 0);
    std::vector<uint8_t> area(2 * kBlock);
    for (auto _ : state) {
        const auto r =
            pv::TelnetSession::escapeInto(data.data(), data.size(), area.data(), area.size());
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}
BENCHMARK(escapeInto)->Arg(0)->Arg(1)->ArgName("allIac");

}  // namespace
