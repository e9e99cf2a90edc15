#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "manipulation/ByteText.h"

namespace pv {

class CFileNeu;

inline constexpr int kExchangeSetCount = 3;
// "Add Enter" appends CR LF, so a pass copy holds two bytes more than the user can enter.
inline constexpr int kExchangeSequenceSize = kMaxTextBytes + 2;
inline constexpr uint8_t kExchangeWildcard = 0x3F;

// One search-and-replace set, as entered or as its pass copy.
struct ExchangeSet {
    bool active = false;
    bool asciiInput = true;
    bool addEnterSearch = false;
    bool addEnterReplace = false;
    int32_t searchLength = 0;
    std::array<uint8_t, kExchangeSequenceSize> search{};
    int32_t replaceLength = 0;
    std::array<uint8_t, kExchangeSequenceSize> replace{};
    bool wildcard = false;

    std::span<const uint8_t> searchBytes() const {
        return {search.data(), static_cast<size_t>(searchLength)};
    }
    std::span<const uint8_t> replaceBytes() const {
        return {replace.data(), static_cast<size_t>(replaceLength)};
    }
    // The bytes behind a sequence are kept zero, so equal sets compare equal.
    void setSearch(std::span<const uint8_t> bytes);
    void setReplace(std::span<const uint8_t> bytes);

    bool operator==(const ExchangeSet&) const = default;
};

// What the definition dialog shows of one set: its flags and its two texts (code page 1252).
struct ExchangeSetFields {
    bool active = false;
    bool wildcard = false;
    bool asciiInput = true;
    bool addEnterSearch = false;
    bool addEnterReplace = false;
    std::string searchText;
    std::string replaceText;

    bool operator==(const ExchangeSetFields&) const = default;
};

// The fields that show a set when the dialog opens.
ExchangeSetFields fieldsOfExchangeSet(const ExchangeSet& set);
// The set that "OK" makes of the fields: the texts are read in the chosen mode, and a set
// whose search text gives no bytes is switched off.
ExchangeSet exchangeSetOfFields(const ExchangeSetFields& fields);

// The three sets as entered, their pass copies and the hold time-out. Sets are numbered 1 to 3.
class ExchangeSettings {
  public:
    ExchangeSettings() { RebuildPassCopies(); }

    const ExchangeSet& set(int k) const { return sets_[slot(k)]; }
    const ExchangeSet& passCopy(int k) const { return passCopies_[slot(k)]; }
    // Stores set k as entered; the pass copies follow only with RebuildPassCopies.
    void storeSet(int k, const ExchangeSet& set) { sets_[slot(k)] = set; }

    void RebuildPassCopies();
    bool AnyActive() const { return anyActive_; }
    void SetActive(int k, bool on);
    // Quick access: switching a set on is refused while its pass copy has nothing to search.
    bool ToggleFromQuickAccess(int k, bool on);

    // The nine lines of set k in the parameter file.
    bool SaveSet(CFileNeu& file, int k) const;
    // Stores set k only when all nine lines were read; the lengths come from the texts.
    bool LoadSet(CFileNeu& file, int k);

    // Counts every change of the pass copies, so a pass notices a new configuration.
    unsigned generation() const { return generation_; }

    // Held bytes go out unchanged when side A brought nothing new for this long.
    int holdTimeoutMs = 500;

  private:
    static size_t slot(int k) { return static_cast<size_t>(k - 1); }

    std::array<ExchangeSet, kExchangeSetCount> sets_{};
    std::array<ExchangeSet, kExchangeSetCount> passCopies_{};
    bool anyActive_ = false;
    unsigned generation_ = 0;
};

}  // namespace pv
