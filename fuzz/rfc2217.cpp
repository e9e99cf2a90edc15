// Feeds arbitrary bytes to both ends of an RFC 2217 connection, once whole and once in pieces,
// and stops on any difference between the two, on data that grows beyond what came in, or on
// output out of proportion to the input (a peer must not be able to make us flood it back).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ports/Rfc2217Client.h"
#include "ports/Rfc2217Server.h"

using namespace pv;

namespace {

struct Sink : pv::Rfc2217ClientListener, pv::Rfc2217ServerListener {
    std::vector<uint8_t> data;
    size_t events = 0;
    void rfc2217Data(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
    void rfc2217Event(const pv::Rfc2217ClientEvent&) override { ++events; }
    void rfc2217Event(const pv::Rfc2217ServerEvent&) override { ++events; }
};

struct Run {
    Sink sink;
    std::vector<uint8_t> sent;
};

template <typename End, typename Receive>
void feed(End& end, const uint8_t* data, size_t size, size_t piece, Run& run, Receive receive) {
    for (size_t at = 0; at < size; at += piece) {
        receive(end, data + at, size - at < piece ? size - at : piece);
        run.sent.insert(run.sent.end(), end.output().begin(), end.output().end());
        end.clearOutput();
    }
    end.finish();
}

Run client(const uint8_t* data, size_t size, size_t piece) {
    Run run;
    pv::Rfc2217Client c(run.sink);
    c.start(PortSettings{}, 0);
    int64_t now = 0;
    feed(c, data, size, piece, run,
         [&now](pv::Rfc2217Client& e, const uint8_t* d, size_t n) { e.receive(d, n, ++now); });
    c.checkTimeouts(1 << 30);
    return run;
}

Run server(const uint8_t* data, size_t size, size_t piece) {
    Run run;
    pv::Rfc2217Server s(run.sink, pv::rfc2217::LineSettings{}, "fuzz");
    s.start();
    s.setModemLines({true, false, true, false});
    feed(s, data, size, piece, run,
         [](pv::Rfc2217Server& e, const uint8_t* d, size_t n) { e.receive(d, n); });
    return run;
}

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool asServer = (data[0] & 0x80) != 0;
    const size_t piece = 1 + (data[0] & 0x1F);
    ++data;
    --size;
    const Run whole = asServer ? server(data, size, size + 1) : client(data, size, size + 1);
    const Run cut = asServer ? server(data, size, piece) : client(data, size, piece);
    check(whole.sink.data.size() <= size);
    // Answers cost the peer at least three bytes each and are at most a few dozen long.
    check(whole.sent.size() <= 256 + 16 * size);
    // The time stamps differ between the runs, so only the bytes are compared.
    check(cut.sink.data == whole.sink.data);
    check(cut.sent == whole.sent);
    return 0;
}
