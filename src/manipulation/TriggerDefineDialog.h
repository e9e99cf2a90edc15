#pragma once

#include <vector>

#include "base/DialogFrame.h"
#include "manipulation/Trigger.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pv {

class Prompt;

// "Trigger -> Define": the pattern, the postscaler and the pulse. The settings change only on a
// successful "OK"; the caller hands them to the engine then.
class CTriggerDefineDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 107;

    explicit CTriggerDefineDialog(Prompt& prompt, QWidget* parent = nullptr);

    // Before showing; the controls take these values each time the dialog opens.
    void setSettings(const TriggerSettings& settings) { settings_ = settings; }
    // The values stored by the last "OK" (or set before).
    const TriggerSettings& settings() const { return settings_; }

    QCheckBox* activeBox() const { return active_; }
    QRadioButton* asciiRadio() const { return ascii_; }
    QRadioButton* hexRadio() const { return hex_; }
    QLineEdit* patternEdit() const { return pattern_; }
    QLineEdit* postscalerEdit() const { return postscaler_; }
    QCheckBox* autoDeactivateBox() const { return autoDeactivate_; }
    QCheckBox* outputActiveBox() const { return outputActive_; }
    QRadioButton* dtrRadio() const { return dtr_; }
    QRadioButton* rtsRadio() const { return rts_; }
    QRadioButton* highRadio() const { return high_; }
    QRadioButton* lowRadio() const { return low_; }
    QLineEdit* durationEdit() const { return duration_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    void loadControls();
    void updateEnabled();

    Prompt& prompt_;
    TriggerSettings settings_;

    QCheckBox* active_ = nullptr;
    QRadioButton* ascii_ = nullptr;
    QRadioButton* hex_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QLineEdit* postscaler_ = nullptr;
    QCheckBox* autoDeactivate_ = nullptr;
    QCheckBox* outputActive_ = nullptr;
    QRadioButton* dtr_ = nullptr;
    QRadioButton* rts_ = nullptr;
    QRadioButton* high_ = nullptr;
    QRadioButton* low_ = nullptr;
    QLineEdit* duration_ = nullptr;
    // Everything that "Activate" switches on and off.
    std::vector<QWidget*> armedControls_;
};

}  // namespace pv
