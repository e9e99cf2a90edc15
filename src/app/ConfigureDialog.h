#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

// "Configure PortaVigilant": whether the program asks for a newer version at start. OK takes
// the check box over, Cancel discards it; the choice counts from the next start.
class CConfigureDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 110;

    explicit CConfigureDialog(QWidget* parent = nullptr);

    void setCheckForUpdate(bool on) { checkForUpdate_ = on; }
    bool checkForUpdate() const { return checkForUpdate_; }

    QCheckBox* updateBox() const { return updateBox_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }

  signals:
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool checkForUpdate_ = true;
    QCheckBox* updateBox_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
};
