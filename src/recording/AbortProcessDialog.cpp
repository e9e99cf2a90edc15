#include "recording/AbortProcessDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "recording/PlaybackScheduler.h"

namespace pv {

namespace {

constexpr const char* kTextTitle = "Processing";
constexpr const char* kTextFinished = "Finished !";
constexpr const char* kTextAbort = "Abort now !";
constexpr const char* kTextClose = "Close";

}  // namespace

CAbortProcessDialog::CAbortProcessDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTextTitle);
    auto* layout = new QVBoxLayout(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setMinimumWidth(300);
    sent_ = new QLabel(this);
    button_ = new QPushButton(kTextAbort, this);
    button_->setDefault(true);
    layout->addWidget(bar_);
    layout->addWidget(sent_);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    connect(button_, &QPushButton::clicked, this, &CAbortProcessDialog::onButton);
}

void CAbortProcessDialog::setProgress(int percent, uint64_t sent, uint64_t total) {
    bar_->setValue(std::clamp(percent, 0, 100));
    sent_->setText(QString::fromStdString(playbackProgressText(sent, total)));
}

void CAbortProcessDialog::finish() {
    finished_ = true;
    setWindowTitle(kTextFinished);
    button_->setText(kTextClose);
}

void CAbortProcessDialog::onButton() {
    if (finished_) {
        accept();
    } else {
        emit abortRequested();
    }
}

// Escape or the window's close button: a playback still running ends first.
void CAbortProcessDialog::reject() {
    if (!finished_) {
        emit abortRequested();
    }
    QDialog::reject();
}

}  // namespace pv
