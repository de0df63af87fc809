// Draws the tails of the numbers in a table written by gaussian_noise on a
// logarithmic scale, over the normal density of the mean and variance asked,
// as an SVG picture on standard output. It marks the generator's cut: no
// sample can lie beyond 6.5556 standard deviations of the mean, where a
// normal distribution still has a little of its mass.
//
//   tails_svg TABLE MEAN VARIANCE > tails.svg      (TABLE - reads standard input)
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
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
constexpr double height = 500.0;
constexpr double left = 80.0;  // the plot area inside the picture
constexpr double right = width - 24.0;
constexpr double top = 64.0;
constexpr double bottom = height - 104.0;
constexpr svg_plot::Area area{left, right, top, bottom};

constexpr double spread = 7.0;      // the picture covers mean ± 7 standard deviations
constexpr double binWidthSd = 0.1;  // bins of a tenth of a standard deviation
constexpr int lowestDecade = -11;   // the density axis runs from 1e-11 to 1
constexpr double cut = 6.5556;      // the generator's largest |sample - mean| / sd
constexpr double farOut = 5.0;      // the samples beyond this many sd are counted

// What the table holds, binned as it is read: the table can be far larger
// than memory would like.
struct Tally {
    std::vector<double> counts;
    double samples = 0.0;
    double beyondFarOut = 0.0;
    double largest = 0.0;  // largest |sample - mean| / sd
    double outside = 0.0;  // beyond the picture, or not a number (drawn nowhere)
};

struct Scale {
    double mean;
    double sd;
    double low;  // the picture's left and right edges, in sample values
    double high;
    [[nodiscard]] double binWidth() const { return binWidthSd * sd; }
};

void add(Tally& tally, const Scale& scale, double x) {
    tally.samples += 1.0;
    const double z = std::fabs(x - scale.mean) / scale.sd;
    if (std::isnan(z)) {
        tally.outside += 1.0;
        return;
    }
    tally.largest = std::max(tally.largest, z);
    if (z > farOut) tally.beyondFarOut += 1.0;
    if (z > spread) {
        tally.outside += 1.0;
        return;
    }
    const auto bin = static_cast<std::size_t>(std::floor((x - scale.low) / scale.binWidth()));
    tally.counts[std::min(bin, tally.counts.size() - 1)] += 1.0;
}

