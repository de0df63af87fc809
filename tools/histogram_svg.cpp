// Draws a histogram of the numbers in a table written by gaussian_noise over
// the normal density of the mean and variance asked, as an SVG picture on
// standard output.
//
//   histogram_svg TABLE MEAN VARIANCE > histogram.svg
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "svg_plot.h"

namespace {

using svg_plot::label;
using svg_plot::pixels;
using svg_plot::writeAxes;
using svg_plot::writeDensityCurve;
using svg_plot::writeLegend;

constexpr double width = 760.0;
constexpr double height = 460.0;
constexpr double left = 80.0;  // the plot area inside the picture
constexpr double right = width - 24.0;
constexpr double top = 64.0;
constexpr double bottom = height - 64.0;
constexpr svg_plot::Area area{left, right, top, bottom};

constexpr double spread = 5.0;  // the histogram covers mean ± 5 standard deviations
constexpr int binCount = 100;

// Every number of the table: cells end with a comma, rows with a line feed.
// Returns what went wrong, or nothing.
std::string readTable(const char* path, std::vector<double>& samples) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string("cannot read '") + path + "'";
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char* cell = text.c_str();
    while (*cell != '\0') {
        if (*cell == ',' || *cell == '\n') {
            ++cell;
            continue;
        }
        char* end = nullptr;
        samples.push_back(std::strtod(cell, &end));
        if (end == cell) return std::string("'") + path + "' holds something other than numbers";
        cell = end;
    }
    if (samples.empty()) return std::string("'") + path + "' holds no numbers";
    return "";
}

// A step of 1, 2 or 5 times a power of ten giving at most about five ticks.
double tickStep(double range) {
    const double power = std::pow(10.0, std::floor(std::log10(range / 5.0)));
    constexpr std::array<double, 4> factors{1.0, 2.0, 5.0, 10.0};
    const auto* factor =
        std::find_if(factors.begin(), factors.end() - 1, [&](double f) { return range / (f * power) <= 5.5; });
    return *factor * power;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: histogram_svg TABLE MEAN VARIANCE > histogram.svg\n";
        return 2;
    }
    const double mean = std::strtod(argv[2], nullptr);
    const double variance = std::strtod(argv[3], nullptr);
    if (!(variance > 0.0)) {
        std::cerr << "histogram_svg: the variance must be above 0\n";
        return 2;
    }
    std::vector<double> samples;
    if (const std::string error = readTable(argv[1], samples); !error.empty()) {
        std::cerr << "histogram_svg: " << error << '\n';
        return 1;
    }
    const double sd = std::sqrt(variance);
    const double low = mean - spread * sd;
    const double high = mean + spread * sd;
    const double binWidth = (high - low) / binCount;

    std::vector<double> counts(binCount, 0.0);
    long outside = 0;
    for (const double x : samples) {
        const double bin = std::floor((x - low) / binWidth);
        if (bin >= 0.0 && bin < binCount) {
            counts[static_cast<std::size_t>(bin)] += 1.0;
        } else {
            ++outside;  // also NaN
        }
    }
    const auto n = static_cast<double>(samples.size());
    auto density = [&](double x) {
        const double z = (x - mean) / sd;
        return std::exp(-0.5 * z * z) / (sd * std::sqrt(2.0 * std::numbers::pi));
    };
    const double tallest = std::max(*std::max_element(counts.begin(), counts.end()) / (n * binWidth), density(mean));
    const double yStep = tickStep(tallest);
    const double yTop = std::ceil(tallest * 1.05 / yStep) * yStep;
    auto xPixel = [&](double x) { return left + (x - low) / (high - low) * (right - left); };
    auto yPixel = [&](double y) { return bottom - y / yTop * (bottom - top); };

    std::ostringstream svg;
    svg << R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" << width << R"(" height=")" << height
        << R"(" viewBox="0 0 )" << width << ' ' << height << R"(" font-family="sans-serif" font-size="13">)" << '\n'
        << R"(<rect width="100%" height="100%" fill="white"/>)" << '\n';
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y="28" text-anchor="middle" font-size="17">)"
        << "Histogram of " << samples.size() << " samples of gaussian_noise " << label(mean) << ' ' << label(variance)
        << "</text>\n";
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y="48" text-anchor="middle" fill="#555">)"
        << "bins of " << label(binWidth) << ", against the normal density of mean " << label(mean) << " and variance "
        << label(variance) << "</text>\n";

    // Horizontal grid lines and the density axis.
    const auto gridLines = static_cast<int>(std::lround(yTop / yStep));
    for (int line = 0; line <= gridLines; ++line) {
        const double y = line * yStep;
        svg << R"(<line x1=")" << pixels(left) << R"(" x2=")" << pixels(right) << R"(" y1=")" << pixels(yPixel(y))
            << R"(" y2=")" << pixels(yPixel(y)) << R"(" stroke="#e4e4e4"/>)" << '\n'
            << R"(<text x=")" << pixels(left - 8) << R"(" y=")" << pixels(yPixel(y) + 4) << R"(" text-anchor="end">)"
            << label(y) << "</text>\n";
    }

    svg << R"(<g fill="#6a9fd4" stroke="#ffffff" stroke-width="0.5">)" << '\n';
    for (int bin = 0; bin < binCount; ++bin) {
        const double y = yPixel(counts[static_cast<std::size_t>(bin)] / (n * binWidth));
        const double x = xPixel(low + bin * binWidth);
        svg << R"(<rect x=")" << pixels(x) << R"(" y=")" << pixels(y) << R"(" width=")"
            << pixels(xPixel(low + (bin + 1) * binWidth) - x) << R"(" height=")" << pixels(bottom - y) << R"("/>)"
            << '\n';
    }
    svg << "</g>\n";

    constexpr int curveSegments = 400;
    writeDensityCurve(svg, low, high, curveSegments, density, xPixel, yPixel);

    writeAxes(svg, area, mean, sd, spread, xPixel, 46, "density");

    // The legend, and the samples that fell outside the picture.
    const double legendX = right - 190;
    writeLegend(svg, area, legendX);
    svg << R"(<text x=")" << pixels(legendX) << R"(" y=")" << pixels(top + 62) << R"(" fill="#555">)" << outside
        << " beyond ±" << label(spread) << " sd</text>\n";
    svg << "</svg>\n";

    std::cout << svg.str();
    return std::cout.flush() ? 0 : 1;
}
