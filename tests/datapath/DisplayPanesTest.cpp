#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QWheelEvent>
#include <functional>
#include <random>

#include "app/LineMonitor.h"
#include "datapath/DisplayPanes.h"
#include "datapath/SymbolTables.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

char letterOf(const QColor& color) {
    if (color == QColor(255, 0, 0)) {
        return 'A';
    }
    if (color == QColor(0, 128, 0)) {
        return 'B';
    }
    return color == QColor(0, 0, 255) ? 'H' : '?';
}

// A pane's text (UTF-8) with one format letter per character; row breaks carry '/' instead.
struct Picture {
    std::string text;
    std::string formats;
    bool operator==(const Picture&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Picture& p) {
    return out << p.text.size() << " characters:\n" << p.formats;
}

Picture pictureOf(const QPlainTextEdit& edit) {
    Picture picture;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        if (block != edit.document()->begin()) {
            picture.text += '\n';
            picture.formats += '/';
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            picture.text += fragment.text().toStdString();
            picture.formats.append(static_cast<size_t>(fragment.text().size()),
                                   letterOf(fragment.charFormat().foreground().color()));
        }
    }
    return picture;
}

// The model as the pane should draw it: each byte as its glyph.
Picture pictureOf(const PaneModel& model, const PaneGlyphs& glyphs) {
    QString text;
    for (char c : model.text()) {
        text += glyphs[static_cast<uint8_t>(c)];
    }
    Picture picture{text.toStdString(), std::string()};
    for (const PaneSpan& span : model.spans()) {
        const char letter = span.format == PaneFormat::SideA   ? 'A'
                            : span.format == PaneFormat::SideB ? 'B'
                                                               : 'H';
        picture.formats.append(static_cast<size_t>(span.end - span.start), letter);
    }
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] == QChar('\n')) {
            picture.formats[static_cast<size_t>(k)] = '/';
        }
    }
    return picture;
}

// Whether the glyph leaves any ink when drawn in the font.
bool drawsInk(const QFont& font, QChar glyph) {
    const QFontMetrics metrics(font);
    QImage image(metrics.maxWidth() * 3, metrics.height() * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(metrics.maxWidth(), metrics.ascent() + 2), QString(glyph));
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                return true;
            }
        }
    }
    return false;
}

// The widgets, synced at random moments, always show exactly what the display step wrote: text,
// colours, trims, marks and clears, at every row width and with symbols.
TEST(TextPane, TheWidgetShowsExactlyTheModel) {
    QWidget parent;
    for (int perRow : {1, 7, 16, 128}) {
        SCOPED_TRACE(perRow);
        TextPane ascii(&parent), hex(&parent);
        DisplayFormatter formatter;
        formatter.attach(&ascii, &hex);
        formatter.setBytesPerRow(perRow);
        formatter.useHexSymbols = perRow % 2 == 1;
        formatter.useAsciiSymbols = perRow % 2 == 1;
        formatter.symbols().asciiSymbols['a'] = "<a>";
        std::mt19937 random(static_cast<unsigned>(perRow));
        for (int step = 0; step < 300; ++step) {
            Bytes data(1 + random() % (step % 40 == 39 ? 2000 : 30));
            for (uint8_t& byte : data) {
                byte = static_cast<uint8_t>(random() % 4 == 0 ? 'a' : random());
            }
            const PaneFormat side = random() % 3 == 0 ? PaneFormat::SideB : PaneFormat::SideA;
            formatter.DisplayBlock(side, data.data(), static_cast<int>(data.size()));
            if (side == PaneFormat::SideA && random() % 4 == 0) {
                formatter.MarkTriggerMatch(1 + static_cast<int>(random() % 30),
                                           static_cast<int>(random() % data.size()));
            }
            if (random() % 97 == 0) {
                formatter.Clear();
            }
            if (random() % 5 == 0) {
                ascii.sync();
                hex.sync();
                ASSERT_EQ(pictureOf(*ascii.widget()), pictureOf(ascii.model(), ascii.glyphs()))
                    << step;
                ASSERT_EQ(pictureOf(*hex.widget()), pictureOf(hex.model(), hex.glyphs())) << step;
                ASSERT_EQ(ascii.widget()->document()->blockCount(), ascii.lineCount());
                ASSERT_EQ(hex.widget()->document()->blockCount(), ascii.lineCount());
            }
        }
        EXPECT_FALSE(ascii.sync() && ascii.sync());  // a second sync has nothing to do
    }
}

