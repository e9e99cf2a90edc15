#pragma once

#include <functional>

#include "app/ProcessPriority.h"
#include "base/DialogFrame.h"

class QButtonGroup;
class QLabel;
class QRadioButton;

namespace pv {

// "Priority": the priority class of the whole program. It opens on the class the process runs
// at; OK sets the chosen one, Cancel changes nothing. A class the system refuses keeps the dialog
// open with one line that says why.
class CPriorityDialog : public DialogFrame {
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
    QLabel* refusedLine() const { return refused_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    QButtonGroup* group_ = nullptr;
    QLabel* refused_ = nullptr;
};

}  // namespace pv
