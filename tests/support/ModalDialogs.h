#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <string>
#include <vector>

namespace pv {

// Dialogs opened with exec() block the test until something closes them. These helpers act on
// them from the event loop that exec() runs.

// The visible top-level dialog of type Dialog, or null.
template <typename Dialog>
Dialog* visibleDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = dynamic_cast<Dialog*>(widget);
            dialog != nullptr && widget->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

// Runs action on the next dialog of type Dialog as soon as it is shown; gives up after
// timeoutMs, so a dialog that never opens fails the test's own checks instead of hanging it.
template <typename Dialog, typename Action>
void whenDialogShows(Action action, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    QElapsedTimer started;
    started.start();
    QObject::connect(timer, &QTimer::timeout, [timer, started, action, timeoutMs] {
        Dialog* dialog = visibleDialog<Dialog>();
        if (dialog == nullptr && started.elapsed() < timeoutMs) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (dialog != nullptr) {
            action(*dialog);
        }
    });
    timer->start(5);
}

// While it lives, rejects every dialog that shows up and notes its class name (without the
// namespace).
class DialogCloser {
  public:
    DialogCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QDialog* dialog = visibleDialog<QDialog>()) {
                const std::string name = dialog->metaObject()->className();
                seen.push_back(name.substr(name.rfind(':') + 1));
                dialog->reject();
            }
        });
        timer_.start(5);
    }

    std::vector<std::string> seen;

  private:
    QTimer timer_;
};

}  // namespace pv
