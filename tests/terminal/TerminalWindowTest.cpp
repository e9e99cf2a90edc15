#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <string>

#include "app/HelpWindow.h"
#include "app/PortaVigilantDlg.h"
#include "ports/PortSettingsBox.h"
#include "support/PtyPair.h"
#include "support/ScriptedPrompt.h"
#include "support/WaitUntil.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalDialog.h"
#include "terminal/TerminalTextArea.h"

using namespace pv;

namespace {

QString caption(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return widget->metaObject()->className();
}

TEST(TerminalWindowLayout, ControlsCarryTheirIdsAndCaptionsInBothSizes) {
    const std::pair<std::vector<int>, QString> controls[] = {
        {{1112}, "Local Echo"},
        {{1120, 1121}, "Hex Input"},
        {{1116}, "CR-LF"},
        {{1117}, "CR"},
        {{1118}, "LF"},
        {{1111}, "Help"},
        {{1114}, "Clear"},
        {{1115}, "Copy"},
        {{1133, 1134, 1135, 1136, 1137, 1138, 1139, 1141, 1143}, "Enter"},
        {{1186}, "Blanks may be used!"},
        {{1123, 1124, 1125, 1126, 1127}, "Search"},
        {{1128, 1129, 1130, 1131, 1132}, "Upload"},
        {{1122}, "D\no\nw\nn\nl\no\na\nd"},
        {{1140}, "Delay:"},
        {{1113}, "pv::TerminalTextArea"},
        {{1161, 1170, 1171, 1172, 1173, 1174, 1175, 1176, 1177, 1156, 1157, 1158, 1159, 1160, 1162,
          1163},
         "QLineEdit"},
    };
    TerminalSettings settings;
    ScriptedPrompt prompt;
    TerminalControl terminal(settings, prompt, [] { return true; });
    int heights[2] = {};
    for (const int templateId :
         {CTerminalDialog::kSmallTemplate, CTerminalDialog::kLargeTemplate}) {
        CTerminalDialog dialog(terminal, templateId);
        for (const auto& [ids, text] : controls) {
            for (const int id : ids) {
                QWidget* control = dialog.control(id);
                ASSERT_NE(control, nullptr) << id;
                EXPECT_EQ(caption(control), text) << id;
            }
        }
        QStringList groups;
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
            groups << group->title();
        }
        groups.sort();
        EXPECT_EQ(groups, QStringList({"Raw Up- and Download",
                                       "Send \"Enter\" as : ", "special function keys"}));
        auto* sink = qobject_cast<QPushButton*>(dialog.control(1119));
        ASSERT_NE(sink, nullptr);
        EXPECT_TRUE(sink->isDefault() && sink->isHidden());
        EXPECT_FALSE(dialog.control(1128)->isEnabled()) << "the transfer is not wired yet";
        heights[templateId == CTerminalDialog::kSmallTemplate ? 0 : 1] =
            dialog.textArea().minimumHeight();
    }
    EXPECT_GT(heights[1], 2 * heights[0]) << "169 against 79 dialog units";
}

