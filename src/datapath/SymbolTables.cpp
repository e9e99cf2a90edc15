#include "datapath/SymbolTables.h"

#include <algorithm>

#include "base/FileNeu.h"

namespace pv {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool loadSet(CFileNeu& file, SymbolSet& set, std::string (*fallback)(uint8_t)) {
    for (int b = 0; b < SymbolSet::kSize; ++b) {
        std::string text;
        if (!file.ReadTextLine(text)) {
            return false;
        }
        // A lone CR inside a line is no part of an entry either: it could not be saved.
        text = withoutLineEnds(text);
        const auto byte = static_cast<uint8_t>(b);
        set[byte] = text.empty() ? fallback(byte) : std::move(text);
    }
    return true;
}

bool saveSet(CFileNeu& file, const SymbolSet& set) {
    for (int b = 0; b < SymbolSet::kSize; ++b) {
        if (!file.WriteLine(set[static_cast<uint8_t>(b)])) {
            return false;
        }
    }
    return true;
}

}  // namespace

int symbolBlockStart(int firstByte) {
    if (firstByte < 0) {
        return 0;
    }
    return std::min(firstByte, SymbolSet::kSize - 1) / kSymbolBlockSize * kSymbolBlockSize;
}

SymbolBlock defaultSymbolBlock(int firstByte, bool asciiMode) {
    const int start = symbolBlockStart(firstByte);
    SymbolBlock fields;
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        const auto byte = static_cast<uint8_t>(start + k);
        fields[static_cast<size_t>(k)] =
            asciiMode ? defaultAsciiSymbol(byte) : defaultHexSymbol(byte);
    }
    return fields;
}

std::optional<int> lastEmptyField(const SymbolBlock& fields) {
    for (int k = kSymbolBlockSize - 1; k >= 0; --k) {
        if (fields[static_cast<size_t>(k)].empty()) {
            return k;
        }
    }
    return std::nullopt;
}

void SymbolTables::appendAsciiText(std::string& out, uint8_t byte, bool useAsciiSymbols) const {
    if (useAsciiSymbols) {
        out += asciiSymbols[byte];
    } else {
        out.push_back(byte < 0x20 ? kControlCharGlyph : static_cast<char>(byte));
    }
}

void SymbolTables::appendHexText(std::string& out, uint8_t byte, bool useHexSymbols) const {
    if (useHexSymbols) {
        out += hexSymbols[byte];
    } else {
        out.push_back(kHexDigits[byte >> 4]);
        out.push_back(kHexDigits[byte & 0x0F]);
    }
    out.push_back(' ');
}

std::string SymbolTables::asciiText(uint8_t byte, bool useAsciiSymbols) const {
    std::string text;
    appendAsciiText(text, byte, useAsciiSymbols);
    return text;
}

std::string SymbolTables::hexText(uint8_t byte, bool useHexSymbols) const {
    std::string text;
    appendHexText(text, byte, useHexSymbols);
    return text;
}

SymbolBlock SymbolTables::block(int firstByte, bool asciiMode) const {
    const int start = symbolBlockStart(firstByte);
    const SymbolSet& set = asciiMode ? asciiSymbols : hexSymbols;
    SymbolBlock fields;
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        fields[static_cast<size_t>(k)] = set[static_cast<uint8_t>(start + k)];
    }
    return fields;
}

void SymbolTables::storeBlock(int firstByte, bool asciiMode, const SymbolBlock& fields) {
    const int start = symbolBlockStart(firstByte);
    SymbolSet& set = asciiMode ? asciiSymbols : hexSymbols;
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        set[static_cast<uint8_t>(start + k)] = fields[static_cast<size_t>(k)];
    }
}

bool SymbolTables::SaveSymbols(CFileNeu& file) const {
    return saveSet(file, hexSymbols) && saveSet(file, asciiSymbols);
}

bool SymbolTables::LoadSymbols(CFileNeu& file) {
    return loadSet(file, hexSymbols, defaultHexSymbol) &&
           loadSet(file, asciiSymbols, defaultAsciiSymbol);
}

}  // namespace pv
