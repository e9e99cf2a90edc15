#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace pv {

class FileTransfer;

// The small dialog that stays open while an upload runs: its progress, and the button
// "Abort now !" that ends the upload after the block in hand. When the upload has ended the
// caption says so and the button reads "Close". Modal over the terminal window only.
class CAbortDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 157;
    static constexpr int kButtonId = 1164;
    static constexpr int kRefreshMs = 250;

    CAbortDialog(FileTransfer& transfer, QWidget* parent = nullptr);
    ~CAbortDialog() override;

    bool finished() const { return finished_; }
    QPushButton* button() const { return button_; }
    QLabel* progress() const { return progress_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void onButton();
    void onEnded();
    void refresh();

    FileTransfer& transfer_;
    QLabel* progress_ = nullptr;
    QPushButton* button_ = nullptr;
    QTimer refresh_;
    bool finished_ = false;
};

}  // namespace pv
