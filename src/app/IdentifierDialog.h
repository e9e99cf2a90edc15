#pragma once

#include <string>

#include "base/DialogFrame.h"

class QLineEdit;

namespace pv {

// "Identifier": a free text that names the measurement in the window title, the log headers and
// the parameter file. Only OK takes the edited text over.
class CIdentifierDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 110;

    explicit CIdentifierDialog(QWidget* parent = nullptr);

    // Code page 1252 text, as the files keep it.
    void setText(const std::string& text);
    // The text stored by the last OK (or set before). Line breaks become blanks, since the
    // identifier is one line in the parameter file and the log header.
    const std::string& text() const { return text_; }

    QLineEdit* edit() const { return edit_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    std::string text_;
    QLineEdit* edit_ = nullptr;
};

}  // namespace pv
