#pragma once

#include <QIcon>
#include <QImage>
#include <array>

namespace pv {

// The program icon, drawn in code at the usual icon sizes: for the window icon of every window
// and for the About box. The same drawing is installed for the desktop (IconExport.cpp).
inline constexpr std::array<int, 7> kProgramIconSizes = {16, 24, 32, 48, 64, 128, 256};

QIcon programIcon();
// One size of it; needs no application object.
QImage programIconImage(int size);

}  // namespace pv
