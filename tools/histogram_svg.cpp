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
#include <iomanip>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double width = 760.0;
constexpr double height = 460.0;
constexpr double left = 80.0;  // the plot area inside the picture
constexpr double right = width - 24.0;
constexpr double top = 64.0;
constexpr double bottom = height - 64.0;

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

// A number for an attribute, to a tenth of a pixel.
std::string pixels(double value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(1) << value;
    return out.str();
}

// A number for a label, as printf("%g") would write it.
std::string label(double value) {
    if (std::fabs(value) < 1e-12) value = 0.0;  // no "-0" or "1e-17" from rounding
    std::ostringstream out;
    out << value;
    return out.str();
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

    svg << R"(<polyline fill="none" stroke="#c0392b" stroke-width="2" points=")";
    constexpr int curvePoints = 400;
    for (int i = 0; i <= curvePoints; ++i) {
        const double x = low + (high - low) * i / curvePoints;
        svg << (i == 0 ? "" : " ") << pixels(xPixel(x)) << ',' << pixels(yPixel(density(x)));
    }
    svg << R"("/>)" << '\n';

    // The value axis, ticked at every standard deviation from the mean.
    svg << R"(<line x1=")" << pixels(left) << R"(" x2=")" << pixels(right) << R"(" y1=")" << pixels(bottom)
        << R"(" y2=")" << pixels(bottom) << R"(" stroke="black"/>)" << '\n'
        << R"(<line x1=")" << pixels(left) << R"(" x2=")" << pixels(left) << R"(" y1=")" << pixels(top) << R"(" y2=")"
        << pixels(bottom) << R"(" stroke="black"/>)" << '\n';
    for (int k = -static_cast<int>(spread); k <= static_cast<int>(spread); ++k) {
        const double x = xPixel(mean + k * sd);
        svg << R"(<line x1=")" << pixels(x) << R"(" x2=")" << pixels(x) << R"(" y1=")" << pixels(bottom) << R"(" y2=")"
            << pixels(bottom + 6) << R"(" stroke="black"/>)" << '\n'
            << R"(<text x=")" << pixels(x) << R"(" y=")" << pixels(bottom + 21) << R"(" text-anchor="middle">)"
            << label(mean + k * sd) << "</text>\n";
    }
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y=")" << pixels(bottom + 46)
        << R"(" text-anchor="middle">sample value</text>)" << '\n'
        << R"(<text transform="translate(22 )" << pixels((top + bottom) / 2)
        << R"svg() rotate(-90)" text-anchor="middle">density</text>)svg" << '\n';

    // The legend, and the samples that fell outside the picture.
    const double legendX = right - 190;
    svg << R"(<rect x=")" << pixels(legendX) << R"(" y=")" << pixels(top + 10)
        << R"(" width="16" height="12" fill="#6a9fd4"/>)" << '\n'
        << R"(<text x=")" << pixels(legendX + 24) << R"(" y=")" << pixels(top + 21) << R"(">samples</text>)" << '\n'
        << R"(<line x1=")" << pixels(legendX) << R"(" x2=")" << pixels(legendX + 16) << R"(" y1=")" << pixels(top + 38)
        << R"(" y2=")" << pixels(top + 38) << R"(" stroke="#c0392b" stroke-width="2"/>)" << '\n'
        << R"(<text x=")" << pixels(legendX + 24) << R"(" y=")" << pixels(top + 42) << R"(">normal density</text>)"
        << '\n'
        << R"(<text x=")" << pixels(legendX) << R"(" y=")" << pixels(top + 62) << R"(" fill="#555">)" << outside
        << " beyond ±" << label(spread) << " sd</text>\n";
    svg << "</svg>\n";

    std::cout << svg.str();
    return std::cout.flush() ? 0 : 1;
}
