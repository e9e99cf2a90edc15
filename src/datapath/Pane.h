#pragma once

#include <cstdint>
#include <string_view>

namespace pv {

// The character formats of the panes: side A red, side B green, a trigger match blue.
enum class PaneFormat : uint8_t { SideA, SideB, Highlight };

// What the display step needs of a text pane. Text is code page 1252, one character per byte;
// positions count characters from the first one the pane still holds. A row ends in "\n".
class Pane {
  public:
    virtual ~Pane() = default;
    // Appends text at the end in the given format.
    virtual void append(std::string_view text, PaneFormat format) = 0;
    // Removes up to `rows` whole rows at the top; returns the characters removed.
    virtual int removeLeadingRows(int rows) = 0;
    // Gives the characters [start, end) another format.
    virtual void setFormat(int start, int end, PaneFormat format) = 0;
    virtual void clear() = 0;
    virtual int length() const = 0;
    // Lines as a text view counts them: the row breaks plus the line after the last one.
    virtual int lineCount() const = 0;
};

}  // namespace pv
