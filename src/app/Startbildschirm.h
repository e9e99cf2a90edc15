#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace pv {

// The splash window shown while the main window is built. Its own one-second timer closes it on
// the first tick after the main window has reported ready, so it never vanishes before the main
// window is usable; close requests from the user are refused.
class CStartbildschirm : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kTickMs = 1000;

    explicit CStartbildschirm(QWidget* parent = nullptr);

    // The main window is initialised; the splash closes on its next tick. Calling it again, or
    // after the splash has closed, does nothing.
    void mainWindowReady();
    // One tick of the timer. Public so that tests can step the splash without waiting.
    void tick();
    bool hasFinished() const { return finished_; }
    // The timer that calls tick() once a second.
    QTimer& tickTimer() { return timer_; }

  signals:
    // The splash has closed itself.
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer timer_;
    QLabel* versionText_ = nullptr;
    bool ready_ = false;
    bool finished_ = false;
};

}  // namespace pv
