#pragma once

#include <cstdio>

#include "app/Prompt.h"

// Prompts without a window: each message is one line on a stream (its line breaks written as
// spaces), a question takes its default button and a file dialog is cancelled.
class ConsolePrompt : public Prompt {
  public:
    explicit ConsolePrompt(std::FILE* out = stderr) : out_(out) {}
    PromptAnswer message(const std::string& text, const std::string& caption, PromptButtons buttons,
                         PromptIcon icon) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;

  private:
    std::FILE* out_;
};
