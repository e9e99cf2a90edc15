#include "recording/LoggingConfigureDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/DialogKit.h"
#include "base/Prompt.h"
#include "recording/LoggingControl.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "Configure Logging";
constexpr const char* kTextEnabled = "Enabled";
constexpr const char* kTextModeGroup = "Mode";
constexpr std::array<const char*, 3> kTextModes = {"Single Hex characters (short Timestamps)",
                                                   "Plain ASCII (no Timestamps)", "Complex Output"};
constexpr const char* kTextContentGroup = "Content";
constexpr std::array<const char*, 3> kTextContents = {"ASCII only", "Both", "HEX only"};
constexpr const char* kTextParagraph = "Enable paragraph";
constexpr const char* kTextSingleLine = "Single Line";
constexpr const char* kTextTimestamp = "Timestamp";
constexpr const char* kTextMilliseconds = "Use Millisconds";
constexpr const char* kTextPortNamesGroup = "Portnames";
constexpr const char* kTextAddToLog = "Add to Log";
constexpr const char* kTextUsePortNumber = "Use Port Number";
constexpr const char* kTextNameA = "Comport A:";
constexpr const char* kTextNameB = "Comport B:";
constexpr const char* kTextAsciiSymbols = "Use ASCII Symbols";
constexpr const char* kTextHexSymbols = "Use Hex Symbols";
constexpr const char* kTextBytesPerRow = "Bytes per row :";
constexpr const char* kTextBytesPerRowMax = "(max 48)";
constexpr const char* kTextTimeoutParagraph = "Paragraph after time out of";
constexpr const char* kTextMs = "ms";
constexpr const char* kTextLogWhichGroup = "Log which port? ";
constexpr const char* kTextLogA = "Comport A";
constexpr const char* kTextLogB = "Comport B";
constexpr const char* kTextTimeColumn = "Time column :";
// The panes' choices, in TimeColumn order.
constexpr const char* kTimeColumnChoices[] = {"Off", "Time of day", "Since start",
                                              "Since previous row"};

QCheckBox* makeBox(const char* text, QWidget* parent) {
    return new QCheckBox(QString::fromUtf8(text), parent);
}

}  // namespace

