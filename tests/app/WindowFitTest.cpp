// The main window and the largest dialog on small screens. The test runs on an offscreen screen
// of 1024 x 600 pixels (set up in main below), the smallest screen the window is made for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <string>

#include "app/PortaVigilantDlg.h"
#include "datapath/DisplayPanes.h"
#include "recording/LoggingConfigureDialog.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

// Room a window manager takes for a title bar above the window.
constexpr int kTitleBar = 30;
// A desktop panel takes this much of the screen's height.
constexpr int kPanel = 30;

int rowsShown(const QPlainTextEdit* pane) {
    return pane->viewport()->height() / QFontMetrics(pane->font()).lineSpacing();
}

// Every control of the window that is shown lies inside the window and inside the part of the
// content area that is in view, so none is cut off or scrolled away. The panes' own scroll
// areas are controls, their insides are not.
std::string controlOutOfView(CPortaVigilantDlg& window) {
    QWidget* viewport = window.contentArea()->viewport();
    const QRect inView = viewport->rect();
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window) || w->isWindow()) {
            continue;
        }
        bool insidePane = false;
        for (QWidget* up = w->parentWidget(); up != nullptr && up != &window;
             up = up->parentWidget()) {
            insidePane = insidePane || qobject_cast<QPlainTextEdit*>(up) != nullptr;
        }
        if (insidePane || w == viewport || !viewport->isAncestorOf(w)) {
            continue;
        }
        const QRect at(w->mapTo(viewport, QPoint(0, 0)), w->size());
        if (!inView.contains(at)) {
            return w->metaObject()->className() + std::string(" '") +
                   w->objectName().toStdString() + "' " + std::to_string(at.x()) + "," +
                   std::to_string(at.y()) + " " + std::to_string(at.width()) + "x" +
                   std::to_string(at.height());
        }
    }
    return {};
}

// On every screen from 1024 x 600 up, with a panel and a title bar, the window fits whole: no
// control is cut off or scrolled away, the panes keep at least four rows and show the layout's
// rows where the screen has room for them, and growing the window grows the panes.
TEST(WindowFit, EveryControlIsInViewOnEveryScreen) {
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 600))
        << "the smallest screen served, set up in main";
    const struct {
        int screenHeight;  // picks the layout
        QRect available;   // what a panel leaves of the screen
        bool layoutRows;   // room for all of the layout's rows
    } cases[] = {
        {600, primary, false},
        {600, QRect(0, kPanel, 1024, 600 - kPanel), false},
        {768, QRect(0, 0, 1366, 768 - kPanel), false},
        {800, QRect(0, 0, 1280, 800 - kPanel), false},
        {1000, QRect(0, kPanel, 1600, 1000 - kPanel), true},
        {1080, QRect(0, 0, 1920, 1080 - kPanel), true},
    };
    for (const auto& c : cases) {
        const std::string name =
            std::to_string(c.available.width()) + "x" + std::to_string(c.available.height());
        CPortaVigilantDlg window(chooseWindowLayout(c.screenHeight));
        window.show();
        window.fitToScreen(c.available);
        QApplication::processEvents();
        EXPECT_TRUE(c.available.contains(window.frameGeometry())) << name;
        EXPECT_LE(window.height() + kTitleBar, c.available.height()) << name;
        EXPECT_FALSE(window.contentArea()->verticalScrollBar()->isVisible()) << name;
        EXPECT_FALSE(window.contentArea()->horizontalScrollBar()->isVisible()) << name;
        EXPECT_EQ(controlOutOfView(window), "") << name;
        QPlainTextEdit* hex = window.panes().hexPane().widget();
        QPlainTextEdit* ascii = window.panes().asciiPane().widget();
        EXPECT_GE(rowsShown(hex), 4) << name;
        EXPECT_EQ(rowsShown(ascii), rowsShown(hex)) << name;
        if (c.layoutRows) {
            EXPECT_GE(rowsShown(hex), window.windowLayout().visibleLines) << name;
        }
        const int before = hex->height();
        window.resize(window.width(), window.height() + 200);
        QApplication::processEvents();
        EXPECT_GE(hex->height(), before + 150) << name;
    }
}

// Lower than all controls, the window scrolls its controls instead of cutting them off.
TEST(WindowFit, ATooLowWindowScrollsToEveryControl) {
    CPortaVigilantDlg window;
    window.show();
    window.fitToScreen(QRect(0, 0, 1024, 300));
    QApplication::processEvents();
    EXPECT_LE(window.height(), 300);
    QScrollBar* bar = window.contentArea()->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_GE(window.contentArea()->widget()->height(),
              window.unscrolledMinimum().height() - window.layout()->menuBar()->height());
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    QWidget* last = window.contentArea()->widget();
    const QRect inView = window.contentArea()->viewport()->rect();
    const QPoint bottom =
        last->mapTo(window.contentArea()->viewport(), QPoint(0, last->height() - 1));
    EXPECT_TRUE(inView.contains(bottom));
}

// The largest settings dialog fits the smallest screen with its title bar and a panel.
TEST(WindowFit, LoggingDialogFitsTheSmallestScreen) {
    ScriptedPrompt prompt;
    CLoggingConfigureDialog dialog(prompt);
    dialog.show();
    QApplication::processEvents();
    EXPECT_LE(dialog.height() + kTitleBar + kPanel, 600);
    EXPECT_LE(dialog.width(), 1024);
}

}  // namespace

// The offscreen platform with one screen of 1024 x 600 pixels.
int main(int argc, char** argv) {
    QTemporaryDir folder;
    const QString config = folder.filePath("screens.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return 2;
    }
    file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 600,
                   "logicalDpi": 96, "logicalBpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    qputenv("PV_NO_UPDATE_CHECK", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
