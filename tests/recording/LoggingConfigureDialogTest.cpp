#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/LineMonitor.h"
#include "recording/LoggingConfigureDialog.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

const char* const kRowMessage = "'Bytes per Row' is limited to 1..48 !";
const char* const kTimeoutMessage = "'TimeOut Paragraph' is limited to 1..5000 ms !";

class LoggingConfigureDialogTest : public ::testing::Test {
  protected:
    void open(bool loggingActive = false) {
        dialog_.setLoggingActive(loggingActive);
        dialog_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    }
    // The controls that may be enabled, by their caption; the name edits by "name A/B".
    std::map<std::string, bool> enabledStates() const {
        std::map<std::string, bool> states;
        for (QAbstractButton* button : dialog_.findChildren<QAbstractButton*>()) {
            states[button->text().toStdString()] = button->isEnabled();
        }
        // The two "Comport A" captions: the side boxes are taken by pointer.
        states["log A"] = dialog_.logSideBox(true)->isEnabled();
        states["log B"] = dialog_.logSideBox(false)->isEnabled();
        states.erase("Comport A");
        states.erase("Comport B");
        states["name A"] = dialog_.nameEdit(true)->isEnabled();
        states["name B"] = dialog_.nameEdit(false)->isEnabled();
        states["bytes per row"] = dialog_.bytesPerRowEdit()->isEnabled();
        states["time-out"] = dialog_.timeoutEdit()->isEnabled();
        return states;
    }

    ScriptedPrompt prompt_;
    CLoggingConfigureDialog dialog_{prompt_};
};

TEST_F(LoggingConfigureDialogTest, AFreshDialogStartsWithItsOwnValues) {
    open();
    EXPECT_TRUE(dialog_.enabledBox()->isChecked());
    EXPECT_TRUE(dialog_.paragraphBox()->isChecked());
    EXPECT_EQ(dialog_.bytesPerRowEdit()->text(), "16");
    EXPECT_EQ(dialog_.timeoutEdit()->text(), "100");
    for (LogMode mode : {LogMode::SingleHex, LogMode::PlainAscii, LogMode::Complex}) {
        EXPECT_FALSE(dialog_.modeButton(mode)->isChecked());
    }
    for (LogContent c : {LogContent::AsciiOnly, LogContent::Both, LogContent::HexOnly}) {
        EXPECT_FALSE(dialog_.contentButton(c)->isChecked());
    }
    EXPECT_FALSE(dialog_.timestampBox()->isChecked());
    EXPECT_FALSE(dialog_.logSideBox(true)->isChecked());
    EXPECT_TRUE(dialog_.nameEdit(true)->text().isEmpty());
}

