#include "base/DialogKit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "base/Cp1252.h"

namespace pv {

QString fromCp1252(const std::string& bytes) {
    const std::u16string text = cp1252ToUtf16(bytes);
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

std::string toCp1252(const QString& text) {
    return utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<size_t>(text.size())));
}

namespace {

class NoLineBreaks : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        for (qsizetype i = input.size(); i-- > 0;) {
            if (input[i] == QChar('\r') || input[i] == QChar('\n')) {
                input.remove(i, 1);
                if (i < pos) {
                    --pos;
                }
            }
        }
        return Acceptable;
    }
};

}  // namespace

void refuseLineBreaks(QLineEdit* edit) {
    edit->setValidator(new NoLineBreaks(edit));
}

QPushButton* makeDialogButton(const char* text, QWidget* parent, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    if (id != 0) {
        withId(button, id);
    }
    return button;
}

}  // namespace pv
