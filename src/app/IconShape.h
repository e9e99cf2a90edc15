#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pv {

// The program icon as plain geometry on a square of side 1, so the window icon (painted by Qt)
// and the installed SVG are one drawing: a dark rounded square with two square-wave traces in
// the colours of side A (red) and side B (green), as the panes show them.
struct IconColor {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

struct IconPoint {
    double x;
    double y;
};

struct IconTrace {
    IconColor color;
    std::vector<IconPoint> points;  // a polyline with flat ends and mitred corners
};

struct IconShape {
    double frameMargin;          // the rounded square is inset by this on every side
    double cornerRadius;         // of the rounded square's corners
    IconColor frameTopLeft;      // the square's linear gradient runs from its top left
    IconColor frameBottomRight;  // to its bottom right corner
    double traceWidth;
    std::vector<IconTrace> traces;
};

const IconShape& programIconShape();

// The icon as an SVG document of size x size pixels.
std::string programIconSvg(int size);

}  // namespace pv
