// The trigger check fed a stream in blocks of any size. It must fire in the block where the first
// whole pattern since the last firing ends, with the right count of bytes behind it. The first
// input byte is the pattern length (1 to 80), the next the postscaler; the pattern and the stream
// follow.
#include <algorithm>
#include <vector>

#include "FuzzSupport.h"
#include "manipulation/Trigger.h"

using namespace pv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    TriggerSettings settings;
    settings.active = true;
    settings.postscaler = data[1];
    const size_t length = std::min<size_t>(1 + data[0] % kMaxTextBytes, size - 2);
    if (length == 0) {
        return 0;
    }
    const uint8_t* pattern = data + 2;
    std::copy(pattern, pattern + length, settings.pattern.begin());
    settings.patternLength = static_cast<int32_t>(length);
    Trigger trigger;
    trigger.Define(settings);

    const uint8_t* stream = pattern + length;
    const size_t total = size - 2 - length;
    pv::fuzz::Pieces pieces(data, size);
    // Where a match may start: the stream behind the last firing, less what was searched in vain.
    size_t from = 0;
    for (size_t end = 0; end < total;) {
        const size_t begin = end;
        end += std::min(pieces.next(300), total - end);
        const TriggerResult result = trigger.Check(stream + begin, static_cast<int>(end - begin));
        const uint8_t* match = std::search(stream + from, stream + end, pattern, pattern + length);
        PV_FUZZ_CHECK(result.fired == (match != stream + end));
        if (result.fired) {
            PV_FUZZ_CHECK(result.tailCount == static_cast<int>(stream + end - match - length));
            PV_FUZZ_CHECK(!result.waiting);
            from = end;
        } else {
            from = std::max(from, end - std::min(end, length - 1));
        }
        PV_FUZZ_CHECK(trigger.heldLength() < static_cast<int>(length));
    }
    return 0;
}
