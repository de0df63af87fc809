#include <algorithm>
#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "text/digits.h"
#include "text/number_text.h"
#include "text/number_text_variants.h"

namespace gaussian_noise {
namespace {

constexpr int maxPowerOfFive = 52;
constexpr std::array<uint128, maxPowerOfFive + 1> makePowersOfFive() {
    std::array<uint128, maxPowerOfFive + 1> table{};
    table[0] = 1;
    for (std::size_t i = 1; i < table.size(); ++i) {
        table[i] = table[i - 1] * 5;
    }
    return table;
}
constexpr auto powersOfFive = makePowersOfFive();

// x / 2^shift rounded to nearest, exact ties to even, for shift > 0: adding
// just under one half, plus one when the kept part is odd, carries into the
// kept part exactly when rounding goes up. No branch depends on the digits.
template <class Integer>
constexpr Integer shiftRounded(Integer x, int shift) {
    const Integer half = Integer{1} << (shift - 1);
    return (x + (half - 1) + ((x >> shift) & 1)) >> shift;
}

// m * 2^e * 10^p rounded to nearest with exact ties to even, computed exactly
// for 2^23 <= m < 2^24. The caller picks p so that the result has six digits.
constexpr std::uint32_t roundedDigits(std::uint64_t m, int e, int p) {
    // For p >= 0 (values below 10^6) the result is m * 5^p / 2^shift, with
    // shift > 0: a value below 10^(k+1) has e below (k+1) log2(10) - 23.
    const int shift = -(e + p);
    if (p >= 0 && p <= 17) {
        // From 1e-12 up: 5^17 < 2^40, so m * 5^p < 2^64.
        const std::uint64_t product = m * static_cast<std::uint64_t>(powersOfFive[static_cast<std::size_t>(p)]);
        return static_cast<std::uint32_t>(shiftRounded(product, shift));
    }
    if (p > 17 && p <= 27) {
        // From 1e-22 up: 5^27 < 2^63, so m * 5^p < 2^87.
        return static_cast<std::uint32_t>(shiftRounded(m * powersOfFive[static_cast<std::size_t>(p)], shift));
    }
    if (p < 0) {
        // From 1e+06 up: m * 2^e / (5^n * 2^n). The numerator stays below
        // 2^128 because every float does, the denominator below 2^120.
        const int n = -p;
        uint128 numerator = m;
        uint128 denominator = powersOfFive[static_cast<std::size_t>(n)];
        if (e >= n) {
            numerator <<= (e - n);
        } else {
            denominator <<= (n - e);
        }
        const auto quotient = static_cast<std::uint32_t>(numerator / denominator);
        const uint128 twiceRemainder = 2 * (numerator % denominator);
        const bool up = twiceRemainder > denominator || (twiceRemainder == denominator && (quotient & 1) != 0);
        return quotient + (up ? 1 : 0);
    }
    // Below 1e-22 the product m * 5^p needs up to 143 bits. The cut lies at
    // bit 68 or above, so the bits from 2^64 up decide everything, and there
    // are no exact ties: that would need 2^(shift-1) to divide m * 5^p, yet
    // 5^p is odd and m has 24 bits.
    const uint128 five = powersOfFive[static_cast<std::size_t>(p)];
    const uint128 low = static_cast<uint128>(m) * static_cast<std::uint64_t>(five);
    const uint128 high = static_cast<uint128>(m) * static_cast<std::uint64_t>(five >> 64) + (low >> 64);
    const int cut = shift - 64;
    return static_cast<std::uint32_t>((high >> cut) + ((high >> (cut - 1)) & 1));
}

// floor(log10(2^b)) for |b| < 1650.
constexpr int floorLog10OfPowerOfTwo(int b) { return (b * 78913) >> 18; }

// Binades [2^b, 2^(b+1)) of the floats, subnormals included.
constexpr int minBinade = -149;
constexpr int maxBinade = 127;

// What the decimal exponent of a value in the binade [2^b, 2^(b+1)) can be
// once the value is rounded to six digits: k, the exponent of 2^b, or k + 1
// from the smallest 24-bit m whose value m * 2^(b-23) rounds up to the next
// power of ten (2^24 when none does). With it the exponent costs one
// comparison, and 999999.5 already counts as 1e+06.
struct Binade {
    int k;
    std::uint32_t nextPowerFrom;
};

constexpr std::array<Binade, maxBinade - minBinade + 1> makeBinades() {
    std::array<Binade, maxBinade - minBinade + 1> table{};
    for (int b = minBinade; b <= maxBinade; ++b) {
        const int k = floorLog10OfPowerOfTwo(b);  // 10^k <= 2^b < 10^(k+1)
        if (roundedDigits(1U << 23, b - 23, 5 - k) < 100000) throw "the estimate of k is too large";
        std::uint32_t low = 1U << 23;
        std::uint32_t high = 1U << 24;
        while (low < high) {
            const std::uint32_t middle = (low + high) / 2;
            if (roundedDigits(middle, b - 23, 5 - k) >= 1000000) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        table[static_cast<std::size_t>(b - minBinade)] = {k, low};
    }
    return table;
}
constexpr auto binades = makeBinades();

// The decimal exponent, once rounded to six digits, of m * 2^(b-23).
constexpr int decimalExponent(std::uint64_t m, int b) {
    const Binade& binade = binades[static_cast<std::size_t>(b - minBinade)];
    return binade.k + (m >= binade.nextPowerFrom ? 1 : 0);
}

std::uint64_t pair(std::uint32_t value) {
    std::uint16_t text = 0;
    std::memcpy(&text, digitPairs.data() + std::size_t{2} * value, 2);
    return text;
}

// The text is assembled in little-endian 64-bit words, byte i of a word being
// character i, and stored eight bytes at a time.
static_assert(std::endian::native == std::endian::little);

char* store(char* out, std::uint64_t word, std::size_t size) {
    std::memcpy(out, &word, sizeof word);
    return out + size;
}

std::uint64_t byteMask(std::size_t bytes) { return (std::uint64_t{1} << (8 * bytes)) - 1; }

// Puts a decimal point after the first `integerDigits` characters of `text`.
std::uint64_t insertPoint(std::uint64_t text, std::size_t integerDigits) {
    const std::size_t bits = 8 * integerDigits;
    return (text & byteMask(integerDigits)) | (std::uint64_t{'.'} << bits) | ((text >> bits) << (bits + 8));
}

// Six digits (100000 to 999999) as text, and how many of them remain once
// trailing zeros are dropped.
struct SixDigits {
    std::uint64_t text;
    std::size_t size;
};

SixDigits sixDigits(std::uint32_t digits) {
    // Two digits at a time from the top: t holds the digits not yet written
    // as a binary fraction of 2^32 (exact for every number below 10^6).
    std::uint64_t t = std::uint64_t{digits} * 429497;  // about 2^32 / 10^4
    const std::uint64_t first = pair(static_cast<std::uint32_t>(t >> 32));
    t = (t & 0xFFFFFFFF) * 100;
    const std::uint64_t second = pair(static_cast<std::uint32_t>(t >> 32));
    t = (t & 0xFFFFFFFF) * 100;
    const std::uint64_t text = first | second << 16 | pair(static_cast<std::uint32_t>(t >> 32)) << 32;
    // The digits' values with the last one in the top byte; the first is not
    // 0, and the low bit set tells the compiler the word is never 0.
    const std::uint64_t values = (text - 0x303030303030) << 16 | 1;
    return {text, 6 - static_cast<std::size_t>(std::countl_zero(values) / 8)};
}

// How fixed notation lays out six digits whose first has the decimal
// exponent k, -4 <= k <= 5, in two 8-byte stores: below 1, "0.000000" and
// then the digits after 1 - k bytes; from 1 up, the digits with a point after
// the k + 1 integer digits, stored twice at the start.
struct FixedLayout {
    std::uint64_t integerDigits;  // mask of the digits before the point
    std::uint64_t point;          // the point, or "0.000000" below 1
    std::uint64_t fraction;       // mask of the digits after the point, moved one byte up
    std::uint64_t digitsSecond;   // all ones if the plain digits are the second store
    std::size_t secondAt;         // where the second store goes
    // The text's length by the number of digits left once trailing zeros go:
    // the point goes too when no fraction digit is left.
    std::array<std::uint8_t, 7> sizes;
};

constexpr std::array<FixedLayout, 10> makeFixedLayouts() {
    std::array<FixedLayout, 10> layouts{};
    for (std::size_t index = 0; index < layouts.size(); ++index) {
        const int k = static_cast<int>(index) - 4;
        FixedLayout& layout = layouts[index];
        if (k < 0) {
            layout = {0, 0x3030303030302e30, 0, ~std::uint64_t{0}, static_cast<std::size_t>(1 - k), {}};
        } else {
            const std::uint64_t integer = (std::uint64_t{1} << (8 * (k + 1))) - 1;
            layout = {integer, std::uint64_t{'.'} << (8 * (k + 1)), ~integer << 8, 0, 0, {}};
        }
        for (int digits = 1; digits <= 6; ++digits) {
            const int size = fixedLength(k, digits);
            layout.sizes[static_cast<std::size_t>(digits)] = static_cast<std::uint8_t>(size);
        }
    }
    return layouts;
}
constexpr auto fixedLayouts = makeFixedLayouts();

// Six digits whose first has the decimal exponent k, -4 <= k <= 5, in fixed
// notation, from tables and masks without branches on k, since random
// samples fall on both sides of 1. Kept out of line: as a tail call from
// writeGeneral it measured faster than inlined.
[[gnu::noinline]] char* writeFixed(char* out, std::uint32_t digits, int k) {
    const SixDigits six = sixDigits(digits);
    const int index = k + 4;
    const FixedLayout& layout = fixedLayouts[static_cast<std::size_t>(index)];
    const std::uint64_t pointed =
        (six.text & layout.integerDigits) | layout.point | ((six.text << 8) & layout.fraction);
    store(out, pointed, 8);
    store(out + layout.secondAt, pointed ^ ((pointed ^ six.text) & layout.digitsSecond), 8);
    out += layout.sizes[six.size];
    return out;
}

// Six digits whose first has the decimal exponent k in exponent notation.
char* writeExponent(char* out, std::uint32_t digits, int k) {
    const SixDigits six = sixDigits(digits);
    out = store(out, six.size > 1 ? insertPoint(six.text, 1) : six.text, six.size > 1 ? six.size + 1 : 1);
    const std::uint64_t sign = k < 0 ? std::uint64_t{'-'} : std::uint64_t{'+'};
    const auto magnitude = static_cast<std::uint32_t>(k < 0 ? -k : k);  // at most 45
    return store(out, 'e' | sign << 8 | pair(magnitude) << 16, 4);
}

// Everything but the common case below: infinities, not-a-number, zero,
// subnormals and exponent notation. `out` is past the sign.
char* writeOtherMagnitude(char* out, std::uint32_t bits) {
    const std::uint32_t biasedExponent = (bits >> 23) & 0xFF;
    std::uint64_t m = bits & 0x7FFFFF;
    if (biasedExponent == 0xFF) return store(out, m == 0 ? 0x666e69 : 0x6e616e, 3);  // "inf", "nan"
    if (biasedExponent == 0 && m == 0) return store(out, '0', 1);
    int e = static_cast<int>(biasedExponent) - 150;  // value = m * 2^e
    if (biasedExponent != 0) {
        m |= std::uint64_t{1} << 23;
    } else {
        const int normalize = std::countl_zero(m) - 40;  // subnormal: give m 24 bits too
        m <<= normalize;
        e = -149 - normalize;
    }
    const int k = decimalExponent(m, e + 23);  // below -4 or above 5 here
    return writeExponent(out, roundedDigits(m, e, 5 - k), k);
}

constexpr double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// The smallest positive float whose decimal exponent after rounding to six
// digits is at least j, found by bisection over the bit patterns of the
// normal floats, which sort like their values.
constexpr float decimalExponentStart(int j) {
    std::uint32_t low = 0x00800000;   // smallest normal
    std::uint32_t high = 0x7F7FFFFF;  // largest normal
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const std::uint64_t m = (middle & 0x7FFFFF) | 0x800000;
        if (decimalExponent(m, static_cast<int>(middle >> 23) - 127) >= j) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return std::bit_cast<float>(low);
}

constexpr std::array<float, fixedExponentCount + 1> makeDecimalExponentStarts() {
    std::array<float, fixedExponentCount + 1> starts{};
    for (std::size_t i = 0; i < starts.size(); ++i) {
        starts[i] = decimalExponentStart(minFixedExponent + static_cast<int>(i));
    }
    return starts;
}

}  // namespace

constinit const std::array<float, fixedExponentCount + 1> decimalExponentStarts = makeDecimalExponentStarts();

bool ownTextServes() noexcept { return std::fegetround() == FE_TONEAREST; }

char* writeGeneralByPrintf(char* out, float value) noexcept {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): one float into the cell's room
    const int size = std::snprintf(out, generalRoom, "%g", static_cast<double>(value));
    return out + std::max(size, 0);
}

char* writeGeneral(char* out, float value) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    *out = '-';
    out += bits >> 31;
    const std::uint32_t biasedExponent = (bits >> 23) & 0xFF;
    if (biasedExponent != 0 && biasedExponent != 0xFF) {
        const std::uint32_t m = (bits & 0x7FFFFF) | 0x800000;
        const int k = decimalExponent(m, static_cast<int>(biasedExponent) - 127);
        if (k >= -4 && k <= 5) {
            // The common case, fixed notation from 0.0001 to 999999: |value| *
            // 10^(5-k) is exact in double (24 bits times 5^(5-k) < 2^21), and
            // adding 2^52 rounds it to an integer, exact ties to even in the
            // default rounding mode, that lands in the low bits of the sum.
            const double scaled =
                static_cast<double>(std::fabs(value)) * powersOfTen[static_cast<std::size_t>(5 - k)] + 0x1p52;
            return writeFixed(out, static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(scaled)), k);
        }
    }
    return writeOtherMagnitude(out, bits);
}

}  // namespace gaussian_noise
