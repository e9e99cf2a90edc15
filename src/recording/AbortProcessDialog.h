#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pv {

// "Processing": the progress of a playback, a line with the bytes sent, and one button. While
// the playback runs the button reads "Abort now !" and asks for the end; once it has ended
// (completed, aborted or failed) the title reads "Finished !", the button "Close" and closes
// the dialog. Closing it early asks for the end as well.
class CAbortProcessDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CAbortProcessDialog(QWidget* parent = nullptr);

    void setProgress(int percent, uint64_t sent, uint64_t total);
    // The playback has ended.
    void finish();
    bool finished() const { return finished_; }
    QProgressBar* progressBar() const { return bar_; }
    QPushButton* button() const { return button_; }
    QLabel* sentLine() const { return sent_; }

  signals:
    void abortRequested();

  protected:
    void reject() override;

  private:
    void onButton();

    QProgressBar* bar_;
    QLabel* sent_;
    QPushButton* button_;
    bool finished_ = false;
};

}  // namespace pv
