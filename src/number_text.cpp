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
enum class Remainder { zero, belowHalf, half, aboveHalf };

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

// Written without branches: the outcome is a coin toss for random samples.
template <class Integer>
constexpr Remainder compareWithHalf(Integer remainder, Integer whole) {
    const Integer twice = remainder * 2;  // whole < 2^127, no overflow
    return static_cast<Remainder>(int{remainder != 0} + int{twice >= whole} + int{twice > whole});
}

// m * 5^p / 2^shift for a product that fits in the integer type.
template <class Integer>
constexpr Scaled shiftProduct(Integer product, int shift) {
    if (shift <= 0) return {static_cast<std::uint64_t>(product << -shift), Remainder::zero};
    const Integer whole = Integer{1} << shift;
    return {static_cast<std::uint64_t>(product >> shift), compareWithHalf(product & (whole - 1), whole)};
}

// m * 2^e * 10^p, computed exactly for m < 2^24. The caller picks p so that
// the result has six or seven digits.
constexpr Scaled scale(std::uint64_t m, int e, int p) {
    const int shift = -(e + p);  // for p >= 0: m * 5^p / 2^shift
    if (p >= 0 && p <= 17) {
        // The common case: 5^17 < 2^40, so m * 5^p < 2^64.
        return shiftProduct(m * static_cast<std::uint64_t>(powersOfFive[static_cast<std::size_t>(p)]), shift);
    }
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
    if (p <= 27) return shiftProduct(m * five, shift);  // 5^27 < 2^63: m * 5^p < 2^87
    // Below 1e-22 the product m * 5^p may need up to 143 bits. The cut lies at
    // bit 68 or above, so the bits from 2^64 up decide everything, and the
    // remainder is never zero or exactly one half: that would need
    // 2^(shift-1) to divide m * 5^p, yet 5^p is odd and m has 24 bits.
    const uint128 low = static_cast<uint128>(m) * static_cast<std::uint64_t>(five);
    const uint128 high = static_cast<uint128>(m) * static_cast<std::uint64_t>(five >> 64) + (low >> 64);
    const int cut = shift - 64;
    const bool halfBit = ((high >> (cut - 1)) & 1) != 0;
    return {static_cast<std::uint64_t>(high >> cut), halfBit ? Remainder::aboveHalf : Remainder::belowHalf};
}

// floor(log10(2^b)) for |b| < 1650.
constexpr int floorLog10OfPowerOfTwo(int b) { return (b * 78913) >> 18; }

// Binades [2^b, 2^(b+1)) of the floats, subnormals included.
constexpr int minBinade = -149;
constexpr int maxBinade = 127;

