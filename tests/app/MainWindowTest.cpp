#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

#include "app/HelpWindow.h"
#include "app/MainMenu.h"
#include "app/NoticeWindow.h"
#include "app/PortaVigilantDlg.h"
#include "base/CommandIds.h"
#include "datapath/DisplayPanes.h"
#include "ports/PortSettingsBox.h"
#include "support/ModalDialogs.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

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
    // The File commands have the keys a desktop user expects.
    const std::pair<int, const char*> keys[] = {{Command::FileOpen, "Ctrl+O"},
                                                {Command::FileSave, "Ctrl+S"},
                                                {Command::FileClose, "Ctrl+Q"}};
    for (const auto& [id, key] : keys) {
        EXPECT_EQ(window.menu().action(id)->shortcut().toString(), key) << id;
    }
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
    EXPECT_TRUE(window.monitor().sides().side(Side::B).localEcho);
    EXPECT_TRUE(echo->isChecked());
    echo->trigger();
    EXPECT_FALSE(window.monitor().sides().side(Side::B).localEcho);
    EXPECT_FALSE(echo->isChecked());
    QAction* symbols = window.menu().action(Command::UseHexSymbols);
    symbols->trigger();
    EXPECT_TRUE(window.monitor().display().useHexSymbols);
    EXPECT_TRUE(symbols->isChecked());
}

TEST(MainWindow, RateFieldColoursAndWarning) {
    CPortaVigilantDlg window;
    QLabel* caption = nullptr;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        caption = label->buddy() == window.rateField() ? label : caption;
    }
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "Serial rate :");
    window.showRate(RateDisplay().tick(250, true));
    EXPECT_EQ(window.rateField()->text(), "250 c/s");
    EXPECT_TRUE(window.rateField()->styleSheet().contains("red"));
    EXPECT_EQ(window.statusLine()->text().toStdString(), kTextRateWarning);
    window.showRate(RateDisplay().tick(200, true));
    EXPECT_TRUE(window.rateField()->styleSheet().contains("green"));
}

// The box's "reopen" is a setting of the side; unticked while the side waits, the side stops.
TEST(MainWindow, StartButtonsFollowTheSideAndClosingStopsBoth) {
    auto farA = std::make_unique<PtyPair>();
    PtyPair farB;
    CPortaVigilantDlg window;
    PortSettingsBox& boxA = window.settingsBox(Side::A);
    PortSettingsBox& boxB = window.settingsBox(Side::B);
    EXPECT_TRUE(boxA.reopenBox()->isChecked()) << "on by default";
    boxA.portList()->setEditText(QString::fromStdString(farA->path()));
    boxB.portList()->setEditText(QString::fromStdString(farB.path()));
    boxA.startButton()->click();
    EXPECT_TRUE(window.monitor().sides().side(Side::A).started);
    EXPECT_FALSE(boxA.startButton()->isEnabled());
    EXPECT_TRUE(boxA.stopButton()->isEnabled());
    EXPECT_FALSE(boxA.portList()->isEnabled());
    EXPECT_TRUE(boxA.reopenBox()->isEnabled()) << "it may change while the side runs";
    EXPECT_EQ(window.monitor().sides().connectionName(Side::A), farA->path());
    EXPECT_TRUE(boxB.terminalButton()->isEnabled()) << "side B is free to be the terminal";
    boxB.startButton()->click();
    EXPECT_FALSE(boxB.terminalButton()->isEnabled()) << "side B is a port now";

    EXPECT_FALSE(window.lineErrorField(Side::A)->isVisibleTo(&window));
    window.showLineErrors(Side::A, "2 overruns");
    EXPECT_TRUE(window.lineErrorField(Side::A)->isVisibleTo(&window));
    EXPECT_EQ(window.lineErrorField(Side::A)->text(), "Comport A: 2 overruns");

    farA.reset();
    ASSERT_TRUE(waitUntil([&] { return window.monitor().sides().waitingForDevice(Side::A); }));
    EXPECT_FALSE(boxA.lineBox(0)->isEnabled()) << "no lines while the device is away";
    boxA.reopenBox()->click();
    EXPECT_FALSE(window.monitor().sides().settings(Side::A).reopen);
    EXPECT_FALSE(window.monitor().sides().side(Side::A).started);
    EXPECT_TRUE(boxA.startButton()->isEnabled());
    window.close();
    EXPECT_FALSE(window.monitor().sides().side(Side::A).started);
    EXPECT_FALSE(window.monitor().sides().side(Side::B).started);
    EXPECT_TRUE(boxB.startButton()->isEnabled());
}

