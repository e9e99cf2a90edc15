#include "app/PortaVigilantDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AboutDlg.h"
#include "app/ConfigureDialog.h"
#include "app/HelpWindow.h"
#include "app/IdentifierDialog.h"
#include "app/MainMenu.h"
#include "app/NoticeWindow.h"
#include "app/PriorityDialog.h"
#include "app/ProgramIcon.h"
#include "app/Screenshot.h"
#include "app/Startbildschirm.h"
#include "app/UpdateChecker.h"
#include "base/CommandIds.h"
#include "base/DialogKit.h"
#include "base/TextFormat.h"
#include "base/Version.h"
#include "datapath/DefineCharValueDialog.h"
#include "datapath/DisplayPanes.h"
#include "manipulation/ExchangeDefineDialog.h"
#include "manipulation/ExchangeQuickAccess.h"
#include "manipulation/TriggerDefineDialog.h"
#include "ports/ConnectionEthernetDialog.h"
#include "ports/PortSettingsBox.h"
#include "ports/SerialDeviceWatcher.h"
#include "recording/AbortProcessDialog.h"
#include "recording/LoggingConfigureDialog.h"
#include "terminal/TerminalDialog.h"

namespace pv {

namespace {

constexpr const char* kTextLoggingIndicator = "Logging activ !";
constexpr const char* kTextRateCaption = "Serial rate :";
constexpr const char* kRateTip = "Characters per second received on the serial ports";
constexpr const char* kTextRecorderIndicator = "Recorder activ !";
constexpr const char* kTextResponseTimes = "Response : %s (min %s, max %s)";
constexpr const char* kTextTitle = "PortaVigilant";
constexpr const char* kTextTitleWithIdentifier = "PortaVigilant - %s";
constexpr int kBlinkPeriodMs = 500;
constexpr int kWindowWidth = 900;
// However small the window, each pane keeps this many rows.
constexpr int kMinPaneRows = 4;
// Room for the title bar and borders the window manager adds, at least.
constexpr QSize kFrameAllowance(8, 40);
// Set in the test environment: the window never asks the network there.
constexpr const char* kNoUpdateCheckVariable = "PV_NO_UPDATE_CHECK";

int index(Side side) {
    return side == Side::A ? 0 : 1;
}

}  // namespace

CPortaVigilantDlg::CPortaVigilantDlg(QWidget* parent, const std::string& parameterPath)
    : CPortaVigilantDlg(chooseWindowLayout(screenHeight()), parent, parameterPath) {}

CPortaVigilantDlg::CPortaVigilantDlg(const WindowLayout& windowLayout, QWidget* parent,
                                     const std::string& parameterPath)
    : QWidget(parent),
      prompt_(this),
      monitor_(std::make_unique<LineMonitor>(*this)),
      help_(std::make_unique<HelpWindow>()),
      layout_(windowLayout) {
    setWindowIcon(programIcon());
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this,
            [this] { help_->showTopic(HelpWindow::kMainWindowContext); });
    panes_ = new DisplayPanes(monitor_->displayStep(), this);
    auto* sides = new QHBoxLayout;
    for (Side side : {Side::A, Side::B}) {
        boxes_[index(side)] = new PortSettingsBox(side, monitor_->sides(), this);
        sides->addWidget(boxes_[index(side)]);
    }
    terminal_ = std::make_unique<CTerminalDialog>(
        monitor_->terminal(),
        layout_.smallLayout ? CTerminalDialog::kSmallTemplate : CTerminalDialog::kLargeTemplate,
        &monitor_->transfer());
    connect(terminal_.get(), &CTerminalDialog::helpRequested, help_.get(), &HelpWindow::showTopic);
    connect(terminal_.get(), &CTerminalDialog::closedByUser, this,
            [this] { monitor_->sides().OnTerminalClosed(); });
    connect(boxes_[1], &PortSettingsBox::terminalClicked, this,
            [this] { monitor_->sides().StartTerminal(); });
    exchangeBox_ = new ExchangeQuickAccess(monitor_->exchange().settings(), prompt_, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    // On a screen too low even for the smallest panes the controls scroll instead of being cut.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    outer->addWidget(scroll_);
    content_ = new QWidget(scroll_);
    auto* layout = new QVBoxLayout(content_);
    layout->addWidget(panes_, 1);
    layout->addWidget(buildStatusRow());
    layout->addLayout(sides);
    loggingDialog_ = new CLoggingConfigureDialog(prompt_, this);
    loggingDialog_->Fill(monitor_->logging().logSettings());
    connectHelp(*loggingDialog_);
    connectHelp(exchangeBox_->dialog());
    layout->addWidget(exchangeBox_);
    scroll_->setWidget(content_);
    registerCommands();
    menu_ = new MainMenu(bar, monitor_->commands());
    // Timer 1: the indicators blink; the engine ignores ticks while no side runs.
    blinkTimer_ = new QTimer(this);
    connect(blinkTimer_, &QTimer::timeout, this, [this] {
        monitor_->logging().OnLoggingBlinkTick();
        monitor_->recorder().OnRecorderBlinkTick();
    });
    blinkTimer_->start(kBlinkPeriodMs);

    persistParameters_ = !parameterPath.empty();
    if (persistParameters_) {
        // A missing or broken file leaves the defaults; nothing to tell the user at start.
        monitor_->parameters().parameterFile().setPath(parameterPath);
        monitor_->parameters().LoadParameters();
    }
    for (Side side : {Side::A, Side::B}) {
        boxes_[index(side)]->write(monitor_->sides().settings(side),
                                   monitor_->sides().baudControls(side));
        sideStateChanged(side);
    }
    devices_ = new SerialDeviceWatcher("/sys", "/dev", this);
    connect(devices_, &SerialDeviceWatcher::devicesChanged, this,
            &CPortaVigilantDlg::refreshDevices);
    refreshDevices();
    monitor_->triggers().ShowTriggerState();
    applyLayout();
    resize(preferredSize_);
    updateTitle();
    startUpdateCheck();
}

// The sides stop while the windows they report to still exist (the terminal window among
// them); the panes go before the engine whose display step they show.
CPortaVigilantDlg::~CPortaVigilantDlg() {
    monitor_->sides().closeAll();
    delete panes_;
}

std::optional<int> CPortaVigilantDlg::screenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return std::nullopt;
    }
    return screen->geometry().height();
}

