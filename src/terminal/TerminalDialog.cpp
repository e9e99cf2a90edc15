#include "terminal/TerminalDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include "base/Cp1252.h"
#include "base/DialogKit.h"
#include "base/FileNeu.h"
#include "base/Prompt.h"
#include "datapath/TextPane.h"
#include "terminal/AbortDialog.h"
#include "terminal/FileTransfer.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalTextArea.h"
#include "terminal/TransferRules.h"

namespace pv {

namespace {

constexpr const char* kTextTitle = "Terminal";
constexpr const char* kTextLocalEcho = "Local Echo";
constexpr const char* kTextHexInput = "Hex Input";
constexpr const char* kTextSendControlKeys = "Send control keys";
constexpr const char* kTextSendControlKeysTip =
    "Tab, Esc, Ctrl+letter and the cursor keys go to the device as their bytes and VT100 "
    "sequences, as a console expects";
constexpr const char* kTextEnterGroup = "Send \"Enter\" as : ";
constexpr const char* kTextEnterModes[] = {"CR-LF", "CR", "LF"};
constexpr const char* kTextClear = "Clear";
constexpr const char* kTextCopy = "Copy";
constexpr const char* kTextKeysGroup = "special function keys";
constexpr const char* kTextEnter = "Enter";
constexpr const char* kTextBlanksHint = "Blanks may be used!";
constexpr const char* kTextTransferGroup = "Raw Up- and Download";
constexpr const char* kTextTransferTip = "Raw file transfer needs the program's engine";
constexpr const char* kTextDownloadEnd = "E\nn\nd\nD\nw\nn\nl\nd";
constexpr const char* kTextAllFiles = "All files (*.*)|*.*||";
constexpr const char* kTextAnyExtension = "*.*";
constexpr const char* kTextLinePause = "Line pause:";
constexpr const char* kTextWaitFor = "wait for";
constexpr const char* kTextTimeOut = "time-out";
constexpr const char* kTextMs = "ms";
constexpr const char* kTextLineTip =
    "Uploads by lines: a pause after each line, and a character (the device's prompt) to wait "
    "for after each line, up to the time-out";
constexpr const char* kTextFile = "File %1";
constexpr const char* kTextSearch = "Search";
constexpr const char* kTextUpload = "Upload";
constexpr const char* kTextDownload = "D\no\nw\nn\nl\no\na\nd";
constexpr const char* kTextDelay = "Delay:";
constexpr const char* kTextMsEvery = "ms every";
constexpr const char* kTextBytes = "bytes";
constexpr const char* kTextNotIn1252 =
    "F%1: \"%2\" was left out: code page 1252 has no byte for it";

constexpr int kTextAreaId = 1113;
constexpr int kLocalEchoId = 1112;
constexpr int kHexInputId = 1120;
constexpr int kFirstEnterModeId = 1116;
constexpr int kHelpId = 1111;
constexpr int kClearId = 1114;
constexpr int kCopyId = 1115;
constexpr int kDefaultButtonId = 1119;
constexpr int kKeyTextIds[] = {1161, 1170, 1171, 1172, 1173, 1174, 1175, 1176, 1177};
constexpr int kKeyEnterIds[] = {1133, 1134, 1135, 1136, 1137, 1138, 1139, 1141, 1143};
constexpr int kKeysHexId = 1121;
constexpr int kBlanksHintId = 1186;
constexpr int kFirstFileId = 1156;
constexpr int kFirstSearchId = 1123;
constexpr int kFirstUploadId = 1128;
constexpr int kDownloadId = 1122;
constexpr int kDelayId = 1140;
constexpr int kDelayMsId = 1162;
constexpr int kDelayBytesId = 1163;

// Text area heights of the two templates, in dialog units (an eighth of the font's height).
constexpr int kSmallTextUnits = 79;
constexpr int kLargeTextUnits = 169;
constexpr int kTextColumns = 80;
constexpr int kTextPointSize = 10;
// Least widths of the fields, in digits.
constexpr int kKeyFieldChars = 9;
constexpr int kPathFieldChars = 16;

// The field's text in code page 1252; a character 1252 cannot hold is left out, and the first
// such character is returned in `missing`.
std::string fieldBytes(const QString& text, QString& missing) {
    std::string bytes;
    for (const char32_t c : text.toUcs4()) {
        const uint8_t byte = unicodeToCp1252(c);
        if (byte == '?' && c != U'?') {
            if (missing.isEmpty()) {
                missing = QString::fromUcs4(&c, 1);
            }
            continue;
        }
        bytes.push_back(static_cast<char>(byte));
    }
    return bytes;
}

}  // namespace

CTerminalDialog::CTerminalDialog(TerminalControl& terminal, int templateId, FileTransfer* transfer,
                                 QWidget* parent)
    : QDialog(parent),
      terminal_(terminal),
      settings_(terminal.settings()),
      templateId_(templateId == kSmallTemplate ? kSmallTemplate : kLargeTemplate),
      transfer_(transfer) {
    setWindowTitle(kTextTitle);
    text_ = withId(new TerminalTextArea(terminal_.screen(), this), kTextAreaId);
    QFont font = paneFont();
    font.setPointSize(kTextPointSize);
    text_->setFont(font);
    const QFontMetrics textMetrics(font);
    const int units = templateId_ == kSmallTemplate ? kSmallTextUnits : kLargeTextUnits;
    text_->setMinimumHeight(units * fontMetrics().height() / 8);
    text_->setMinimumWidth(kTextColumns * textMetrics.horizontalAdvance(QLatin1Char('M')) +
                           text_->verticalScrollBar()->sizeHint().width() + 16);
    text_->setKeyHandler([this](const TerminalKey& key) { return onKey(key); });
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setStyleSheet("color: #b00000");

    auto* lower = new QHBoxLayout;
    lower->addWidget(buildKeysGroup(), 1);
    lower->addWidget(buildTransferGroup(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addWidget(status_);
    layout->addWidget(buildOptionsRow());
    layout->addLayout(lower);

    connectHandlers();
    connectTransfer();
    // F1 in the text area is one of its keys; elsewhere in the window this takes it.
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { emit helpRequested(kHelpContext); });
    frame_.setObjectName("terminalFrame");
    connect(&frame_, &QTimer::timeout, this, &CTerminalDialog::refresh);
}

CTerminalDialog::~CTerminalDialog() = default;

QWidget* CTerminalDialog::buildOptionsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    echo_ = withId(new QCheckBox(kTextLocalEcho, row), kLocalEchoId);
    hexInput_ = withId(new QCheckBox(kTextHexInput, row), kHexInputId);
    controlKeys_ = new QCheckBox(kTextSendControlKeys, row);
    controlKeys_->setObjectName("sendControlKeys");
    controlKeys_->setToolTip(kTextSendControlKeysTip);
    auto* enter = new QGroupBox(QString::fromLatin1(kTextEnterGroup), row);
    auto* radios = new QHBoxLayout(enter);
    enterMode_ = new QButtonGroup(this);
    for (int mode = 0; mode <= TerminalSettings::kMaxEnterMode; ++mode) {
        auto* radio =
            withId(new QRadioButton(kTextEnterModes[mode], enter), kFirstEnterModeId + mode);
        enterMode_->addButton(radio, mode);
        radios->addWidget(radio);
    }
    // Enter in a field goes to this invisible default button, which does nothing.
    auto* sink = withId(new QPushButton(row), kDefaultButtonId);
    sink->setDefault(true);
    sink->hide();
    layout->addWidget(echo_);
    layout->addWidget(hexInput_);
    layout->addWidget(controlKeys_);
    layout->addWidget(enter);
    layout->addStretch(1);
    auto* help = makeDialogButton(kTextHelp, row, kHelpId);
    auto* clear = makeDialogButton(kTextClear, row, kClearId);
    auto* copy = makeDialogButton(kTextCopy, row, kCopyId);
    for (QPushButton* button : {help, clear, copy}) {
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    connect(clear, &QPushButton::clicked, this, &CTerminalDialog::Clear);
    connect(copy, &QPushButton::clicked, this, &CTerminalDialog::Copy);
    return row;
}

QGroupBox* CTerminalDialog::buildKeysGroup() {
    auto* group = new QGroupBox(kTextKeysGroup, this);
    auto* grid = new QGridLayout(group);
    constexpr int kRows = 3;
    for (int k = 0; k < TerminalSettings::kKeyCount; ++k) {
        const int row = k % kRows;
        const int column = 3 * (k / kRows);
        keyTexts_[k] = withId(new QLineEdit(group), kKeyTextIds[k]);
        keyTexts_[k]->setMinimumWidth(
            kKeyFieldChars * keyTexts_[k]->fontMetrics().horizontalAdvance(QLatin1Char('0')));
        keyEnter_[k] = withId(new QCheckBox(kTextEnter, group), kKeyEnterIds[k]);
        grid->addWidget(new QLabel(QStringLiteral("F%1").arg(k + 2), group), row, column);
        grid->addWidget(keyTexts_[k], row, column + 1);
        grid->addWidget(keyEnter_[k], row, column + 2);
        grid->setColumnStretch(column + 1, 1);
    }
    keysHex_ = withId(new QCheckBox(kTextHexInput, group), kKeysHexId);
    blanksHint_ = withId(new QLabel(kTextBlanksHint, group), kBlanksHintId);
    blanksHint_->hide();
    grid->addWidget(keysHex_, kRows, 0, 1, 3);
    grid->addWidget(blanksHint_, kRows, 3, 1, 3);
    return group;
}

// Laid out here, wired by the raw file transfer.
QGroupBox* CTerminalDialog::buildTransferGroup() {
    auto* group = new QGroupBox(kTextTransferGroup, this);
    auto* grid = new QGridLayout(group);
    for (int n = 0; n < TerminalSettings::kFileCount; ++n) {
        filePaths_[n] = withId(new QLineEdit(group), kFirstFileId + n);
        filePaths_[n]->setMinimumWidth(kPathFieldChars *
                                       filePaths_[n]->fontMetrics().horizontalAdvance('0'));
        grid->addWidget(new QLabel(QString::fromLatin1(kTextFile).arg(n + 1), group), n, 0);
        grid->addWidget(filePaths_[n], n, 1);
        grid->addWidget(makeDialogButton(kTextSearch, group, kFirstSearchId + n), n, 2);
        grid->addWidget(makeDialogButton(kTextUpload, group, kFirstUploadId + n), n, 3);
    }
    auto* download = makeDialogButton(kTextDownload, group, kDownloadId);
    download->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    grid->addWidget(download, 0, 4, TerminalSettings::kFileCount + 1, 1);
    auto* delay = new QHBoxLayout;
    delayOn_ = withId(new QCheckBox(kTextDelay, group), kDelayId);
    delayMs_ = withId(new QLineEdit(group), kDelayMsId);
    delayBytes_ = withId(new QLineEdit(group), kDelayBytesId);
    for (QLineEdit* field : {delayMs_, delayBytes_}) {
        field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    }
    delay->addWidget(delayOn_);
    delay->addWidget(delayMs_);
    delay->addWidget(new QLabel(kTextMsEvery, group));
    delay->addWidget(delayBytes_);
    delay->addWidget(new QLabel(kTextBytes, group));
    delay->addStretch(1);
    grid->addLayout(delay, TerminalSettings::kFileCount, 0, 1, 4);
    auto* lines = new QHBoxLayout;
    linePause_ = new QLineEdit(group);
    linePause_->setObjectName("linePause");
    waitFor_ = new QLineEdit(group);
    waitFor_->setObjectName("waitFor");
    waitFor_->setMaxLength(1);
    waitTimeout_ = new QLineEdit(group);
    waitTimeout_->setObjectName("waitTimeout");
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,7}"), group);
    for (QLineEdit* field : {delayMs_, delayBytes_, linePause_, waitTimeout_}) {
        field->setValidator(digits);
    }
    for (QLineEdit* field : {linePause_, waitFor_, waitTimeout_}) {
        field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("000000")));
        field->setToolTip(kTextLineTip);
    }
    lines->addWidget(new QLabel(kTextLinePause, group));
    lines->addWidget(linePause_);
    lines->addWidget(new QLabel(kTextMs, group));
    lines->addWidget(new QLabel(kTextWaitFor, group));
    lines->addWidget(waitFor_);
    lines->addWidget(new QLabel(kTextTimeOut, group));
    lines->addWidget(waitTimeout_);
    lines->addWidget(new QLabel(kTextMs, group));
    lines->addStretch(1);
    grid->addLayout(lines, TerminalSettings::kFileCount + 1, 0, 1, 4);
    if (transfer_ == nullptr) {
        group->setEnabled(false);
        group->setToolTip(kTextTransferTip);
    }
    return group;
}

