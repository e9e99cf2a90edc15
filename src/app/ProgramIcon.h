#pragma once

#include <QIcon>

// The program icon, drawn in code at the usual icon sizes: for the window icon of every window
// and for the About box.
QIcon programIcon();