// Whatever the machine's monospace font, the ASCII pane draws every byte (bytes below 0x20 as
// 0x7F) as one visible glyph that the font has, all as wide as a digit: no missing-glyph box, no
// invisible soft hyphen, no wider glyph from a fallback font.
TEST(TextPane, EveryByteIsOneVisibleGlyphOfOneWidth) {
    const QFont font = paneFont();
    const PaneGlyphs glyphs(font);
    EXPECT_TRUE(glyphs.uniform());
    const QFontMetricsF metrics(font);
    const qreal cell = metrics.horizontalAdvance(QChar('0'));
    const SymbolTables tables;
    QString row;
    for (int b = 0; b < 256; ++b) {
        const std::string shown = tables.asciiText(static_cast<uint8_t>(b), false);
        ASSERT_EQ(shown.size(), 1u) << b;
        const QChar glyph = glyphs[static_cast<uint8_t>(shown[0])];
        EXPECT_TRUE(metrics.inFontUcs4(glyph.unicode())) << b;
        EXPECT_NEAR(metrics.horizontalAdvance(QString(glyph)), cell, 0.01) << b;
        if (b != 0x20 && b != 0xA0) {
            EXPECT_TRUE(drawsInk(font, glyph)) << b;
        }
        row += glyph;
    }
    EXPECT_NEAR(metrics.horizontalAdvance(row), 256 * cell, 0.5);
    // The measure refuses a proportional face, as it would a monospace one with wide fallbacks.
    EXPECT_FALSE(PaneGlyphs(QFont("DejaVu Sans", 8)).uniform());
}

TEST(TextPane, FormatsAndFont) {
    EXPECT_EQ(paneFont().pointSize(), 8);
    EXPECT_EQ(paneCharFormat(PaneFormat::SideA).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(paneCharFormat(PaneFormat::SideB).foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(paneCharFormat(PaneFormat::Highlight).foreground().color(), QColor(0, 0, 255));
}

// The whole widget on a running engine: bytes go into real pseudo-terminals.
class DisplayPanesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
        panes.resize(900, 400);
        panes.show();
    }
    void receive(PtyPair& far, const std::string& text) {
        const Side side = &far == &farA ? Side::A : Side::B;
        const long long total =
            monitor.sides().side(side).totalShown + static_cast<long long>(text.size());
        far.write(bytesOf(text));
        ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(side).totalShown == total; }));
        panes.refresh();
    }
    QString asciiText() const { return asciiEdit()->toPlainText(); }
    QString hexText() const { return hexEdit()->toPlainText(); }
    QPlainTextEdit* asciiEdit() const { return panes.asciiPane().widget(); }
    QPlainTextEdit* hexEdit() const { return panes.hexPane().widget(); }
    void select(QPlainTextEdit* edit, int from, int to) {
        QTextCursor cursor(edit->document());
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    }

    PtyPair farA;
    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    mutable DisplayPanes panes{monitor.displayStep()};
};

