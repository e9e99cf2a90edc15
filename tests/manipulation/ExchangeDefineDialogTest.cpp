#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "manipulation/ExchangeDefineDialog.h"
#include "manipulation/ExchangeQuickAccess.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(std::span<const uint8_t> span) {
    return Bytes(span.begin(), span.end());
}

class ExchangeDefineDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ExchangeSetFields hex;
        hex.active = true;
        hex.asciiInput = false;
        hex.wildcard = true;
        hex.addEnterReplace = true;
        hex.searchText = "41 3F";
        hex.replaceText = "0a";
        settings_.storeSet(2, exchangeSetOfFields(hex));
        settings_.RebuildPassCopies();
    }
    void open() {
        dialog_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    }
    const CExchangeDefineDialog::SetControls& set(int k) const { return dialog_.controls(k); }
    // Buttons are clicked on their indicator, whatever width the layout gave them.
    static void click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    static bool hintShown(const CExchangeDefineDialog::SetControls& c) {
        return !c.blanksHint->isHidden();
    }

    ExchangeSettings settings_;
    CExchangeDefineDialog dialog_{settings_};
};

TEST_F(ExchangeDefineDialogTest, OpeningShowsTheSetsAndEnablesFieldsOfActiveOnes) {
    open();
    EXPECT_EQ(dialog_.windowTitle(), "eXchange -> Define");
    EXPECT_TRUE(set(1).ascii->isChecked());
    EXPECT_FALSE(hintShown(set(1)));
    EXPECT_FALSE(set(1).search->isEnabled());
    EXPECT_EQ(set(1).search->font().family(), "Courier New");

    const auto& two = set(2);
    EXPECT_TRUE(two.activate->isChecked());
    EXPECT_TRUE(two.wildcard->isChecked());
    EXPECT_TRUE(two.hex->isChecked());
    EXPECT_TRUE(hintShown(two));
    EXPECT_FALSE(two.enterSearch->isChecked());
    EXPECT_TRUE(two.enterReplace->isChecked());
    EXPECT_EQ(two.search->text(), "41 3F ");
    EXPECT_EQ(two.replace->text(), "0A ");
    EXPECT_TRUE(two.search->isEnabled());
    EXPECT_TRUE(two.replace->isEnabled());
    EXPECT_EQ(two.activate->property("controlId").toInt(), 1050);
    EXPECT_EQ(set(3).blanksHint->property("controlId").toInt(), 1187);
}

TEST_F(ExchangeDefineDialogTest, ActivateAndModeFollowClicksWithoutConvertingTexts) {
    open();
    click(set(1).activate);
    EXPECT_TRUE(set(1).search->isEnabled());
    EXPECT_TRUE(set(1).replace->isEnabled());
    click(set(2).activate);
    EXPECT_FALSE(set(2).search->isEnabled());

    set(1).search->setText("0d 0A");
    click(set(1).hex);
    EXPECT_TRUE(hintShown(set(1)));
    EXPECT_EQ(set(1).search->text(), "0d 0A");
    click(set(2).ascii);
    EXPECT_FALSE(hintShown(set(2)));
    EXPECT_EQ(set(2).search->text(), "41 3F ");
}