TEST_F(LoggingConfigureDialogTest, OkGivesBackWhatWasFilledAndCancelDropsEdits) {
    LogSettings s;
    s.mode = LogMode::SingleHex;
    s.content = LogContent::HexOnly;
    s.paragraph = false;
    s.singleLine = true;
    s.bytesPerRow = 32;
    s.timeout = 250;
    s.timeoutParagraph = true;
    s.usePortNumber = false;
    s.nameA = "Modem \xE4";
    s.nameB = "PLC";
    s.logB = false;
    s.milliseconds = true;
    dialog_.Fill(s);
    open();
    EXPECT_TRUE(dialog_.modeButton(LogMode::SingleHex)->isChecked());
    EXPECT_EQ(dialog_.nameEdit(true)->text(), QString::fromUtf8("Modem ä"));
    dialog_.bytesPerRowEdit()->setText("20");
    dialog_.cancelButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);

    open();
    EXPECT_EQ(dialog_.bytesPerRowEdit()->text(), "32") << "Cancel keeps the stored values";
    dialog_.okButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    LogSettings read;
    read.mode = LogMode::Complex;
    dialog_.ReadInto(read);
    EXPECT_EQ(read.mode, s.mode);
    EXPECT_EQ(read.content, s.content);
    EXPECT_EQ(read.paragraph, s.paragraph);
    EXPECT_EQ(read.singleLine, s.singleLine);
    EXPECT_EQ(read.bytesPerRow, 32);
    EXPECT_EQ(read.timeout, 250);
    EXPECT_EQ(read.timeoutParagraph, true);
    EXPECT_EQ(read.usePortNumber, false);
    EXPECT_EQ(read.nameA, s.nameA);
    EXPECT_EQ(read.nameB, "PLC");
    EXPECT_EQ(read.logA, true);
    EXPECT_EQ(read.logB, false);
    EXPECT_EQ(read.milliseconds, true);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(LoggingConfigureDialogTest, ControlRules) {
    LogSettings s;  // complex, both, paragraph, add to log, use port number
    dialog_.Fill(s);
    open();
    auto states = enabledStates();
    EXPECT_TRUE(states["Use ASCII Symbols"] && states["Use Hex Symbols"]);
    EXPECT_TRUE(states["Use Port Number"]);
    EXPECT_FALSE(states["name A"] || states["name B"]) << "names come from the ports";

    dialog_.contentButton(LogContent::AsciiOnly)->click();
    states = enabledStates();
    EXPECT_TRUE(states["Use ASCII Symbols"]);
    EXPECT_FALSE(states["Use Hex Symbols"]);
    dialog_.contentButton(LogContent::HexOnly)->click();
    states = enabledStates();
    EXPECT_FALSE(states["Use ASCII Symbols"]);
    EXPECT_TRUE(states["Use Hex Symbols"]);

    dialog_.usePortNumberBox()->click();
    states = enabledStates();
    EXPECT_TRUE(states["name A"] && states["name B"]);

    dialog_.addToLogBox()->click();
    states = enabledStates();
    EXPECT_FALSE(states["Use Port Number"] || states["name A"] || states["name B"]);
    dialog_.addToLogBox()->click();
    states = enabledStates();
    EXPECT_TRUE(states["Use Port Number"] && states["name A"]);

    dialog_.paragraphBox()->click();
    states = enabledStates();
    EXPECT_FALSE(states["Add to Log"] || states["Timestamp"] ||
                 states["Paragraph after time out of"] || states["time-out"]);
    dialog_.paragraphBox()->click();
    states = enabledStates();
    EXPECT_TRUE(states["Add to Log"] && states["Timestamp"] && states["time-out"]);

    // Another mode greys every complex-output control but keeps its value.
    dialog_.modeButton(LogMode::SingleHex)->click();
    states = enabledStates();
    for (const char* name :
         {"ASCII only", "Both", "HEX only", "Enable paragraph", "Single Line", "Add to Log",
          "Timestamp", "Paragraph after time out of", "time-out", "Use ASCII Symbols",
          "Use Hex Symbols", "bytes per row", "Use Port Number", "name A", "name B", "log A",
          "log B", "Use Millisconds"}) {
        EXPECT_FALSE(states[name]) << name;
    }
    EXPECT_TRUE(states["Enabled"] && states["Complex Output"] && states["OK"]);
    EXPECT_TRUE(dialog_.contentButton(LogContent::HexOnly)->isChecked());
    EXPECT_TRUE(dialog_.logSideBox(true)->isChecked());

    // Back to complex: all on again, then the content and port-name rules.
    dialog_.modeButton(LogMode::Complex)->click();
    states = enabledStates();
    EXPECT_FALSE(states["Use ASCII Symbols"]);
    EXPECT_TRUE(states["Use Hex Symbols"] && states["bytes per row"] && states["log A"]);
    EXPECT_TRUE(states["name A"]);
}

TEST_F(LoggingConfigureDialogTest, WhileLoggingOnlyEnabledAndTheSidesCanChange) {
    dialog_.Fill(LogSettings{});
    open(true);
    for (const auto& [name, enabled] : enabledStates()) {
        const bool expected = name == "Enabled" || name == "log A" || name == "log B" ||
                              name == "Help" || name == "OK" || name == "Cancel";
        EXPECT_EQ(enabled, expected) << name;
    }
    dialog_.logSideBox(false)->click();
    dialog_.okButton()->click();
    EXPECT_FALSE(dialog_.values().logB);
    // Logging stopped: the next showing is editable again.
    open(false);
    EXPECT_TRUE(dialog_.modeButton(LogMode::SingleHex)->isEnabled());
    EXPECT_TRUE(dialog_.bytesPerRowEdit()->isEnabled());
}

