#include "base/DialogKit.h"

#include <QPushButton>

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
