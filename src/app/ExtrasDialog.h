#pragma once

#include <QDialog>

class QKeyEvent;
class QPushButton;
class QVBoxLayout;

namespace pv {

// The frame of the small dialogs of the Extras menu: their content above Help, Cancel and OK.
// Help and F1 ask for the help topic, Cancel rejects, OK runs okClicked.
class ExtrasDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 110;

    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }

  signals:
    void helpRequested(int context);

  protected:
    ExtrasDialog(const char* title, QWidget* parent);
    // Adds a widget above the buttons.
    void addContent(QWidget* content);
    // Takes the controls over and closes the dialog with accept().
    virtual void okClicked() = 0;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QVBoxLayout* layout_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
};

}  // namespace pv