namespace {

// A pane showing `rows` rows, with its frame and the horizontal scroll bar that long rows bring.
int paneHeight(const QPlainTextEdit* edit, int rows) {
    const QFontMetrics metrics(edit->font());
    const QMargins margins = edit->contentsMargins();
    return rows * metrics.lineSpacing() + 2 * static_cast<int>(edit->document()->documentMargin()) +
           margins.top() + margins.bottom() + edit->horizontalScrollBar()->sizeHint().height();
}

}  // namespace

// The window opens with the layout's rows in each pane where the screen has room; the panes
// give up rows down to kMinPaneRows before anything else, and take any height the window adds.
void CPortaVigilantDlg::applyLayout() {
    QPlainTextEdit* panes[] = {panes_->asciiPane().widget(), panes_->hexPane().widget()};
    for (QPlainTextEdit* edit : panes) {
        edit->setMinimumHeight(paneHeight(edit, kMinPaneRows));
    }
    const int menuHeight = layout()->menuBar()->sizeHint().height();
    const QSize smallest = content_->minimumSizeHint();
    // Below this the controls scroll; above it nothing is ever cut off.
    unscrolledMinimum_ = QSize(smallest.width(), smallest.height() + menuHeight);
    const int extraRows = layout_.visibleLines - kMinPaneRows;
    preferredSize_ = QSize(
        std::max(kWindowWidth, unscrolledMinimum_.width()),
        unscrolledMinimum_.height() + extraRows * QFontMetrics(panes[0]->font()).lineSpacing());
}

void CPortaVigilantDlg::fitToScreen(const QRect& available) {
    // Before the window manager has framed the window its frame is not known (or reported as a
    // thin border): room for a title bar is kept all the same.
    const QSize frame = (frameGeometry().size() - size()).expandedTo(kFrameAllowance);
    const QSize room = available.size() - frame;
    resize(preferredSize_.boundedTo(room).expandedTo(QSize(1, 1)));
    const QRect outside(frameGeometry().topLeft(), size() + frame);
    if (!available.contains(outside)) {
        move(std::clamp(outside.left(), available.left(),
                        std::max(available.left(), available.right() + 1 - outside.width())),
             std::clamp(outside.top(), available.top(),
                        std::max(available.top(), available.bottom() + 1 - outside.height())));
    }
}

void CPortaVigilantDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        if (const QScreen* where = screen()) {
            fitToScreen(where->availableGeometry());
        }
    }
}

