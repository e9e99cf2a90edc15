#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>

#include "app/MainMenu.h"
#include "app/PortaVigilantDlg.h"
#include "base/CommandIds.h"
#include "recording/LoggingConfigureDialog.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

TEST(LoggingMenu, StartAndStopSwapTheirItemsShowTheIndicatorAndClosingStopsTheLog) {
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("menu.log");
    CPortaVigilantDlg window;
    QAction* start = window.menu().action(Command::LoggingStart);
    QAction* stop = window.menu().action(Command::LoggingStop);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(window.menu().action(Command::LoggingConfigure)->isEnabled());
    // The dialog starts with the options the engine uses.
    EXPECT_TRUE(window.loggingDialog().values().modeIndex == static_cast<int>(LogMode::Complex));

    ASSERT_TRUE(window.monitor().logging().StartLogging(path));
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(window.loggingIndicator()->isHidden());

    stop->trigger();
    EXPECT_FALSE(window.monitor().logging().loggingActive());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(window.loggingIndicator()->isHidden());

    ASSERT_TRUE(window.monitor().logging().StartLogging(path));
    window.close();
    EXPECT_FALSE(window.monitor().logging().loggingActive());
}

}  // namespace
