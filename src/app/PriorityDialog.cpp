#include "app/PriorityDialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pv {

namespace {

constexpr const char* kTextTitle = "Priority";
constexpr const char* kTextGroup = "Priority class";
constexpr const char* kTextRadios[] = {"Realtime", "High Priority", "Normal", "Idle"};
constexpr const char* kTextRefused =
    "Refused by the system: a higher priority needs CAP_SYS_NICE or a raised nice limit.";

}  // namespace

CPriorityDialog::CPriorityDialog(QWidget* parent)
    : DialogFrame(kTextTitle, kHelpContext, {}, parent) {
    auto* box = new QGroupBox(kTextGroup, this);
    auto* radios = new QVBoxLayout(box);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(kTextRadios[i], box);
        group_->addButton(radio, i);
        radios->addWidget(radio);
    }
    addContent(box);
    refused_ = new QLabel(kTextRefused, this);
    refused_->setObjectName("refusedLine");
    refused_->setStyleSheet("color: red");
    refused_->hide();
    addContent(refused_);
    connect(group_, &QButtonGroup::idClicked, refused_, &QWidget::hide);
}

int CPriorityDialog::selectedIndex() const {
    return group_->checkedId();
}

QRadioButton* CPriorityDialog::radio(PriorityClass priority) const {
    return static_cast<QRadioButton*>(group_->button(static_cast<int>(priority)));
}

void CPriorityDialog::showEvent(QShowEvent* event) {
    radio(readPriority())->setChecked(true);
    refused_->hide();
    DialogFrame::showEvent(event);
}

// Without the right to raise the priority the dialog stays open and says so, rather than
// closing as if the process now ran at the chosen class.
void CPriorityDialog::okClicked() {
    if (const int index = selectedIndex();
        index >= 0 && !applyPriority(static_cast<PriorityClass>(index))) {
        refused_->show();
        return;
    }
    accept();
}

}  // namespace pv