// After every frame the widget holds the newest part of the model, line ends as line breaks:
// all of it, or after a burst of more than a frame's worth the newest lines.
TEST(TerminalTextArea, ShowsTheModelThroughRemovalsTrimmingBurstsAndClear) {
    TerminalScreen small({50, 2000, 100});
    TerminalScreen large;
    const auto text = [](const TerminalScreen& screen) {
        const std::u16string_view t = screen.text();
        return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
    };
    std::string lines;
    for (int i = 0; i < 100; ++i) {
        lines += "line " + std::to_string(i) + " of some thirty chars\r\n";
    }
    std::string burst;
    while (burst.size() < 3 * TerminalTextArea::kFrameChars) {
        burst += lines;
    }
    const struct {
        TerminalScreen* screen;
        std::vector<std::string> frames;  // "" clears the model
        bool whole;
    } cases[] = {
        {&small, {"abc\r\n", "de", "\b\b\bX", "\bY\r\nZ"}, true},
        {&small, {"abc\r\n", lines, "\b\b"}, true},
        {&small, {lines, "", "after clear"}, true},
        {&large, {"first\r\n", burst}, false},
        {&large, {burst, "\b\bend\r\n"}, false},
    };
    for (const auto& c : cases) {
        c.screen->clear();
        TerminalTextArea area(*c.screen);
        area.resize(400, 200);
        for (const std::string& frame : c.frames) {
            if (frame.empty()) {
                c.screen->clear();
            } else {
                c.screen->show(frame);
            }
            area.sync();
            const QString model = text(*c.screen);
            const QString shown = area.toPlainText();
            SCOPED_TRACE(frame.substr(0, 20));
            if (c.whole) {
                EXPECT_EQ(shown, model);
            } else {
                EXPECT_TRUE(!shown.isEmpty() && model.endsWith(shown));
                EXPECT_LE(shown.size(), TerminalTextArea::kFrameChars);
            }
            if (frame.size() > TerminalTextArea::kFrameChars) {
                EXPECT_GT(shown.size(), TerminalTextArea::kFrameChars / 2);
                EXPECT_TRUE(shown.startsWith("line ")) << "from the start of a line";
            }
        }
    }
}

class TerminalWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window.settingsBox(Side::A).portList()->setEditText(QString::fromStdString(farA.path()));
        window.settingsBox(Side::A).startButton()->click();
        window.settingsBox(Side::B).terminalButton()->click();
        ASSERT_TRUE(dialog().isVisible());
    }
    CTerminalDialog& dialog() { return window.terminalWindow(); }
    TerminalTextArea& area() { return dialog().textArea(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&area(), key, modifiers);
    }
    // What side A's device has received, waiting until it is at least count bytes.
    const std::string& atA(size_t count) {
        waitUntil([&] {
            std::vector<uint8_t> more;
            PtyPair::readFd(farA.master(), more, SIZE_MAX, 0);
            receivedA.append(more.begin(), more.end());
            return receivedA.size() >= count;
        });
        return receivedA;
    }

    PtyPair farA;
    CPortaVigilantDlg window{WindowLayout{}};
    std::string receivedA;
};

TEST_F(TerminalWindow, OpensAndClosesWithSideBBothWays) {
    EXPECT_EQ(dialog().templateId(), CTerminalDialog::kLargeTemplate);
    PortSettingsBox& b = window.settingsBox(Side::B);
    EXPECT_TRUE(window.monitor().sides().side(Side::B).isTerminal);
    EXPECT_FALSE(b.terminalButton()->isEnabled());
    b.stopButton()->click();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_FALSE(window.monitor().sides().side(Side::B).started);
    b.terminalButton()->click();
    EXPECT_TRUE(dialog().isVisible());
    dialog().close();
    EXPECT_FALSE(window.monitor().sides().side(Side::B).started);
    EXPECT_TRUE(b.terminalButton()->isEnabled());

    CPortaVigilantDlg small(WindowLayout{true, WindowLayout::kSmallVisibleLines});
    EXPECT_EQ(small.terminalWindow().templateId(), CTerminalDialog::kSmallTemplate);
}

