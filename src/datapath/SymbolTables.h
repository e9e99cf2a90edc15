#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "datapath/SymbolSet.h"

namespace pv {

class CFileNeu;

// The 64 entries the symbol dialog edits at a time; entry k stands for firstByte + k.
inline constexpr int kSymbolBlockSize = 64;
using SymbolBlock = std::array<std::string, kSymbolBlockSize>;

// The defaults of a block, as "Set default" fills it.
SymbolBlock defaultSymbolBlock(int firstByte, bool asciiMode);
// The check of "OK": the position of the last empty field, if any.
std::optional<int> lastEmptyField(const SymbolBlock& fields);
// 0, 64, 128 or 192: the block that holds the given byte value.
int symbolBlockStart(int firstByte);

// The Hex and ASCII symbol tables, how a byte becomes pane text, and their parameter-file
// records. The display step and the log writer read them; the symbol dialog edits them.
struct SymbolTables {
    SymbolSet hexSymbols = SymbolSet::hexDefaults();
    SymbolSet asciiSymbols = SymbolSet::asciiDefaults();

    // ASCII pane: the symbol, or the byte itself with bytes below 0x20 as 0x7F.
    void appendAsciiText(std::string& out, uint8_t byte, bool useAsciiSymbols) const;
    // Hex pane: the symbol, or two upper-case hex digits; a blank follows either.
    void appendHexText(std::string& out, uint8_t byte, bool useHexSymbols) const;
    std::string asciiText(uint8_t byte, bool useAsciiSymbols) const;
    std::string hexText(uint8_t byte, bool useHexSymbols) const;

    SymbolBlock block(int firstByte, bool asciiMode) const;
    void storeBlock(int firstByte, bool asciiMode, const SymbolBlock& fields);

    // 256 Hex entries, then 256 ASCII entries, one text line each.
    bool SaveSymbols(CFileNeu& file) const;
    // Stops at the first line it cannot read and returns false; that entry and all later
    // ones keep their contents. Empty lines give the entry's default.
    bool LoadSymbols(CFileNeu& file);

    bool operator==(const SymbolTables&) const = default;
};

}  // namespace pv
