#pragma once

#include <QDialog>
#include <string>

#include "base/NoticeBoard.h"

class QLabel;

namespace pv {

// Shows the notices of the data path beside the main window without stopping anything: it is
// never run modally, so the traffic keeps flowing while it is open. A notice that repeats only
// raises its count; OK clears the board.
class NoticeWindow : public QDialog {
    Q_OBJECT

  public:
    explicit NoticeWindow(QWidget* parent = nullptr);
    void post(const std::string& text);
    const pv::NoticeBoard& board() const { return board_; }
    QString shownText() const;
    // Closing by the title bar or Esc counts as OK: the notices were seen.
    void reject() override { dismiss(); }

  private:
    void dismiss();

    pv::NoticeBoard board_;
    QLabel* text_ = nullptr;
};

}  // namespace pv
