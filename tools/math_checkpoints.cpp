// Chooses the inputs on which the vector logf and cosf are compared with the
// C library's scalar functions each time a process first uses them
// (src/math_checkpoints.h): of every input the generator can give them,
// those where a C library computed otherwise would differ first.
// - The inputs whose exact result lies nearest the midpoint between two
//   floats (from logl and cosl): the ones an approximation rounds most
//   narrowly.
// - logf: the inputs on both sides of every change of the table row and of
//   the binade the C library's logf reduces by, and 1.
// - cosf: the inputs on both sides of every change of the quadrant and of
//   the C library's small-argument paths (its tests of the top 12 bits
//   against pi/4 and 2^-12).
//
//   math_checkpoints > src/math_checkpoints.h    (about a minute)
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "samples/math_inputs.h"

namespace {

constexpr std::size_t nearestCount = 1024;  // of each function

// How far the exact value lies from the nearest midpoint between floats, in
// units of the float's last place (0 to 0.5).
double midpointDistance(long double exact) {
    const auto rounded = static_cast<float>(exact);
    const float other = exact > rounded ? std::nextafter(rounded, INFINITY) : std::nextafter(rounded, -INFINITY);
    const long double ulp = std::fabs(static_cast<long double>(other) - static_cast<long double>(rounded));
    const long double midpoint = (static_cast<long double>(rounded) + static_cast<long double>(other)) / 2;
    return static_cast<double>(std::fabs(exact - midpoint) / ulp);
}

// Keeps the `count` inputs of smallest distance.
class Nearest {
public:
    void add(float input, double distance) {
        kept_.emplace_back(distance, input);
        if (kept_.size() >= 4 * nearestCount) trim();
    }
    std::vector<float> inputs() {
        trim();
        std::vector<float> result;
        for (const auto& [distance, input] : kept_) result.push_back(input);
        return result;
    }

private:
    void trim() {
        if (kept_.size() <= nearestCount) return;
        std::nth_element(kept_.begin(), kept_.begin() + nearestCount, kept_.end());
        kept_.resize(nearestCount);
    }
    std::vector<std::pair<double, float>> kept_;
};

// The C library's logf reduces x = 2^k z and looks z up in a row of 16.
std::uint32_t logfRegion(float x) { return (std::bit_cast<std::uint32_t>(x) - 0x3f330000U) >> 19; }
// Its cosf takes the quadrant from x * 2/pi * 2^24, and has paths of its own
// below 0.75 and 2^-12 by the top 12 bits.
std::uint32_t cosfRegion(float x) {
    const auto top12 = std::bit_cast<std::uint32_t>(x) >> 20;
    const auto quadrant = static_cast<std::uint32_t>(
        (static_cast<std::int32_t>(static_cast<double>(x) * 0x1.45F306DC9C883p+23) + 0x800000) >> 24);
    return quadrant * 4 + (top12 < 0x398 ? 0 : top12 < 0x3f4 ? 1 : 2);
}

void print(const char* name, std::vector<float> inputs) {
    std::sort(inputs.begin(), inputs.end());
    inputs.erase(std::unique(inputs.begin(), inputs.end()), inputs.end());
    std::printf("inline constexpr std::array<std::uint32_t, %zu> %s = {", inputs.size(), name);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::printf("%s0x%08x,", i % 8 == 0 ? "\n    " : " ", std::bit_cast<std::uint32_t>(inputs[i]));
    }
    std::printf("\n};\n");
}

}  // namespace

int main() {
    Nearest nearLog;
    Nearest nearCos;
    std::vector<float> logEdges{1.0F};
    std::vector<float> cosEdges;
    float lastU = 0.0F;
    float lastTheta = -1.0F;
    gaussian_noise::forEachMathInput(
        [&](float u) {
            nearLog.add(u, midpointDistance(std::log(static_cast<long double>(u))));
            if (lastU != 0.0F && logfRegion(u) != logfRegion(lastU)) logEdges.insert(logEdges.end(), {lastU, u});
            lastU = u;
        },
        [&](float theta) {
            nearCos.add(theta, midpointDistance(std::cos(static_cast<long double>(theta))));
            if (lastTheta >= 0.0F && cosfRegion(theta) != cosfRegion(lastTheta)) {
                cosEdges.insert(cosEdges.end(), {lastTheta, theta});
            }
            lastTheta = theta;
        });
    std::vector<float> logs = nearLog.inputs();
    logs.insert(logs.end(), logEdges.begin(), logEdges.end());
    std::vector<float> cosines = nearCos.inputs();
    cosines.insert(cosines.end(), cosEdges.begin(), cosEdges.end());

    std::printf(
        "// Written by tools/math_checkpoints.cpp; do not edit. The inputs, as\n"
        "// float bits, on which a process compares the vector logf and cosf with\n"
        "// the C library's before it uses them: those whose exact result lies\n"
        "// nearest a midpoint between floats, and those on both sides of each\n"
        "// change of table row, binade, quadrant or path of the C library's\n"
        "// functions.\n"
        "#pragma once\n\n#include <array>\n#include <cstdint>\n\nnamespace gaussian_noise {\n\n");
    print("logfCheckpoints", logs);
    std::printf("\n");
    print("cosfCheckpoints", cosines);
    std::printf("\n}  // namespace gaussian_noise\n");
    return 0;
}
