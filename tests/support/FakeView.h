#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/MonitorView.h"
#include "support/ScriptedPrompt.h"

namespace pv {

// The front end of the engine in tests: answers prompts from a script and records what the
// engine shows. onBlock, when set, runs inside every showBlock.
class FakeView : public MonitorView {
  public:
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side side, const uint8_t* data, int count) override {
        auto& bytes = shown[side == Side::A ? 0 : 1];
        bytes.insert(bytes.end(), data, data + count);
        if (onBlock) {
            onBlock(side);
        }
    }
    void sideStateChanged(Side side) override { stateChanges.push_back(side); }
    void showRate(const RateDisplay::Tick& tick) override { rated += std::stoll(tick.rateText); }
    void setMenuCheck(int id, bool on) override { checks.emplace_back(id, on); }

    ScriptedPrompt prompt_;
    std::vector<uint8_t> shown[2];
    std::vector<Side> stateChanges;
    long long rated = 0;  // characters per second shown so far
    std::vector<std::pair<int, bool>> checks;
    std::function<void(Side)> onBlock;
};

}  // namespace pv
