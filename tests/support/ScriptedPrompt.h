#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/Prompt.h"

namespace pv {

// Answers prompts from a script and records every message and notice, for tests.
class ScriptedPrompt : public Prompt {
  public:
    PromptAnswer message(const std::string& text, const std::string& caption, PromptButtons buttons,
                         PromptIcon icon) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void notice(const std::string& text) override { notices.push_back(text); }

    void setNextAnswer(PromptAnswer answer) { answers_.push_back(answer); }
    void setNextFileName(std::optional<std::string> path) { files_.push_back(std::move(path)); }

    std::vector<std::string> messages;
    std::vector<std::string> notices;
    std::vector<FileDialogRequest> fileRequests;

  private:
    std::deque<PromptAnswer> answers_;
    std::deque<std::optional<std::string>> files_;
};

}  // namespace pv
