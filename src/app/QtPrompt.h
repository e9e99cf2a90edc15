#pragma once

#include "base/Prompt.h"

class QWidget;

namespace pv {

class NoticeWindow;

// Message boxes, file dialogs and the notice window of the window front end.
class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent) : parent_(parent) {}
    PromptAnswer message(const std::string& text, const std::string& caption, PromptButtons buttons,
                         PromptIcon icon) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void notice(const std::string& text) override;
    // Made with the first notice; a child of the parent window.
    NoticeWindow* noticeWindow() const { return notices_; }

  private:
    QWidget* parent_;
    NoticeWindow* notices_ = nullptr;
};

}  // namespace pv