TEST_F(ExchangeDefineDialogTest, OkStoresTheSetsAndCancelChangesNothing) {
    open();
    set(1).activate->setChecked(true);
    set(1).hex->setChecked(true);
    set(1).search->setText("0d 0A");
    set(1).replace->setText("2d");
    set(3).activate->setChecked(true);
    set(3).search->setText("OK");
    set(3).enterSearch->setChecked(true);
    set(3).replace->setText(QString::fromUtf8("€"));
    dialog_.cancelButton()->click();
    EXPECT_FALSE(settings_.set(1).active);
    EXPECT_FALSE(settings_.set(3).active);

    open();
    EXPECT_FALSE(set(3).activate->isChecked());
    set(1).activate->setChecked(true);
    set(1).hex->setChecked(true);
    set(1).search->setText("0d 0A");
    set(1).replace->setText("2d");
    set(2).search->setText("4");  // a single hex digit: no bytes, so the set goes off
    set(3).activate->setChecked(true);
    set(3).search->setText("OK");
    set(3).enterSearch->setChecked(true);
    set(3).replace->setText(QString::fromUtf8("€"));
    dialog_.okButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);

    EXPECT_TRUE(settings_.set(1).active);
    EXPECT_EQ(bytesOf(settings_.passCopy(1).searchBytes()), (Bytes{0x0D, 0x0A}));
    EXPECT_EQ(bytesOf(settings_.passCopy(1).replaceBytes()), (Bytes{0x2D}));
    EXPECT_FALSE(settings_.set(2).active);
    EXPECT_FALSE(settings_.passCopy(2).active);
    EXPECT_EQ(bytesOf(settings_.set(3).searchBytes()), (Bytes{'O', 'K'}));
    EXPECT_EQ(bytesOf(settings_.passCopy(3).searchBytes()), (Bytes{'O', 'K', 0x0D, 0x0A}));
    EXPECT_EQ(bytesOf(settings_.passCopy(3).replaceBytes()), (Bytes{0x80}));

    open();  // shown as entered, without the CR LF
    EXPECT_EQ(set(3).search->text(), "OK");
    EXPECT_EQ(set(3).replace->text(), QString::fromUtf8("€"));
    EXPECT_EQ(set(1).search->text(), "0D 0A ");
}

// A text saved as a line of the parameter file cannot hold a line break; "Add Enter" stands
// for the CR LF.
TEST_F(ExchangeDefineDialogTest, PastedLineBreaksDoNotReachTheFields) {
    ExchangeSet stored;
    const uint8_t withBreak[] = {'O', 0x0D, 'K'};
    stored.setSearch(withBreak);
    settings_.storeSet(3, stored);
    open();
    EXPECT_EQ(set(3).search->text(), "OK") << "a set read from an older file";
    set(1).search->setText("AZ");
    set(1).search->setCursorPosition(1);
    QApplication::clipboard()->setText("T\r\nX\n");
    set(1).search->paste();
    EXPECT_EQ(set(1).search->text(), "ATXZ");
    EXPECT_EQ(set(1).search->cursorPosition(), 3);
    set(1).activate->setChecked(true);
    dialog_.okButton()->click();
    EXPECT_EQ(bytesOf(settings_.set(1).searchBytes()), (Bytes{'A', 'T', 'X', 'Z'}));
}

TEST_F(ExchangeDefineDialogTest, EnterDoesNotCloseAndHelpAsksForItsTopic) {
    QSignalSpy help(&dialog_, &CExchangeDefineDialog::helpRequested);
    open();
    dialog_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    dialog_.okButton()->setFocus();
    set(2).search->setFocus();
    QTest::keyClick(set(2).search, Qt::Key_Return);
    EXPECT_TRUE(dialog_.isVisible());
    QTest::keyClick(set(2).search, Qt::Key_F1);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 103);
}

TEST(ExchangeQuickAccess, BoxesSwitchSetsAndRefuseOnesWithoutData) {
    const auto click = [](QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    };
    ExchangeSettings settings;
    ExchangeSetFields one;
    one.searchText = "A";
    settings.storeSet(1, exchangeSetOfFields(one));
    settings.RebuildPassCopies();
    ScriptedPrompt prompt;
    ExchangeQuickAccess box(settings, prompt);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.title(), "eXchange - quick access");
    EXPECT_EQ(box.setBox(2)->text(), "Set 2");

    click(box.setBox(1));
    EXPECT_TRUE(settings.passCopy(1).active);
    EXPECT_TRUE(prompt.messages.empty());
    click(box.setBox(2));
    EXPECT_FALSE(box.setBox(2)->isChecked());
    EXPECT_FALSE(settings.set(2).active);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "No Data entered for this parameter set.");
    click(box.setBox(1));
    EXPECT_FALSE(settings.AnyActive());

    // Command 40042: after the dialog the boxes show the sets.
    QTimer::singleShot(0, &box, [&] {
        box.dialog().controls(3).activate->setChecked(true);
        box.dialog().controls(3).search->setText("xyz");
        box.dialog().okButton()->click();
    });
    box.OnExchangeDefine();
    EXPECT_TRUE(box.setBox(3)->isChecked());
    EXPECT_FALSE(box.setBox(1)->isChecked());
}

}  // namespace
