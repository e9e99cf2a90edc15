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

}  // namespace pv
