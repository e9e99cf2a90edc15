#pragma once

#include "base/DialogFrame.h"

class QCheckBox;

namespace pv {

// "Configure PortaVigilant": whether the program asks for a newer version at start. OK takes
// the check box over, Cancel discards it; the choice counts from the next start.
class CConfigureDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 110;

    explicit CConfigureDialog(QWidget* parent = nullptr);

    // A build without an update address offers the option unticked and disabled, and OK keeps
    // the stored choice for a build that has one.
    void setUpdateAvailable(bool available) { updateAvailable_ = available; }
    void setCheckForUpdate(bool on) { checkForUpdate_ = on; }
    bool checkForUpdate() const { return checkForUpdate_; }

    QCheckBox* updateBox() const { return updateBox_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    bool checkForUpdate_ = true;
    bool updateAvailable_ = true;
    QCheckBox* updateBox_ = nullptr;
};

}  // namespace pv