CLoggingConfigureDialog::CLoggingConfigureDialog(Prompt& prompt, QWidget* parent)
    : DialogFrame(QString::fromUtf8(kTextCaption), kHelpContext, {}, parent), prompt_(prompt) {
    enabled_ = makeBox(kTextEnabled, this);

    auto* modeBox = new QGroupBox(QString::fromUtf8(kTextModeGroup), this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeGroup_ = new QButtonGroup(this);
    for (size_t k = 0; k < modes_.size(); ++k) {
        modes_[k] = new QRadioButton(QString::fromUtf8(kTextModes[k]), modeBox);
        modeGroup_->addButton(modes_[k], static_cast<int>(k));
        modeLayout->addWidget(modes_[k]);
    }

    auto* contentBox = new QGroupBox(QString::fromUtf8(kTextContentGroup), this);
    auto* contentLayout = new QHBoxLayout(contentBox);
    contentGroup_ = new QButtonGroup(this);
    for (size_t k = 0; k < contents_.size(); ++k) {
        contents_[k] = new QRadioButton(QString::fromUtf8(kTextContents[k]), contentBox);
        contentGroup_->addButton(contents_[k], static_cast<int>(k));
        contentLayout->addWidget(contents_[k]);
    }

    paragraph_ = makeBox(kTextParagraph, this);
    singleLine_ = makeBox(kTextSingleLine, this);
    timestamp_ = makeBox(kTextTimestamp, this);
    milliseconds_ = makeBox(kTextMilliseconds, this);
    asciiSymbols_ = makeBox(kTextAsciiSymbols, this);
    hexSymbols_ = makeBox(kTextHexSymbols, this);

    auto* namesBox = new QGroupBox(QString::fromUtf8(kTextPortNamesGroup), this);
    auto* namesLayout = new QGridLayout(namesBox);
    addToLog_ = makeBox(kTextAddToLog, namesBox);
    usePortNumber_ = makeBox(kTextUsePortNumber, namesBox);
    nameA_ = new QLineEdit(namesBox);
    nameB_ = new QLineEdit(namesBox);
    refuseLineBreaks(nameA_);
    refuseLineBreaks(nameB_);
    namesLayout->addWidget(addToLog_, 0, 0);
    namesLayout->addWidget(usePortNumber_, 0, 1);
    namesLayout->addWidget(new QLabel(QString::fromUtf8(kTextNameA), namesBox), 1, 0);
    namesLayout->addWidget(nameA_, 1, 1);
    namesLayout->addWidget(new QLabel(QString::fromUtf8(kTextNameB), namesBox), 2, 0);
    namesLayout->addWidget(nameB_, 2, 1);

    bytesPerRow_ = new QLineEdit(this);
    timeoutParagraph_ = makeBox(kTextTimeoutParagraph, this);
    timeout_ = new QLineEdit(this);
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("000000"));
    bytesPerRow_->setMaximumWidth(numberWidth);
    timeout_->setMaximumWidth(numberWidth);
    auto* rowLine = new QHBoxLayout;
    rowLine->addWidget(new QLabel(QString::fromUtf8(kTextBytesPerRow), this));
    rowLine->addWidget(bytesPerRow_);
    rowLine->addWidget(new QLabel(QString::fromUtf8(kTextBytesPerRowMax), this));
    rowLine->addStretch();
    auto* timeoutLine = new QHBoxLayout;
    timeoutLine->addWidget(timeoutParagraph_);
    timeoutLine->addWidget(timeout_);
    timeoutLine->addWidget(new QLabel(QString::fromUtf8(kTextMs), this));
    timeoutLine->addStretch();

    timeColumn_ = new QComboBox(this);
    for (const char* choice : kTimeColumnChoices) {
        timeColumn_->addItem(QString::fromUtf8(choice));
    }
    // On the row line, so that the dialog still fits a screen of 600 pixels.
    rowLine->addWidget(new QLabel(QString::fromUtf8(kTextTimeColumn), this));
    rowLine->addWidget(timeColumn_);

    auto* sidesBox = new QGroupBox(QString::fromUtf8(kTextLogWhichGroup), this);
    auto* sidesLayout = new QHBoxLayout(sidesBox);
    logA_ = makeBox(kTextLogA, sidesBox);
    logB_ = makeBox(kTextLogB, sidesBox);
    sidesLayout->addWidget(logA_);
    sidesLayout->addWidget(logB_);

    addContent(enabled_);
    // Side by side, so that the dialog fits a screen of 600 pixels with its title bar.
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(modeBox);
    kinds->addWidget(contentBox);
    addContent(kinds);
    auto* boxes = new QGridLayout;
    boxes->addWidget(paragraph_, 0, 0);
    boxes->addWidget(singleLine_, 0, 1);
    boxes->addWidget(timestamp_, 1, 0);
    boxes->addWidget(milliseconds_, 1, 1);
    boxes->addWidget(asciiSymbols_, 2, 0);
    boxes->addWidget(hexSymbols_, 2, 1);
    addContent(boxes);
    addContent(namesBox);
    addContent(rowLine);
    addContent(timeoutLine);
    addContent(sidesBox);

    complex_ = {contents_[0], contents_[1], contents_[2],      paragraph_, singleLine_,
                addToLog_,    timestamp_,   timeoutParagraph_, timeout_,   asciiSymbols_,
                hexSymbols_,  bytesPerRow_, usePortNumber_,    nameA_,     nameB_,
                logA_,        logB_,        milliseconds_};

    for (QRadioButton* button : contents_) {
        connect(button, &QRadioButton::clicked, this, &CLoggingConfigureDialog::contentRule);
    }
    for (QRadioButton* button : modes_) {
        connect(button, &QRadioButton::clicked, this, &CLoggingConfigureDialog::modeRule);
    }
    connect(paragraph_, &QCheckBox::clicked, this, &CLoggingConfigureDialog::paragraphRule);
    connect(addToLog_, &QCheckBox::clicked, this, &CLoggingConfigureDialog::portNameRule);
    connect(usePortNumber_, &QCheckBox::clicked, this, &CLoggingConfigureDialog::portNumberRule);
}

QRadioButton* CLoggingConfigureDialog::modeButton(LogMode mode) const {
    return modes_[static_cast<size_t>(mode)];
}

QRadioButton* CLoggingConfigureDialog::contentButton(LogContent content) const {
    return contents_[static_cast<size_t>(content)];
}