TEST_F(LoggingConfigureDialogTest, TheTimeColumnIsChosenForTheFormsThatTakeStamps) {
    LogSettings s;
    s.mode = LogMode::SingleHex;
    s.timeColumn = TimeColumn::SincePrevious;
    dialog_.Fill(s);
    open();
    QComboBox* box = dialog_.timeColumnBox();
    EXPECT_EQ(box->currentText(), "Since previous row");
    const std::pair<LogMode, bool> modes[] = {
        {LogMode::PlainAscii, false}, {LogMode::Complex, true}, {LogMode::SingleHex, true}};
    for (const auto& [mode, enabled] : modes) {
        dialog_.modeButton(mode)->click();
        EXPECT_EQ(box->isEnabled(), enabled) << static_cast<int>(mode);
    }
    box->setCurrentIndex(1);
    dialog_.okButton()->click();
    LogSettings read;
    dialog_.ReadInto(read);
    EXPECT_EQ(read.timeColumn, TimeColumn::Clock);
    open(true);
    EXPECT_FALSE(box->isEnabled()) << "the form of a log being written stays";
}

TEST_F(LoggingConfigureDialogTest, OkRefusesOutOfRangeNumbersWithTheirMessages) {
    struct Case {
        const char* bytesPerRow;
        const char* timeout;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"0", "100", {kRowMessage}},
        {"49", "100", {kRowMessage}},
        {"abc", "100", {kRowMessage}},
        {"16", "5001", {kTimeoutMessage}},
        {"0", "0", {kRowMessage, kTimeoutMessage}},
        {"48", "5000", {}},
    };
    dialog_.Fill(LogSettings{});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bytesPerRow) + " / " + c.timeout);
        prompt_.messages.clear();
        open();
        dialog_.bytesPerRowEdit()->setText(c.bytesPerRow);
        dialog_.timeoutEdit()->setText(c.timeout);
        dialog_.okButton()->click();
        EXPECT_EQ(prompt_.messages, c.messages);
        EXPECT_EQ(dialog_.isVisible(), !c.messages.empty());
        EXPECT_EQ(dialog_.values().bytesPerRow, c.messages.empty() ? "48" : "16");
    }
}

TEST_F(LoggingConfigureDialogTest, HelpAsksForItsTopic) {
    open();
    QSignalSpy help(&dialog_, &CLoggingConfigureDialog::helpRequested);
    dialog_.helpButton()->click();
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 105);
}

TEST(ConfigureLoggingCommand, OkHandsTheOptionsToTheMonitorAndCancelDoesNot) {
    FakeView view;
    FakeTtyBackend lines;
    LineMonitor monitor(view, lines);
    ScriptedPrompt prompt;
    CLoggingConfigureDialog dialog(prompt);
    dialog.Fill(monitor.logging().logSettings());

    const auto answer = [&](QPushButton* button, auto edit) {
        QTimer::singleShot(0, &dialog, [&dialog, button, edit] {
            edit(dialog);
            button->click();
        });
    };
    answer(dialog.okButton(), [](CLoggingConfigureDialog& d) {
        // The side boxes grey with the complex-output controls, so first the side.
        d.logSideBox(false)->click();
        d.modeButton(LogMode::PlainAscii)->click();
    });
    EXPECT_TRUE(configureLogging(dialog, monitor.logging()));
    EXPECT_EQ(monitor.logging().logSettings().mode, LogMode::PlainAscii);
    EXPECT_FALSE(monitor.sides().side(Side::B).logEnabled);
    EXPECT_TRUE(monitor.sides().side(Side::A).logEnabled);
    EXPECT_EQ(monitor.logging().logWriter().settings().mode, LogMode::PlainAscii);

    answer(dialog.cancelButton(),
           [](CLoggingConfigureDialog& d) { d.modeButton(LogMode::Complex)->click(); });
    EXPECT_FALSE(configureLogging(dialog, monitor.logging()));
    EXPECT_EQ(monitor.logging().logSettings().mode, LogMode::PlainAscii);
}

}  // namespace
