#include "number_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>

namespace gaussian_noise {
namespace {

__extension__ using uint128 = unsigned __int128;

// How the part cut off below the last kept digit compares with one half of it.
enum class Remainder { belowHalf, half, aboveHalf };

struct Scaled {
    std::uint64_t digits;  // the value times 10^p, rounded down
    Remainder rest;
};

constexpr int maxPowerOfFive = 52;
constexpr auto powersOfFive = [] {
    std::array<uint128, maxPowerOfFive + 1> table{};
    table[0] = 1;
    for (std::size_t i = 1; i < table.size(); ++i) {
        table[i] = table[i - 1] * 5;
    }
    return table;
}();

template <class Integer>
Remainder compareWithHalf(Integer remainder, Integer whole) {
    const Integer twice = remainder * 2;  // whole < 2^127, no overflow
    if (twice < whole) return Remainder::belowHalf;
    return twice == whole ? Remainder::half : Remainder::aboveHalf;
}

// m * 2^e * 10^p, computed exactly. The callers pick p so that the result
// has six or seven digits.
Scaled scale(std::uint64_t m, int e, int p) {
    if (p < 0) {
        // m * 2^e / (5^n * 2^n): the numerator stays below 2^128 because
        // every float does, the denominator below 2^120.
        const int n = -p;
        uint128 numerator = m;
        uint128 denominator = powersOfFive[static_cast<std::size_t>(n)];
        if (e >= n) {
            numerator <<= (e - n);
        } else {
            denominator <<= (n - e);
        }
        return {static_cast<std::uint64_t>(numerator / denominator),
                compareWithHalf(numerator % denominator, denominator)};
    }
    const uint128 five = powersOfFive[static_cast<std::size_t>(p)];
    const int shift = -(e + p);  // m * 5^p / 2^shift
    if (p <= 27) {
        // 5^27 < 2^63, so m * 5^p < 2^87.
        const uint128 product = m * five;
        if (shift <= 0) {
            return {static_cast<std::uint64_t>(product << -shift), Remainder::belowHalf};
        }
        const uint128 one = 1;
        return {static_cast<std::uint64_t>(product >> shift),
                compareWithHalf(product & ((one << shift) - 1), one << shift)};
    }
    // Below 1e-22 the product m * 5^p may need up to 143 bits. The cut lies at
    // bit 68 or above, so the bits from 2^64 up decide everything, and the
    // remainder is never exactly one half: that would need 2^(shift-1) to
    // divide m * 5^p, yet 5^p is odd and m has at most 24 bits.
    const uint128 low = static_cast<uint128>(m) * static_cast<std::uint64_t>(five);
    const uint128 high = static_cast<uint128>(m) * static_cast<std::uint64_t>(five >> 64) + (low >> 64);
    const int cut = shift - 64;
    const bool halfBit = ((high >> (cut - 1)) & 1) != 0;
    return {static_cast<std::uint64_t>(high >> cut), halfBit ? Remainder::aboveHalf : Remainder::belowHalf};
}

// floor(log10(2^b)) for |b| < 1650.
int floorLog10OfPowerOfTwo(int b) { return (b * 78913) >> 18; }

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void writePair(char* out, std::uint32_t value) { std::memcpy(out, digitPairs + (2 * value), 2); }

char* copy(char* out, const char* text, std::size_t size) {
    std::memcpy(out, text, size);
    return out + size;
}

// Writes six significant digits (100000 to 999999) whose first digit has the
// decimal exponent k, without trailing zeros, in the notation %g picks.
char* writeDigits(char* out, std::uint32_t digits, int k) {
    char text[6];
    writePair(text, digits / 10000);
    writePair(text + 2, (digits / 100) % 100);
    writePair(text + 4, digits % 100);
    std::size_t size = 6;
    while (text[size - 1] == '0') {
        --size;
    }

    if (k < -4 || k >= 6) {
        *out++ = text[0];
        if (size > 1) {
            *out++ = '.';
            out = copy(out, text + 1, size - 1);
        }
        *out++ = 'e';
        *out++ = k < 0 ? '-' : '+';
        writePair(out, static_cast<std::uint32_t>(k < 0 ? -k : k));  // |k| <= 45
        return out + 2;
    }
    if (k < 0) {
        out = copy(out, "0.0000", static_cast<std::size_t>(1 - k));
        return copy(out, text, size);
    }
    const auto integerDigits = static_cast<std::size_t>(k + 1);
    if (size <= integerDigits) {
        out = copy(out, text, size);
        return copy(out, "00000", integerDigits - size);
    }
    out = copy(out, text, integerDigits);
    *out++ = '.';
    return copy(out, text + integerDigits, size - integerDigits);
}

}  // namespace

char* writeGeneral(char* out, float value) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    if ((bits >> 31) != 0) *out++ = '-';
    const std::uint32_t biasedExponent = (bits >> 23) & 0xFF;
    std::uint64_t m = bits & 0x7FFFFF;
    if (biasedExponent == 0xFF) return copy(out, m == 0 ? "inf" : "nan", 3);
    if (biasedExponent == 0 && m == 0) {
        *out = '0';
        return out + 1;
    }
    int e = -149;  // value = m * 2^e
    if (biasedExponent != 0) {
        m |= std::uint64_t{1} << 23;
        e = static_cast<int>(biasedExponent) - 150;
    }

    // The decimal exponent k of the value is this estimate or one more.
    int k = floorLog10OfPowerOfTwo(e + 63 - std::countl_zero(m));
    Scaled scaled = scale(m, e, 5 - k);
    if (scaled.digits >= 1000000) {
        ++k;
        scaled = scale(m, e, 5 - k);
    }
    auto digits = static_cast<std::uint32_t>(scaled.digits);
    if (scaled.rest == Remainder::aboveHalf || (scaled.rest == Remainder::half && (digits & 1) != 0)) {
        ++digits;
        if (digits == 1000000) {  // 999999.5 becomes 1e+06
            digits = 100000;
            ++k;
        }
    }
    return writeDigits(out, digits, k);
}

char* writeDecimal(char* out, std::int32_t value) noexcept {
    return std::to_chars(out, out + maxDecimalLength, value).ptr;
}

}  // namespace gaussian_noise
