#include "terminal/TerminalControl.h"

#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "terminal/TerminalSettings.h"

namespace pv {

namespace {

constexpr const char* kTextSideANotStarted = "Comport A is not started - input is not sent";
constexpr const char* kTextInputFull =
    "Not sent: %zu bytes of earlier input still wait for Comport A";
constexpr const char* kTextPasteTooLarge =
    "The paste was not sent: %zu characters are more than may wait for Comport A (%zu MiB)";
constexpr const char* kTextInputDropped =
    "Terminal: %zu bytes typed or pasted had not reached Comport A when the terminal closed; "
    "they were dropped.";

}  // namespace

TerminalControl::TerminalControl(TerminalSettings& settings, Prompt& prompt,
                                 std::function<bool()> sideAStarted, QObject* parent)
    : QObject(parent),
      settings_(settings),
      prompt_(prompt),
      sideAStarted_(std::move(sideAStarted)),
      input_(settings_, *this) {
    tap_.inner = &screenOutput_;
    channel_.setOutput(&tap_);
}

TerminalControl::~TerminalControl() = default;

void TerminalControl::setOutput(TerminalOutput* output) {
    tap_.inner = output != nullptr ? output : &screenOutput_;
}

void TerminalControl::setRunning(bool on) {
    if (on == running_) {
        return;
    }
    running_ = on;
    input_.clearPending();
    if (on) {
        screen_.clear();
        return;
    }
    if (const size_t dropped = channel_.dropInput(); dropped > 0) {
        prompt_.notice(formatText(kTextInputDropped, dropped));
    }
}

TerminalKeyOutcome TerminalControl::press(const TerminalKey& key) {
    input_.setSendControlKeys(settings_.sendControlKeys);
    sent_ = false;
    refused_ = 0;
    TerminalKeyOutcome outcome = input_.press(key);
    outcome.refusal = afterInput(std::move(outcome.refusal));
    return outcome;
}

std::string TerminalControl::paste(std::u16string_view text) {
    // A line break may become two bytes; the rest one byte per UTF-16 unit at most.
    if (text.size() > (TerminalChannel::kMaxPendingInput - channel_.pendingInput()) / 2) {
        return formatText(kTextPasteTooLarge, text.size(), TerminalChannel::kMaxPendingInput >> 20);
    }
    sent_ = false;
    refused_ = 0;
    return afterInput(input_.paste(text));
}

std::string TerminalControl::afterInput(std::string refusal) {
    if (refused_ > 0) {
        return formatText(kTextInputFull, channel_.pendingInput());
    }
    if (refusal.empty() && sent_ && !sideAStarted_()) {
        return kTextSideANotStarted;
    }
    return refusal;
}

void TerminalControl::sendBlock(std::string_view bytes) {
    sent_ = true;
    if (!channel_.queueInput(bytes)) {
        refused_ += bytes.size();
    }
}

void TerminalControl::echo(std::string_view bytes) {
    channel_.output()->show(bytes);
}

ShownRemoval TerminalControl::removeLastShown() {
    return channel_.output()->removeLast();
}

}  // namespace pv