// Reads every number of the table a block at a time: cells end with a comma,
// rows with a line feed. Returns what went wrong, or nothing.
std::string readTable(std::FILE* in, const Scale& scale, Tally& tally) {
    constexpr std::size_t blockSize = std::size_t{1} << 20;
    std::vector<char> block(blockSize + 64);
    std::size_t kept = 0;  // bytes of a number cut by the end of the last block
    for (;;) {
        const std::size_t got = std::fread(block.data() + kept, 1, blockSize, in);
        const std::size_t size = kept + got;
        const bool last = got == 0;
        const char* at = block.data();
        const char* end = block.data() + size;
        // Without the last block, stop before a number that may go on in the next.
        const char* usable = end;
        if (!last) {
            while (usable > at && usable[-1] != ',' && usable[-1] != '\n') --usable;
        }
        while (at < usable) {
            if (*at == ',' || *at == '\n') {
                ++at;
                continue;
            }
            double value = 0.0;
            const auto [next, error] = std::from_chars(at, usable, value);
            if (error != std::errc() || next == at) {
                // from_chars reads neither "inf" with a sign nor "-nan": take them apart.
                const std::string cell(
                    at, static_cast<std::size_t>(
                            std::find_if(at, usable, [](char c) { return c == ',' || c == '\n'; }) - at));
                char* parsed = nullptr;
                value = std::strtod(cell.c_str(), &parsed);
                if (parsed == cell.c_str()) return "the table holds something other than numbers: '" + cell + "'";
                at += cell.size();
            } else {
                at = next;
            }
            add(tally, scale, value);
        }
        if (last) break;
        kept = static_cast<std::size_t>(end - usable);
        std::copy(usable, end, block.data());
        if (kept > 64) return "the table holds a cell longer than 64 bytes";
    }
    if (std::ferror(in) != 0) return "cannot read the table";
    if (tally.samples == 0.0) return "the table holds no numbers";
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tails_svg TABLE MEAN VARIANCE > tails.svg\n";
        return 2;
    }
    const double mean = std::strtod(argv[2], nullptr);
    const double variance = std::strtod(argv[3], nullptr);
    if (!(variance > 0.0)) {
        std::cerr << "tails_svg: the variance must be above 0\n";
        return 2;
    }
    const double sd = std::sqrt(variance);
    const Scale scale{mean, sd, mean - spread * sd, mean + spread * sd};
    Tally tally;
    tally.counts.assign(static_cast<std::size_t>(std::lround(2.0 * spread / binWidthSd)), 0.0);

    const std::string path = argv[1];
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(path == "-" ? nullptr : std::fopen(path.c_str(), "rb"),
                                                               [](std::FILE* f) { return std::fclose(f); });
    if (path != "-" && !file) {
        std::cerr << "tails_svg: cannot read '" << path << "'\n";
        return 1;
    }
    if (const std::string error = readTable(file ? file.get() : stdin, scale, tally); !error.empty()) {
        std::cerr << "tails_svg: " << error << '\n';
        return 1;
    }

    const double n = tally.samples;
    auto density = [&](double x) {
        const double z = (x - mean) / sd;
        return std::exp(-0.5 * z * z) / (sd * std::sqrt(2.0 * std::numbers::pi));
    };
    const double yLow = std::log10(1.0 / sd) + lowestDecade;  // the axis follows the density's scale
    const double yHigh = std::log10(1.0 / sd);
    auto xPixel = [&](double x) { return left + (x - scale.low) / (scale.high - scale.low) * (right - left); };
    auto yPixel = [&](double y) {
        const double decades = std::clamp(std::log10(y), yLow, yHigh);
        return bottom - (decades - yLow) / (yHigh - yLow) * (bottom - top);
    };
    // The share of a normal distribution beyond the cut, on both sides.
    const double beyondCut = std::erfc(cut / std::numbers::sqrt2);
    const double expectedFarOut = n * std::erfc(farOut / std::numbers::sqrt2);
    const double oneInABin = 1.0 / (n * scale.binWidth());

    std::ostringstream svg;
    svg << R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" << width << R"(" height=")" << height
        << R"(" viewBox="0 0 )" << width << ' ' << height << R"(" font-family="sans-serif" font-size="13">)" << '\n'
        << R"(<rect width="100%" height="100%" fill="white"/>)" << '\n';
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y="28" text-anchor="middle" font-size="17">)"
        << "Tails of " << label(n, 12) << " samples of gaussian_noise " << label(mean) << ' ' << label(variance)
        << ", logarithmic scale</text>\n";
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y="48" text-anchor="middle" fill="#555">)"
        << "bins of " << label(scale.binWidth()) << " (0.1 sd), against the normal density of mean " << label(mean)
        << " and variance " << label(variance) << "</text>\n";

    // The cut: no sample of the generator can lie in the shaded bands.
    for (const double side : {-1.0, 1.0}) {
        const double from = xPixel(mean + side * cut * sd);
        const double to = xPixel(mean + side * spread * sd);
        svg << R"(<rect x=")" << pixels(std::min(from, to)) << R"(" y=")" << pixels(top) << R"(" width=")"
            << pixels(std::fabs(to - from)) << R"(" height=")" << pixels(bottom - top) << R"(" fill="#f2d7d5"/>)"
            << '\n'
            << R"(<line x1=")" << pixels(from) << R"(" x2=")" << pixels(from) << R"(" y1=")" << pixels(top)
            << R"(" y2=")" << pixels(bottom) << R"(" stroke="#c0392b" stroke-dasharray="4 3"/>)" << '\n';
    }

    // Grid lines and the density axis, one a decade.
    for (int decade = 0; decade >= lowestDecade; --decade) {
        const double y = std::pow(10.0, decade) / sd;
        svg << R"(<line x1=")" << pixels(left) << R"(" x2=")" << pixels(right) << R"(" y1=")" << pixels(yPixel(y))
            << R"(" y2=")" << pixels(yPixel(y)) << R"(" stroke="#e4e4e4"/>)" << '\n';
        if (decade % 2 == 0) {
            svg << R"(<text x=")" << pixels(left - 8) << R"(" y=")" << pixels(yPixel(y) + 4)
                << R"(" text-anchor="end">)" << label(y, 3) << "</text>\n";
        }
    }

    // The samples' density, bin by bin; an empty bin draws nothing.
    svg << R"(<g fill="#6a9fd4" stroke="#ffffff" stroke-width="0.5">)" << '\n';
    for (std::size_t bin = 0; bin < tally.counts.size(); ++bin) {
        if (tally.counts[bin] == 0.0) continue;
        const double x = xPixel(scale.low + static_cast<double>(bin) * scale.binWidth());
        const double x2 = xPixel(scale.low + static_cast<double>(bin + 1) * scale.binWidth());
        const double y = yPixel(tally.counts[bin] / (n * scale.binWidth()));
        svg << R"(<rect x=")" << pixels(x) << R"(" y=")" << pixels(y) << R"(" width=")" << pixels(x2 - x)
            << R"(" height=")" << pixels(bottom - y) << R"("/>)" << '\n';
    }
    svg << "</g>\n";

    // One sample in a bin: the lowest density these samples can show.
    svg << R"(<line x1=")" << pixels(left) << R"(" x2=")" << pixels(right) << R"(" y1=")" << pixels(yPixel(oneInABin))
        << R"(" y2=")" << pixels(yPixel(oneInABin)) << R"(" stroke="#555" stroke-dasharray="2 3"/>)" << '\n'
        << R"(<text x=")" << pixels(left + 6) << R"(" y=")" << pixels(yPixel(oneInABin) - 18)
        << R"(" font-size="11" fill="#555">one sample</text>)" << '\n'
        << R"(<text x=")" << pixels(left + 6) << R"(" y=")" << pixels(yPixel(oneInABin) - 5)
        << R"(" font-size="11" fill="#555">in a bin</text>)" << '\n';

    constexpr int curveSegments = 560;
    writeDensityCurve(svg, scale.low, scale.high, curveSegments, density, xPixel, yPixel);

    writeAxes(svg, area, mean, sd, spread, xPixel, 42, "density (logarithmic)");

    // What the shaded bands mean, and what the table's far tails hold.
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y=")" << pixels(bottom + 62)
        << R"(" text-anchor="middle" fill="#c0392b">shaded: beyond ±)" << label(cut)
        << " sd of the mean, where no sample of the tool can lie;</text>\n"
        << R"(<text x=")" << pixels((left + right) / 2) << R"(" y=")" << pixels(bottom + 78)
        << R"(" text-anchor="middle" fill="#c0392b">a normal distribution puts )" << label(beyondCut, 3)
        << " of its samples there, about 1 in " << label(1.0 / beyondCut / 1e9, 2) << " billion</text>\n";
    svg << R"(<text x=")" << pixels((left + right) / 2) << R"(" y=")" << pixels(bottom + 96)
        << R"(" text-anchor="middle" fill="#555">this table: )" << label(tally.beyondFarOut, 12) << " samples beyond ±"
        << label(farOut) << " sd (a normal: " << label(expectedFarOut, 3) << " expected), the farthest at "
        << label(tally.largest, 5) << " sd</text>\n";

    // The legend.
    const double legendX = right - 170;
    writeLegend(svg, area, legendX);
    svg << "</svg>\n";

    std::cout << svg.str();
    return std::cout.flush() ? 0 : 1;
}
