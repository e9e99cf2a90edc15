#pragma once

#include <QString>
#include <string>

class QLineEdit;
class QPushButton;
class QWidget;

namespace pv {

// Small helpers every settings dialog uses at the border between Qt and the program's text.

// Code page 1252 bytes as Qt text, one character per byte, and back ("?" for what 1252 lacks).
QString fromCp1252(const std::string& bytes);
std::string toCp1252(const QString& text);

// Tags a control with its numeric id, by which tests and help find it.
template <typename Widget>
Widget* withId(Widget* widget, int id) {
    widget->setProperty("controlId", id);
    return widget;
}

// The captions of the buttons every dialog has.
inline constexpr const char* kTextHelp = "Help";
inline constexpr const char* kTextCancel = "Cancel";
inline constexpr const char* kTextOk = "OK";

// A dialog button that never takes the Enter key, so Enter in a field does not close the dialog.
QPushButton* makeDialogButton(const char* text, QWidget* parent, int id = 0);

// Keeps CR and LF out of a one-line field whose text is saved as a line of a file, also when
// they come with pasted text: they are dropped, the rest of the paste stays.
void refuseLineBreaks(QLineEdit* edit);

}  // namespace pv
