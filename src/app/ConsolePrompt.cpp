#include "app/ConsolePrompt.h"

#include <algorithm>
#include <string>

namespace pv {

namespace {

constexpr size_t kMaxRemembered = 32;

std::string withRepeats(const std::string& text, long long repeats) {
    return text + " (" + std::to_string(repeats) + " more times)";
}

}  // namespace

void ConsolePrompt::printLine(std::string line) {
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

PromptAnswer ConsolePrompt::message(const std::string& text, const std::string& caption,
                                    PromptButtons buttons, PromptIcon /*icon*/) {
    printLine(caption.empty() ? text : caption + ": " + text);
    return buttons == PromptButtons::OkCancel ? PromptAnswer::Cancel : defaultAnswer(buttons);
}

std::optional<std::string> ConsolePrompt::chooseFile(const FileDialogRequest& /*request*/) {
    return std::nullopt;
}

void ConsolePrompt::notice(const std::string& text) {
    const Clock::time_point now = Clock::now();
    auto seen = std::find_if(printed_.begin(), printed_.end(),
                             [&](const Printed& p) { return p.text == text; });
    if (seen == printed_.end()) {
        if (printed_.size() == kMaxRemembered) {
            printed_.erase(printed_.begin());
        }
        printed_.push_back({text, now, 0});
        printLine(text);
        return;
    }
    ++seen->repeats;
    if (now - seen->at >= std::chrono::milliseconds(kRepeatQuietMs)) {
        printLine(withRepeats(text, seen->repeats));
        seen->repeats = 0;
        seen->at = now;
    }
}

void ConsolePrompt::flushNotices() {
    for (Printed& p : printed_) {
        if (p.repeats > 0) {
            printLine(withRepeats(p.text, p.repeats));
            p.repeats = 0;
        }
    }
}

}  // namespace pv
