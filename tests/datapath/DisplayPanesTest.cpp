#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <random>

#include "app/LineMonitor.h"
#include "base/Cp1252.h"
#include "datapath/DisplayPanes.h"
#include "support/FakeTtyBackend.h"
#include "support/PtyPair.h"
#include "support/ScriptedPrompt.h"
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

// A pane's text with one format letter per character; row breaks carry '/' instead.
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
            const std::string text = utf16ToCp1252(fragment.text().toStdU16String());
            picture.text += text;
            picture.formats.append(text.size(),
                                   letterOf(fragment.charFormat().foreground().color()));
        }
    }
    return picture;
}

Picture pictureOf(const PaneModel& model) {
    Picture picture{std::string(model.text()), std::string()};
    for (const PaneSpan& span : model.spans()) {
        const char letter = span.format == PaneFormat::SideA   ? 'A'
                            : span.format == PaneFormat::SideB ? 'B'
                                                               : 'H';
        picture.formats.append(static_cast<size_t>(span.end - span.start), letter);
    }
    for (size_t k = 0; k < picture.text.size(); ++k) {
        if (picture.text[k] == '\n') {
            picture.formats[k] = '/';
        }
    }
    return picture;
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
                ASSERT_EQ(pictureOf(*ascii.widget()), pictureOf(ascii.model())) << step;
                ASSERT_EQ(pictureOf(*hex.widget()), pictureOf(hex.model())) << step;
                ASSERT_EQ(ascii.widget()->document()->blockCount(), ascii.lineCount());
                ASSERT_EQ(hex.widget()->document()->blockCount(), ascii.lineCount());
            }
        }
        EXPECT_FALSE(ascii.sync() && ascii.sync());  // a second sync has nothing to do
    }
}

TEST(TextPane, FormatsAndFont) {
    EXPECT_TRUE(QFontInfo(paneFont()).fixedPitch());
    EXPECT_EQ(paneFont().pointSize(), 8);
    EXPECT_EQ(paneCharFormat(PaneFormat::SideA).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(paneCharFormat(PaneFormat::SideB).foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(paneCharFormat(PaneFormat::Highlight).foreground().color(), QColor(0, 0, 255));
}

class View : public MonitorView {
  public:
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side, const uint8_t*, int) override {}
    void sideStateChanged(Side) override {}
    ScriptedPrompt prompt_;
};

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
    View view;
    LineMonitor monitor{view, lines};
    mutable DisplayPanes panes{monitor.displayStep()};
};

TEST_F(DisplayPanesTest, ShowsBothSidesInTheirColoursWithTotals) {
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 0, ComB = 0");
    EXPECT_EQ(panes.outputButton()->text(), "Disable");
    EXPECT_EQ(panes.legend(true)->text(), " Red");
    EXPECT_EQ(panes.legend(false)->text(), "Green");
    EXPECT_EQ(panes.legend(false)->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    receive(farA, "Hi\r");
    receive(farB, "ok");
    EXPECT_EQ(asciiText(), QString("Hi") + QChar(0x2421) + "ok");
    EXPECT_EQ(hexText(), "48 69 0D 6F 6B ");
    EXPECT_EQ(pictureOf(*asciiEdit()).formats, "AAABB");
    EXPECT_EQ(panes.totalsLabel()->text(), "Total : ComA = 3, ComB = 2");
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

TEST_F(DisplayPanesTest, TimeControlsSetTheRowClockAndShowItsOptions) {
    panes.timeColumnBox()->setCurrentIndex(2);
    panes.pauseRowBox()->setValue(250);
    EXPECT_EQ(monitor.display().rowClock().options(),
              (TimeViewOptions{TimeColumn::SinceStart, 250}));
    monitor.display().rowClock().setOptions({TimeColumn::Clock, 0});
    panes.showBytesPerRow();
    EXPECT_EQ(panes.timeColumnBox()->currentIndex(), 1);
    EXPECT_EQ(panes.pauseRowBox()->text(), "never");
}

TEST_F(DisplayPanesTest, PanesScrollTogetherAndFollowTheNewestRow) {
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
    receive(farB, "yy");
    EXPECT_EQ(asciiBar->value(), asciiBar->maximum());
    EXPECT_EQ(hexBar->value(), asciiBar->value());
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
