#include "app/AboutDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>

#include "app/HelpWindow.h"

using namespace pv;

namespace {

TEST(AboutDlgTest, ShowsIconNameAndVersion) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About PortaVigilant");
    auto* version = about.findChild<QLabel*>("versionLine");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "PortaVigilant Version 6.01");
    auto* icon = about.findChild<QLabel*>("programIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    // Wide enough for its caption in a bold title bar beside the window manager's buttons.
    about.show();
    QFont bold = about.font();
    bold.setBold(true);
    EXPECT_GE(about.width(), QFontMetrics(bold).horizontalAdvance(about.windowTitle()) + 100);
}

TEST(AboutDlgTest, F1AsksForItsTopicAndOkCloses) {
    CAboutDlg about;
    QSignalSpy help(&about, &CAboutDlg::helpRequested);
    about.show();
    auto* ok = about.findChild<QPushButton*>("okButton");
    ASSERT_NE(ok, nullptr);
    ok->setFocus();

    // F1 reaches the box from whichever control has the focus, and leaves it open.
    QTest::keyClick(ok, Qt::Key_F1);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toInt(), 102);
    EXPECT_TRUE(about.isVisible());

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace

namespace {

// While the About box is up, the help window it opened must still take clicks, as a help
// viewer beside a modal box does. The click goes through the window system, where blocking
// happens.
TEST(AboutDlgTest, HelpWindowTakesInputWhileTheBoxIsUp) {
    QWidget mainWindow;
    mainWindow.show();
    HelpWindow help;
    CAboutDlg about(&mainWindow);
    QObject::connect(&about, &CAboutDlg::helpRequested, &help, &HelpWindow::showTopic);
    about.show();
    ASSERT_TRUE(about.isModal());
    QTest::keyClick(&about, Qt::Key_F1);
    ASSERT_EQ(help.browser()->source(), HelpWindow::topicUrl(CAboutDlg::kHelpContext));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));

    auto* contents = help.findChild<QPushButton*>("contentsButton");
    ASSERT_NE(contents, nullptr);
    QTest::mouseClick(help.windowHandle(), Qt::LeftButton, {},
                      contents->mapTo(&help, contents->rect().center()));
    EXPECT_EQ(help.browser()->source(), HelpWindow::contentsUrl());
}

}  // namespace
