#include "datapath/DisplayPanes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "base/TextFormat.h"
#include "datapath/DisplayStep.h"

namespace pv {

namespace {

constexpr const char* kTextAsciiCaption = "ASCII";
constexpr const char* kTextHexCaption = "Hex";
// The legend names the sides in their colours; a colour word alone left the user to guess.
constexpr const char* kTextLegendA = "Comport A";
constexpr const char* kTextLegendB = "Comport B";
constexpr const char* kTextBytesPerRow = "Number of bytes per row :";
constexpr const char* kTextClear = "Clear";
constexpr const char* kTextCopy = "Copy";
constexpr const char* kTextEnable = "Enable";
constexpr const char* kTextDisable = "Disable";
constexpr const char* kTextTotals = "Total : ComA = %lld, ComB = %lld";
constexpr const char* kTextTime = "Time :";
constexpr const char* kTimeColumnChoices[] = {"Off", "Time of day", "Since start",
                                              "Since previous row"};
constexpr const char* kTextPauseRow = "New row after a pause of";
constexpr const char* kTextPauseOff = "never";
constexpr const char* kTextMilliseconds = " ms";
constexpr const char* kTextHistory = "History :";
constexpr const char* kTextRows = " rows";
constexpr const char* kHistoryTip =
    "Rows each pane keeps for scrolling back; at wide rows fewer (at most 8192 bytes' worth)";
constexpr int kHistoryStep = 100;
constexpr int kLegendGap = 16;

// The Hex pane is 1.5 times as wide as the ASCII pane.
constexpr int kAsciiStretch = 2;
constexpr int kHexStretch = 3;

QLabel* legendLabel(const char* text, PaneFormat format, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    const QTextCharFormat chars = paneCharFormat(format);
    label->setFont(chars.font());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, chars.foreground().color());
    label->setPalette(palette);
    return label;
}

PaneFormat formatOf(Side side) {
    return side == Side::A ? PaneFormat::SideA : PaneFormat::SideB;
}

}  // namespace

DisplayPanes::DisplayPanes(DisplayStep& step, QWidget* parent)
    : QWidget(parent),
      step_(step),
      ascii_(std::make_unique<TextPane>(this)),
      hex_(std::make_unique<TextPane>(this)) {
    legendA_ = legendLabel(kTextLegendA, formatOf(Side::A), this);
    legendB_ = legendLabel(kTextLegendB, formatOf(Side::B), this);
    totals_ = new QLabel(this);
    bytesPerRowEdit_ = new QLineEdit(QString::number(step_.formatter().bytesPerRow()), this);
    bytesPerRowEdit_->setMaximumWidth(bytesPerRowEdit_->fontMetrics().horizontalAdvance("0000") +
                                      16);
    clearButton_ = new QPushButton(kTextClear, this);
    copyButton_ = new QPushButton(kTextCopy, this);
    outputButton_ = new QPushButton(this);

    // Two rows under the panes, so that the window fits a screen 1024 pixels wide: what is shown
    // (legend, totals, time), then what acts on the panes.
    auto* shown = new QHBoxLayout;
    shown->addWidget(legendA_);
    shown->addWidget(legendB_);
    shown->addSpacing(kLegendGap);
    shown->addWidget(totals_);
    shown->addStretch(1);
    shown->addWidget(buildTimeControls());
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(kTextBytesPerRow, this));
    controls->addWidget(bytesPerRowEdit_);
    controls->addSpacing(kLegendGap);
    controls->addWidget(buildHistoryControl());
    controls->addStretch(1);
    controls->addWidget(clearButton_);
    controls->addWidget(copyButton_);
    controls->addWidget(outputButton_);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(kTextAsciiCaption, this), 0, 0);
    grid->addWidget(new QLabel(kTextHexCaption, this), 0, 1);
    grid->addWidget(ascii_->widget(), 1, 0);
    grid->addWidget(hex_->widget(), 1, 1);
    grid->addLayout(shown, 2, 0, 1, 2);
    grid->addLayout(controls, 3, 0, 1, 2);
    grid->setColumnStretch(0, kAsciiStretch);
    grid->setColumnStretch(1, kHexStretch);
    grid->setRowStretch(1, 1);

    connect(clearButton_, &QPushButton::clicked, this, &DisplayPanes::Clear);
    connect(copyButton_, &QPushButton::clicked, this, &DisplayPanes::Copy);
    connect(outputButton_, &QPushButton::clicked, this, &DisplayPanes::toggleOutput);
    connect(bytesPerRowEdit_, &QLineEdit::editingFinished, this, &DisplayPanes::takeBytesPerRow);
    connect(ascii_->widget()->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { followScroll(*ascii_, *hex_); });
    connect(hex_->widget()->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { followScroll(*hex_, *ascii_); });

    for (TextPane* pane : {ascii_.get(), hex_.get()}) {
        pane->widget()->viewport()->installEventFilter(this);
    }
    const std::pair<QKeySequence, int> zoomKeys[] = {
        {QKeySequence::ZoomIn, 1},
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), 1},
        {QKeySequence::ZoomOut, -1},
    };
    for (const auto& [keys, steps] : zoomKeys) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, steps = steps] { zoom(steps); });
    }

    step_.formatter().attach(ascii_.get(), hex_.get());
    connect(&frame_, &QTimer::timeout, this, &DisplayPanes::refresh);
    frame_.start(kFrameMs);
    refresh();
}

DisplayPanes::~DisplayPanes() {
    step_.formatter().attach(nullptr, nullptr);
}