// The device field names a port on another machine, or offers the side as one; what is typed
// survives the settings going back into the box.
TEST(MainWindow, DeviceFieldTakesRemotePortsBothWays) {
    QTcpServer remote;
    ASSERT_TRUE(remote.listen(QHostAddress::LocalHost, 0));
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const std::string freePort = std::to_string(probe.serverPort());
    probe.close();
    const struct {
        std::string typed;
        bool remote;
    } cases[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(remote.serverPort()), true},
        {"rfc2217-server:127.0.0.1:" + freePort, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        CPortaVigilantDlg window;
        PortSettingsBox& boxA = window.settingsBox(Side::A);
        boxA.portList()->setEditText(QString::fromStdString(c.typed));
        boxA.startButton()->click();
        const PortSide& a = window.monitor().sides().side(Side::A);
        ASSERT_TRUE(a.started);
        EXPECT_EQ(a.isRemote, c.remote);
        EXPECT_EQ(a.isRfc2217Server, !c.remote);
        EXPECT_EQ(boxA.lineBox(0)->isEnabled(), c.remote) << "DTR and RTS go to a remote port";
        window.showSettings(Side::A);
        EXPECT_EQ(boxA.portList()->currentText().toStdString(), c.typed);
        window.close();
        EXPECT_FALSE(a.started);
    }
}

}  // namespace

