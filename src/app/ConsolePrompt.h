#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Prompt.h"

namespace pv {

// Prompts without a window: each message is one line on a stream (its line breaks written as
// spaces), a question takes its default button and a file dialog is cancelled. A retry question
// (OK / Cancel) is cancelled: nobody is there to do what it asks before pressing OK.
//
// A notice is printed the first time; while it repeats, at most one line per text every
// kRepeatQuietMs says how often it came, and flushNotices (run at the end) says the rest.
class ConsolePrompt : public Prompt {
  public:
    static constexpr int kRepeatQuietMs = 10000;

    explicit ConsolePrompt(std::FILE* out = stderr) : out_(out) {}
    ~ConsolePrompt() override { flushNotices(); }
    PromptAnswer message(const std::string& text, const std::string& caption, PromptButtons buttons,
                         PromptIcon icon) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void notice(const std::string& text) override;
    void flushNotices();

  private:
    using Clock = std::chrono::steady_clock;
    struct Printed {
        std::string text;
        Clock::time_point at;
        long long repeats = 0;  // since the last line
    };
    void printLine(std::string line);

    std::FILE* out_;
    std::vector<Printed> printed_;
};

}  // namespace pv
