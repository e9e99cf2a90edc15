#include "app/IdentifierDialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/DialogKit.h"

namespace {

constexpr const char* kTextTitle = "Identifier";
constexpr const char* kTextLabel = "Identifier :";
constexpr const char* kTextHelp = "Help";
constexpr const char* kTextCancel = "Cancel";
constexpr const char* kTextOk = "OK";
constexpr int kMinimumEditWidth = 320;

}  // namespace

CIdentifierDialog::CIdentifierDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTextTitle);
    edit_ = new QLineEdit(this);
    edit_->setMinimumWidth(kMinimumEditWidth);
    help_ = makeDialogButton(kTextHelp, this);
    cancel_ = makeDialogButton(kTextCancel, this);
    ok_ = makeDialogButton(kTextOk, this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(help_, QDialogButtonBox::HelpRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    buttons->addButton(ok_, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kTextLabel, this));
    layout->addWidget(edit_);
    layout->addWidget(buttons);

    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &CIdentifierDialog::okClicked);
}

void CIdentifierDialog::setText(const std::string& text) {
    text_ = text;
}

void CIdentifierDialog::showEvent(QShowEvent* event) {
    edit_->setText(fromCp1252(text_));
    QDialog::showEvent(event);
}

void CIdentifierDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CIdentifierDialog::okClicked() {
    std::string text = toCp1252(edit_->text());
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text_ = std::move(text);
    accept();
}