namespace {

// Every menu command with a handler reaches it through the command table: each opens its own
// dialog (closed again here) or does its own visible thing.
TEST(MainWindowCommands, EveryMenuCommandReachesItsHandler) {
    CPortaVigilantDlg window;
    window.show();
    const struct {
        int id;
        const char* dialog;  // class of the dialog the command opens, or null
    } cases[] = {
        {Command::LoggingStart, "QFileDialog"},
        {Command::LoggingConfigure, "CLoggingConfigureDialog"},
        {Command::ExchangeDefine, "CExchangeDefineDialog"},
        {Command::TriggerDefine, "CTriggerDefineDialog"},
        {Command::NetworkSettings, "CConnectionEthernetDialog"},
        {Command::Priority, "CPriorityDialog"},
        {Command::Identifier, "CIdentifierDialog"},
        {Command::Configure, "CConfigureDialog"},
        {Command::AsciiSymbols0, "CDefineCharValueDialog"},
        {Command::AsciiSymbols64, "CDefineCharValueDialog"},
        {Command::AsciiSymbols128, "CDefineCharValueDialog"},
        {Command::AsciiSymbols192, "CDefineCharValueDialog"},
        {Command::HexSymbols0, "CDefineCharValueDialog"},
        {Command::HexSymbols64, "CDefineCharValueDialog"},
        {Command::HexSymbols128, "CDefineCharValueDialog"},
        {Command::HexSymbols192, "CDefineCharValueDialog"},
        {Command::About, "CAboutDlg"},
        {Command::RecordStart, "QFileDialog"},
        {Command::PlaybackStart, "QMessageBox"},  // side A is not started
        {Command::Help, nullptr},
        {Command::UseAsciiSymbols, nullptr},
        {Command::LocalEchoA, nullptr},
        {Command::FileClose, nullptr},
    };
    for (const auto& c : cases) {
        QAction* action = window.menu().action(c.id);
        ASSERT_NE(action, nullptr) << c.id;
        ASSERT_TRUE(action->isEnabled()) << c.id;
        DialogCloser closer;
        action->trigger();
        const std::vector<std::string> expected =
            c.dialog ? std::vector<std::string>{c.dialog} : std::vector<std::string>{};
        EXPECT_EQ(closer.seen, expected) << c.id;
    }
    EXPECT_FALSE(window.monitor().logging().loggingActive()) << "the file dialog was cancelled";
    EXPECT_TRUE(window.help().isHidden()) << "shown by Help, closed with the window";
    EXPECT_TRUE(window.monitor().display().useAsciiSymbols);
    EXPECT_TRUE(window.monitor().sides().side(Side::A).localEcho);
    EXPECT_FALSE(window.isVisible()) << "Close closed the window";
}

void startSerial(CPortaVigilantDlg& window, Side side, const PtyPair& far) {
    PortSettingsBox& box = window.settingsBox(side);
    box.portList()->setEditText(QString::fromStdString(far.path()));
    box.startButton()->click();
    ASSERT_TRUE(window.monitor().sides().side(side).started);
}

// The characters-per-second field and the status line, second by second, with the rate timer
// stepped by hand after the second's bytes have arrived.
TEST(MainWindowRate, FieldColourAndWarningFollowTheRateAndTheOutputSwitch) {
    PtyPair farA;
    CPortaVigilantDlg window;
    window.monitor().rateTimer().stop();
    startSerial(window, Side::A, farA);
    const std::string warning = kTextRateWarning;
    const struct {
        int bytes;
        bool output;
        const char* rate;
        bool red;
        std::string status;
    } seconds[] = {
        {250, true, "250 c/s", true, warning}, {250, true, "250 c/s", true, ""},
        {250, true, "250 c/s", true, warning}, {250, false, "250 c/s", true, ""},
        {250, false, "250 c/s", true, ""},     {200, true, "200 c/s", false, ""},
        {0, true, "0 c/s", false, ""},
    };
    long long total = 0;
    int second = 0;
    for (const auto& s : seconds) {
        if (window.monitor().displayStep().outputEnabled() != s.output) {
            window.panes().outputButton()->click();
        }
        farA.write(randomBytes(static_cast<size_t>(s.bytes), static_cast<unsigned>(second)));
        total += s.bytes;
        ASSERT_TRUE(
            waitUntil([&] { return window.monitor().sides().side(Side::A).totalShown == total; }));
        window.monitor().OnRateTimer();
        EXPECT_EQ(window.rateField()->text().toStdString(), s.rate) << second;
        EXPECT_TRUE(window.rateField()->styleSheet().contains(s.red ? "red" : "green")) << second;
        EXPECT_EQ(window.statusLine()->text().toStdString(), s.status) << second;
        ++second;
    }
}

// Only bytes read from a serial port count: here side A is a virtual port that another program
// writes to.
TEST(MainWindowRate, BytesFromAVirtualPortDoNotCount) {
    TempFolder dir;
    PtyPair farB;
    CPortaVigilantDlg window;
    window.monitor().rateTimer().stop();
    window.monitor().sides().setVirtualDirectory(dir.file("ports"));
    PortSettings virtualA;
    virtualA.serial = false;
    virtualA.isVirtual = true;
    virtualA.portNumber = 3;
    window.settingsBox(Side::A).write(virtualA, window.monitor().sides().baudControls(Side::A));
    window.settingsBox(Side::A).startButton()->click();
    ASSERT_TRUE(window.monitor().sides().side(Side::A).isVirtual);
    startSerial(window, Side::B, farB);

    const int program = ::open(dir.file("ports/COM3").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(program, 0);
    termios raw{};
    ::tcgetattr(program, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(program, TCSANOW, &raw);
    const auto fromProgram = randomBytes(300, 1);
    ASSERT_EQ(::write(program, fromProgram.data(), fromProgram.size()), 300);
    farB.write(randomBytes(40, 2));
    ASSERT_TRUE(waitUntil([&] {
        return window.monitor().sides().side(Side::A).totalShown == 300 &&
               window.monitor().sides().side(Side::B).totalShown == 40;
    }));
    window.monitor().OnRateTimer();
    EXPECT_EQ(window.rateField()->text(), "40 c/s");
    // Closed first: a port still held by another program is not deleted without a word.
    ::close(program);
}

// With logging on, the indicator blinks with timer 1 (500 ms) while a side runs and stands still
// otherwise. The timer's ticks are fired by hand instead of waited for.
TEST(MainWindowBlink, LoggingIndicatorBlinksOnlyWhileASideRuns) {
    TempFolder dir;
    PtyPair farA;
    CPortaVigilantDlg window;
    window.show();
    QTimer& timer = window.blinkTimer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 500);
    ASSERT_TRUE(window.monitor().logging().StartLogging(dir.file("blink.log")));
    QLabel* indicator = window.loggingIndicator();
    QApplication::processEvents();
    const QRect statusPlace = window.statusLine()->geometry();
    // The rest of the status row keeps its place while the indicator blinks.
    const auto tickChangesIt = [&] {
        const bool hidden = indicator->isHidden();
        EXPECT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
        QApplication::processEvents();
        EXPECT_EQ(window.statusLine()->geometry(), statusPlace);
        return indicator->isHidden() != hidden;
    };
    EXPECT_FALSE(indicator->isHidden());
    EXPECT_FALSE(tickChangesIt()) << "no side runs";
    startSerial(window, Side::A, farA);
    EXPECT_TRUE(tickChangesIt());
    EXPECT_TRUE(tickChangesIt());
    window.monitor().sides().StopSide(Side::A);
    EXPECT_FALSE(tickChangesIt()) << "stopped again";
}

// Records what the window does on closing, and the state at the save step.
class ClosingWindow : public CPortaVigilantDlg {
  public:
    void sideStateChanged(Side side) override {
        CPortaVigilantDlg::sideStateChanged(side);
        if (!monitor().sides().side(side).started) {
            steps.push_back(side == Side::A ? "stop A" : "stop B");
        }
    }
    void loggingStateChanged() override {
        CPortaVigilantDlg::loggingStateChanged();
        if (!monitor().logging().loggingActive()) {
            steps.push_back("stop logging");
        }
    }
    std::vector<std::string> steps;

  protected:
    void saveParameters() override {
        steps.push_back(std::string("save:") +
                        (monitor().logging().loggingActive() ? " logging" : "") +
                        (monitor().sides().side(Side::A).started ? " A" : "") +
                        (monitor().sides().side(Side::B).started ? " B" : ""));
    }
};

TEST(MainWindowClosing, StopsLoggingThenAThenBAndSavesLast) {
    TempFolder dir;
    PtyPair farA, farB;
    ClosingWindow window;
    startSerial(window, Side::A, farA);
    startSerial(window, Side::B, farB);
    ASSERT_TRUE(window.monitor().logging().StartLogging(dir.file("close.log")));
    farA.write(bytesOf("to B"));
    ASSERT_TRUE(waitUntil([&] { return window.monitor().sides().side(Side::A).totalShown == 4; }));
    ASSERT_EQ(farB.read(4), bytesOf("to B"));
    window.steps.clear();
    ASSERT_TRUE(window.monitor().commands().dispatch(Command::FileClose));
    EXPECT_EQ(window.steps,
              (std::vector<std::string>{"stop logging", "stop A", "stop B", "save:"}));
}

}  // namespace

namespace {

// A notice shows beside the window and returns at once; a repeat only raises its count.
TEST(MainWindow, NoticesNeverStopTheWindowAndRepeatsAreCounted) {
    CPortaVigilantDlg window;
    window.show();
    window.prompt().notice("Socket closed by Client !");
    window.prompt().notice("Socket closed by Client !");
    NoticeWindow* notices = static_cast<QtPrompt&>(window.prompt()).noticeWindow();
    ASSERT_NE(notices, nullptr);
    EXPECT_TRUE(notices->isVisible());
    EXPECT_FALSE(notices->isModal());
    EXPECT_EQ(notices->shownText(), "Socket closed by Client ! (2 times)");
    notices->reject();
    EXPECT_FALSE(notices->isVisible());
    window.prompt().notice("Socket closed by Client !");
    EXPECT_EQ(notices->shownText(), "Socket closed by Client !") << "a new episode";
}

}  // namespace
