#include "support/ScriptedPrompt.h"

namespace pv {

PromptAnswer ScriptedPrompt::message(const std::string& text, const std::string& /*caption*/,
                                     PromptButtons buttons, PromptIcon /*icon*/) {
    messages.push_back(text);
    if (answers_.empty()) {
        return defaultAnswer(buttons);
    }
    const PromptAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPrompt::chooseFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (files_.empty()) {
        return std::nullopt;
    }
    auto path = files_.front();
    files_.pop_front();
    return path;
}

}  // namespace pv
