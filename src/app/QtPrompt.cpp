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

// A name typed without an extension gets the default one before the dialog checks whether it
// exists, so the overwrite question is about the file that will be written.
std::optional<std::string> QtPrompt::chooseFile(const FileDialogRequest& request) {
    QFileDialog dialog(parent_, QString::fromStdString(request.title),
                       QString::fromStdString(request.initialPath), toQtFilter(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix(request.defaultExtension)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString path = dialog.selectedFiles().first();
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
