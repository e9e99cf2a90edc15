// Code page 1252 at the border to Unicode. Every byte string must survive the way to UTF-16 or
// UTF-8 and back; any UTF-8 or UTF-16 input must encode without growing, and whatever encodes to
// a byte other than "?" must decode to the character it came from.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Cp1252.h"

using namespace pv;

namespace pv {
namespace {

// The bytes shown as placeholder glyphs (0x7F and the five that 1252 leaves undefined) are also
// what their own code points encode to.
bool placeheldByte(char32_t c) {
    return c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string utf16 = cp1252ToUtf16(bytes);
    PV_FUZZ_CHECK(utf16.size() == bytes.size());
    PV_FUZZ_CHECK(utf16ToCp1252(utf16) == bytes);
    PV_FUZZ_CHECK(utf8ToCp1252(cp1252ToUtf8(bytes)) == bytes);

    PV_FUZZ_CHECK(utf8ToCp1252(bytes).size() <= bytes.size());

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        const uint8_t encoded = unicodeToCp1252(units[i]);
        PV_FUZZ_CHECK(encoded == '?' || cp1252ToUnicode(encoded) == units[i] ||
                      (pv::placeheldByte(units[i]) && encoded == units[i]));
    }
    PV_FUZZ_CHECK(utf16ToCp1252(units).size() <= units.size());
    return 0;
}
