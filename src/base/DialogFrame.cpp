#include "base/DialogFrame.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/DialogKit.h"

namespace pv {

namespace {

bool takesFocus(const QWidget* widget, const QWidget* dialog) {
    return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled() &&
           widget->isVisibleTo(dialog);
}

// A group of radio buttons is entered at its checked button, as Tab does.
QWidget* checkedPartner(QWidget* widget) {
    auto* radio = qobject_cast<QRadioButton*>(widget);
    if (radio == nullptr || radio->isChecked()) {
        return widget;
    }
    QList<QAbstractButton*> partners;
    if (QButtonGroup* group = radio->group(); group != nullptr) {
        partners = group->buttons();
    } else if (radio->autoExclusive() && radio->parentWidget() != nullptr) {
        partners =
            radio->parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    }
    for (QAbstractButton* partner : partners) {
        if (partner->isChecked() && partner->isEnabled()) {
            return partner;
        }
    }
    return widget;
}

}  // namespace

DialogFrame::DialogFrame(const QString& title, int helpContext, const ButtonIds& ids,
                         QWidget* parent)
    : QDialog(parent), helpContext_(helpContext) {
    setWindowTitle(title);
    help_ = makeDialogButton(kTextHelp, this, ids.help);
    help_->setObjectName("helpButton");
    cancel_ = makeDialogButton(kTextCancel, this, ids.cancel);
    cancel_->setObjectName("cancelButton");
    ok_ = makeDialogButton(kTextOk, this, ids.ok);
    ok_->setObjectName("okButton");
    buttons_ = new QDialogButtonBox(this);
    buttons_->addButton(help_, QDialogButtonBox::HelpRole);
    buttons_->addButton(cancel_, QDialogButtonBox::RejectRole);
    buttons_->addButton(ok_, QDialogButtonBox::AcceptRole);

    // Enter goes to the default button, and this one does nothing with it. Being the default, it
    // also keeps the button box from making OK the default.
    hiddenDefault_ = makeDialogButton("", this, ids.hiddenDefault);
    hiddenDefault_->setObjectName("hiddenDefaultButton");
    hiddenDefault_->setDefault(true);
    hiddenDefault_->setEnabled(false);
    hiddenDefault_->setFocusPolicy(Qt::NoFocus);
    hiddenDefault_->hide();

    row_ = new QHBoxLayout;
    row_->addWidget(buttons_);
    layout_ = new QVBoxLayout(this);
    layout_->addLayout(row_);

    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(helpContext_); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, [this] { okClicked(); });
}

QWidget* DialogFrame::firstField() const {
    for (QWidget* widget = nextInFocusChain(); widget != this;
         widget = widget->nextInFocusChain()) {
        if (widget != hiddenDefault_ && !buttons_->isAncestorOf(widget) &&
            takesFocus(widget, this)) {
            return checkedPartner(widget);
        }
    }
    return nullptr;
}

void DialogFrame::addContent(QWidget* content) {
    layout_->insertWidget(layout_->count() - 1, content);
}

void DialogFrame::addContent(QLayout* content) {
    layout_->insertLayout(layout_->count() - 1, content);
}

void DialogFrame::addBesideButtons(QWidget* widget) {
    row_->insertWidget(row_->count() - 1, widget);
}

QPushButton* DialogFrame::addRowButton(const char* text, int id) {
    QPushButton* button = makeDialogButton(text, this, id);
    buttons_->addButton(button, QDialogButtonBox::ResetRole);
    return button;
}

void DialogFrame::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* field = firstField()) {
        field->setFocus(Qt::OtherFocusReason);
    }
}

void DialogFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(helpContext_);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pv
