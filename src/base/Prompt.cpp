#include "base/Prompt.h"

namespace pv {

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

std::string defaultSuffix(const std::string& defaultExtension) {
    std::string suffix = defaultExtension;
    if (suffix.starts_with('*')) {
        suffix.erase(0, 1);
    }
    if (suffix.starts_with('.')) {
        suffix.erase(0, 1);
    }
    // A pattern such as "*.*" or "*.re?" names no one suffix to add.
    if (suffix.find_first_of("*?/") != std::string::npos) {
        return {};
    }
    return suffix;
}

std::string withDefaultExtension(const std::string& path, const std::string& defaultExtension) {
    const std::string suffix = defaultSuffix(defaultExtension);
    const size_t nameStart = path.find_last_of('/') + 1;
    if (suffix.empty() || nameStart >= path.size() ||
        path.find('.', nameStart) != std::string::npos) {
        return path;
    }
    return path + '.' + suffix;
}

}  // namespace pv
