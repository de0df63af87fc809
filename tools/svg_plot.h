// What the README's two pictures share: the text of numbers in SVG
// attributes and labels, and the pieces both draw alike: the density curve,
// the axes with their titles, and the legend.
#pragma once

#include <cmath>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

namespace svg_plot {

// The plot area inside the picture, in pixels.
struct Area {
    double left;
    double right;
    double top;
    double bottom;
};

// A number for an attribute, to a tenth of a pixel.
inline std::string pixels(double value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(1) << value;
    return out.str();
}

// A number for a label, as printf("%g") would write it, to `digits` digits.
inline std::string label(double value, int digits = 6) {
    if (std::fabs(value) < 1e-12) value = 0.0;  // no "-0" or "1e-17" from rounding
    std::ostringstream out;
    out << std::setprecision(digits) << value;
    return out.str();
}

// The density as a red line of `segments` straight pieces from `low` to `high`.
template <class Density, class XPixel, class YPixel>
void writeDensityCurve(std::ostream& svg, double low, double high, int segments, Density density, XPixel xPixel,
                       YPixel yPixel) {
    svg << R"(<polyline fill="none" stroke="#c0392b" stroke-width="2" points=")";
    for (int i = 0; i <= segments; ++i) {
        const double x = low + (high - low) * i / segments;
        svg << (i == 0 ? "" : " ") << pixels(xPixel(x)) << ',' << pixels(yPixel(density(x)));
    }
    svg << R"("/>)" << '\n';
}

// Both axes, the value axis ticked at every standard deviation from the mean
// out to `spread` of them, and their titles: "sample value" `titleGap`
// pixels below the plot, `densityTitle` turned along the density axis.
template <class XPixel>
void writeAxes(std::ostream& svg, const Area& area, double mean, double sd, double spread, XPixel xPixel,
               double titleGap, std::string_view densityTitle) {
    svg << R"(<line x1=")" << pixels(area.left) << R"(" x2=")" << pixels(area.right) << R"(" y1=")"
        << pixels(area.bottom) << R"(" y2=")" << pixels(area.bottom) << R"(" stroke="black"/>)" << '\n'
        << R"(<line x1=")" << pixels(area.left) << R"(" x2=")" << pixels(area.left) << R"(" y1=")" << pixels(area.top)
        << R"(" y2=")" << pixels(area.bottom) << R"(" stroke="black"/>)" << '\n';
    for (int k = -static_cast<int>(spread); k <= static_cast<int>(spread); ++k) {
        const double x = xPixel(mean + k * sd);
        svg << R"(<line x1=")" << pixels(x) << R"(" x2=")" << pixels(x) << R"(" y1=")" << pixels(area.bottom)
            << R"(" y2=")" << pixels(area.bottom + 6) << R"(" stroke="black"/>)" << '\n'
            << R"(<text x=")" << pixels(x) << R"(" y=")" << pixels(area.bottom + 21) << R"(" text-anchor="middle">)"
            << label(mean + k * sd) << "</text>\n";
    }
    svg << R"(<text x=")" << pixels((area.left + area.right) / 2) << R"(" y=")" << pixels(area.bottom + titleGap)
        << R"(" text-anchor="middle">sample value</text>)" << '\n'
        << R"(<text transform="translate(22 )" << pixels((area.top + area.bottom) / 2)
        << R"svg() rotate(-90)" text-anchor="middle">)svg" << densityTitle << "</text>\n";
}

// The legend's two entries, the samples' blue and the density's red, with
// their left edge at `x`.
inline void writeLegend(std::ostream& svg, const Area& area, double x) {
    svg << R"(<rect x=")" << pixels(x) << R"(" y=")" << pixels(area.top + 10)
        << R"(" width="16" height="12" fill="#6a9fd4"/>)" << '\n'
        << R"(<text x=")" << pixels(x + 24) << R"(" y=")" << pixels(area.top + 21) << R"(">samples</text>)" << '\n'
        << R"(<line x1=")" << pixels(x) << R"(" x2=")" << pixels(x + 16) << R"(" y1=")" << pixels(area.top + 38)
        << R"(" y2=")" << pixels(area.top + 38) << R"(" stroke="#c0392b" stroke-width="2"/>)" << '\n'
        << R"(<text x=")" << pixels(x + 24) << R"(" y=")" << pixels(area.top + 42) << R"(">normal density</text>)"
        << '\n';
}

}  // namespace svg_plot
