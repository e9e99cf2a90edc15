#pragma once

#include <QPlainTextEdit>
#include <cstdint>
#include <functional>
#include <vector>

#include "terminal/TerminalInput.h"
#include "terminal/TerminalScreen.h"

class QKeyEvent;

namespace pv {

// What a key event of Qt is for the terminal's input rules: nothing (a modifier alone), one
// key, or the characters of its text.
std::vector<TerminalKey> terminalKeysOf(const QKeyEvent& event);

// The terminal window's text area: it never edits itself. Every key goes to onKey, which says
// whether the area may still act on it (only paging does); the text comes from the screen
// model, shown at the window's frame rate with one insertion of what changed, and the newest
// line stays in view unless the user has scrolled up.
//
// The widget holds the newest part of the model: all of it, unless more than kFrameChars came
// in one frame (a burst, or a main thread held up elsewhere). Then it starts again with the
// newest kFrameChars, so no frame lays out more than that, whatever the rate.
class TerminalTextArea : public QPlainTextEdit {
    Q_OBJECT

  public:
    static constexpr int64_t kFrameChars = 128 * 1024;

    using KeyHandler = std::function<bool(const TerminalKey& key)>;  // true: swallowed

    TerminalTextArea(TerminalScreen& screen, QWidget* parent = nullptr);

    void setKeyHandler(KeyHandler handler) { onKey_ = std::move(handler); }
    // Brings the widget up to the model; false when nothing changed.
    bool sync();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    TerminalScreen& screen_;
    KeyHandler onKey_;
    // The model's range [shownStart_, shownEnd_) that the widget holds.
    int64_t shownStart_ = 0;
    int64_t shownEnd_ = 0;
    uint64_t shownGeneration_ = UINT64_MAX;
};

}  // namespace pv
