#include "app/ConfigureDialog.h"

#include <QCheckBox>

namespace pv {

namespace {

constexpr const char* kTextTitle = "Configure PortaVigilant";
constexpr const char* kTextCheckForUpdate = "Check for update";

}  // namespace

CConfigureDialog::CConfigureDialog(QWidget* parent)
    : DialogFrame(kTextTitle, kHelpContext, {}, parent) {
    updateBox_ = new QCheckBox(kTextCheckForUpdate, this);
    addContent(updateBox_);
}

void CConfigureDialog::showEvent(QShowEvent* event) {
    updateBox_->setChecked(checkForUpdate_);
    DialogFrame::showEvent(event);
}

void CConfigureDialog::okClicked() {
    checkForUpdate_ = updateBox_->isChecked();
    accept();
}

}  // namespace pv
