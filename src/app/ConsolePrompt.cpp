#include "app/ConsolePrompt.h"

#include <string>

PromptAnswer defaultAnswer(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptAnswer::Yes;
        case PromptButtons::YesNoDefaultNo:
            return PromptAnswer::No;
        case PromptButtons::Ok:
        case PromptButtons::OkCancel:
            break;
    }
    return PromptAnswer::Ok;
}

PromptAnswer ConsolePrompt::message(const std::string& text, const std::string& caption,
                                    PromptButtons buttons, PromptIcon /*icon*/) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
    return defaultAnswer(buttons);
}

std::optional<std::string> ConsolePrompt::chooseFile(const FileDialogRequest& /*request*/) {
    return std::nullopt;
}