void CLoggingConfigureDialog::Fill(const LogSettings& s) {
    Values v;
    v.enabled = s.enabled;
    v.modeIndex = static_cast<int>(s.mode);
    v.contentIndex = static_cast<int>(s.content);
    v.timestamp = s.timestamp;
    v.paragraph = s.paragraph;
    v.portNames = s.portNames;
    v.bytesPerRow = std::to_string(s.bytesPerRow);
    v.asciiSymbols = s.asciiSymbols;
    v.hexSymbols = s.hexSymbols;
    v.timeoutParagraph = s.timeoutParagraph;
    v.timeout = std::to_string(s.timeout);
    v.singleLine = s.singleLine;
    v.usePortNumber = s.usePortNumber;
    v.nameA = s.nameA;
    v.nameB = s.nameB;
    v.logA = s.logA;
    v.logB = s.logB;
    v.milliseconds = s.milliseconds;
    v.timeColumn = static_cast<int>(s.timeColumn);
    values_ = std::move(v);
    if (isVisible()) {
        showValues();
    }
}

void CLoggingConfigureDialog::ReadInto(LogSettings& s) const {
    const Values& v = values_;
    s.enabled = v.enabled;
    if (v.modeIndex >= 0 && v.modeIndex < static_cast<int>(modes_.size())) {
        s.mode = static_cast<LogMode>(v.modeIndex);
    }
    if (v.contentIndex >= 0 && v.contentIndex < static_cast<int>(contents_.size())) {
        s.content = static_cast<LogContent>(v.contentIndex);
    }
    s.timestamp = v.timestamp;
    s.paragraph = v.paragraph;
    s.portNames = v.portNames;
    s.bytesPerRow = atoiText(v.bytesPerRow);
    s.asciiSymbols = v.asciiSymbols;
    s.hexSymbols = v.hexSymbols;
    s.timeoutParagraph = v.timeoutParagraph;
    s.timeout = atoiText(v.timeout);
    s.singleLine = v.singleLine;
    s.usePortNumber = v.usePortNumber;
    s.nameA = v.nameA;
    s.nameB = v.nameB;
    s.logA = v.logA;
    s.logB = v.logB;
    s.milliseconds = v.milliseconds;
    s.timeColumn = static_cast<TimeColumn>(std::clamp(v.timeColumn, 0, timeColumn_->count() - 1));
}

void CLoggingConfigureDialog::showValues() {
    const Values& v = values_;
    enabled_->setChecked(v.enabled);
    const auto select = [](QButtonGroup* group, int index) {
        if (QAbstractButton* button = group->button(index)) {
            button->setChecked(true);
            return;
        }
        // No selection: an exclusive group only lets go of its button when not exclusive.
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons()) {
            button->setChecked(false);
        }
        group->setExclusive(true);
    };
    select(modeGroup_, v.modeIndex);
    select(contentGroup_, v.contentIndex);
    timestamp_->setChecked(v.timestamp);
    paragraph_->setChecked(v.paragraph);
    addToLog_->setChecked(v.portNames);
    bytesPerRow_->setText(QString::fromStdString(v.bytesPerRow));
    asciiSymbols_->setChecked(v.asciiSymbols);
    hexSymbols_->setChecked(v.hexSymbols);
    timeoutParagraph_->setChecked(v.timeoutParagraph);
    timeout_->setText(QString::fromStdString(v.timeout));
    singleLine_->setChecked(v.singleLine);
    usePortNumber_->setChecked(v.usePortNumber);
    nameA_->setText(fromCp1252(v.nameA));
    nameB_->setText(fromCp1252(v.nameB));
    logA_->setChecked(v.logA);
    logB_->setChecked(v.logB);
    milliseconds_->setChecked(v.milliseconds);
    timeColumn_->setCurrentIndex(v.timeColumn);
}

