#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/LineMonitor.h"
#include "app/QtPrompt.h"
#include "app/WindowLayout.h"
#include "recording/AbortProcessDialog.h"

class QDialog;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTimer;

namespace pv {

class DialogFrame;
class HelpWindow;
class CLoggingConfigureDialog;
class CTerminalDialog;
class ExchangeQuickAccess;
class DisplayPanes;
class MainMenu;
class PortSettingsBox;
class SerialDeviceWatcher;
class UpdateChecker;

// The main window. It shows the traffic and hands every user action to LineMonitor.
class CPortaVigilantDlg : public QWidget, public MonitorView {
    Q_OBJECT

  public:
    // parameterPath: the parameter file read now and written when the window closes; none (as
    // in tests) keeps the defaults and writes nothing. The layout follows the height of the
    // primary screen.
    explicit CPortaVigilantDlg(QWidget* parent = nullptr, const std::string& parameterPath = {});
    CPortaVigilantDlg(const WindowLayout& layout, QWidget* parent = nullptr,
                      const std::string& parameterPath = {});
    ~CPortaVigilantDlg() override;

    // The title names the identifier: "PortaVigilant - <identifier>", or "PortaVigilant".
    void updateTitle();
    const WindowLayout& windowLayout() const { return layout_; }
    // The size the window asks for: the layout's rows in each pane and every control in view.
    QSize preferredSize() const { return preferredSize_; }
    // The smallest size at which no control has to scroll out of view.
    QSize unscrolledMinimum() const { return unscrolledMinimum_; }
    // Sizes and places the window, frame included, inside the free part of a screen; the first
    // showing does this for the screen the window is on.
    void fitToScreen(const QRect& available);
    // Everything below the menu bar, which scrolls when the window is lower than all controls.
    QScrollArea* contentArea() const { return scroll_; }
    // The pixel height of the primary screen; nothing when there is no screen to ask.
    static std::optional<int> screenHeight();
    // "Check for update" (Extras > Configure....) is the engine's flag, which the parameter
    // file keeps: monitor().checkForUpdate().
    bool updateCheckRunning() const;

    LineMonitor& monitor() { return *monitor_; }
    PortSettingsBox& settingsBox(Side side) { return *boxes_[side == Side::A ? 0 : 1]; }
    ExchangeQuickAccess& exchangeQuickAccess() { return *exchangeBox_; }
    DisplayPanes& panes() { return *panes_; }

    Prompt& prompt() override { return prompt_; }
    QtPrompt& qtPrompt() { return prompt_; }
    void showBlock(Side side, const uint8_t* bytes, int count) override;
    void sideStateChanged(Side side) override;
    void readSettings(Side side, PortSettings& settings, BaudControls& baud) override;
    void showBaudControls(Side side, const BaudControls& baud) override;
    void setLineBox(Side side, ModemLine line, bool on) override;
    void showLineErrors(Side side, const std::string& text) override;
    void showSettings(Side side) override;
    bool openTerminalWindow() override;
    void closeTerminalWindow() override;
    void showRate(const RateDisplay::Tick& tick) override;
    void showResponseTimes(const ResponseTimes& times) override;
    void setMenuCheck(int commandId, bool on) override;
    void showTriggerStatus(const std::string& text) override;
    void loggingStateChanged() override;
    void recorderStateChanged() override;
    void playbackStarted() override;
    void playbackProgress(int percent, uint64_t sent, uint64_t total) override;
    void playbackFinished(PlaybackState state) override;
    void parametersLoaded() override;
    void parametersOpened() override;

    MainMenu& menu() { return *menu_; }
    QLabel* rateField() const { return rate_; }
    QLineEdit* statusLine() const { return status_; }
    QLabel* responseTimes() const { return responses_; }
    QLabel* triggerStatus() const { return trigger_; }
    QLabel* lineErrorField(Side side) const { return lineErrors_[side == Side::A ? 0 : 1]; }
    HelpWindow& help() { return *help_; }
    CTerminalDialog& terminalWindow() { return *terminal_; }
    QLabel* loggingIndicator() const { return loggingIndicator_; }
    QLabel* recorderIndicator() const { return recorderIndicator_; }
    // The "Processing" dialog of the playback, while it is open.
    CAbortProcessDialog* playbackDialog() const { return playbackDialog_; }
    // Timer 1, whose ticks blink the indicators.
    QTimer& blinkTimer() const { return *blinkTimer_; }
    CLoggingConfigureDialog& loggingDialog() { return *loggingDialog_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The last closing step, after logging, recording and both sides have stopped: the parameter
    // file is saved here, without a message.
    virtual void saveParameters();

  private:
    void refreshDevices();
    void registerCommands();
    void openNetworkSettings();
    void openTriggerDefine();
    void openAbout();
    void openSymbolDialog(int firstByte, bool ascii);
    void openPriority();
    void openIdentifier();
    void openConfigure();
    void applyLayout();
    void startUpdateCheck();
    // Help and F1 of a settings dialog open the help window, which stays usable beside it.
    void connectHelp(DialogFrame& dialog);
    int runDialog(DialogFrame& dialog);
    QWidget* buildStatusRow();

    QtPrompt prompt_;
    std::unique_ptr<LineMonitor> monitor_;
    PortSettingsBox* boxes_[2] = {};
    SerialDeviceWatcher* devices_ = nullptr;
    ExchangeQuickAccess* exchangeBox_ = nullptr;
    DisplayPanes* panes_ = nullptr;
    MainMenu* menu_ = nullptr;
    QLabel* rate_ = nullptr;
    QLineEdit* status_ = nullptr;
    QLabel* responses_ = nullptr;
    QLabel* trigger_ = nullptr;
    QLabel* lineErrors_[2] = {};
    std::unique_ptr<HelpWindow> help_;
    // A window of its own, like the help: it goes before the engine it shows.
    std::unique_ptr<CTerminalDialog> terminal_;
    QLabel* loggingIndicator_ = nullptr;
    QLabel* recorderIndicator_ = nullptr;
    QPointer<CAbortProcessDialog> playbackDialog_;
    CLoggingConfigureDialog* loggingDialog_ = nullptr;
    QTimer* blinkTimer_ = nullptr;
    bool persistParameters_ = false;
    WindowLayout layout_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QSize preferredSize_;
    QSize unscrolledMinimum_;
    bool fitted_ = false;
    UpdateChecker* updateChecker_ = nullptr;
};

// Shows the main window and runs the event loop until it closes.
int runMainWindow();

}  // namespace pv
