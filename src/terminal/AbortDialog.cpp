#include "terminal/AbortDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/DialogKit.h"
#include "terminal/FileTransfer.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "Abort";
constexpr const char* kTextAbort = "Abort now !";
constexpr const char* kTextFinished = "Upload finished !";
constexpr const char* kTextStopped = "Upload stopped !";
constexpr const char* kTextClose = "Close";
// Room for the longest progress line without the dialog jumping in width.
constexpr int kProgressChars = 48;

}  // namespace

CAbortDialog::CAbortDialog(FileTransfer& transfer, QWidget* parent)
    : QDialog(parent), transfer_(transfer) {
    setWindowTitle(kTextCaption);
    setWindowModality(Qt::WindowModal);
    progress_ = new QLabel(this);
    progress_->setMinimumWidth(kProgressChars * fontMetrics().averageCharWidth());
    progress_->setWordWrap(true);
    button_ = makeDialogButton(kTextAbort, this, kButtonId);
    button_->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progress_);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    connect(button_, &QPushButton::clicked, this, &CAbortDialog::onButton);
    connect(&transfer_, &FileTransfer::uploadEnded, this, &CAbortDialog::onEnded);
    connect(&refresh_, &QTimer::timeout, this, &CAbortDialog::refresh);
    refresh_.start(kRefreshMs);
    if (!transfer_.uploading()) {
        onEnded();
    }
    refresh();
}

CAbortDialog::~CAbortDialog() = default;

void CAbortDialog::onButton() {
    if (finished_) {
        accept();
        return;
    }
    transfer_.abortUpload();
}

void CAbortDialog::onEnded() {
    finished_ = true;
    refresh_.stop();
    setWindowTitle(transfer_.state() == FileTransfer::State::Failed ? kTextStopped : kTextFinished);
    button_->setText(kTextClose);
    refresh();
}

void CAbortDialog::refresh() {
    progress_->setText(QString::fromStdString(transfer_.progressText()));
}

// The close box ends the upload as the button would, and closes the dialog.
void CAbortDialog::closeEvent(QCloseEvent* event) {
    transfer_.abortUpload();
    event->accept();
}

void CAbortDialog::reject() {
    transfer_.abortUpload();
    QDialog::reject();
}

}  // namespace pv
