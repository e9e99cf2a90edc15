// The TCP link's frame reader on any byte stream, read in pieces of any size. The payloads must
// not depend on the pieces, and framed again they must come out as they went in.
#include <algorithm>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "ports/DataFrame.h"

namespace pv {
namespace {

using Bytes = std::vector<uint8_t>;
using Payloads = std::vector<Bytes>;

// Every payload of the stream, read in pieces (whole when pieces is null), with what the end of
// the stream makes of a frame it cuts short.
Payloads decode(const Bytes& stream, fuzz::Pieces* pieces) {
    const auto reader = std::make_unique<DataFrameReader>();
    Payloads payloads;
    const auto collect = [&] {
        const int n = reader->payloadLength();
        PV_FUZZ_CHECK(n > 0 && n <= DataFrame::kMaxPayload);
        payloads.emplace_back(reader->payload(), reader->payload() + n);
        reader->releasePayload();
    };
    size_t at = 0;
    while (at < stream.size()) {
        const size_t piece =
            pieces != nullptr ? pieces->next(2 * DataFrame::kMaxFrame) : stream.size();
        const int length = static_cast<int>(std::min(piece, stream.size() - at));
        for (int used = 0; used < length;) {
            const int taken = reader->read(stream.data() + at + used, length - used);
            PV_FUZZ_CHECK(taken > 0 || reader->hasPayload());
            used += taken;
            if (reader->hasPayload()) {
                collect();
            }
        }
        at += static_cast<size_t>(length);
    }
    if (reader->finish()) {
        collect();
    }
    PV_FUZZ_CHECK(!reader->midFrame());
    return payloads;
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pv;
    const Bytes stream(data, data + size);
    fuzz::Pieces pieces(data, size);
    const Payloads payloads = decode(stream, &pieces);
    PV_FUZZ_CHECK(decode(stream, nullptr) == payloads);

    Bytes framed;
    DataFrame::Buffer frame;
    for (const Bytes& payload : payloads) {
        const int n = DataFrame::encode(payload.data(), static_cast<int>(payload.size()), frame);
        PV_FUZZ_CHECK(n == static_cast<int>(payload.size()) + DataFrame::kHeaderSize);
        framed.insert(framed.end(), frame.begin(), frame.begin() + n);
    }
    PV_FUZZ_CHECK(decode(framed, &pieces) == payloads);
    return 0;
}
