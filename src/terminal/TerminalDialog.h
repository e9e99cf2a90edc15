#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <array>
#include <string>

#include "terminal/AbortDialog.h"
#include "terminal/TerminalSettings.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pv {

class FileTransfer;
class TerminalControl;
class TerminalTextArea;
struct TerminalKey;

// The terminal window that stands in for side B: a text area that shows what side A receives
// and turns every key into input of side B, the options of that input, the function keys F2
// to F10 and the raw up- and download group. Modeless; the main window creates it once and
// shows it while the terminal runs. Everything it does goes to the TerminalControl; closing it
// with its close box says closedByUser, on which side B stops.
class CTerminalDialog : public QDialog {
    Q_OBJECT

  public:
    // The two templates: the text area 79 or 169 dialog units high.
    static constexpr int kSmallTemplate = 142;
    static constexpr int kLargeTemplate = 165;
    static constexpr int kHelpContext = 108;
    static constexpr int kFrameMs = 40;

    // Without a transfer the raw up- and download group stays disabled.
    CTerminalDialog(TerminalControl& terminal, int templateId, FileTransfer* transfer = nullptr,
                    QWidget* parent = nullptr);
    ~CTerminalDialog() override;

    // Shows the window with its controls filled from the settings.
    void OpenTerminal();
    // Hides it without stopping side B (side B is stopping already).
    void CloseTerminal();

    int templateId() const { return templateId_; }
    TerminalTextArea& textArea() const { return *text_; }
    // The control with the numeric id, or null.
    QWidget* control(int id) const;
    // The line under the text area that says why input was not sent.
    QLabel* statusLine() const { return status_; }
    // One frame: the text area shows what the model changed.
    void refresh();
    // "Copy": the selection of the text area to the clipboard.
    void Copy();
    // "Clear": the text area starts empty.
    void Clear();
    // "Search", "Upload" of File n (0 to 4) and the download button.
    void Search(int n);
    void Upload(int n);
    void OnDownload();
    // The open abort dialog of an upload, or null.
    CAbortDialog* abortDialog() const { return abort_; }

  signals:
    void helpRequested(int context);
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape on a control other than the text area closes the window like its close box.
    void reject() override;

  private:
    QWidget* buildOptionsRow();
    QGroupBox* buildKeysGroup();
    QGroupBox* buildTransferGroup();
    void connectHandlers();
    void fillControls();
    // The common handler: all controls into the settings, function key texts normalised.
    void readControls();
    void normaliseKeyTexts();
    void connectTransfer();
    void readTransferControls();
    // Corrects the delay fields, each correction with its message.
    void checkDelays();
    bool onKey(const TerminalKey& key);
    void paste();
    void say(const std::string& text);

    TerminalControl& terminal_;
    TerminalSettings& settings_;
    int templateId_;
    TerminalTextArea* text_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* echo_ = nullptr;
    QCheckBox* hexInput_ = nullptr;
    QCheckBox* controlKeys_ = nullptr;
    QButtonGroup* enterMode_ = nullptr;
    std::array<QLineEdit*, TerminalSettings::kKeyCount> keyTexts_{};
    std::array<QCheckBox*, TerminalSettings::kKeyCount> keyEnter_{};
    QCheckBox* keysHex_ = nullptr;
    QLabel* blanksHint_ = nullptr;
    std::array<QLineEdit*, TerminalSettings::kFileCount> filePaths_{};
    QCheckBox* delayOn_ = nullptr;
    QLineEdit* delayMs_ = nullptr;
    QLineEdit* delayBytes_ = nullptr;
    QLineEdit* linePause_ = nullptr;
    QLineEdit* waitFor_ = nullptr;
    QLineEdit* waitTimeout_ = nullptr;
    QPushButton* download_ = nullptr;
    FileTransfer* transfer_ = nullptr;
    QPointer<CAbortDialog> abort_;
    bool checkingDelays_ = false;
    QTimer frame_;
    bool filling_ = false;
};

}  // namespace pv