void CTerminalDialog::connectTransfer() {
    if (transfer_ == nullptr) {
        return;
    }
    for (int n = 0; n < TerminalSettings::kFileCount; ++n) {
        connect(filePaths_[n], &QLineEdit::editingFinished, this, &CTerminalDialog::readControls);
        connect(qobject_cast<QPushButton*>(control(kFirstSearchId + n)), &QPushButton::clicked,
                this, [this, n] { Search(n); });
        connect(qobject_cast<QPushButton*>(control(kFirstUploadId + n)), &QPushButton::clicked,
                this, [this, n] { Upload(n); });
    }
    download_ = qobject_cast<QPushButton*>(control(kDownloadId));
    connect(download_, &QPushButton::clicked, this, &CTerminalDialog::OnDownload);
    connect(transfer_, &FileTransfer::downloadChanged, this,
            [this](bool on) { download_->setText(on ? kTextDownloadEnd : kTextDownload); });
    connect(delayOn_, &QCheckBox::clicked, this, &CTerminalDialog::readControls);
    for (QLineEdit* field : {delayMs_, delayBytes_}) {
        connect(field, &QLineEdit::editingFinished, this, [this] {
            readControls();
            checkDelays();
        });
    }
    for (QLineEdit* field : {linePause_, waitFor_, waitTimeout_}) {
        connect(field, &QLineEdit::editingFinished, this, &CTerminalDialog::readControls);
    }
}

