#pragma once

#include <QDialog>

namespace pv {

// The About box: program icon, name and version, OK. F1 asks for its help topic.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 102;

    explicit CAboutDlg(QWidget* parent = nullptr);

  signals:
    void helpRequested(int context);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace pv
