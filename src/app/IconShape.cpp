#include "app/IconShape.h"

#include <array>
#include <charconv>

namespace pv {

namespace {

// A square wave of six steps from 16 % to 84 % of the width; it changes level after each step
// except every third one, so the two phases give two different bit patterns.
IconTrace squareWave(double top, double height, IconColor color, int phase) {
    constexpr int kSteps = 6;
    const double left = 0.16;
    const double step = 0.68 / kSteps;
    IconTrace trace{color, {}};
    bool high = phase != 0;
    auto level = [&] { return high ? top : top + height; };
    trace.points.push_back({left, level()});
    for (int i = 0; i < kSteps; ++i) {
        const double x = left + step * (i + 1);
        trace.points.push_back({x, level()});
        if (i < kSteps - 1 && (i + phase) % 3 != 1) {
            high = !high;
            trace.points.push_back({x, level()});
        }
    }
    return trace;
}

// Three decimals are finer than any pixel the icon is shown at.
std::string number(double value) {
    std::array<char, 32> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 3);
    std::string out(text.data(), result.ptr);
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') {
        out.pop_back();
    }
    return out;
}

std::string hexColor(IconColor color) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text = "#";
    for (uint8_t channel : {color.red, color.green, color.blue}) {
        text += kDigits[channel >> 4];
        text += kDigits[channel & 15];
    }
    return text;
}

}  // namespace

const IconShape& programIconShape() {
    static const IconShape shape = {
        1.0 / 32,
        1.0 / 6,
        {32, 48, 80},
        {12, 20, 36},
        1.0 / 14,
        {squareWave(0.22, 0.2, {235, 60, 50}, 0), squareWave(0.58, 0.2, {70, 200, 90}, 1)},
    };
    return shape;
}

std::string programIconSvg(int size) {
    const IconShape& shape = programIconShape();
    const double s = size;
    const std::string low = number(s * shape.frameMargin);
    const std::string high = number(s * (1 - shape.frameMargin));
    const std::string side = number(s * (1 - 2 * shape.frameMargin));
    const std::string sizeText = std::to_string(size);
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        sizeText + "\" height=\"" + sizeText + "\" viewBox=\"0 0 " + sizeText + " " + sizeText +
        "\">\n";
    svg += "  <defs>\n    <linearGradient id=\"frame\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
           low + "\" y1=\"" + low + "\" x2=\"" + high + "\" y2=\"" + high + "\">\n";
    svg += "      <stop offset=\"0\" stop-color=\"" + hexColor(shape.frameTopLeft) + "\"/>\n";
    svg += "      <stop offset=\"1\" stop-color=\"" + hexColor(shape.frameBottomRight) + "\"/>\n";
    svg += "    </linearGradient>\n  </defs>\n";
    svg += "  <rect x=\"" + low + "\" y=\"" + low + "\" width=\"" + side + "\" height=\"" + side +
           "\" rx=\"" + number(s * shape.cornerRadius) + "\" fill=\"url(#frame)\"/>\n";
    for (const IconTrace& trace : shape.traces) {
        std::string points;
        for (const IconPoint& point : trace.points) {
            if (!points.empty()) {
                points += ' ';
            }
            points += number(s * point.x);
            points += ',';
            points += number(s * point.y);
        }
        // Qt's pens mitre up to twice the width; SVG's default limit is 4.
        svg += "  <polyline points=\"" + points + "\" fill=\"none\" stroke=\"" +
               hexColor(trace.color) + "\" stroke-width=\"" + number(s * shape.traceWidth) +
               "\" stroke-linecap=\"butt\" stroke-linejoin=\"miter\" stroke-miterlimit=\"2\"/>\n";
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace pv
