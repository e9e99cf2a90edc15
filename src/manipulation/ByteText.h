#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// Conversion between the text a user types for a byte sequence and the bytes, for the eXchange
// sets and the trigger pattern. Text is code page 1252. Input is never rejected: non-hex
// characters count as 0, a last odd hex digit is dropped, anything past 80 bytes is cut.

inline constexpr int kMaxTextBytes = 80;

enum class ByteTextForm {
    // Hex text: blanks are ignored on input, and each byte is written with a blank behind it.
    Exchange,
    // Hex text: a blank counts as a non-hex character, and bytes are written without blanks.
    Trigger,
};

std::vector<uint8_t> TextToBytes(std::string_view text, bool asciiInput,
                                 ByteTextForm form = ByteTextForm::Exchange);
// Writes at most the first 80 bytes.
std::string BytesToText(std::span<const uint8_t> bytes, bool asciiInput,
                        ByteTextForm form = ByteTextForm::Exchange);
// The bytes a text line of a file can hold: in ASCII mode without CR and LF (the "Add Enter"
// flags stand for those); hex text holds any byte.
std::vector<uint8_t> storableBytes(std::span<const uint8_t> bytes, bool asciiInput);

}  // namespace pv
