#include "datapath/DefineCharValueDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "base/DialogKit.h"
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
    : DialogFrame(QString::fromUtf8(kTextCaption), kHelpContext,
                  {.help = 1121, .cancel = 1123, .ok = 1124, .hiddenDefault = 1122}, parent),
      tables_(tables),
      prompt_(prompt) {
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

    addContent(grid);
    setDefaultButton_ = addRowButton(kTextSetDefault, 1125);
    connect(setDefaultButton_, &QPushButton::clicked, this, &CDefineCharValueDialog::onSetDefault);
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
    DialogFrame::showEvent(event);
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

void CDefineCharValueDialog::okClicked() {
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
