// Derives the windows of the vector logf and cosf (src/math_windows.h): for
// every input the generator can give them, compares the C library's logf and
// cosf with the correctly rounded result, computed from logl and cosl, and
// where they differ, measures how close the exact value lies to the midpoint
// between the two floats around it. A double-precision result farther from
// every midpoint than the window of its binade (that largest distance, plus
// the double routine's error) rounds to the C library's float.
//
//   math_windows > src/math_windows.h    (about a minute)
#include <gnu/libc-version.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "math_inputs.h"
#include "math_windows_layout.h"

namespace {

using gaussian_noise::windowCount;

// The double routine's error bound, in units of the double's last place,
// with room to spare: glibc documents 4 for libmvec's log and cos.
constexpr std::uint32_t routineError = 16;

struct Windows {
    std::array<std::uint32_t, windowCount> widest{};  // per binade: the largest distance where the library differs
    std::uint64_t inputs = 0;
    std::uint64_t differing = 0;

    void add(float input, float library, long double exact) {
        ++inputs;
        const auto rounded = static_cast<float>(exact);
        if (std::bit_cast<std::uint32_t>(rounded) == std::bit_cast<std::uint32_t>(library)) return;
        ++differing;
        // The distance from the midpoint in units of the double's last place
        // at the result's binade (2^-29 of the float's), rounded up.
        const long double magnitude = std::fabs(exact);
        const int exponent = std::ilogb(static_cast<double>(magnitude));
        const long double scaled = std::ldexp(magnitude, 23 - exponent);  // in [2^23, 2^24)
        const long double distance = std::fabs(scaled - std::floor(scaled) - 0.5L) * 0x1p29L;
        const std::uint64_t key =
            gaussian_noise::windowKey(std::bit_cast<std::uint64_t>(static_cast<double>(magnitude)));
        if (key >= windowCount) {
            (void)std::fprintf(stderr, "input %a: its result's binade 2^%d has no window\n", static_cast<double>(input),
                               exponent);
            return;
        }
        widest[key] = std::max(widest[key], static_cast<std::uint32_t>(std::ceil(distance)));
    }

    // Each window covers its neighbours' too, for a double result and the
    // exact value may lie on either side of a boundary between two keys.
    [[nodiscard]] std::array<std::uint32_t, windowCount> windows() const {
        std::array<std::uint32_t, windowCount> result{};
        for (std::size_t key = 0; key < windowCount; ++key) {
            std::uint32_t around = widest[key];
            if (key > 0) around = std::max(around, widest[key - 1]);
            if (key + 1 < windowCount) around = std::max(around, widest[key + 1]);
            result[key] = around + routineError;
        }
        return result;
    }
};

void print(const char* name, const Windows& windows) {
    (void)std::fprintf(stderr, "%s: %llu inputs, %llu where the library differs from the correctly rounded result\n",
                       name, static_cast<unsigned long long>(windows.inputs),
                       static_cast<unsigned long long>(windows.differing));
    (void)std::printf("inline constexpr std::array<std::uint32_t, windowCount> %sWindows = {", name);
    const auto values = windows.windows();
    for (std::size_t key = 0; key < values.size(); ++key) {
        (void)std::printf("%s%u", key % 8 == 0 ? "\n    " : " ", values[key]);
        if (key + 1 < values.size()) (void)std::printf(",");
    }
    (void)std::printf("};\n");
}

}  // namespace

int main() {
    Windows logWindows;
    Windows cosWindows;
    gaussian_noise::forEachMathInput(
        [&](float u) { logWindows.add(u, logf(u), std::log(static_cast<long double>(u))); },
        [&](float theta) { cosWindows.add(theta, cosf(theta), std::cos(static_cast<long double>(theta))); });

    (void)std::printf(
        "// Written by tools/math_windows.cpp from the logf and cosf of the C library %s;\n"
        "// do not edit. Per sixteenth of a binade of a result (windowKey), the distance\n"
        "// from a float midpoint, in units of the double's last place, within which\n"
        "// the C library's float may differ from the correctly rounded one, and the\n"
        "// vector routine's from the exact value.\n"
        "#pragma once\n\n#include <array>\n#include <cstdint>\n\n#include \"math_windows_layout.h\"\n\n"
        "namespace gaussian_noise {\n\ninline constexpr const char* windowsLibraryVersion = \"%s\";\n\n",
        gnu_get_libc_version(), gnu_get_libc_version());
    print("logf", logWindows);
    print("cosf", cosWindows);
    (void)std::printf("\n}  // namespace gaussian_noise\n");
    return 0;
}
