#pragma once

#include <QIcon>

namespace pv {

// The program icon, drawn in code at the usual icon sizes: for the window icon of every window
// and for the About box.
QIcon programIcon();

}  // namespace pv
