// The conversions between typed text and bytes (eXchange sets, trigger pattern). The first byte
// picks the mode, the rest is the text. Bytes written as text must read back as the same bytes.
#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "manipulation/ByteText.h"

using namespace pv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool ascii = (data[0] & 1) != 0;
    const ByteTextForm form = (data[0] & 2) != 0 ? ByteTextForm::Trigger : ByteTextForm::Exchange;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::vector<uint8_t> bytes = TextToBytes(text, ascii, form);
    PV_FUZZ_CHECK(bytes.size() <= static_cast<size_t>(kMaxTextBytes));
    const std::string written = BytesToText(bytes, ascii, form);
    const size_t perByte = ascii ? 1 : form == ByteTextForm::Exchange ? 3 : 2;
    PV_FUZZ_CHECK(written.size() == bytes.size() * perByte);
    PV_FUZZ_CHECK(TextToBytes(written, ascii, form) == bytes);

    // The text's own bytes as a sequence: written and read, its first 80 bytes come back.
    const std::span<const uint8_t> raw(data + 1, size - 1);
    const std::vector<uint8_t> back = TextToBytes(BytesToText(raw, ascii, form), ascii, form);
    const size_t kept = std::min(raw.size(), static_cast<size_t>(kMaxTextBytes));
    PV_FUZZ_CHECK(back.size() == kept && std::equal(back.begin(), back.end(), raw.begin()));
    return 0;
}
