#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/MainMenu.h"
#include "app/PortaVigilantDlg.h"
#include "base/CommandIds.h"
#include "ports/PortSettingsBox.h"
#include "recording/Records.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

// The items follow the recorder's state, the indicator shows while recording, and closing the
// window stops the recording. The "Processing" dialog shows the progress while the playback runs,
// "Abort now !" ends it at once, then "Finished !" and "Close", which closes and deletes it.
TEST(RecorderMenu, ItemsIndicatorAndTheProcessingDialog) {
    TempFolder dir;
    PtyPair farA;
    writeWholeFile(dir.file("pause.rec"), recordsOf({{0, 'a'}, {60000, 'b'}}));
    CPortaVigilantDlg window;
    window.show();
    PortSettingsBox& box = window.settingsBox(Side::A);
    box.portList()->setEditText(QString::fromStdString(farA.path()));
    box.startButton()->click();
    QAction* start = window.menu().action(Command::RecordStart);
    QAction* stop = window.menu().action(Command::RecordStop);
    QAction* play = window.menu().action(Command::PlaybackStart);
    const auto states = [&] {
        return std::vector<bool>{start->isEnabled(), stop->isEnabled(), play->isEnabled(),
                                 !window.recorderIndicator()->isHidden()};
    };
    ASSERT_TRUE(window.monitor().recorder().StartRecording(dir.file("menu.rec")));
    EXPECT_EQ(states(), (std::vector<bool>{false, true, true, true}));
    stop->trigger();
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false}));

    ASSERT_TRUE(window.monitor().recorder().StartPlayback(dir.file("pause.rec")));
    CAbortProcessDialog* dialog = window.playbackDialog();
    ASSERT_TRUE(dialog != nullptr && dialog->isVisible());
    EXPECT_EQ(states(), (std::vector<bool>{false, false, false, false}));
    ASSERT_TRUE(waitUntil([&] { return dialog->progressBar()->value() == 50; }));
    EXPECT_EQ(
        (QStringList{dialog->windowTitle(), dialog->sentLine()->text(), dialog->button()->text()}),
        (QStringList{"Processing", "1 of 2 bytes sent", "Abort now !"}));

    dialog->button()->click();
    EXPECT_EQ((QStringList{dialog->windowTitle(), dialog->button()->text()}),
              (QStringList{"Finished !", "Close"}));
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false}));
    dialog->button()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.playbackDialog(), nullptr);
    EXPECT_EQ(farA.read(1), bytesOf("a"));
    EXPECT_EQ(window.monitor().recorder().playback()->bytesSent(), 1u);
    ASSERT_TRUE(window.monitor().recorder().StartRecording(dir.file("menu.rec")));
    window.close();
    EXPECT_FALSE(window.monitor().recorder().recording());
}

}  // namespace
