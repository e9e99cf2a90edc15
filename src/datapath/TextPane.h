#pragma once

#include <QChar>
#include <QFont>
#include <QTextCharFormat>
#include <array>
#include <cstdint>

#include "datapath/PaneModel.h"

class QPlainTextEdit;
class QWidget;

namespace pv {

// The character a pane draws for each byte: one visible glyph per byte from 0x20 up, all as wide
// as a digit of the font, chosen once from screenGlyphCandidates. Bytes below 0x20 stay as they
// are; the panes only hold them as line ends.
class PaneGlyphs {
  public:
    explicit PaneGlyphs(const QFont& font);

    QChar operator[](uint8_t byte) const { return glyphs_[byte]; }
    // Every byte from 0x20 up has a glyph of the one width. Printable ASCII is never replaced,
    // so a proportional font fails here.
    bool uniform() const { return uniform_; }

  private:
    std::array<QChar, 256> glyphs_{};
    bool uniform_ = true;
};

// "Courier New", 8 points; where that face is missing or draws a byte at another width, the
// first monospace font of the system that draws every byte at one width.
QFont paneFont();
// Side A red, side B green, a trigger match blue, all in the pane font.
QTextCharFormat paneCharFormat(PaneFormat format, const QFont& font = paneFont());

// A pane shown in a QPlainTextEdit. The display step writes to the in-memory model at block
// rate; sync() brings the widget up to the model, at frame rate, with one insertion of whatever
// changed. The widget never trims on its own: its maximum block count follows the model's line
// count, so both panes drop exactly the rows their models dropped and stay aligned.
class TextPane : public Pane {
  public:
    explicit TextPane(QWidget* parent);
    TextPane(const TextPane&) = delete;
    TextPane& operator=(const TextPane&) = delete;

    QPlainTextEdit* widget() const { return edit_; }
    const PaneModel& model() const { return model_; }
    const PaneGlyphs& glyphs() const { return glyphs_; }

    void append(std::string_view text, PaneFormat format) override;
    int removeLeadingRows(int rows) override;
    void setFormat(int start, int end, PaneFormat format) override;
    void clear() override;
    int length() const override { return model_.length(); }
    int lineCount() const override { return model_.lineCount(); }

    // Shows what changed in the model since the last call; false when nothing did. Text that
    // the model trimmed before it was ever shown costs nothing here.
    bool sync();
    // Rows the last sync() took off the top of what the widget showed, so that a view the user
    // scrolled up can stay on the same rows; 0 when the pane was emptied.
    int rowsDroppedAtTop() const { return droppedAtTop_; }
    // The text size in points; the next sync() shows the whole text in it.
    void setPointSize(int points);
    int pointSize() const { return font_.pointSize(); }

  private:
    PaneModel model_;
    QPlainTextEdit* edit_;
    QFont font_;
    PaneGlyphs glyphs_;
    QTextCharFormat formats_[3];
    // The model's range [shownStart_, shownEnd_) that the widget holds.
    int64_t shownStart_ = 0;
    int64_t shownEnd_ = 0;
    uint64_t shownGeneration_ = 0;
    int64_t shownFirstRow_ = 0;
    int droppedAtTop_ = 0;
    bool restyled_ = false;
};

}  // namespace pv
