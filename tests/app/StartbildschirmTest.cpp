#include "app/Startbildschirm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace pv;

namespace {

TEST(StartbildschirmTest, ShowsCaptionVersionAndAPictureOverTheWholeWindow) {
    CStartbildschirm splash;
    splash.show();
    EXPECT_EQ(splash.windowTitle(), "starting PortaVigilant");
    auto* version = splash.findChild<QLabel*>("versionText");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "V6.01");

    const QImage image = splash.grab().toImage();
    const QColor plain = splash.palette().color(QPalette::Window);
    const int w = image.width() - 1;
    const int h = image.height() - 1;
    for (const QPoint& p : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
        EXPECT_NE(image.pixelColor(p), plain) << p.x() << "," << p.y();
    }
}

// Ticks are stepped by hand; no event loop runs, so the real timer stays out of the way.
TEST(StartbildschirmTest, ClosesOnlyOnTheFirstTickAfterTheMainWindowIsReady) {
    CStartbildschirm splash;
    QSignalSpy finished(&splash, &CStartbildschirm::finished);
    splash.show();

    for (int i = 0; i < 3; ++i) {
        splash.tick();
    }
    EXPECT_TRUE(splash.isVisible());

    // The user cannot close it, neither by the window's close request nor by Escape.
    EXPECT_FALSE(splash.close());
    QTest::keyClick(&splash, Qt::Key_Escape);
    EXPECT_TRUE(splash.isVisible());

    splash.mainWindowReady();
    EXPECT_TRUE(splash.isVisible()) << "closes on a tick, not on the ready signal itself";
    EXPECT_EQ(finished.count(), 0);

    splash.tick();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_TRUE(splash.hasFinished());
    EXPECT_EQ(finished.count(), 1);

    // A second ready (the main window closing) and later ticks change nothing.
    splash.mainWindowReady();
    splash.tick();
    EXPECT_EQ(finished.count(), 1);
}

// Its own timer ticks once a second; its ticks are fired by hand instead of waited for.
TEST(StartbildschirmTest, OwnTimerClosesItOnTheFirstTickAfterReady) {
    CStartbildschirm splash;
    splash.show();
    QTimer& timer = splash.tickTimer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), CStartbildschirm::kTickMs);
    const auto tick = [&] { ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout")); };
    tick();
    tick();
    EXPECT_TRUE(splash.isVisible()) << "no ready yet";

    splash.mainWindowReady();
    EXPECT_TRUE(splash.isVisible());
    tick();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(timer.isActive());
}

}  // namespace
