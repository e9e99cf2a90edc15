#pragma once

#include <optional>
#include <string>

namespace pv {

// How any layer talks to the user: message boxes, questions and file dialogs. The GUI answers
// with Qt dialogs, the headless front end on stderr, tests from a script.
// Texts are UTF-8 here; file contents elsewhere are code page 1252.

// YesNoDefaultNo: Yes and No with No as the answer to Enter.
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptAnswer { Ok, Cancel, Yes, No };

struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string filter;  // "Parameter Files (*.dat)|*.dat|All Files (*.*)|*.*|"
    std::string initialPath;
    std::string defaultExtension;
};

class Prompt {
  public:
    virtual ~Prompt() = default;
    virtual PromptAnswer message(const std::string& text, const std::string& caption = {},
                                 PromptButtons buttons = PromptButtons::Ok,
                                 PromptIcon icon = PromptIcon::None) = 0;
    // The chosen path, or nothing when the dialog was cancelled.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
    // Something the user should know that needs no answer. It returns at once: no modal
    // dialog, no nested event loop, identical texts taken together with a count. The data path
    // speaks only this way, so it never runs again inside itself.
    virtual void notice(const std::string& text) = 0;
};

// The suffix a request's defaultExtension names, without "*." or ".": "*.rec", ".rec" and "rec"
// give "rec"; "", "*" and "*.*" give none.
std::string defaultSuffix(const std::string& defaultExtension);
// The path a file dialog returns for a typed name: a file name without any '.' gets the default
// extension; one with an extension (or ending in '.') stays as typed, as does a path ending in
// '/'.
std::string withDefaultExtension(const std::string& path, const std::string& defaultExtension);

// The answer a dialog gives when the user just presses Enter.
PromptAnswer defaultAnswer(PromptButtons buttons);

}  // namespace pv
