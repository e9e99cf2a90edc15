#include "app/ConfigureDialog.h"

#include <QCheckBox>

namespace pv {

namespace {

constexpr const char* kTextTitle = "Configure PortaVigilant";
constexpr const char* kTextCheckForUpdate = "Check for update";
constexpr const char* kTextNoUpdateAddress = "This build has no update address";

}  // namespace

CConfigureDialog::CConfigureDialog(QWidget* parent)
    : DialogFrame(kTextTitle, kHelpContext, {}, parent) {
    updateBox_ = new QCheckBox(kTextCheckForUpdate, this);
    addContent(updateBox_);
}

void CConfigureDialog::showEvent(QShowEvent* event) {
    updateBox_->setChecked(checkForUpdate_ && updateAvailable_);
    updateBox_->setEnabled(updateAvailable_);
    updateBox_->setToolTip(updateAvailable_ ? QString() : QString(kTextNoUpdateAddress));
    DialogFrame::showEvent(event);
}

void CConfigureDialog::okClicked() {
    if (updateAvailable_) {
        checkForUpdate_ = updateBox_->isChecked();
    }
    accept();
}

}  // namespace pv
