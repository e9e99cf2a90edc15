#include "app/ConfigureDialog.h"

#include <QCheckBox>

namespace pv {

namespace {

constexpr const char* kTextTitle = "Configure PortaVigilant";
constexpr const char* kTextCheckForUpdate = "Check for update";

}  // namespace

CConfigureDialog::CConfigureDialog(QWidget* parent) : ExtrasDialog(kTextTitle, parent) {
    updateBox_ = new QCheckBox(kTextCheckForUpdate, this);
    addContent(updateBox_);
}

void CConfigureDialog::showEvent(QShowEvent* event) {
    updateBox_->setChecked(checkForUpdate_);
    ExtrasDialog::showEvent(event);
}

void CConfigureDialog::okClicked() {
    checkForUpdate_ = updateBox_->isChecked();
    accept();
}

}  // namespace pv
