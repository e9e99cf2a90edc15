#include "datapath/SymbolSet.h"

#include "base/TextFormat.h"

namespace pv {

std::string defaultHexSymbol(uint8_t byte) {
    if (byte < ControlCharNames.size()) {
        return std::string(ControlCharNames[byte]);
    }
    return formatText("%X", byte);
}

std::string defaultAsciiSymbol(uint8_t byte) {
    return std::string(1, byte < 0x20 ? kControlCharGlyph : static_cast<char>(byte));
}

SymbolSet SymbolSet::hexDefaults() {
    SymbolSet set;
    for (int b = 0; b < kSize; ++b) {
        set[static_cast<uint8_t>(b)] = defaultHexSymbol(static_cast<uint8_t>(b));
    }
    return set;
}

SymbolSet SymbolSet::asciiDefaults() {
    SymbolSet set;
    for (int b = 0; b < kSize; ++b) {
        set[static_cast<uint8_t>(b)] = defaultAsciiSymbol(static_cast<uint8_t>(b));
    }
    return set;
}

}  // namespace pv