// For each binade, the smallest 24-bit m whose value m * 2^(b-23) reaches the
// power of ten above 2^b, or 2^24 when that power lies beyond the binade.
// With it the decimal exponent of a value costs one comparison.
constexpr auto nextPowerOfTen = [] {
    std::array<std::uint32_t, maxBinade - minBinade + 1> table{};
    for (int b = minBinade; b <= maxBinade; ++b) {
        // m * 2^e * 10^(5-k) has seven digits exactly when the value reaches 10^(k+1).
        const int k = floorLog10OfPowerOfTwo(b);
        std::uint32_t low = 1U << 23;
        std::uint32_t high = 1U << 24;
        while (low < high) {
            const std::uint32_t middle = (low + high) / 2;
            if (scale(middle, b - 23, 5 - k).digits >= 1000000) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        table[static_cast<std::size_t>(b - minBinade)] = low;
    }
    return table;
}();

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

std::uint64_t pair(std::uint32_t value) {
    std::uint16_t text = 0;
    std::memcpy(&text, digitPairs + (2 * value), 2);
    return text;
}

// The text is assembled in little-endian 64-bit words, byte i of a word being
// character i, and stored eight bytes at a time.
static_assert(std::endian::native == std::endian::little);

char* store(char* out, std::uint64_t word, std::size_t size) {
    std::memcpy(out, &word, sizeof word);
    return out + size;
}

// condition ? a : b, computed with masks so that no branch is taken on it.
std::uint64_t choose(bool condition, std::uint64_t a, std::uint64_t b) {
    return b ^ ((a ^ b) & (0 - std::uint64_t{condition}));
}

std::uint64_t byteMask(std::size_t bytes) { return (std::uint64_t{1} << (8 * bytes)) - 1; }

// Puts a decimal point after the first `integerDigits` characters of `text`.
std::uint64_t insertPoint(std::uint64_t text, std::size_t integerDigits) {
    const std::size_t bits = 8 * integerDigits;
    return (text & byteMask(integerDigits)) | (std::uint64_t{'.'} << bits) | ((text >> bits) << (bits + 8));
}

// The eight decimal digits of n < 10^8 as byte values 0 to 9, first digit in
// the lowest byte: the number is split in halves, quarters and digits with
// multiplications that work on all lanes of the word at once.
std::uint64_t eightDigitValues(std::uint32_t n) {
    std::uint64_t lanes = n / 10000 | std::uint64_t{n % 10000} << 32;  // two 32-bit lanes < 10^4
    const std::uint64_t hundreds = ((lanes * 10486) >> 20) & 0x0000007F0000007F;  // each lane / 100
    lanes = hundreds | (lanes - hundreds * 100) << 16;                            // four 16-bit lanes < 100
    const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000F;        // each lane / 10
    return tens | (lanes - tens * 10) << 8;
}

// Writes six significant digits (100000 to 999999) whose first digit has the
// decimal exponent k, without trailing zeros, in the notation %g picks.
char* writeDigits(char* out, std::uint32_t digits, int k) {
    const std::uint64_t values = eightDigitValues(digits) >> 16;  // six digits; the top two bytes are 0
    const std::uint64_t text = values + 0x303030303030;
    const std::size_t size = 6 - static_cast<std::size_t>(std::countl_zero(values << 16) / 8);

    if (k < -4 || k >= 6) {
        out = store(out, size > 1 ? insertPoint(text, 1) : text, size > 1 ? size + 1 : 1);
        const std::uint64_t sign = k < 0 ? '-' : '+';
        const auto magnitude = static_cast<std::uint32_t>(k < 0 ? -k : k);  // at most 45
        return store(out, 'e' | sign << 8 | pair(magnitude) << 16, 4);
    }
    // Fixed notation, written without branches on k since random samples fall
    // on both sides of 1: below 1 the digits follow "0.000"; from 1 up they
    // get a point after the integer digits, unless no fraction digits remain.
    const bool belowOne = k < 0;
    out = store(out, 0x3030303030302e30, static_cast<std::size_t>(1 - k) * belowOne);  // "0.000000"
    // Below 1 the point goes after all six digits, out of the stored size.
    const std::size_t integerDigits = choose(belowOne, 6, static_cast<std::size_t>(k + 1));
    const std::size_t pointedSize = size > integerDigits ? size + 1 : integerDigits;
    return store(out, insertPoint(text, integerDigits), choose(belowOne, size, pointedSize));
}

}  // namespace

char* writeGeneral(char* out, float value) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t negative = bits >> 31;
    *out = '-';
    out += negative;
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

    const int b = e + 23;  // the value lies in [2^b, 2^(b+1))
    int k = floorLog10OfPowerOfTwo(b) + int{m >= nextPowerOfTen[static_cast<std::size_t>(b - minBinade)]};
    const Scaled scaled = scale(m, e, 5 - k);
    auto digits = static_cast<std::uint32_t>(scaled.digits);
    digits += static_cast<std::uint32_t>((scaled.rest == Remainder::aboveHalf) |
                                         ((scaled.rest == Remainder::half) & ((digits & 1) != 0)));
    if (digits == 1000000) {  // 999999.5 becomes 1e+06
        digits = 100000;
        ++k;
    }
    return writeDigits(out, digits, k);
}

char* writeDecimal(char* out, std::int32_t value) noexcept {
    return std::to_chars(out, out + maxDecimalLength, value).ptr;
}

}  // namespace gaussian_noise