CLoggingConfigureDialog::Values CLoggingConfigureDialog::valuesShown() const {
    Values v;
    v.enabled = enabled_->isChecked();
    v.modeIndex = modeGroup_->checkedId();
    v.contentIndex = contentGroup_->checkedId();
    v.timestamp = timestamp_->isChecked();
    v.paragraph = paragraph_->isChecked();
    v.portNames = addToLog_->isChecked();
    v.bytesPerRow = bytesPerRow_->text().toStdString();
    v.asciiSymbols = asciiSymbols_->isChecked();
    v.hexSymbols = hexSymbols_->isChecked();
    v.timeoutParagraph = timeoutParagraph_->isChecked();
    v.timeout = timeout_->text().toStdString();
    v.singleLine = singleLine_->isChecked();
    v.usePortNumber = usePortNumber_->isChecked();
    v.nameA = toCp1252(nameA_->text());
    v.nameB = toCp1252(nameB_->text());
    v.logA = logA_->isChecked();
    v.logB = logB_->isChecked();
    v.milliseconds = milliseconds_->isChecked();
    v.timeColumn = timeColumn_->currentIndex();
    return v;
}

void CLoggingConfigureDialog::showEvent(QShowEvent* event) {
    showValues();
    const bool editable = !loggingActive_;
    for (QWidget* control : findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(control) != nullptr ||
            qobject_cast<QRadioButton*>(control) != nullptr ||
            qobject_cast<QLineEdit*>(control) != nullptr ||
            qobject_cast<QComboBox*>(control) != nullptr) {
            control->setEnabled(editable);
        }
    }
    if (editable) {
        contentRule();
        const bool paragraph = paragraph_->isChecked();
        for (QWidget* control :
             std::initializer_list<QWidget*>{addToLog_, timestamp_, timeoutParagraph_, timeout_}) {
            control->setEnabled(paragraph);
        }
        modeRule();
    } else {
        // A log file is being written: its form stays, only what is logged can change.
        enabled_->setEnabled(true);
        logA_->setEnabled(true);
        logB_->setEnabled(true);
    }
    DialogFrame::showEvent(event);
}

void CLoggingConfigureDialog::contentRule() {
    switch (contentGroup_->checkedId()) {
        case static_cast<int>(LogContent::AsciiOnly):
            asciiSymbols_->setEnabled(true);
            hexSymbols_->setEnabled(false);
            break;
        case static_cast<int>(LogContent::Both):
            asciiSymbols_->setEnabled(true);
            hexSymbols_->setEnabled(true);
            break;
        case static_cast<int>(LogContent::HexOnly):
            asciiSymbols_->setEnabled(false);
            hexSymbols_->setEnabled(true);
            break;
        default:
            break;
    }
}

void CLoggingConfigureDialog::paragraphRule() {
    const bool on = paragraph_->isChecked();
    addToLog_->setEnabled(on);
    timestamp_->setEnabled(on);
    timeoutParagraph_->setEnabled(on);
    timeout_->setEnabled(on);
}

void CLoggingConfigureDialog::portNameRule() {
    if (addToLog_->isChecked()) {
        usePortNumber_->setEnabled(true);
        portNumberRule();
    } else {
        usePortNumber_->setEnabled(false);
        nameA_->setEnabled(false);
        nameB_->setEnabled(false);
    }
}

void CLoggingConfigureDialog::portNumberRule() {
    const bool typed = !usePortNumber_->isChecked();
    nameA_->setEnabled(typed);
    nameB_->setEnabled(typed);
}

void CLoggingConfigureDialog::modeRule() {
    const int mode = modeGroup_->checkedId();
    const bool complex = mode == static_cast<int>(LogMode::Complex);
    for (QWidget* control : complex_) {
        control->setEnabled(complex);
    }
    // The plain bytes take no time stamps.
    timeColumn_->setEnabled(complex || mode == static_cast<int>(LogMode::SingleHex));
    if (complex) {
        contentRule();
        portNameRule();
    }
}

void CLoggingConfigureDialog::okClicked() {
    const Values shown = valuesShown();
    const std::vector<std::string> problems = logSettingsProblems(shown.bytesPerRow, shown.timeout);
    for (const std::string& problem : problems) {
        prompt_.message(problem, {}, PromptButtons::Ok, PromptIcon::Warning);
    }
    if (!problems.empty()) {
        return;
    }
    values_ = shown;
    accept();
}

bool configureLogging(CLoggingConfigureDialog& dialog, LoggingControl& logging) {
    dialog.setLoggingActive(logging.loggingActive());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    LogSettings settings = logging.logSettings();
    dialog.ReadInto(settings);
    logging.ApplyLogSettings(settings);
    return true;
}

}  // namespace pv
