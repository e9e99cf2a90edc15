#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "manipulation/TriggerDefineDialog.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

class TriggerDefineDialogTest : public ::testing::Test {
  protected:
    void open() {
        dialog_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
        dialog_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }
    std::vector<QWidget*> switchedControls() const {
        return {dialog_.asciiRadio(),     dialog_.hexRadio(),          dialog_.patternEdit(),
                dialog_.postscalerEdit(), dialog_.autoDeactivateBox(), dialog_.outputActiveBox(),
                dialog_.dtrRadio(),       dialog_.rtsRadio(),          dialog_.highRadio(),
                dialog_.lowRadio(),       dialog_.durationEdit()};
    }

    ScriptedPrompt prompt_;
    CTriggerDefineDialog dialog_{prompt_};
};

TEST_F(TriggerDefineDialogTest, OpensWithTheSettingsAndEnablesByActivate) {
    TriggerSettings s;
    s.active = true;
    s.asciiInput = false;
    s.setPatternText("0D0A");
    s.postscaler = -4;
    s.lineDtr = false;
    s.lineRts = true;
    s.levelHigh = false;
    s.durationMs = 250;
    dialog_.setSettings(s);
    open();
    EXPECT_EQ(dialog_.windowTitle(), "Trigger -> Define");
    EXPECT_TRUE(dialog_.hexRadio()->isChecked());
    EXPECT_EQ(dialog_.patternEdit()->text(), "0D0A");
    EXPECT_EQ(dialog_.postscalerEdit()->text(), "-4");
    EXPECT_TRUE(dialog_.rtsRadio()->isChecked());
    EXPECT_TRUE(dialog_.lowRadio()->isChecked());
    EXPECT_EQ(dialog_.durationEdit()->text(), "250");
    for (QWidget* control : switchedControls()) {
        EXPECT_TRUE(control->isEnabled()) << control->property("controlId").toInt();
    }

    dialog_.activeBox()->click();
    for (QWidget* control : switchedControls()) {
        EXPECT_FALSE(control->isEnabled()) << control->property("controlId").toInt();
    }
    EXPECT_TRUE(dialog_.activeBox()->isEnabled());
    EXPECT_TRUE(dialog_.okButton()->isEnabled());
    EXPECT_TRUE(dialog_.cancelButton()->isEnabled());
    EXPECT_TRUE(dialog_.helpButton()->isEnabled());
    dialog_.activeBox()->click();
    EXPECT_TRUE(dialog_.durationEdit()->isEnabled());
}

TEST_F(TriggerDefineDialogTest, OkStoresTheControls) {
    struct Case {
        const char* pattern;
        bool hex;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"0D0A", true, {0x0D, 0x0A}},
        {"0D 0A", true, {0x0D, 0x00}},  // a blank is a digit 0 here, and the last digit drops
        {"Ab\xC3\xA4", false, {0x41, 0x62, 0xE4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        TriggerSettings start;
        start.active = true;
        dialog_.setSettings(start);
        open();
        (c.hex ? dialog_.hexRadio() : dialog_.asciiRadio())->click();
        dialog_.patternEdit()->setText(QString::fromUtf8(c.pattern));
        dialog_.postscalerEdit()->setText("12 bytes");
        dialog_.autoDeactivateBox()->setChecked(false);
        dialog_.outputActiveBox()->setChecked(true);
        dialog_.rtsRadio()->click();
        dialog_.lowRadio()->click();
        dialog_.durationEdit()->setText("10000");
        dialog_.okButton()->click();
        EXPECT_EQ(dialog_.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog_.isVisible());

        const TriggerSettings& s = dialog_.settings();
        EXPECT_TRUE(s.active);
        EXPECT_EQ(s.asciiInput, !c.hex);
        ASSERT_EQ(s.patternLength, static_cast<int>(c.bytes.size()));
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), s.pattern.begin()));
        EXPECT_EQ(s.postscaler, 12);
        EXPECT_FALSE(s.autoDeactivate);
        EXPECT_TRUE(s.outputActive);
        EXPECT_FALSE(s.lineDtr);
        EXPECT_TRUE(s.lineRts);
        EXPECT_FALSE(s.levelHigh);
        EXPECT_EQ(s.durationMs, 10000);
    }
}

TEST_F(TriggerDefineDialogTest, PastedLineBreaksDoNotReachThePattern) {
    TriggerSettings start;
    start.active = true;
    dialog_.setSettings(start);
    open();
    QApplication::clipboard()->setText("OK\r\nERROR\r");
    dialog_.patternEdit()->paste();
    EXPECT_EQ(dialog_.patternEdit()->text(), "OKERROR");
    dialog_.okButton()->click();
    EXPECT_EQ(dialog_.settings().patternText(), "OKERROR");
}

TEST_F(TriggerDefineDialogTest, EmptyPatternSwitchesTheTriggerOffWithoutAMessage) {
    TriggerSettings start;
    start.active = true;
    start.setPatternText("x");
    dialog_.setSettings(start);
    open();
    dialog_.patternEdit()->clear();
    dialog_.okButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog_.settings().active);
    EXPECT_EQ(dialog_.settings().patternLength, 0);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(TriggerDefineDialogTest, BadDurationIsRefusedAndNothingIsStored) {
    TriggerSettings start;
    start.active = true;
    start.setPatternText("ab");
    dialog_.setSettings(start);
    open();
    dialog_.patternEdit()->setText("changed");
    const std::pair<const char*, const char*> cases[] = {
        {"5", "Enter an integer between 10 and 10000."},
        {"1e3", "Enter an integer."},
    };
    for (const auto& [text, message] : cases) {
        dialog_.durationEdit()->setText(text);
        dialog_.okButton()->click();
        ASSERT_FALSE(prompt_.messages.empty());
        EXPECT_EQ(prompt_.messages.back(), message);
        EXPECT_TRUE(dialog_.isVisible());
        EXPECT_TRUE(dialog_.durationEdit()->hasFocus());
        EXPECT_EQ(dialog_.settings().patternText(), "ab");
        EXPECT_EQ(dialog_.settings().durationMs, 100);
    }
    dialog_.cancelButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_EQ(dialog_.settings().patternText(), "ab");
}

TEST_F(TriggerDefineDialogTest, EnterKeepsTheDialogOpenAndHelpAsksForItsTopic) {
    open();
    QSignalSpy help(&dialog_, &CTriggerDefineDialog::helpRequested);
    dialog_.durationEdit()->setFocus();
    QTest::keyClick(dialog_.durationEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog_.isVisible());
    QTest::keyClick(&dialog_, Qt::Key_F1);
    dialog_.helpButton()->click();
    ASSERT_EQ(help.count(), 2);
    EXPECT_EQ(help.at(0).at(0).toInt(), 107);
}

}  // namespace