TEST_F(TerminalWindow, KeysAndPastesGoOutAsTheOptionsSayAndTheRestAreSwallowed) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool controlKeys;
        const char* sends;
    } keys[] = {
        {Qt::Key_A, Qt::NoModifier, false, "a"},
        {Qt::Key_Return, Qt::NoModifier, false, "\r\n"},
        {Qt::Key_C, Qt::ControlModifier, false, ""},
        {Qt::Key_Tab, Qt::NoModifier, false, ""},
        {Qt::Key_Up, Qt::NoModifier, false, ""},
        {Qt::Key_Escape, Qt::NoModifier, false, ""},
        {Qt::Key_Delete, Qt::NoModifier, false, ""},
        {Qt::Key_C, Qt::ControlModifier, true, "\x03"},
        {Qt::Key_Tab, Qt::NoModifier, true, "\t"},
        {Qt::Key_Up, Qt::NoModifier, true, "\x1B[A"},
        {Qt::Key_Escape, Qt::NoModifier, true, "\x1B"},
    };
    auto* controlKeys = dialog().findChild<QCheckBox*>("sendControlKeys");
    ASSERT_NE(controlKeys, nullptr);
    std::string expected;
    for (const auto& k : keys) {
        if (controlKeys->isChecked() != k.controlKeys) {
            controlKeys->click();
        }
        press(k.key, k.modifiers);
        expected += k.sends;
    }
    EXPECT_EQ(atA(expected.size()), expected);
    EXPECT_TRUE(dialog().isVisible()) << "Escape in the text area does not close the window";

    // A paste goes out whole, and a key typed after it follows.
    controlKeys->click();
    QString text;
    for (int line = 0; text.size() < 3000; ++line) {
        text += QString("pasted line %1 \u00e9\n").arg(line);
    }
    QApplication::clipboard()->setText(text);
    press(Qt::Key_V, Qt::ControlModifier);
    press(Qt::Key_Z);
    expected += text.toLatin1().replace("\n", "\r\n").toStdString() + "z";
    EXPECT_EQ(atA(expected.size()), expected);
    EXPECT_EQ(dialog().statusLine()->text(), "");
    QApplication::clipboard()->setText("\u20ac\u2603");
    press(Qt::Key_Insert);
    EXPECT_TRUE(dialog().statusLine()->text().contains("U+2603")) << "named, not sent as ?";
}

TEST_F(TerminalWindow, CtrlCCopiesNothingWhileCopyDoes) {
    farA.write(bytesOf("hello\r\n"));
    ASSERT_TRUE(waitUntil([&] {
        dialog().refresh();
        return area().toPlainText() == "hello\n";
    }));
    QApplication::clipboard()->setText("kept");
    area().selectAll();
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");
    qobject_cast<QPushButton*>(dialog().control(1115))->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "hello\n");
    qobject_cast<QPushButton*>(dialog().control(1114))->click();
    EXPECT_EQ(area().toPlainText(), "");
}

TEST_F(TerminalWindow, TheNewestLineStaysInViewUnlessTheUserScrolledUp) {
    TerminalScreen& screen = window.monitor().terminal().screen();
    QScrollBar* bar = area().verticalScrollBar();
    const auto lines = [&](int from) {
        for (int i = from; i < from + 200; ++i) {
            screen.show("row " + std::to_string(i) + "\r\n");
        }
        dialog().refresh();
    };
    lines(0);
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    press(Qt::Key_PageUp);
    const int scrolledTo = bar->value();
    EXPECT_LT(scrolledTo, bar->maximum()) << "Page Up scrolls while control keys are off";
    lines(200);
    EXPECT_EQ(bar->value(), scrolledTo);
    bar->setValue(bar->maximum());
    lines(400);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(area().toPlainText().endsWith("row 599\n"));
}

TEST_F(TerminalWindow, FunctionKeysHelpAndTheStatusLine) {
    auto* f2 = qobject_cast<QLineEdit*>(dialog().control(1161));
    auto* keysHex = qobject_cast<QCheckBox*>(dialog().control(1121));
    f2->setText("4 142 4");
    keysHex->click();
    EXPECT_EQ(f2->text(), "41 42") << "pairs, the single digit dropped";
    EXPECT_TRUE(dialog().control(1186)->isVisibleTo(&dialog()));
    qobject_cast<QCheckBox*>(dialog().control(1133))->click();
    press(Qt::Key_F2);
    EXPECT_EQ(atA(4), "AB\r\n") << "the hex bytes, then the line end";

    f2->setText("4G");
    emit f2->editingFinished();
    EXPECT_TRUE(dialog().statusLine()->text().startsWith("F2: ")) << "shown as not hex";

    press(Qt::Key_F1);
    EXPECT_TRUE(window.help().isVisible());
    EXPECT_TRUE(window.help().browser()->source().toString().endsWith("terminal.html"));

    window.settingsBox(Side::A).stopButton()->click();
    press(Qt::Key_X);
    EXPECT_EQ(dialog().statusLine()->text(), "Comport A is not started - input is not sent");
}

}  // namespace
