#include "app/PriorityDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/DialogKit.h"

namespace {

constexpr const char* kTextTitle = "Priority";
constexpr const char* kTextGroup = "Priority class";
constexpr const char* kTextRadios[] = {"Realtime", "High Priority", "Normal", "Idle"};
constexpr const char* kTextHelp = "Help";
constexpr const char* kTextCancel = "Cancel";
constexpr const char* kTextOk = "OK";

}  // namespace

CPriorityDialog::CPriorityDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTextTitle);
    auto* box = new QGroupBox(kTextGroup, this);
    auto* radios = new QVBoxLayout(box);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(kTextRadios[i], box);
        group_->addButton(radio, i);
        radios->addWidget(radio);
    }
    help_ = makeDialogButton(kTextHelp, this);
    cancel_ = makeDialogButton(kTextCancel, this);
    ok_ = makeDialogButton(kTextOk, this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(help_, QDialogButtonBox::HelpRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    buttons->addButton(ok_, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(buttons);

    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &CPriorityDialog::okClicked);
}

int CPriorityDialog::selectedIndex() const {
    return group_->checkedId();
}

QRadioButton* CPriorityDialog::radio(PriorityClass priority) const {
    return static_cast<QRadioButton*>(group_->button(static_cast<int>(priority)));
}

void CPriorityDialog::showEvent(QShowEvent* event) {
    radio(readPriority())->setChecked(true);
    QDialog::showEvent(event);
}

void CPriorityDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

// A failure to change the priority (no right to raise it) is ignored: the dialog closes and
// the process keeps what it had.
void CPriorityDialog::okClicked() {
    if (const int index = selectedIndex(); index >= 0) {
        applyPriority(static_cast<PriorityClass>(index));
    }
    accept();
}