void CTerminalDialog::readTransferControls() {
    for (int n = 0; n < TerminalSettings::kFileCount; ++n) {
        settings_.filePaths[n] = QFile::encodeName(filePaths_[n]->text()).toStdString();
    }
    settings_.delayOn = delayOn_->isChecked();
    QString missing;
    settings_.delayMsText = fieldBytes(delayMs_->text(), missing);
    settings_.delayBytesText = fieldBytes(delayBytes_->text(), missing);
    delayMs_->setEnabled(settings_.delayOn);
    delayBytes_->setEnabled(settings_.delayOn);
    settings_.linePauseMs = static_cast<int>(
        std::clamp<long long>(decimalValue(linePause_->text().toStdString()), 0, kMaxLinePauseMs));
    settings_.waitForText = fieldBytes(waitFor_->text(), missing).substr(0, 1);
    settings_.waitTimeoutMs = static_cast<int>(std::clamp<long long>(
        decimalValue(waitTimeout_->text().toStdString()), kMinWaitTimeoutMs, kMaxWaitTimeoutMs));
    linePause_->setText(QString::number(settings_.linePauseMs));
    waitTimeout_->setText(QString::number(settings_.waitTimeoutMs));
}

void CTerminalDialog::checkDelays() {
    if (transfer_ == nullptr || checkingDelays_) {
        return;
    }
    // A message box takes the focus from the field, which would check it again.
    checkingDelays_ = true;
    for (const DelayCorrection& correction :
         correctDelayFields(settings_.delayMsText, settings_.delayBytesText)) {
        QLineEdit* field =
            correction.field == DelayCorrection::Field::Bytes ? delayBytes_ : delayMs_;
        field->setText(QString::fromStdString(correction.text));
        readControls();
        transfer_->prompt().message(correction.message);
    }
    checkingDelays_ = false;
}

