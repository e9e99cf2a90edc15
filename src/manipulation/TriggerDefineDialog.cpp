#include "manipulation/TriggerDefineDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/DialogKit.h"
#include "base/Prompt.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "Trigger -> Define";
constexpr const char* kTextAscii = "ASCII";
constexpr const char* kTextHex = "Hex";
constexpr const char* kTextPatternLabel =
    "Trigger : (Trigger will be disabled in case of no content)";
constexpr const char* kTextPostscaler = "Postscaler :";
constexpr const char* kTextAutoDeactivate = "Auto Deactivate";
constexpr const char* kTextActivate = "Activate";
constexpr const char* kTextOutputGroup = "Trigger Output";
constexpr const char* kTextLineGroup = "Line";
constexpr const char* kTextDtr = "DTR";
constexpr const char* kTextRts = "RTS";
constexpr const char* kTextLevelGroup = "Level";
constexpr const char* kTextHigh = "High";
constexpr const char* kTextLow = "Low";
constexpr const char* kTextDuration = "Duration [ms] :";

}  // namespace

CTriggerDefineDialog::CTriggerDefineDialog(Prompt& prompt, QWidget* parent)
    : DialogFrame(kTextCaption, kHelpContext,
                  {.help = 1096, .cancel = 1098, .ok = 1099, .hiddenDefault = 1097}, parent),
      prompt_(prompt) {
    ascii_ = withId(new QRadioButton(kTextAscii, this), 1101);
    hex_ = withId(new QRadioButton(kTextHex, this), 1102);
    auto* inputGroup = new QButtonGroup(this);
    inputGroup->addButton(ascii_);
    inputGroup->addButton(hex_);
    auto* patternLabel = new QLabel(kTextPatternLabel, this);
    pattern_ = withId(new QLineEdit(this), 1103);
    refuseLineBreaks(pattern_);
    postscaler_ = withId(new QLineEdit(this), 1104);
    autoDeactivate_ = withId(new QCheckBox(kTextAutoDeactivate, this), 1105);
    active_ = withId(new QCheckBox(kTextActivate, this), 1100);

    auto* outputGroup = new QGroupBox(kTextOutputGroup, this);
    outputActive_ = withId(new QCheckBox(kTextActivate, outputGroup), 1183);
    auto* lineGroup = new QGroupBox(kTextLineGroup, outputGroup);
    dtr_ = withId(new QRadioButton(kTextDtr, lineGroup), 1185);
    rts_ = withId(new QRadioButton(kTextRts, lineGroup), 1184);
    auto* levelGroup = new QGroupBox(kTextLevelGroup, outputGroup);
    high_ = withId(new QRadioButton(kTextHigh, levelGroup), 1186);
    low_ = withId(new QRadioButton(kTextLow, levelGroup), 1187);
    duration_ = withId(new QLineEdit(outputGroup), 1106);

    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(ascii_);
    inputRow->addWidget(hex_);
    inputRow->addWidget(patternLabel, 1);
    auto* form = new QFormLayout;
    form->addRow(kTextPostscaler, postscaler_);

    auto* lineLayout = new QVBoxLayout(lineGroup);
    lineLayout->addWidget(dtr_);
    lineLayout->addWidget(rts_);
    auto* levelLayout = new QVBoxLayout(levelGroup);
    levelLayout->addWidget(high_);
    levelLayout->addWidget(low_);
    auto* groupsRow = new QHBoxLayout;
    groupsRow->addWidget(lineGroup);
    groupsRow->addWidget(levelGroup);
    auto* durationForm = new QFormLayout;
    durationForm->addRow(kTextDuration, duration_);
    auto* outputLayout = new QVBoxLayout(outputGroup);
    outputLayout->addWidget(outputActive_);
    outputLayout->addLayout(groupsRow);
    outputLayout->addLayout(durationForm);

    addContent(inputRow);
    addContent(pattern_);
    addContent(form);
    addContent(autoDeactivate_);
    addContent(outputGroup);
    addBesideButtons(active_);

    armedControls_ = {
        ascii_,      hex_,      patternLabel, pattern_,      postscaler_, autoDeactivate_,
        outputGroup, lineGroup, levelGroup,   outputActive_, dtr_,        rts_,
        high_,       low_,      duration_};

    connect(active_, &QCheckBox::clicked, this, &CTriggerDefineDialog::updateEnabled);
    loadControls();
}

void CTriggerDefineDialog::showEvent(QShowEvent* event) {
    loadControls();
    DialogFrame::showEvent(event);
}

void CTriggerDefineDialog::loadControls() {
    active_->setChecked(settings_.active);
    ascii_->setChecked(settings_.asciiInput);
    hex_->setChecked(!settings_.asciiInput);
    pattern_->setText(fromCp1252(settings_.patternText()));
    postscaler_->setText(QString::number(settings_.postscaler));
    autoDeactivate_->setChecked(settings_.autoDeactivate);
    outputActive_->setChecked(settings_.outputActive);
    dtr_->setChecked(settings_.lineDtr);
    rts_->setChecked(!settings_.lineDtr);
    high_->setChecked(settings_.levelHigh);
    low_->setChecked(!settings_.levelHigh);
    duration_->setText(QString::number(settings_.durationMs));
    updateEnabled();
}

void CTriggerDefineDialog::updateEnabled() {
    const bool on = active_->isChecked();
    for (QWidget* control : armedControls_) {
        control->setEnabled(on);
    }
}

void CTriggerDefineDialog::okClicked() {
    int32_t duration = 0;
    if (const auto message = CheckTriggerDuration(toCp1252(duration_->text()), duration)) {
        prompt_.message(*message, {}, PromptButtons::Ok, PromptIcon::Warning);
        duration_->setFocus();
        duration_->selectAll();
        return;
    }
    TriggerSettings edited = settings_;
    edited.active = active_->isChecked();
    edited.asciiInput = ascii_->isChecked();
    edited.autoDeactivate = autoDeactivate_->isChecked();
    edited.outputActive = outputActive_->isChecked();
    edited.levelHigh = high_->isChecked();
    edited.durationMs = duration;
    edited.lineDtr = dtr_->isChecked();
    edited.lineRts = !edited.lineDtr;
    edited.setPatternText(toCp1252(pattern_->text()));
    edited.postscaler = postscalerValue(toCp1252(postscaler_->text()));
    if (edited.patternLength == 0) {
        edited.active = false;
    }
    settings_ = edited;
    accept();
}

}  // namespace pv
