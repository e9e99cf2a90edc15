#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/DialogFrame.h"
#include "recording/LogSettings.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace pv {

class LoggingControl;
class Prompt;

// "Configure Logging": edits the logging options. The dialog object lives for the whole run and
// keeps its values between showings; "OK" takes over what was edited, "Cancel" drops it. While a
// log file is written only "Enabled" and the choice of logged sides can change.
class CLoggingConfigureDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 105;

    // The values the dialog keeps; a radio index of -1 is no selection.
    struct Values {
        bool enabled = true;
        int modeIndex = -1;
        int contentIndex = -1;
        bool timestamp = false;
        bool paragraph = true;
        bool portNames = false;
        std::string bytesPerRow = "16";
        bool asciiSymbols = false;
        bool hexSymbols = false;
        bool timeoutParagraph = false;
        std::string timeout = "100";
        bool singleLine = false;
        bool usePortNumber = false;
        std::string nameA;
        std::string nameB;
        bool logA = false;
        bool logB = false;
        bool milliseconds = false;
        int timeColumn = 0;  // a TimeColumn
    };

    explicit CLoggingConfigureDialog(Prompt& prompt, QWidget* parent = nullptr);

    void Fill(const LogSettings& settings);
    // Fields the dialog has no value for (no radio selected, the symbol tables) stay as they are.
    void ReadInto(LogSettings& settings) const;
    void setLoggingActive(bool active) { loggingActive_ = active; }
    const Values& values() const { return values_; }

    QCheckBox* enabledBox() const { return enabled_; }
    QRadioButton* modeButton(LogMode mode) const;
    QRadioButton* contentButton(LogContent content) const;
    QCheckBox* paragraphBox() const { return paragraph_; }
    QCheckBox* singleLineBox() const { return singleLine_; }
    QCheckBox* addToLogBox() const { return addToLog_; }
    QCheckBox* timestampBox() const { return timestamp_; }
    QCheckBox* millisecondsBox() const { return milliseconds_; }
    QCheckBox* asciiSymbolsBox() const { return asciiSymbols_; }
    QCheckBox* hexSymbolsBox() const { return hexSymbols_; }
    QLineEdit* bytesPerRowEdit() const { return bytesPerRow_; }
    QCheckBox* timeoutParagraphBox() const { return timeoutParagraph_; }
    QLineEdit* timeoutEdit() const { return timeout_; }
    QCheckBox* usePortNumberBox() const { return usePortNumber_; }
    QLineEdit* nameEdit(bool sideA) const { return sideA ? nameA_ : nameB_; }
    QCheckBox* logSideBox(bool sideA) const { return sideA ? logA_ : logB_; }
    QComboBox* timeColumnBox() const { return timeColumn_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    void showValues();
    Values valuesShown() const;
    void contentRule();
    void paragraphRule();
    void portNameRule();
    void portNumberRule();
    void modeRule();

    Prompt& prompt_;
    Values values_;
    bool loggingActive_ = false;
    QCheckBox* enabled_ = nullptr;
    std::array<QRadioButton*, 3> modes_{};
    std::array<QRadioButton*, 3> contents_{};
    QButtonGroup* modeGroup_ = nullptr;
    QButtonGroup* contentGroup_ = nullptr;
    QCheckBox* paragraph_ = nullptr;
    QCheckBox* singleLine_ = nullptr;
    QCheckBox* addToLog_ = nullptr;
    QCheckBox* timestamp_ = nullptr;
    QCheckBox* milliseconds_ = nullptr;
    QCheckBox* asciiSymbols_ = nullptr;
    QCheckBox* hexSymbols_ = nullptr;
    QLineEdit* bytesPerRow_ = nullptr;
    QCheckBox* timeoutParagraph_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QCheckBox* usePortNumber_ = nullptr;
    QLineEdit* nameA_ = nullptr;
    QLineEdit* nameB_ = nullptr;
    QCheckBox* logA_ = nullptr;
    QCheckBox* logB_ = nullptr;
    QComboBox* timeColumn_ = nullptr;
    // Everything only the complex output uses; the mode rule greys them together.
    std::vector<QWidget*> complex_;
};

// "Configure..." of the Logging menu: shows the dialog with the monitor's logging state and, on
// "OK", hands the edited options to the monitor. Returns whether the user chose "OK".
bool configureLogging(CLoggingConfigureDialog& dialog, LoggingControl& logging);

}  // namespace pv
