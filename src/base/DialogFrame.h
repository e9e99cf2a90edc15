#pragma once

#include <QDialog>

class QBoxLayout;
class QDialogButtonBox;
class QKeyEvent;
class QLayout;
class QPushButton;
class QShowEvent;
class QVBoxLayout;

namespace pv {

// The frame every settings dialog is built in: the dialog's content on top, below it one row
// with Help, Cancel and OK in the platform's order. The frame keeps the rules all of them share:
// - Enter never closes the dialog: a hidden default button takes it and does nothing, and no
//   visible button takes Enter, not even after it had the focus.
// - Help and F1 ask for the dialog's help topic, Escape and Cancel reject, OK runs okClicked,
//   which checks the input and accepts.
// - Each showing starts with the focus in the first control of the content the user can change.
class DialogFrame : public QDialog {
    Q_OBJECT

  public:
    // Control ids of the frame's buttons; 0 where a dialog has none.
    struct ButtonIds {
        int help = 0;
        int cancel = 0;
        int ok = 0;
        int hiddenDefault = 0;
    };

    int helpContext() const { return helpContext_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* helpButton() const { return help_; }
    QDialogButtonBox* buttonRow() const { return buttons_; }
    // Where the focus goes when the dialog opens; null when the content has nothing to edit.
    QWidget* firstField() const;

  signals:
    void helpRequested(int context);

  protected:
    DialogFrame(const QString& title, int helpContext, const ButtonIds& ids, QWidget* parent);

    // Content goes above the button row, in the order added.
    void addContent(QWidget* content);
    void addContent(QLayout* content);
    // A hint or a check box at the start of the button row.
    void addBesideButtons(QWidget* widget);
    // A further button of the row with an action of its own ("Set default").
    QPushButton* addRowButton(const char* text, int id);

    virtual void okClicked() = 0;

    // Dialogs fill their controls in their own showEvent and call this one last.
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int helpContext_;
    QVBoxLayout* layout_ = nullptr;
    QBoxLayout* row_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* hiddenDefault_ = nullptr;
};

}  // namespace pv
