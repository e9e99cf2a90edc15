#include "terminal/TerminalTextArea.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace pv {

namespace {

std::optional<TerminalKeyKind> namedKey(int key) {
    switch (key) {
        case Qt::Key_Backspace:
            return TerminalKeyKind::Backspace;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return TerminalKeyKind::Enter;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return TerminalKeyKind::Tab;
        case Qt::Key_Escape:
            return TerminalKeyKind::Escape;
        case Qt::Key_Insert:
            return TerminalKeyKind::Insert;
        case Qt::Key_Delete:
            return TerminalKeyKind::Delete;
        case Qt::Key_Home:
            return TerminalKeyKind::Home;
        case Qt::Key_End:
            return TerminalKeyKind::End;
        case Qt::Key_PageUp:
            return TerminalKeyKind::PageUp;
        case Qt::Key_PageDown:
            return TerminalKeyKind::PageDown;
        case Qt::Key_Up:
            return TerminalKeyKind::Up;
        case Qt::Key_Down:
            return TerminalKeyKind::Down;
        case Qt::Key_Right:
            return TerminalKeyKind::Right;
        case Qt::Key_Left:
            return TerminalKeyKind::Left;
        default:
            return std::nullopt;
    }
}

// The character Ctrl makes a control code with, for keys whose text Qt leaves empty.
std::optional<char32_t> ctrlCharacter(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<char32_t>('a' + (key - Qt::Key_A));
    }
    switch (key) {
        case Qt::Key_At:
        case Qt::Key_Space:
        case Qt::Key_2:
            return U'@';
        case Qt::Key_BracketLeft:
            return U'[';
        case Qt::Key_Backslash:
            return U'\\';
        case Qt::Key_BracketRight:
            return U']';
        case Qt::Key_AsciiCircum:
        case Qt::Key_6:
            return U'^';
        case Qt::Key_Underscore:
        case Qt::Key_Minus:
            return U'_';
        case Qt::Key_Question:
            return U'?';
        default:
            return std::nullopt;
    }
}

void appendCharacters(const QString& text, std::vector<TerminalKey>& keys) {
    for (const char32_t c : text.toUcs4()) {
        keys.push_back({TerminalKeyKind::Character, c});
    }
}

}  // namespace

std::vector<TerminalKey> terminalKeysOf(const QKeyEvent& event) {
    const int key = event.key();
    const bool ctrl = (event.modifiers() & Qt::ControlModifier) != 0;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return {{TerminalKeyKind::Function, 0, key - Qt::Key_F1 + 1}};
    }
    if (const auto kind = namedKey(key)) {
        return {{*kind, 0, 0, ctrl}};
    }
    if (ctrl) {
        if (const auto c = ctrlCharacter(key)) {
            return {{TerminalKeyKind::Character, *c, 0, true}};
        }
    }
    std::vector<TerminalKey> keys;
    appendCharacters(event.text(), keys);
    return keys;
}

TerminalTextArea::TerminalTextArea(TerminalScreen& screen, QWidget* parent)
    : QPlainTextEdit(parent), screen_(screen) {
    setReadOnly(true);
    // Read-only turns input methods off; composed characters still count as typed.
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long lines wrap at the window's edge, as on a terminal; a line is laid out only when seen.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
}

bool TerminalTextArea::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Every key is the terminal's, none a shortcut of the window.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void TerminalTextArea::keyPressEvent(QKeyEvent* event) {
    event->accept();
    bool swallowed = true;
    for (const TerminalKey& key : terminalKeysOf(*event)) {
        swallowed = (!onKey_ || onKey_(key)) && swallowed;
    }
    if (swallowed) {
        return;
    }
    // Only paging is left to the area: it scrolls, as a read-only text does.
    if (event->key() == Qt::Key_PageUp) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    } else if (event->key() == Qt::Key_PageDown) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    }
}

void TerminalTextArea::inputMethodEvent(QInputMethodEvent* event) {
    for (const char32_t c : event->commitString().toUcs4()) {
        if (onKey_) {
            onKey_({TerminalKeyKind::Character, c});
        }
    }
    event->accept();
}

bool TerminalTextArea::sync() {
    const int64_t start = screen_.firstPosition();
    const int64_t end = screen_.endPosition();
    int64_t from = std::min(screen_.changedFrom(), shownEnd_);
    bool rebuild = screen_.generation() != shownGeneration_ || from < std::max(start, shownStart_);
    if (!rebuild && from >= shownEnd_ && from >= end) {
        screen_.markShown();
        return false;
    }
    rebuild = rebuild || end - from > kFrameChars;
    QScrollBar* bar = verticalScrollBar();
    const bool follow = bar->value() >= bar->maximum();
    QTextDocument* doc = document();
    if (rebuild) {
        doc->setMaximumBlockCount(0);
        doc->clear();
        from = std::max(start, end - kFrameChars);
        // From the start of a line, when one begins soon enough.
        if (from > start) {
            const std::u16string_view text = screen_.textFrom(from);
            const size_t lineEnd = text.substr(0, kFrameChars / 2).find(u'\n');
            from += lineEnd == std::u16string_view::npos ? 0 : static_cast<int64_t>(lineEnd) + 1;
        }
    } else if (from < shownEnd_) {
        // A removal at the end (backspace) or text about to be replaced: out with the tail.
        QTextCursor tail(doc);
        tail.setPosition(static_cast<int>(from - shownStart_));
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
    // The widget drops the lines at the top that the model dropped.
    doc->setMaximumBlockCount(screen_.lineCount());
    const std::u16string_view text = screen_.textFrom(from);
    if (!text.empty()) {
        QTextCursor cursor(doc);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString(reinterpret_cast<const QChar*>(text.data()),
                                  static_cast<qsizetype>(text.size())));
    }
    shownEnd_ = end;
    // The widget holds the newest characters of the model, each line end one character.
    shownStart_ = end - (doc->characterCount() - 1);
    shownGeneration_ = screen_.generation();
    screen_.markShown();
    if (follow) {
        bar->setValue(bar->maximum());
    }
    return true;
}

}  // namespace pv
