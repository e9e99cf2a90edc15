#include "app/ExtrasDialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/DialogKit.h"

namespace pv {

ExtrasDialog::ExtrasDialog(const char* title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    help_ = makeDialogButton(kTextHelp, this);
    cancel_ = makeDialogButton(kTextCancel, this);
    ok_ = makeDialogButton(kTextOk, this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(help_, QDialogButtonBox::HelpRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    buttons->addButton(ok_, QDialogButtonBox::ActionRole);
    layout_ = new QVBoxLayout(this);
    layout_->addWidget(buttons);
    connect(help_, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpContext); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, [this] { okClicked(); });
}

void ExtrasDialog::addContent(QWidget* content) {
    layout_->insertWidget(layout_->count() - 1, content);
}

void ExtrasDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pv
