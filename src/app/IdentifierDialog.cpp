#include "app/IdentifierDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "base/DialogKit.h"

namespace pv {

namespace {

constexpr const char* kTextTitle = "Identifier";
constexpr const char* kTextLabel = "Identifier :";
constexpr int kMinimumEditWidth = 320;

}  // namespace

CIdentifierDialog::CIdentifierDialog(QWidget* parent)
    : DialogFrame(kTextTitle, kHelpContext, {}, parent) {
    edit_ = new QLineEdit(this);
    edit_->setMinimumWidth(kMinimumEditWidth);
    addContent(new QLabel(kTextLabel, this));
    addContent(edit_);
}

void CIdentifierDialog::setText(const std::string& text) {
    text_ = text;
}

void CIdentifierDialog::showEvent(QShowEvent* event) {
    edit_->setText(fromCp1252(text_));
    DialogFrame::showEvent(event);
}

void CIdentifierDialog::okClicked() {
    std::string text = toCp1252(edit_->text());
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text_ = std::move(text);
    accept();
}

}  // namespace pv
