#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "datapath/TextPane.h"

class QComboBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QPushButton;

namespace pv {

class DisplayStep;

// The traffic display of the main window: the ASCII and Hex panes with their captions, the
// colour legends, the totals line, the bytes-per-row edit and the Clear, Copy and output
// buttons. It hands its two panes to the engine's display step, which writes to their models
// per block; a frame timer shows what changed and keeps the totals and the output caption
// current. The panes follow the newest row while the view is at the bottom; a view the user
// scrolled up stays on its rows until the user scrolls back down.
class DisplayPanes : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFrameMs = 40;
    static constexpr int kMinZoomPoints = 6;
    static constexpr int kMaxZoomPoints = 28;

    // The step must outlive the panes.
    explicit DisplayPanes(DisplayStep& step, QWidget* parent = nullptr);
    ~DisplayPanes() override;

    TextPane& asciiPane() { return *ascii_; }
    TextPane& hexPane() { return *hex_; }
    QPushButton* clearButton() const { return clearButton_; }
    QPushButton* copyButton() const { return copyButton_; }
    QPushButton* outputButton() const { return outputButton_; }
    QLineEdit* bytesPerRowEdit() const { return bytesPerRowEdit_; }
    QLabel* totalsLabel() const { return totals_; }
    QLabel* legend(bool sideA) const { return sideA ? legendA_ : legendB_; }

    void Clear();
    // The ASCII selection if there is one, else the Hex selection; then neither stays selected.
    void Copy();
    void toggleOutput();
    // Takes the bytes-per-row edit's text, held in 1..128 (focus lost or Enter).
    void takeBytesPerRow();
    // The controls show the display's bytes per row, time column and pause.
    void showBytesPerRow();
    QComboBox* timeColumnBox() const { return timeColumn_; }
    QSpinBox* pauseRowBox() const { return pauseRow_; }
    QSpinBox* historyBox() const { return history_; }
    // Makes the panes' text larger (steps > 0) or smaller, within kMinZoomPoints..kMaxZoomPoints.
    void zoom(int steps);
    int zoomPoints() const;
    // One frame: shows what the display step changed, the totals and the output caption.
    void refresh();

  private:
    void followScroll(TextPane& moved, TextPane& other);
    QWidget* buildTimeControls();
    QWidget* buildHistoryControl();
    void takeTimeOptions();
    bool eventFilter(QObject* watched, QEvent* event) override;

    DisplayStep& step_;
    std::unique_ptr<TextPane> ascii_;
    std::unique_ptr<TextPane> hex_;
    QPushButton* clearButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* outputButton_ = nullptr;
    QLineEdit* bytesPerRowEdit_ = nullptr;
    QComboBox* timeColumn_ = nullptr;
    QSpinBox* pauseRow_ = nullptr;
    QSpinBox* history_ = nullptr;
    QLabel* totals_ = nullptr;
    QLabel* legendA_ = nullptr;
    QLabel* legendB_ = nullptr;
    QTimer frame_;
    bool syncing_ = false;
    long long shownTotals_[2] = {-1, -1};
};

}  // namespace pv
