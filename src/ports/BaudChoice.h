#pragma once

#include <array>
#include <string>

namespace pv {

// The Baudrate drop-down list, the baud edit and "Get It" of one side.
constexpr std::array<const char*, 10> kBaudListEntries = {
    "special", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
constexpr int kMaxTypedBaud = 921600;

struct BaudControls {
    int listIndex = -1;    // -1: nothing selected
    std::string editText;  // what the baud edit shows

    bool operator==(const BaudControls&) const = default;
};

// Index of the first entry whose text begins with the decimal baud, else 0 ("special").
int baudListIndexByPrefix(int baud);
// Index of the entry whose text equals the decimal baud, else 0.
int baudListIndexExact(int baud);
// The edit read as a whole number; anything else reads as 0.
int readBaudEdit(const std::string& text);

// Shows a baud in both controls, as when the settings are written to the window.
void showBaud(BaudControls& controls, int baud);
// "Get It": a typed rate of 1 to 921600 becomes the baud; otherwise the controls show the
// current baud again and it stays.
void getIt(BaudControls& controls, int& baud);
// A new selection in the Baudrate list.
void baudListSelected(BaudControls& controls, int index, int& baud);

}  // namespace pv