TEST_F(DisplayPanesTest, ShowsBothSidesInTheirColoursWithTotals) {
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 0, ComB = 0");
    EXPECT_EQ(panes.outputButton()->text(), "Disable");
    EXPECT_EQ(panes.legend(true)->text(), "Comport A");
    EXPECT_EQ(panes.legend(false)->text(), "Comport B");
    EXPECT_EQ(panes.legend(true)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(panes.legend(false)->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    receive(farA, "Hi\r");
    receive(farB, "ok");
    EXPECT_EQ(asciiText(), QString("Hi") + panes.asciiPane().glyphs()[0x7F] + "ok");
    EXPECT_EQ(hexText(), "48 69 0D 6F 6B ");
    EXPECT_EQ(pictureOf(*asciiEdit()).formats, "AAABB");
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 3, ComB = 2");

    // Every byte takes one cell of the ASCII pane.
    panes.clearButton()->click();
    std::string every;
    for (int b = 0; b < 256; ++b) {
        every.push_back(static_cast<char>(b));
    }
    receive(farA, every);
    const QFontMetricsF metrics(asciiEdit()->font());
    const qreal cell = metrics.horizontalAdvance(QChar('0'));
    QStringList rows = asciiText().split('\n');
    EXPECT_EQ(rows.takeLast(), "") << "a full row ends its line";
    ASSERT_EQ(rows.size(), 16);
    for (const QString& row : rows) {
        EXPECT_EQ(row.size(), 16);
        EXPECT_NEAR(metrics.horizontalAdvance(row), 16 * cell, 0.5) << row.toStdString();
    }
}

TEST_F(DisplayPanesTest, WithTheOutputOffTotalsGrowButNothingIsShown) {
    receive(farA, "abc");
    panes.outputButton()->click();
    EXPECT_FALSE(monitor.displayStep().outputEnabled());
    EXPECT_EQ(panes.outputButton()->text(), "Enable");
    receive(farA, "defg");
    receive(farB, "xy");
    EXPECT_EQ(asciiText(), "abc");
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 7, ComB = 2");
    // Switched off by the engine (as the trigger does), the caption follows at the next frame.
    panes.outputButton()->click();
    EXPECT_EQ(panes.outputButton()->text(), "Disable");
    monitor.displayStep().setOutputEnabled(false);
    ASSERT_TRUE(waitUntil([&] { return panes.outputButton()->text() == "Enable"; }));
}

TEST_F(DisplayPanesTest, ClearEmptiesPanesAndTotals) {
    monitor.display().setBytesPerRow(4);
    receive(farA, "abcdef");
    panes.clearButton()->click();
    EXPECT_EQ(asciiText(), "");
    EXPECT_EQ(hexText(), "");
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 0, ComB = 0");
    receive(farB, "gh");
    EXPECT_EQ(asciiText(), "gh");  // a new row
}

TEST_F(DisplayPanesTest, CopyPrefersTheAsciiSelection) {
    receive(farA, "hello");
    QClipboard* clipboard = QApplication::clipboard();
    select(asciiEdit(), 1, 3);
    select(hexEdit(), 0, 5);
    panes.copyButton()->click();
    EXPECT_EQ(clipboard->text(), "el");
    EXPECT_FALSE(asciiEdit()->textCursor().hasSelection());
    EXPECT_FALSE(hexEdit()->textCursor().hasSelection());
    select(hexEdit(), 0, 5);
    panes.copyButton()->click();
    EXPECT_EQ(clipboard->text(), "68 65");
    clipboard->setText("kept");
    panes.copyButton()->click();
    EXPECT_EQ(clipboard->text(), "kept");
}

TEST_F(DisplayPanesTest, BytesPerRowEditIsHeldInRange) {
    QLineEdit* edit = panes.bytesPerRowEdit();
    EXPECT_EQ(edit->text(), "16");
    const std::pair<const char*, const char*> cases[] = {
        {"0", "1"}, {"200", "128"}, {"x", "1"}, {"7", "7"}};
    for (const auto& [typed, shown] : cases) {
        edit->setText(typed);
        emit edit->editingFinished();
        EXPECT_EQ(edit->text(), shown);
        EXPECT_EQ(monitor.display().bytesPerRow(), QString(shown).toInt());
    }
    receive(farA, "abcdefghi");
    EXPECT_EQ(asciiText(), "abcdefg\nhi");
}

TEST_F(DisplayPanesTest, PanesScrollTogether) {
    monitor.display().setBytesPerRow(1);
    receive(farA, std::string(90, 'x'));
    QScrollBar* asciiBar = asciiEdit()->verticalScrollBar();
    QScrollBar* hexBar = hexEdit()->verticalScrollBar();
    ASSERT_GT(asciiBar->maximum(), 10);
    EXPECT_EQ(asciiBar->value(), asciiBar->maximum());
    EXPECT_EQ(hexBar->value(), asciiBar->value());
    hexBar->setValue(5);
    EXPECT_EQ(asciiBar->value(), 5);
    asciiBar->setValue(7);
    EXPECT_EQ(hexBar->value(), 7);
}

// New rows pull the view down only while it is at the bottom. A view the user scrolled up stays
// on the rows it shows, also while rows are trimmed above them, until the user scrolls back down.
TEST_F(DisplayPanesTest, TheViewFollowsNewRowsOnlyFromTheBottom) {
    monitor.display().setBytesPerRow(4);
    int next = 0;
    const auto rows = [&next](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += QString::asprintf("%04d", next++).toStdString();
        }
        return text;
    };
    receive(farA, rows(90));
    constexpr int kBottom = -1;
    constexpr int kStay = -2;
    const struct {
        int scrollTo;  // a row, kBottom, or kStay where the user does nothing
        int newRows;
        // The row at the top of the view afterwards; null: at the bottom; empty: the oldest row
        // held, as the rows in view were trimmed.
        const char* top;
    } steps[] = {
        {kStay, 5, nullptr}, {40, 3, "0040"},       {kStay, 12, "0040"},
        {kStay, 10, "0040"}, {kBottom, 2, nullptr}, {0, 200, ""},
    };
    QScrollBar* asciiBar = asciiEdit()->verticalScrollBar();
    for (const auto& step : steps) {
        const int line = &step - steps;
        if (step.scrollTo == kBottom) {
            asciiBar->setValue(asciiBar->maximum());
        } else if (step.scrollTo != kStay) {
            asciiBar->setValue(step.scrollTo);
        }
        receive(farB, rows(step.newRows));
        const QString top = asciiEdit()->cursorForPosition(QPoint(4, 4)).block().text();
        if (step.top == nullptr) {
            EXPECT_EQ(asciiBar->value(), asciiBar->maximum()) << line;
        } else if (*step.top == '\0') {
            EXPECT_EQ(top, asciiEdit()->document()->firstBlock().text()) << line;
            EXPECT_EQ(asciiBar->value(), 0) << line;
        } else {
            EXPECT_EQ(top, step.top) << line;
            EXPECT_LT(asciiBar->value(), asciiBar->maximum()) << line;
        }
        EXPECT_EQ(hexEdit()->verticalScrollBar()->value(), asciiBar->value()) << line;
    }
}

// The time and history boxes set the display and show what a parameter file brought.
TEST_F(DisplayPanesTest, TimeAndHistoryBoxesFollowTheDisplay) {
    panes.timeColumnBox()->setCurrentIndex(2);
    panes.pauseRowBox()->setValue(250);
    QSpinBox* history = panes.historyBox();
    EXPECT_EQ(history->value(), 100);
    history->setValue(500);
    EXPECT_EQ(monitor.display().rowClock().options(),
              (TimeViewOptions{TimeColumn::SinceStart, 250}));
    EXPECT_EQ(monitor.display().historyLines(), 500);
    monitor.display().rowClock().setOptions({TimeColumn::Clock, 0});
    monitor.display().setHistoryLines(700);
    panes.showBytesPerRow();
    EXPECT_EQ(panes.timeColumnBox()->currentIndex(), 1);
    EXPECT_EQ(panes.pauseRowBox()->text(), "never");
    EXPECT_EQ(history->value(), 700);
}

// Ctrl and the wheel, Ctrl+Plus and Ctrl+Minus zoom both panes; the text stays as it was.
TEST_F(DisplayPanesTest, ZoomChangesTheTextSizeOfBothPanes) {
    receive(farA, "zoom me");
    const QString text = asciiText();
    const int start = panes.zoomPoints();
    const auto wheel = [this](Qt::KeyboardModifiers modifiers, int delta) {
        QWheelEvent event(QPointF(5, 5), asciiEdit()->viewport()->mapToGlobal(QPointF(5, 5)),
                          QPoint(), QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(asciiEdit()->viewport(), &event);
    };
    const struct {
        std::function<void()> act;
        int change;
    } steps[] = {
        {[&] { wheel(Qt::ControlModifier, 120); }, 1},
        {[&] { wheel(Qt::NoModifier, 120); }, 1},
        {[&] { QTest::keyClick(asciiEdit(), Qt::Key_Plus, Qt::ControlModifier); }, 2},
        {[&] { QTest::keyClick(asciiEdit(), Qt::Key_Minus, Qt::ControlModifier); }, 1},
        {[&] { wheel(Qt::ControlModifier, -120); }, 0},
        {[&] { panes.zoom(-100); }, DisplayPanes::kMinZoomPoints - start},
    };
    for (const auto& step : steps) {
        step.act();
        panes.refresh();
        const int line = &step - steps;
        EXPECT_EQ(panes.zoomPoints(), start + step.change) << line;
        EXPECT_EQ(hexEdit()->font().pointSize(), start + step.change) << line;
        EXPECT_EQ(asciiText(), text) << line;
        EXPECT_EQ(pictureOf(*asciiEdit()).formats, "AAAAAAA") << line;
    }
}

TEST_F(DisplayPanesTest, TriggerMatchIsShownInBlue) {
    // The pattern split across two blocks of side A, with side B's bytes shown in between.
    TriggerSettings settings;
    settings.active = true;
    settings.pattern[0] = 0x0D;
    settings.pattern[1] = 0x0A;
    settings.patternLength = 2;
    settings.postscaler = 1000;
    settings.autoDeactivate = false;
    monitor.triggers().DefineTrigger(settings);
    receive(farA, "ab\r");
    receive(farB, "x");
    receive(farA, "\ncd");
    EXPECT_EQ(pictureOf(*asciiEdit()).formats, "AAHBHAA");
    EXPECT_EQ(pictureOf(*hexEdit()).formats, "AAAAAAHHABBBHHAAAAAAA");
    // Nothing is marked while the output is off.
    monitor.displayStep().setOutputEnabled(false);
    monitor.displayStep().MarkTriggerMatch(6, 0);
    panes.refresh();
    EXPECT_EQ(pictureOf(*asciiEdit()).formats, "AAHBHAA");
}

}  // namespace
