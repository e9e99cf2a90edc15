#include "datapath/DisplayPanes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

#include "base/TextFormat.h"
#include "datapath/DisplayStep.h"

namespace pv {

namespace {

constexpr const char* kTextAsciiCaption = "ASCII";
constexpr const char* kTextHexCaption = "Hex";
constexpr const char* kTextLegendA = " Red";
constexpr const char* kTextLegendB = "Green";
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

    auto* controls = new QHBoxLayout;
    controls->addWidget(legendA_);
    controls->addWidget(legendB_);
    controls->addStretch(1);
    controls->addWidget(buildTimeControls());
    controls->addWidget(new QLabel(kTextBytesPerRow, this));
    controls->addWidget(bytesPerRowEdit_);
    controls->addWidget(clearButton_);
    controls->addWidget(copyButton_);
    controls->addWidget(outputButton_);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(kTextAsciiCaption, this), 0, 0);
    grid->addWidget(new QLabel(kTextHexCaption, this), 0, 1);
    grid->addWidget(ascii_->widget(), 1, 0);
    grid->addWidget(hex_->widget(), 1, 1);
    grid->addWidget(totals_, 2, 0, 1, 2);
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

    step_.formatter().attach(ascii_.get(), hex_.get());
    connect(&frame_, &QTimer::timeout, this, &DisplayPanes::refresh);
    frame_.start(kFrameMs);
    refresh();
}

DisplayPanes::~DisplayPanes() {
    step_.formatter().attach(nullptr, nullptr);
}

void DisplayPanes::refresh() {
    const bool asciiChanged = ascii_->sync();
    const bool hexChanged = hex_->sync();
    if (asciiChanged || hexChanged) {
        QScrollBar* bar = ascii_->widget()->verticalScrollBar();
        bar->setValue(bar->maximum());
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
}

void DisplayPanes::takeBytesPerRow() {
    const BytesPerRowInput input = parseBytesPerRow(bytesPerRowEdit_->text().toStdString());
    if (input.rewrite) {
        bytesPerRowEdit_->setText(QString::fromStdString(*input.rewrite));
    }
    step_.formatter().setBytesPerRow(input.value);
}

}  // namespace pv
