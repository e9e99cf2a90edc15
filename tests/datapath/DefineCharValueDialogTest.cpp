#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "datapath/DefineCharValueDialog.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

class DefineCharValueDialogTest : public ::testing::Test {
  protected:
    void open(int firstByte, bool asciiMode) {
        dialog_.Configure(firstByte, asciiMode);
        dialog_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
        dialog_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }
    QString field(int k) const { return dialog_.fieldEdit(k)->text(); }

    SymbolTables tables_;
    ScriptedPrompt prompt_;
    CDefineCharValueDialog dialog_{tables_, prompt_};
};

TEST_F(DefineCharValueDialogTest, ShowsTitleLabelsAndEntriesOfTheBlock) {
    open(192, false);
    EXPECT_EQ(dialog_.windowTitle(), "Define Hex Symbols, Set 192 ... 255");
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(dialog_.fieldLabel(k)->text(), QString::number(192 + k));
        EXPECT_EQ(field(k), QString::number(192 + k, 16).toUpper());
    }
    // The numbering runs down each column.
    const auto pos = [this](int k) { return dialog_.fieldLabel(k)->pos(); };
    EXPECT_EQ(pos(1).x(), pos(0).x());
    EXPECT_GT(pos(1).y(), pos(0).y());
    EXPECT_EQ(pos(8).y(), pos(0).y());
    EXPECT_GT(pos(8).x(), pos(7).x());
    EXPECT_GT(dialog_.fieldEdit(0)->pos().x(), pos(0).x());

    dialog_.reject();
    open(0, true);
    EXPECT_EQ(dialog_.windowTitle(), "Define ASCII Symbols, Set 0 ... 63");
    EXPECT_EQ(dialog_.fieldLabel(63)->text(), "63");
}

TEST_F(DefineCharValueDialogTest, PastedLineBreaksDoNotReachTheEntries) {
    open(0, true);
    dialog_.fieldEdit(10)->clear();
    QApplication::clipboard()->setText("\r\nLF\n");
    dialog_.fieldEdit(10)->paste();
    dialog_.fieldEdit(13)->clear();
    QApplication::clipboard()->setText("\r");
    dialog_.fieldEdit(13)->paste();
    EXPECT_EQ(field(10), "LF");
    EXPECT_EQ(field(13), "");
    dialog_.fieldEdit(13)->setText("CR");
    dialog_.okButton()->click();
    EXPECT_EQ(tables_.asciiSymbols[10], "LF");
    EXPECT_EQ(tables_.asciiSymbols[13], "CR");
}

TEST_F(DefineCharValueDialogTest, SetDefaultThenCancelLeavesTheTable) {
    tables_.asciiSymbols[0] = "zero";
    tables_.asciiSymbols[40] = "forty";
    const SymbolTables before = tables_;
    open(0, true);
    EXPECT_EQ(field(0), "zero");
    dialog_.fieldEdit(50)->setText("typed");
    dialog_.setDefaultButton()->click();
    for (int k = 0; k < 64; ++k) {
        const QString expected = k < 32 ? QString(QChar(0x2421)) : QString(QChar(k));
        EXPECT_EQ(field(k), expected) << k;
    }
    dialog_.cancelButton()->click();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_EQ(tables_.asciiSymbols, before.asciiSymbols);
    EXPECT_EQ(tables_.hexSymbols, before.hexSymbols);
}

TEST_F(DefineCharValueDialogTest, SetDefaultThenOkRestoresControlNames) {
    for (int b = 0; b < 64; ++b) {
        tables_.hexSymbols[static_cast<uint8_t>(b)] = "x";
    }
    open(0, false);
    dialog_.setDefaultButton()->click();
    dialog_.okButton()->click();
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(tables_.hexSymbols, SymbolSet::hexDefaults());
}

TEST_F(DefineCharValueDialogTest, OkNamesTheLastEmptyFieldAndStoresNothing) {
    const SymbolTables before = tables_;
    open(64, true);
    dialog_.fieldEdit(5)->clear();
    dialog_.fieldEdit(17)->clear();
    dialog_.fieldEdit(20)->setText(QString::fromUtf8("ä€"));
    dialog_.okButton()->click();
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0], "Empty edit fields are not allowed !\nField 17 is empty !");
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(tables_.asciiSymbols, before.asciiSymbols);

    dialog_.fieldEdit(5)->setText(" ");
    dialog_.fieldEdit(17)->setText("x");
    dialog_.okButton()->click();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(tables_.asciiSymbols[64 + 5], " ");
    EXPECT_EQ(tables_.asciiSymbols[64 + 17], "x");
    EXPECT_EQ(tables_.asciiSymbols[64 + 20], "\xE4\x80");
    EXPECT_EQ(prompt_.messages.size(), 1u);
}

TEST_F(DefineCharValueDialogTest, UnchangedBlockKeepsEveryByte) {
    // DEL, the bytes 1252 leaves undefined and long entries go through the fields unchanged;
    // only CR and LF, which no line of the parameter file can hold, are kept out.
    const std::string longEntry(40000, 'L');
    tables_.asciiSymbols[130] = longEntry;
    tables_.asciiSymbols[131] = "\x7F\x81\x8D\x8F\x90\x9D";
    std::string every;
    for (int b = 0; b < 256; ++b) {
        if (b != 0x0D && b != 0x0A) {
            every.push_back(static_cast<char>(b));
        }
    }
    tables_.asciiSymbols[132] = every;
    const SymbolTables before = tables_;
    for (int start : {0, 128}) {
        open(start, true);
        dialog_.okButton()->click();
        EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    }
    EXPECT_EQ(tables_.asciiSymbols, before.asciiSymbols);
    EXPECT_TRUE(prompt_.messages.empty());
}

TEST_F(DefineCharValueDialogTest, EnterDoesNotCloseAndHelpAsksForItsTopic) {
    QSignalSpy help(&dialog_, &CDefineCharValueDialog::helpRequested);
    open(0, false);
    // A button that had the focus once must not take Enter either.
    dialog_.okButton()->setFocus();
    dialog_.fieldEdit(3)->setFocus();
    QTest::keyClick(dialog_.fieldEdit(3), Qt::Key_Return);
    QTest::keyClick(dialog_.fieldEdit(3), Qt::Key_Enter);
    EXPECT_TRUE(dialog_.isVisible());
    QTest::keyClick(dialog_.fieldEdit(3), Qt::Key_F1);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 109);
}

}  // namespace
