#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "manipulation/ExchangeSettings.h"

namespace pv {

// Where the bytes that leave the eXchange pass go, in pieces of at most ExchangeEngine::kChunk.
class ExchangeSink {
  public:
    virtual ~ExchangeSink() = default;
    virtual void put(const uint8_t* data, size_t count) = 0;
};

// The eXchange pass as a stream: sets 1 to 3 run one after the other, each over the output of
// the sets before it. A set whose input ends in the beginning of its search sequence keeps just
// those bytes (at most 81) until more arrive, so a match split across reads is still replaced
// and everything in front of it goes out at once. The result does not depend on how the bytes
// were split into blocks, and however much the replacements make the data grow, it leaves in
// pieces through fixed buffers: nothing is cut and nothing is allocated per block.
class ExchangeEngine {
  public:
    static constexpr size_t kChunk = 10240;

    explicit ExchangeEngine(const ExchangeSettings& settings) : settings_(settings) {}

    // Runs the active sets over the bytes; what is decided goes to out now, the rest is held.
    void Pass(const uint8_t* data, size_t count, ExchangeSink& out);
    // Sends the held bytes on with their partial matches unreplaced.
    void Release(ExchangeSink& out);
    bool holding() const { return held_ > 0; }
    size_t heldCount() const { return held_; }

  private:
    struct Stage {
        bool on = false;
        ExchangeSet set;
        // Search positions that match any byte.
        std::array<bool, kExchangeSequenceSize> any{};
        std::array<uint8_t, kExchangeSequenceSize> carry{};
        size_t carryLength = 0;
        size_t outLength = 0;
        std::array<uint8_t, kChunk> out{};
        std::array<uint8_t, kExchangeSequenceSize + kChunk> work{};
    };

    void adoptSettings(ExchangeSink& out);
    void feed(size_t stage, const uint8_t* data, size_t count, ExchangeSink& sink);
    void scan(size_t stage, const uint8_t* data, size_t count, bool final, ExchangeSink& sink);
    void deliver(size_t stage, const uint8_t* data, size_t count, ExchangeSink& sink);
    void flushOut(size_t stage, ExchangeSink& sink);
    void setCarry(Stage& st, const uint8_t* data, size_t count);

    const ExchangeSettings& settings_;
    // Not a generation the settings have had yet, so the first pass takes them.
    unsigned generation_ = ~0u;
    size_t held_ = 0;
    std::array<Stage, kExchangeSetCount> stages_{};
};

}  // namespace pv