void CPortaVigilantDlg::updateTitle() {
    const std::string& identifier = monitor_->identifier();
    setWindowTitle(identifier.empty()
                       ? QString::fromLatin1(kTextTitle)
                       : fromCp1252(formatText(kTextTitleWithIdentifier, identifier.c_str())));
}

void CPortaVigilantDlg::startUpdateCheck() {
    // Without an update address not even a name is looked up.
    if (!monitor_->checkForUpdate() || *updatePageUrl() == '\0' ||
        qEnvironmentVariableIsSet(kNoUpdateCheckVariable)) {
        return;
    }
    updateChecker_ = new UpdateChecker(this);
    connect(updateChecker_, &UpdateChecker::newerVersion, this, [this](const QString& text) {
        prompt_.message(text.toStdString(), {}, PromptButtons::Ok, PromptIcon::Information);
    });
    updateChecker_->start(QString::fromLatin1(updatePageUrl()));
}

bool CPortaVigilantDlg::updateCheckRunning() const {
    return updateChecker_ != nullptr && updateChecker_->running();
}

QWidget* CPortaVigilantDlg::buildStatusRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    rate_ = new QLabel("0 c/s", row);
    rate_->setMinimumWidth(90);
    rate_->setToolTip(kRateTip);
    auto* rateCaption = new QLabel(kTextRateCaption, row);
    rateCaption->setBuddy(rate_);
    rateCaption->setToolTip(kRateTip);
    status_ = new QLineEdit(row);
    status_->setReadOnly(true);
    status_->setFocusPolicy(Qt::NoFocus);
    trigger_ = new QLabel(row);
    layout->addWidget(new QLabel("Trigger :", row));
    layout->addWidget(trigger_);
    layout->addWidget(rateCaption);
    layout->addWidget(rate_);
    layout->addWidget(status_, 1);
    responses_ = new QLabel(row);
    layout->addWidget(responses_);
    for (Side side : {Side::A, Side::B}) {
        QLabel*& label = lineErrors_[index(side)];
        label = new QLabel(row);
        label->setStyleSheet("color: red");
        label->setToolTip("Line errors the driver counted since the port was opened");
        label->hide();
        layout->addWidget(label);
    }
    loggingIndicator_ = new QLabel(kTextLoggingIndicator, row);
    loggingIndicator_->setStyleSheet("color: red");
    // Blinking must not make the rest of the row jump.
    QSizePolicy keepPlace = loggingIndicator_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    loggingIndicator_->setSizePolicy(keepPlace);
    loggingIndicator_->hide();
    layout->addWidget(loggingIndicator_);
    recorderIndicator_ = new QLabel(kTextRecorderIndicator, row);
    recorderIndicator_->setStyleSheet("color: red");
    recorderIndicator_->hide();
    layout->addWidget(recorderIndicator_);
    return row;
}

void CPortaVigilantDlg::registerCommands() {
    CommandTable& commands = monitor_->commands();
    commands.add(Command::FileClose, [this] { close(); });
    commands.add(Command::NetworkSettings, [this] { openNetworkSettings(); });
    commands.add(Command::TriggerDefine, [this] { openTriggerDefine(); });
    commands.add(Command::Help, [this] { help_->showTopic(HelpWindow::kMainWindowContext); });
    commands.add(Command::About, [this] { openAbout(); });
    commands.add(Command::LoggingConfigure,
                 [this] { configureLogging(*loggingDialog_, monitor_->logging()); });
    commands.add(Command::ExchangeDefine, [this] { exchangeBox_->OnExchangeDefine(); });
    commands.add(Command::Priority, [this] { openPriority(); });
    commands.add(Command::Identifier, [this] { openIdentifier(); });
    commands.add(Command::Configure, [this] { openConfigure(); });
    const struct {
        int id;
        int firstByte;
        bool ascii;
    } symbolCommands[] = {
        {Command::AsciiSymbols0, 0, true},     {Command::AsciiSymbols64, 64, true},
        {Command::AsciiSymbols128, 128, true}, {Command::AsciiSymbols192, 192, true},
        {Command::HexSymbols0, 0, false},      {Command::HexSymbols64, 64, false},
        {Command::HexSymbols128, 128, false},  {Command::HexSymbols192, 192, false},
    };
    for (const auto& c : symbolCommands) {
        commands.add(c.id, [this, c] { openSymbolDialog(c.firstByte, c.ascii); });
    }
}

void CPortaVigilantDlg::openSymbolDialog(int firstByte, bool ascii) {
    CDefineCharValueDialog dialog(monitor_->display().symbols(), prompt_, this);
    dialog.Configure(firstByte, ascii);
    runDialog(dialog);
}

