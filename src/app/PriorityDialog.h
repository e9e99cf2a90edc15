#pragma once

#include <QDialog>
#include <functional>

#include "app/ProcessPriority.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;

// "Priority": the priority class of the whole program. It opens on the class the process runs
// at; OK sets the chosen one, Cancel changes nothing.
class CPriorityDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 110;

    explicit CPriorityDialog(QWidget* parent = nullptr);

    // How the dialog reads and sets the priority. Tests replace them, so that the test process
    // keeps its own priority.
    std::function<PriorityClass()> readPriority = currentPriorityClass;
    std::function<bool(PriorityClass)> applyPriority = setProcessPriority;

    // The checked button's index (Realtime 0 .. Idle 3), -1 while none is checked.
    int selectedIndex() const;
    QRadioButton* radio(PriorityClass priority) const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }

  signals:
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void okClicked();

    QButtonGroup* group_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
};
