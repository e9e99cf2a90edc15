#include "app/QtPrompt.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/NoticeWindow.h"

namespace pv {

namespace {

QMessageBox::StandardButtons toButtons(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case PromptButtons::YesNo:
        case PromptButtons::YesNoDefaultNo:
            return QMessageBox::Yes | QMessageBox::No;
        case PromptButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case PromptButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// "Text (*.a)|*.a|All (*.*)|*.*|" becomes "Text (*.a);;All (*.*)".
QString toQtFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|', Qt::SkipEmptyParts);
    QStringList names;
    for (int i = 0; i < parts.size(); i += 2) {
        names << parts[i];
    }
    return names.join(";;");
}

}  // namespace

PromptAnswer QtPrompt::message(const std::string& text, const std::string& caption,
                               PromptButtons buttons, PromptIcon icon) {
    QMessageBox box(toIcon(icon),
                    QString::fromStdString(caption.empty() ? "PortaVigilant" : caption),
                    QString::fromStdString(text), toButtons(buttons), parent_);
    if (buttons == PromptButtons::YesNoDefaultNo) {
        box.setDefaultButton(QMessageBox::No);
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return PromptAnswer::Cancel;
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Ok;
    }
}

std::optional<std::string> QtPrompt::chooseFile(const FileDialogRequest& request) {
    const QString title = QString::fromStdString(request.title);
    const QString initial = QString::fromStdString(request.initialPath);
    const QString filter = toQtFilter(request.filter);
    const QString path = request.save
                             ? QFileDialog::getSaveFileName(parent_, title, initial, filter)
                             : QFileDialog::getOpenFileName(parent_, title, initial, filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

void QtPrompt::notice(const std::string& text) {
    if (notices_ == nullptr) {
        notices_ = new NoticeWindow(parent_);
    }
    notices_->post(text);
}

}  // namespace pv
