#include "app/ConfigureDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DialogKit.h"

namespace {

constexpr const char* kTextTitle = "Configure PortaVigilant";
constexpr const char* kTextCheckForUpdate = "Check for update";
constexpr const char* kTextHelp = "Help";
constexpr const char* kTextCancel = "Cancel";
constexpr const char* kTextOk = "OK";

}  // namespace

CConfigureDialog::CConfigureDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTextTitle);
    updateBox_ = new QCheckBox(kTextCheckForUpdate, this);
    help_ = makeDialogButton(kTextHelp, this);
    cancel_ = makeDialogButton(kTextCancel, this);
    ok_ = makeDialogButton(kTextOk, this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(help_, QDialogButtonBox::HelpRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    buttons->addButton(ok_, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(updateBox_);
    layout->addWidget(buttons);

    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, [this] {
        checkForUpdate_ = updateBox_->isChecked();
        accept();
    });
}

void CConfigureDialog::showEvent(QShowEvent* event) {
    updateBox_->setChecked(checkForUpdate_);
    QDialog::showEvent(event);
}

void CConfigureDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}
