#include "app/PriorityDialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pv {

namespace {

constexpr const char* kTextTitle = "Priority";
constexpr const char* kTextGroup = "Priority class";
constexpr const char* kTextRadios[] = {"Realtime", "High Priority", "Normal", "Idle"};

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
}

int CPriorityDialog::selectedIndex() const {
    return group_->checkedId();
}

QRadioButton* CPriorityDialog::radio(PriorityClass priority) const {
    return static_cast<QRadioButton*>(group_->button(static_cast<int>(priority)));
}

void CPriorityDialog::showEvent(QShowEvent* event) {
    radio(readPriority())->setChecked(true);
    DialogFrame::showEvent(event);
}

// A failure to change the priority (no right to raise it) is ignored: the dialog closes and
// the process keeps what it had.
void CPriorityDialog::okClicked() {
    if (const int index = selectedIndex(); index >= 0) {
        applyPriority(static_cast<PriorityClass>(index));
    }
    accept();
}

}  // namespace pv
