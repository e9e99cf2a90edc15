#include "app/NoticeWindow.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>

namespace pv {

NoticeWindow::NoticeWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("PortaVigilant");
    setModal(false);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &NoticeWindow::dismiss);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
}

void NoticeWindow::post(const std::string& text) {
    board_.post(text);
    QStringList lines;
    for (const auto& entry : board_.entries()) {
        lines << QString::fromStdString(pv::NoticeBoard::shown(entry));
    }
    text_->setText(lines.join("\n\n"));
    if (!isVisible()) {
        show();
    }
}

QString NoticeWindow::shownText() const {
    return text_->text();
}

void NoticeWindow::dismiss() {
    board_.clear();
    hide();
}

}  // namespace pv