void CPortaVigilantDlg::connectHelp(DialogFrame& dialog) {
    connect(&dialog, &DialogFrame::helpRequested, help_.get(), &HelpWindow::showTopic);
}

int CPortaVigilantDlg::runDialog(DialogFrame& dialog) {
    connectHelp(dialog);
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

void CPortaVigilantDlg::openPriority() {
    CPriorityDialog dialog(this);
    runDialog(dialog);
}

void CPortaVigilantDlg::openIdentifier() {
    CIdentifierDialog dialog(this);
    dialog.setText(monitor_->identifier());
    if (runDialog(dialog) == QDialog::Accepted) {
        monitor_->setIdentifier(dialog.text());
        updateTitle();
    }
}

void CPortaVigilantDlg::openConfigure() {
    CConfigureDialog dialog(this);
    dialog.setUpdateAvailable(*updatePageUrl() != '\0');
    dialog.setCheckForUpdate(monitor_->checkForUpdate());
    if (runDialog(dialog) == QDialog::Accepted) {
        monitor_->setCheckForUpdate(dialog.checkForUpdate());
    }
}

void CPortaVigilantDlg::openAbout() {
    CAboutDlg about(this);
    connect(&about, &CAboutDlg::helpRequested, help_.get(), &HelpWindow::showTopic);
    about.exec();
}

void CPortaVigilantDlg::openTriggerDefine() {
    CTriggerDefineDialog dialog(prompt_, this);
    dialog.setSettings(monitor_->triggers().trigger().settings());
    if (runDialog(dialog) == QDialog::Accepted) {
        monitor_->triggers().DefineTrigger(dialog.settings());
    }
    monitor_->triggers().ShowTriggerState();
}

void CPortaVigilantDlg::showTriggerStatus(const std::string& text) {
    trigger_->setText(QString::fromStdString(text));
}

void CPortaVigilantDlg::loggingStateChanged() {
    const LoggingControl::LoggingMenuState state = monitor_->logging().loggingMenuState();
    if (menu_ != nullptr) {
        menu_->setEnabledByRule(Command::LoggingStart, state.startEnabled);
        menu_->setEnabledByRule(Command::LoggingStop, state.stopEnabled);
    }
    loggingIndicator_->setVisible(monitor_->logging().loggingIndicatorShown());
}

void CPortaVigilantDlg::recorderStateChanged() {
    const RecorderControl& recorder = monitor_->recorder();
    const RecorderControl::RecorderMenuState state = recorder.recorderMenuState();
    if (menu_ != nullptr) {
        menu_->setEnabledByRule(Command::RecordStart, state.recordStartEnabled);
        menu_->setEnabledByRule(Command::RecordStop, state.recordStopEnabled);
        menu_->setEnabledByRule(Command::PlaybackStart, state.playbackStartEnabled);
    }
    recorderIndicator_->setVisible(recorder.recorderIndicatorShown());
}

// The dialog is window-modal and opened without a nested event loop: the playback's timer and
// the data path keep running on the main loop meanwhile.
void CPortaVigilantDlg::playbackStarted() {
    delete playbackDialog_;
    playbackDialog_ = new CAbortProcessDialog(this);
    playbackDialog_->setAttribute(Qt::WA_DeleteOnClose);
    playbackDialog_->setWindowModality(Qt::WindowModal);
    connect(playbackDialog_, &CAbortProcessDialog::abortRequested, this,
            [this] { monitor_->recorder().abortPlayback(); });
    playbackDialog_->open();
}

void CPortaVigilantDlg::playbackProgress(int percent, uint64_t sent, uint64_t total) {
    if (playbackDialog_ != nullptr) {
        playbackDialog_->setProgress(percent, sent, total);
    }
}

void CPortaVigilantDlg::playbackFinished(PlaybackState) {
    if (playbackDialog_ != nullptr) {
        playbackDialog_->finish();
    }
}

void CPortaVigilantDlg::parametersLoaded() {
    panes_->showBytesPerRow();
    loggingDialog_->Fill(monitor_->logging().logSettings());
    exchangeBox_->showActive();
    updateTitle();
}

void CPortaVigilantDlg::parametersOpened() {
    for (Side side : {Side::A, Side::B}) {
        boxes_[index(side)]->write(monitor_->sides().settings(side),
                                   monitor_->sides().baudControls(side));
    }
    panes_->Clear();
}

void CPortaVigilantDlg::openNetworkSettings() {
    if (const char* refusal = CheckNetworkConfigAllowed(
            monitor_->sides().side(Side::A).isNetwork, monitor_->sides().side(Side::B).isNetwork)) {
        prompt().message(refusal);
        return;
    }
    CConnectionEthernetDialog dialog(prompt_, this);
    dialog.setSettings(monitor_->sides().networkSettings());
    if (runDialog(dialog) == QDialog::Accepted) {
        monitor_->sides().networkSettings() = dialog.settings();
    }
}

// Closing ends a playback, then stops logging, recording, side A and side B, so the log and the
// recording hold all that was passed on; the settings are saved last, as they stand.
void CPortaVigilantDlg::closeEvent(QCloseEvent* event) {
    monitor_->stopAll();
    saveParameters();
    help_->close();
    event->accept();
}

void CPortaVigilantDlg::saveParameters() {
    if (persistParameters_) {
        monitor_->parameters().SaveParametersAtExit();
    }
}

void CPortaVigilantDlg::showResponseTimes(const ResponseTimes& times) {
    responses_->setText(QString::fromStdString(
        formatText(kTextResponseTimes, RowClock::responseText(times.lastUs).c_str() + 1,
                   RowClock::responseText(times.minUs).c_str() + 1,
                   RowClock::responseText(times.maxUs).c_str() + 1)));
}

void CPortaVigilantDlg::showRate(const RateDisplay::Tick& tick) {
    rate_->setText(QString::fromStdString(tick.rateText));
    rate_->setStyleSheet(tick.high ? "color: red" : "color: green");
    if (tick.setStatus) {
        status_->setText(QString::fromStdString(tick.statusText));
    }
}

void CPortaVigilantDlg::setMenuCheck(int commandId, bool on) {
    menu_->setChecked(commandId, on);
}

void CPortaVigilantDlg::refreshDevices() {
    std::vector<std::pair<std::string, std::string>> list;
    for (const SerialDeviceInfo& device : devices_->devices()) {
        list.emplace_back(device.stableId.empty() ? device.path : device.stableId,
                          device.description);
    }
    for (PortSettingsBox* box : boxes_) {
        box->setDevices(list);
    }
}

// The display step writes to the panes' models itself; they show it at frame rate.
void CPortaVigilantDlg::showBlock(Side, const uint8_t*, int) {}

void CPortaVigilantDlg::sideStateChanged(Side side) {
    boxes_[index(side)]->applyControlState(monitor_->sides().controlState(side));
}

bool CPortaVigilantDlg::openTerminalWindow() {
    terminal_->OpenTerminal();
    return true;
}

void CPortaVigilantDlg::closeTerminalWindow() {
    terminal_->CloseTerminal();
}

void CPortaVigilantDlg::readSettings(Side side, PortSettings& settings, BaudControls& baud) {
    boxes_[index(side)]->readInto(settings, baud);
}

void CPortaVigilantDlg::showBaudControls(Side side, const BaudControls& baud) {
    if (boxes_[index(side)] != nullptr) {
        boxes_[index(side)]->showBaud(baud);
    }
}

void CPortaVigilantDlg::showSettings(Side side) {
    boxes_[index(side)]->write(monitor_->sides().settings(side),
                               monitor_->sides().baudControls(side));
}

void CPortaVigilantDlg::showLineErrors(Side side, const std::string& text) {
    QLabel* label = lineErrors_[index(side)];
    label->setText(QString::asprintf("Comport %c: ", sideLetter(side)) +
                   QString::fromStdString(text));
    label->setVisible(!text.empty());
}

void CPortaVigilantDlg::setLineBox(Side side, ModemLine line, bool on) {
    boxes_[index(side)]->setLineBox(line, on);
}

int runMainWindow() {
    QApplication::setWindowIcon(programIcon());
    CStartbildschirm splash;
    splash.show();
    QCoreApplication::processEvents();
    CPortaVigilantDlg window(nullptr, ParameterFile::defaultPath());
    window.show();
    window.raise();
    window.activateWindow();
    // The splash closes at its next one-second tick, never before the window is ready.
    splash.mainWindowReady();
    armScreenshot(window);
    const int status = QApplication::exec();
    window.monitor().sides().waitForDrains();
    // A notice of the closing steps (a parameter file left alone, bytes dropped) would go with
    // the window; it stays until it is read.
    if (NoticeWindow* notices = window.qtPrompt().noticeWindow();
        notices != nullptr && notices->isVisible()) {
        notices->exec();
    }
    return status;
}

}  // namespace pv