void CTerminalDialog::Search(int n) {
    if (transfer_ == nullptr) {
        return;
    }
    FileDialogRequest request;
    request.filter = kTextAllFiles;
    request.defaultExtension = kTextAnyExtension;
    request.initialPath = settings_.filePaths[n];
    if (const auto path = transfer_->prompt().chooseFile(request)) {
        filePaths_[n]->setText(QFile::decodeName(path->c_str()));
        readControls();
    }
}

void CTerminalDialog::Upload(int n) {
    if (transfer_ == nullptr) {
        return;
    }
    readControls();
    if (settings_.filePaths[n].empty()) {
        return;
    }
    if (settings_.delayOn) {
        checkDelays();
    }
    std::string refusal;
    if (!transfer_->startUpload(settings_.filePaths[n], refusal)) {
        if (!refusal.empty()) {
            transfer_->prompt().message(refusal);
        }
        return;
    }
    auto* dialog = new CAbortDialog(*transfer_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    abort_ = dialog;
    dialog->open();
}

void CTerminalDialog::OnDownload() {
    if (transfer_ == nullptr) {
        return;
    }
    if (transfer_->downloading()) {
        transfer_->stopDownload();
        return;
    }
    FileDialogRequest request;
    request.save = true;
    request.filter = kTextAllFiles;
    request.defaultExtension = kTextAnyExtension;
    const auto path = transfer_->prompt().chooseFile(request);
    if (!path) {
        return;
    }
    std::string refusal;
    if (!transfer_->startDownload(*path, refusal)) {
        transfer_->prompt().message(refusal);
    }
}

void CTerminalDialog::connectHandlers() {
    for (QCheckBox* box : {echo_, controlKeys_}) {
        connect(box, &QCheckBox::clicked, this, &CTerminalDialog::readControls);
    }
    for (QCheckBox* box : keyEnter_) {
        connect(box, &QCheckBox::clicked, this, &CTerminalDialog::readControls);
    }
    for (QLineEdit* field : keyTexts_) {
        connect(field, &QLineEdit::editingFinished, this, &CTerminalDialog::readControls);
    }
    connect(enterMode_, &QButtonGroup::idClicked, this, &CTerminalDialog::readControls);
    connect(hexInput_, &QCheckBox::clicked, this, [this] {
        readControls();
        terminal_.hexInputChanged();
    });
    connect(keysHex_, &QCheckBox::clicked, this, [this] {
        readControls();
        blanksHint_->setVisible(settings_.fkeyHex);
    });
}

void CTerminalDialog::fillControls() {
    echo_->setChecked(settings_.termEcho);
    hexInput_->setChecked(settings_.hexInput);
    controlKeys_->setChecked(settings_.sendControlKeys);
    enterMode_->button(settings_.enterMode)->setChecked(true);
    for (int k = 0; k < TerminalSettings::kKeyCount; ++k) {
        // Line ends are not shown; "Enter" says that the key sends one.
        keyTexts_[k]->setText(fromCp1252(withoutLineEnds(settings_.fkeyTexts[k])));
        keyEnter_[k]->setChecked(settings_.fkeyEnter[k]);
    }
    keysHex_->setChecked(settings_.fkeyHex);
    blanksHint_->setVisible(settings_.fkeyHex);
    for (int n = 0; n < TerminalSettings::kFileCount; ++n) {
        filePaths_[n]->setText(QFile::decodeName(settings_.filePaths[n].c_str()));
    }
    delayOn_->setChecked(settings_.delayOn);
    delayMs_->setText(fromCp1252(settings_.delayMsText));
    delayBytes_->setText(fromCp1252(settings_.delayBytesText));
    delayMs_->setEnabled(settings_.delayOn);
    delayBytes_->setEnabled(settings_.delayOn);
    linePause_->setText(QString::number(settings_.linePauseMs));
    waitFor_->setText(fromCp1252(settings_.waitForText.substr(0, 1)));
    waitTimeout_->setText(QString::number(settings_.waitTimeoutMs));
    if (download_ != nullptr) {
        download_->setText(transfer_->downloading() ? kTextDownloadEnd : kTextDownload);
    }
}

void CTerminalDialog::readControls() {
    settings_.termEcho = echo_->isChecked();
    settings_.hexInput = hexInput_->isChecked();
    settings_.sendControlKeys = controlKeys_->isChecked();
    settings_.enterMode = std::max(0, enterMode_->checkedId());
    for (int k = 0; k < TerminalSettings::kKeyCount; ++k) {
        settings_.fkeyEnter[k] = keyEnter_[k]->isChecked();
    }
    settings_.fkeyHex = keysHex_->isChecked();
    readTransferControls();
    normaliseKeyTexts();
}

void CTerminalDialog::normaliseKeyTexts() {
    std::string problem;
    for (int k = 0; k < TerminalSettings::kKeyCount; ++k) {
        QString missing;
        const std::string typed = fieldBytes(keyTexts_[k]->text(), missing);
        std::string& text = settings_.fkeyTexts[k];
        text =
            normaliseKeyText(typed, settings_.fkeyHex, settings_.fkeyEnter[k], settings_.enterMode);
        keyTexts_[k]->setText(fromCp1252(withoutLineEnds(text)));
        if (!problem.empty()) {
            continue;
        }
        if (!missing.isEmpty()) {
            problem = QString::fromLatin1(kTextNotIn1252).arg(k + 2).arg(missing).toStdString();
        } else if (std::string bad = keyTextProblem(text, settings_.fkeyHex); !bad.empty()) {
            problem = "F" + std::to_string(k + 2) + ": " + bad;
        }
    }
    say(problem);
}

void CTerminalDialog::OpenTerminal() {
    fillControls();
    say({});
    show();
    raise();
    activateWindow();
    text_->setFocus();
    refresh();
    frame_.start(kFrameMs);
}

void CTerminalDialog::CloseTerminal() {
    frame_.stop();
    if (abort_ != nullptr) {
        abort_->close();
    }
    hide();
}

void CTerminalDialog::closeEvent(QCloseEvent* event) {
    frame_.stop();
    if (abort_ != nullptr) {
        abort_->close();
    }
    event->accept();
    emit closedByUser();
}

void CTerminalDialog::reject() {
    close();
}

QWidget* CTerminalDialog::control(int id) const {
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->property("controlId").toInt() == id) {
            return widget;
        }
    }
    return nullptr;
}

void CTerminalDialog::refresh() {
    text_->sync();
}

void CTerminalDialog::Copy() {
    text_->copy();
}

void CTerminalDialog::Clear() {
    terminal_.clear();
    refresh();
}

bool CTerminalDialog::onKey(const TerminalKey& key) {
    const TerminalKeyOutcome outcome = terminal_.press(key);
    say(outcome.refusal);
    if (outcome.action == TerminalKeyAction::Paste) {
        paste();
    } else if (outcome.action == TerminalKeyAction::Help) {
        emit helpRequested(kHelpContext);
    }
    refresh();
    return outcome.swallowed;
}

void CTerminalDialog::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) {
        return;
    }
    say(terminal_.paste(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                            static_cast<size_t>(text.size()))));
}

void CTerminalDialog::say(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

}  // namespace pv
