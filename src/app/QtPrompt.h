#pragma once

#include "app/Prompt.h"

class QWidget;

// Message boxes and file dialogs of the window front end.
class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent) : parent_(parent) {}
    PromptAnswer message(const std::string& text, const std::string& caption, PromptButtons buttons,
                         PromptIcon icon) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;

  private:
    QWidget* parent_;
};
