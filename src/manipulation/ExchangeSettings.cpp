#include "manipulation/ExchangeSettings.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/FileNeu.h"

namespace pv {

namespace {

constexpr uint8_t kEnter[] = {0x0D, 0x0A};

int32_t copySequence(std::array<uint8_t, kExchangeSequenceSize>& to,
                     std::span<const uint8_t> bytes) {
    const size_t n = std::min(bytes.size(), to.size());
    std::copy_n(bytes.begin(), n, to.begin());
    std::fill(to.begin() + static_cast<std::ptrdiff_t>(n), to.end(), 0);
    return static_cast<int32_t>(n);
}

// Appends CR LF behind an entered sequence, which holds at most 80 bytes.
void appendEnter(std::array<uint8_t, kExchangeSequenceSize>& bytes, int32_t& length) {
    std::memcpy(bytes.data() + length, kEnter, sizeof kEnter);
    length += 2;
}

}  // namespace

void ExchangeSet::setSearch(std::span<const uint8_t> bytes) {
    searchLength = copySequence(search, bytes);
}

void ExchangeSet::setReplace(std::span<const uint8_t> bytes) {
    replaceLength = copySequence(replace, bytes);
}

ExchangeSetFields fieldsOfExchangeSet(const ExchangeSet& set) {
    ExchangeSetFields fields;
    fields.active = set.active;
    fields.wildcard = set.wildcard;
    fields.asciiInput = set.asciiInput;
    fields.addEnterSearch = set.addEnterSearch;
    fields.addEnterReplace = set.addEnterReplace;
    fields.searchText = BytesToText(set.searchBytes(), set.asciiInput);
    fields.replaceText = BytesToText(set.replaceBytes(), set.asciiInput);
    return fields;
}

ExchangeSet exchangeSetOfFields(const ExchangeSetFields& fields) {
    ExchangeSet set;
    set.active = fields.active;
    set.wildcard = fields.wildcard;
    set.asciiInput = fields.asciiInput;
    set.addEnterSearch = fields.addEnterSearch;
    set.addEnterReplace = fields.addEnterReplace;
    set.setSearch(TextToBytes(fields.searchText, fields.asciiInput));
    set.setReplace(TextToBytes(fields.replaceText, fields.asciiInput));
    if (set.searchLength == 0) {
        set.active = false;
    }
    return set;
}

void ExchangeSettings::RebuildPassCopies() {
    anyActive_ = false;
    for (size_t i = 0; i < sets_.size(); ++i) {
        ExchangeSet copy = sets_[i];
        // Entered sequences come from TextToBytes or the file reader, both capped at 80 bytes.
        copy.searchLength = std::min<int32_t>(copy.searchLength, kMaxTextBytes);
        copy.replaceLength = std::min<int32_t>(copy.replaceLength, kMaxTextBytes);
        if (copy.addEnterSearch) {
            appendEnter(copy.search, copy.searchLength);
        }
        if (copy.addEnterReplace) {
            appendEnter(copy.replace, copy.replaceLength);
        }
        passCopies_[i] = copy;
        anyActive_ = anyActive_ || copy.active;
    }
    ++generation_;
}

void ExchangeSettings::SetActive(int k, bool on) {
    sets_[slot(k)].active = on;
    passCopies_[slot(k)].active = on;
    anyActive_ = std::any_of(passCopies_.begin(), passCopies_.end(),
                             [](const ExchangeSet& s) { return s.active; });
    ++generation_;
}

bool ExchangeSettings::ToggleFromQuickAccess(int k, bool on) {
    if (on && passCopy(k).searchLength < 1) {
        return false;
    }
    SetActive(k, on);
    return true;
}

bool ExchangeSettings::SaveSet(CFileNeu& file, int k) const {
    const ExchangeSet& s = set(k);
    const std::vector<uint8_t> search = storableBytes(s.searchBytes(), s.asciiInput);
    const std::vector<uint8_t> replace = storableBytes(s.replaceBytes(), s.asciiInput);
    return file.WriteFlag(s.active) && file.WriteFlag(s.wildcard) && file.WriteFlag(s.asciiInput) &&
           file.WriteFlag(s.addEnterSearch) && file.WriteFlag(s.addEnterReplace) &&
           file.WriteInt(static_cast<int32_t>(search.size())) &&
           file.WriteLine(BytesToText(search, s.asciiInput)) &&
           file.WriteInt(static_cast<int32_t>(replace.size())) &&
           file.WriteLine(BytesToText(replace, s.asciiInput));
}

bool ExchangeSettings::LoadSet(CFileNeu& file, int k) {
    ExchangeSet s;
    int32_t storedLength = 0;
    std::string searchText;
    std::string replaceText;
    const bool complete = file.ReadFlag(s.active) && file.ReadFlag(s.wildcard) &&
                          file.ReadFlag(s.asciiInput) && file.ReadFlag(s.addEnterSearch) &&
                          file.ReadFlag(s.addEnterReplace) && file.ReadInt(storedLength) &&
                          file.ReadTextLine(searchText) && file.ReadInt(storedLength) &&
                          file.ReadTextLine(replaceText);
    if (!complete) {
        return false;
    }
    s.setSearch(TextToBytes(searchText, s.asciiInput));
    s.setReplace(TextToBytes(replaceText, s.asciiInput));
    sets_[slot(k)] = s;
    RebuildPassCopies();
    return true;
}

}  // namespace pv
