#pragma once

#include <QTextCharFormat>
#include <cstdint>

#include "datapath/PaneModel.h"

class QFont;
class QPlainTextEdit;
class QWidget;

namespace pv {

// "Courier New", 8 points; a monospace font of the system where that face is missing.
QFont paneFont();
// Side A red, side B green, a trigger match blue, all in the pane font.
QTextCharFormat paneCharFormat(PaneFormat format);

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

    void append(std::string_view text, PaneFormat format) override;
    int removeLeadingRows(int rows) override;
    void setFormat(int start, int end, PaneFormat format) override;
    void clear() override;
    int length() const override { return model_.length(); }
    int lineCount() const override { return model_.lineCount(); }

    // Shows what changed in the model since the last call; false when nothing did. Text that
    // the model trimmed before it was ever shown costs nothing here.
    bool sync();

  private:
    PaneModel model_;
    QPlainTextEdit* edit_;
    QTextCharFormat formats_[3];
    // The model's range [shownStart_, shownEnd_) that the widget holds.
    int64_t shownStart_ = 0;
    int64_t shownEnd_ = 0;
    uint64_t shownGeneration_ = 0;
};

}  // namespace pv