void DisplayPanes::refresh() {
    // The ASCII pane leads; the Hex pane follows it row for row.
    QScrollBar* bar = ascii_->widget()->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    const int top = bar->value();
    const bool asciiChanged = ascii_->sync();
    const bool hexChanged = hex_->sync();
    if (asciiChanged || hexChanged) {
        bar->setValue(atBottom ? bar->maximum() : std::max(0, top - ascii_->rowsDroppedAtTop()));
        followScroll(*ascii_, *hex_);
    }
    const long long totalA = step_.totalShown(Side::A);
    const long long totalB = step_.totalShown(Side::B);
    if (totalA != shownTotals_[0] || totalB != shownTotals_[1]) {
        totals_->setText(QString::fromStdString(formatText(kTextTotals, totalA, totalB)));
        shownTotals_[0] = totalA;
        shownTotals_[1] = totalB;
    }
    const char* caption = step_.outputEnabled() ? kTextDisable : kTextEnable;
    if (outputButton_->text() != QLatin1String(caption)) {
        outputButton_->setText(caption);
    }
}

void DisplayPanes::followScroll(TextPane& moved, TextPane& other) {
    if (syncing_) {
        return;
    }
    const int first = moved.widget()->verticalScrollBar()->value();
    QScrollBar* otherBar = other.widget()->verticalScrollBar();
    if (otherBar->value() != first) {
        syncing_ = true;
        otherBar->setValue(first);
        syncing_ = false;
    }
}

void DisplayPanes::Clear() {
    step_.formatter().Clear();
    step_.clearTotals();
    refresh();
}

void DisplayPanes::Copy() {
    QPlainTextEdit* panes[] = {ascii_->widget(), hex_->widget()};
    for (QPlainTextEdit* pane : panes) {
        if (pane->textCursor().hasSelection()) {
            pane->copy();
            break;
        }
    }
    for (QPlainTextEdit* pane : panes) {
        QTextCursor cursor = pane->textCursor();
        cursor.clearSelection();
        pane->setTextCursor(cursor);
    }
}

void DisplayPanes::toggleOutput() {
    step_.setOutputEnabled(!step_.outputEnabled());
    refresh();
}

QWidget* DisplayPanes::buildTimeControls() {
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    timeColumn_ = new QComboBox(box);
    for (const char* choice : kTimeColumnChoices) {
        timeColumn_->addItem(choice);
    }
    pauseRow_ = new QSpinBox(box);
    pauseRow_->setRange(0, RowClock::kMaxPauseRowMs);
    pauseRow_->setSpecialValueText(kTextPauseOff);
    pauseRow_->setSuffix(kTextMilliseconds);
    row->addWidget(new QLabel(kTextTime, box));
    row->addWidget(timeColumn_);
    row->addWidget(new QLabel(kTextPauseRow, box));
    row->addWidget(pauseRow_);
    connect(timeColumn_, &QComboBox::currentIndexChanged, this, &DisplayPanes::takeTimeOptions);
    connect(pauseRow_, &QSpinBox::valueChanged, this, &DisplayPanes::takeTimeOptions);
    return box;
}

QWidget* DisplayPanes::buildHistoryControl() {
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    history_ = new QSpinBox(box);
    history_->setRange(DisplayFormatter::kDefaultHistoryLines, DisplayFormatter::kMaxHistoryLines);
    history_->setSingleStep(kHistoryStep);
    history_->setSuffix(kTextRows);
    history_->setValue(step_.formatter().historyLines());
    history_->setToolTip(kHistoryTip);
    auto* label = new QLabel(kTextHistory, box);
    label->setBuddy(history_);
    row->addWidget(label);
    row->addWidget(history_);
    connect(history_, &QSpinBox::valueChanged, this,
            [this](int rows) { step_.formatter().setHistoryLines(rows); });
    return box;
}

void DisplayPanes::zoom(int steps) {
    const int points = std::clamp(ascii_->pointSize() + steps, kMinZoomPoints, kMaxZoomPoints);
    ascii_->setPointSize(points);
    hex_->setPointSize(points);
    refresh();
}

int DisplayPanes::zoomPoints() const {
    return ascii_->pointSize();
}

// Ctrl and the wheel zoom the text; the plain wheel scrolls as ever.
bool DisplayPanes::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers().testFlag(Qt::ControlModifier)) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0) {
                zoom(delta > 0 ? 1 : -1);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DisplayPanes::takeTimeOptions() {
    step_.formatter().rowClock().setOptions(
        {static_cast<TimeColumn>(timeColumn_->currentIndex()), pauseRow_->value()});
}

void DisplayPanes::showBytesPerRow() {
    bytesPerRowEdit_->setText(QString::number(step_.formatter().bytesPerRow()));
    const TimeViewOptions options = step_.formatter().rowClock().options();
    const QSignalBlocker quietColumn(timeColumn_);
    const QSignalBlocker quietPause(pauseRow_);
    timeColumn_->setCurrentIndex(static_cast<int>(options.column));
    pauseRow_->setValue(options.pauseRowMs);
    const QSignalBlocker quietHistory(history_);
    history_->setValue(step_.formatter().historyLines());
}

void DisplayPanes::takeBytesPerRow() {
    const BytesPerRowInput input = parseBytesPerRow(bytesPerRowEdit_->text().toStdString());
    if (input.rewrite) {
        bytesPerRowEdit_->setText(QString::fromStdString(*input.rewrite));
    }
    step_.formatter().setBytesPerRow(input.value);
}

}  // namespace pv
