#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/MonitorView.h"
#include "support/ScriptedPrompt.h"

namespace pv {

// The front end of the engine in tests: answers prompts from a script and records everything
// the engine shows. Two things are configured:
// - useWindowControls: the side boxes are the plain values window and baud, which "read
//   settings" copies and "show baud" writes; otherwise the engine keeps its own settings.
// - hasTerminalWindow: whether a terminal window can be opened for side B.
// onBlock and onParametersOpened, when set, run inside the matching call.
class FakeView : public MonitorView {
  public:
    static int index(Side side) { return side == Side::A ? 0 : 1; }

    Prompt& prompt() override { return prompt_; }
    void showBlock(Side side, const uint8_t* data, int count) override {
        auto& bytes = shown[index(side)];
        bytes.insert(bytes.end(), data, data + count);
        if (onBlock) {
            onBlock(side);
        }
    }
    void sideStateChanged(Side side) override { stateChanges.push_back(side); }
    void readSettings(Side side, PortSettings& settings, BaudControls& baudControls) override {
        if (useWindowControls) {
            settings = window[index(side)];
            baudControls.editText = baud[index(side)].editText;
        }
    }
    void showBaudControls(Side side, const BaudControls& baudControls) override {
        baud[index(side)] = baudControls;
    }
    void setLineBox(Side side, ModemLine line, bool on) override { lineBoxes[{side, line}] = on; }
    void showLineErrors(Side side, const std::string& text) override {
        lineErrors[index(side)] = text;
    }
    bool openTerminalWindow() override {
        ++terminalOpened;
        return hasTerminalWindow;
    }
    void closeTerminalWindow() override { ++terminalClosed; }
    void markTriggerMatch(int patternLength, int bytesBehind) override {
        marks.emplace_back(patternLength, bytesBehind);
    }
    void setOutputButtonCaption(const std::string& caption) override {
        captions.push_back(caption);
    }
    void showTriggerStatus(const std::string& text) override { statuses.push_back(text); }
    void loggingStateChanged() override { ++loggingChanges; }
    void showRate(const RateDisplay::Tick& tick) override { rated += std::stoll(tick.rateText); }
    void setMenuCheck(int id, bool on) override { checks.emplace_back(id, on); }
    void parametersLoaded() override { ++loaded; }
    void parametersOpened() override {
        ++opened;
        if (onParametersOpened) {
            onParametersOpened();
        }
    }

    // The last check mark set on a menu item; false when none was.
    bool checked(int id) const {
        for (auto it = checks.rbegin(); it != checks.rend(); ++it) {
            if (it->first == id) {
                return it->second;
            }
        }
        return false;
    }

    bool useWindowControls = false;
    bool hasTerminalWindow = false;
    std::function<void(Side)> onBlock;
    std::function<void()> onParametersOpened;

    ScriptedPrompt prompt_;
    std::vector<uint8_t> shown[2];
    std::vector<Side> stateChanges;
    PortSettings window[2];
    BaudControls baud[2] = {{5, "9600"}, {5, "9600"}};  // the list's "9600"
    std::map<std::pair<Side, ModemLine>, bool> lineBoxes;
    std::string lineErrors[2];
    int terminalOpened = 0;
    int terminalClosed = 0;
    std::vector<std::pair<int, int>> marks;  // pattern length, bytes behind
    std::vector<std::string> captions;
    std::vector<std::string> statuses;
    int loggingChanges = 0;
    long long rated = 0;  // characters per second shown so far
    std::vector<std::pair<int, bool>> checks;
    int loaded = 0;
    int opened = 0;
};

}  // namespace pv
