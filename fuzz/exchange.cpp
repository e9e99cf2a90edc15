// The eXchange pass over data that arrives in pieces of any size. Its output must equal one scan
// per set over the whole data in one buffer. The input holds, for each of the three sets, a flag
// byte (1 active, 2 wild card, 4 and 8 "Add Enter" for search and replace), then the search and
// the replace sequence, each a length byte and its bytes; the data follows.
#include <algorithm>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "manipulation/ExchangeEngine.h"

namespace pv {
namespace {

using Bytes = std::vector<uint8_t>;

class Collector : public ExchangeSink {
  public:
    void put(const uint8_t* data, size_t count) override {
        PV_FUZZ_CHECK(count > 0 && count <= ExchangeEngine::kChunk);
        out.insert(out.end(), data, data + count);
    }
    Bytes out;
};

// Each active set replaces its leftmost matches, one after the other, in the whole data.
Bytes reference(Bytes data, const ExchangeSettings& settings) {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        const ExchangeSet& s = settings.passCopy(k);
        if (!s.active || s.searchLength == 0) {
            continue;
        }
        const auto m = static_cast<size_t>(s.searchLength);
        const auto matchesAt = [&](size_t p) {
            for (size_t i = 0; i < m; ++i) {
                if (data[p + i] != s.search[i] &&
                    !(s.wildcard && s.search[i] == kExchangeWildcard)) {
                    return false;
                }
            }
            return true;
        };
        Bytes out;
        for (size_t p = 0; p < data.size();) {
            if (p + m <= data.size() && matchesAt(p)) {
                out.insert(out.end(), s.replace.begin(), s.replace.begin() + s.replaceLength);
                p += m;
            } else {
                out.push_back(data[p++]);
            }
        }
        data = std::move(out);
    }
    return data;
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pv;
    size_t at = 0;
    const auto next = [&] { return at < size ? data[at++] : uint8_t{0}; };
    const auto sequence = [&] {
        const size_t n = std::min<size_t>(next() % (kMaxTextBytes + 1), size - at);
        at += n;
        return Bytes(data + at - n, data + at);
    };
    ExchangeSettings settings;
    size_t growth = 1;
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        const uint8_t flags = next();
        ExchangeSet set;
        set.active = (flags & 1) != 0;
        set.wildcard = (flags & 2) != 0;
        set.addEnterSearch = (flags & 4) != 0;
        set.addEnterReplace = (flags & 8) != 0;
        set.setSearch(sequence());
        set.setReplace(sequence());
        settings.storeSet(k, set);
        growth *= std::max<size_t>(1, static_cast<size_t>(set.replaceLength) + 2);
    }
    settings.RebuildPassCopies();
    // Keeps the output within a few megabytes however much the sets make the data grow.
    Bytes input(data + at, data + std::min(size, at + (size_t{1} << 22) / growth));

    const auto engine = std::make_unique<ExchangeEngine>(settings);
    Collector sink;
    fuzz::Pieces pieces(data, size);
    for (size_t done = 0; done < input.size();) {
        const size_t n = std::min(pieces.next(3 * ExchangeEngine::kChunk), input.size() - done);
        engine->Pass(input.data() + done, n, sink);
        done += n;
        PV_FUZZ_CHECK(engine->heldCount() <= kExchangeSetCount * (kExchangeSequenceSize - 1));
    }
    engine->Release(sink);
    PV_FUZZ_CHECK(!engine->holding());
    PV_FUZZ_CHECK(sink.out == reference(input, settings));
    return 0;
}
