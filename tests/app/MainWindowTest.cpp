#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/CommandIds.h"
#include "app/HelpWindow.h"
#include "app/MainMenu.h"
#include "app/PortaVigilantDlg.h"
#include "ports/PortSettingsBox.h"
#include "support/PtyPair.h"

namespace {

TEST(MainWindow, MenuItemsAreEnabledExactlyWhenTheirCommandHasAHandler) {
    CPortaVigilantDlg window;
    const int ids[] = {Command::FileOpen,
                       Command::FileSave,
                       Command::FileSaveAs,
                       Command::FileClose,
                       Command::LoggingStart,
                       Command::LoggingStop,
                       Command::LoggingConfigure,
                       Command::ExchangeDefine,
                       Command::TriggerDefine,
                       Command::RecordStart,
                       Command::RecordStop,
                       Command::PlaybackStart,
                       Command::NetworkSettings,
                       Command::Priority,
                       Command::Identifier,
                       Command::Configure,
                       Command::AsciiSymbols0,
                       Command::AsciiSymbols64,
                       Command::AsciiSymbols128,
                       Command::AsciiSymbols192,
                       Command::HexSymbols0,
                       Command::HexSymbols64,
                       Command::HexSymbols128,
                       Command::HexSymbols192,
                       Command::UseAsciiSymbols,
                       Command::UseHexSymbols,
                       Command::LocalEchoA,
                       Command::LocalEchoB,
                       Command::Help,
                       Command::About};
    CommandTable& commands = window.monitor().commands();
    for (int id : ids) {
        QAction* action = window.menu().action(id);
        ASSERT_NE(action, nullptr) << id;
        if (id == Command::LoggingStop || id == Command::RecordStop) {
            EXPECT_FALSE(action->isEnabled()) << id << " is grey at start";
        } else {
            EXPECT_EQ(action->isEnabled(), commands.has(id)) << id;
        }
    }
    EXPECT_TRUE(commands.has(Command::FileClose));
    EXPECT_TRUE(commands.has(Command::NetworkSettings));
    EXPECT_TRUE(commands.has(Command::TriggerDefine));
    EXPECT_TRUE(commands.has(Command::Help));
    for (int id : {Command::AsciiSymbols0, Command::HexSymbols192, Command::UseAsciiSymbols,
                   Command::UseHexSymbols, Command::ExchangeDefine, Command::LoggingStart,
                   Command::LoggingConfigure}) {
        EXPECT_TRUE(commands.has(id)) << id;
    }
    EXPECT_TRUE(commands.has(Command::About));
    EXPECT_EQ(window.triggerStatus()->text(), "Inactive");
}

TEST(MainWindow, HelpCommandOpensTheMainWindowTopic) {
    CPortaVigilantDlg window;
    ASSERT_TRUE(window.monitor().commands().dispatch(Command::Help));
    EXPECT_TRUE(window.help().isVisible());
    EXPECT_TRUE(window.help().windowTitle().startsWith("PortaVigilant Help"));
    window.close();
    EXPECT_FALSE(window.help().isVisible()) << "help closes with the main window";
}

TEST(MainWindow, ToggledItemsFollowTheirFlag) {
    CPortaVigilantDlg window;
    QAction* echo = window.menu().action(Command::LocalEchoB);
    echo->trigger();
    EXPECT_TRUE(window.monitor().side(Side::B).localEcho);
    EXPECT_TRUE(echo->isChecked());
    echo->trigger();
    EXPECT_FALSE(window.monitor().side(Side::B).localEcho);
    EXPECT_FALSE(echo->isChecked());
    QAction* symbols = window.menu().action(Command::UseHexSymbols);
    symbols->trigger();
    EXPECT_TRUE(window.monitor().display().useHexSymbols);
    EXPECT_TRUE(symbols->isChecked());
}

TEST(MainWindow, RateFieldColoursAndWarning) {
    CPortaVigilantDlg window;
    window.showRate(RateDisplay().tick(250, true));
    EXPECT_EQ(window.rateField()->text(), "250 c/s");
    EXPECT_TRUE(window.rateField()->styleSheet().contains("red"));
    EXPECT_EQ(window.statusLine()->text().toStdString(), kTextRateWarning);
    window.showRate(RateDisplay().tick(200, true));
    EXPECT_TRUE(window.rateField()->styleSheet().contains("green"));
}

TEST(MainWindow, StartButtonsFollowTheSideAndClosingStopsBoth) {
    PtyPair farA, farB;
    CPortaVigilantDlg window;
    PortSettingsBox& boxA = window.settingsBox(Side::A);
    PortSettingsBox& boxB = window.settingsBox(Side::B);
    boxA.portList()->setEditText(QString::fromStdString(farA.path()));
    boxB.portList()->setEditText(QString::fromStdString(farB.path()));
    boxA.startButton()->click();
    EXPECT_TRUE(window.monitor().side(Side::A).started);
    EXPECT_FALSE(boxA.startButton()->isEnabled());
    EXPECT_TRUE(boxA.stopButton()->isEnabled());
    EXPECT_FALSE(boxA.portList()->isEnabled());
    EXPECT_EQ(window.monitor().connectionName(Side::A), farA.path());
    EXPECT_FALSE(boxB.terminalButton()->isEnabled()) << "no terminal window in this version";
    boxB.startButton()->click();
    window.close();
    EXPECT_FALSE(window.monitor().side(Side::A).started);
    EXPECT_FALSE(window.monitor().side(Side::B).started);
    EXPECT_TRUE(boxB.startButton()->isEnabled());
}

}  // namespace
