#include "datapath/DefineCharValueDialog.h"
#include "base/DialogKit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <limits>

#include "base/Prompt.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "Define Char values";
constexpr const char* kTextHexTitle = "Define Hex Symbols, Set %d ... %d";
constexpr const char* kTextAsciiTitle = "Define ASCII Symbols, Set %d ... %d";
constexpr const char* kTextEmptyField = "Empty edit fields are not allowed !\nField %d is empty !";
constexpr const char* kTextSetDefault = "Set default";

constexpr int kRows = 8;
constexpr int kFieldChars = 6;

int editId(int k) {
    return k < 8 ? 1126 + k : 1300 + 2 * (k - 8);
}
int labelId(int k) {
    if (k == 0) {
        return 1141;
    }
    return k < 8 ? 1133 + k : 1299 + 2 * (k - 8);
}

}  // namespace

CDefineCharValueDialog::CDefineCharValueDialog(SymbolTables& tables, Prompt& prompt,
                                               QWidget* parent)
    : QDialog(parent), tables_(tables), prompt_(prompt) {
    setWindowTitle(QString::fromUtf8(kTextCaption));

    auto* grid = new QGridLayout;
    const int fieldWidth = fontMetrics().horizontalAdvance(QString(kFieldChars, QChar('M')));
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        auto* label = new QLabel(this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setProperty("controlId", labelId(k));
        auto* edit = new QLineEdit(this);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setMinimumWidth(fieldWidth);
        edit->setMaximumWidth(2 * fieldWidth);
        edit->setProperty("controlId", editId(k));
        refuseLineBreaks(edit);
        // Entries run down each column.
        grid->addWidget(label, k % kRows, 2 * (k / kRows));
        grid->addWidget(edit, k % kRows, 2 * (k / kRows) + 1);
        labels_[static_cast<size_t>(k)] = label;
        edits_[static_cast<size_t>(k)] = edit;
    }

    setDefaultButton_ = makeDialogButton(kTextSetDefault, this, 1125);
    auto* helpButton = makeDialogButton(kTextHelp, this, 1121);
    cancelButton_ = makeDialogButton(kTextCancel, this, 1123);
    okButton_ = makeDialogButton(kTextOk, this, 1124);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setDefaultButton_);
    buttons->addStretch();
    buttons->addWidget(helpButton);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(setDefaultButton_, &QPushButton::clicked, this, &CDefineCharValueDialog::onSetDefault);
    connect(okButton_, &QPushButton::clicked, this, &CDefineCharValueDialog::onOk);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { emit helpRequested(kHelpContext); });
}

void CDefineCharValueDialog::Configure(int firstByte, bool asciiMode) {
    firstByte_ = symbolBlockStart(firstByte);
    asciiMode_ = asciiMode;
}

void CDefineCharValueDialog::showEvent(QShowEvent* event) {
    setWindowTitle(QString::fromStdString(
        formatText(asciiMode_ ? kTextAsciiTitle : kTextHexTitle, firstByte_, firstByte_ + 63)));
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        labels_[static_cast<size_t>(k)]->setText(QString::number(firstByte_ + k));
    }
    fields_ = tables_.block(firstByte_, asciiMode_);
    showFields();
    QDialog::showEvent(event);
}

void CDefineCharValueDialog::showFields() {
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        QLineEdit* edit = edits_[static_cast<size_t>(k)];
        edit->setText(fromCp1252(fields_[static_cast<size_t>(k)]));
        edit->setCursorPosition(0);
    }
}

void CDefineCharValueDialog::onSetDefault() {
    fields_ = defaultSymbolBlock(firstByte_, asciiMode_);
    showFields();
}

void CDefineCharValueDialog::onOk() {
    for (int k = 0; k < kSymbolBlockSize; ++k) {
        fields_[static_cast<size_t>(k)] = toCp1252(edits_[static_cast<size_t>(k)]->text());
    }
    if (const auto empty = lastEmptyField(fields_)) {
        prompt_.message(formatText(kTextEmptyField, *empty), {}, PromptButtons::Ok,
                        PromptIcon::Warning);
        return;
    }
    tables_.storeBlock(firstByte_, asciiMode_, fields_);
    accept();
}

}  // namespace pv
