// The shortest text that reads back as the same float, as std::to_chars
// writes it, without std::to_chars for every normal float and zero.
//
// The digits: for x = c * 2^q, the rounding interval of x (the reals that
// read back as x: halfway to each neighbour, the ends included when c is
// even) holds one or more decimals; wanted is one of the fewest digits and,
// of those, the nearest to x. With 10^k the largest power of ten not above
// 2^q, x / 10^k lies in [c, 10c): 8 or 9 digits before the point.
// The interval's width, scaled the same way, is below 10, so a decimal of
// fewer digits than that whole part, less one, never lies in it; the
// candidates are the multiples of 10 just below and above x / 10^k, and the
// integers just below and above it. Each end of the interval, and x, is
// scaled by one 64-bit multiplication by 10^-k (rounded up, 63 bits kept)
// and rounded to odd, which keeps every comparison with those candidates
// exact (the method of Giulietti's Schubfach). Every float is checked
// against std::to_chars by tools/verify_all_floats.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/digits.h"
#include "text/number_text.h"

namespace gaussian_noise {
namespace {

// floor(log10(2^q)), floor(log10(3/4 * 2^q)) and floor(log2(10^e)) for the
// exponents a float needs, by fixed-point multiplication.
constexpr int floorLog10Pow2(int q) { return static_cast<int>((q * 661971961083LL) >> 41); }
constexpr int floorLog10ThreeQuartersPow2(int q) {
    return static_cast<int>((q * 661971961083LL - 274743187321LL) >> 41);
}
constexpr int floorLog2Pow10(int e) { return static_cast<int>((e * 913124641741LL) >> 38); }

// An unsigned integer of three 64-bit words, least significant first,
// for building the table of powers of ten at compile time.
struct Wide {
    std::array<std::uint64_t, 3> words{};

    constexpr bool operator>=(const Wide& other) const {
        for (std::size_t i = words.size(); i-- > 0;) {
            if (words[i] != other.words[i]) return words[i] > other.words[i];
        }
        return true;
    }
    constexpr void subtract(const Wide& other) {
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::uint64_t before = words[i];
            words[i] = before - other.words[i] - borrow;
            borrow = (before < other.words[i] || (before == other.words[i] && borrow != 0)) ? 1 : 0;
        }
    }
    constexpr void shiftLeftAdding(unsigned bit) {
        for (std::size_t i = words.size(); i-- > 1;) words[i] = words[i] << 1U | words[i - 1] >> 63U;
        words[0] = words[0] << 1U | bit;
    }
    constexpr void multiplyBy10() {
        uint128 carry = 0;
        for (std::uint64_t& word : words) {
            const uint128 product = static_cast<uint128>(word) * 10 + carry;
            word = static_cast<std::uint64_t>(product);
            carry = product >> 64U;
        }
    }
    [[nodiscard]] constexpr bool bit(int index) const {
        return index >= 0 &&
               (words[static_cast<std::size_t>(index / 64)] >> static_cast<unsigned>(index % 64) & 1U) != 0;
    }
};

// The exponents of ten the digits need: -k for every k = floorLog10Pow2(q)
// (or of 3/4 2^q) with q from -149 to 104.
constexpr int leastPower = -31;
constexpr int greatestPower = 45;

// floor(10^e * 2^(62 - floorLog2Pow10(e))) + 1: 10^e to 63 bits, rounded up.
constexpr std::uint64_t scaledPowerOfTen(int e) {
    const int shift = 62 - floorLog2Pow10(e);
    Wide power;
    power.words[0] = 1;
    for (int i = 0; i < (e < 0 ? -e : e); ++i) power.multiplyBy10();
    std::uint64_t result = 0;
    if (e >= 0) {
        // 10^e shifted right by -shift bits.
        for (int i = 0; i < 63; ++i) result = result << 1U | (power.bit(62 - shift - i) ? 1U : 0U);
    } else {
        // 2^shift / 10^-e, one bit at a time.
        Wide remainder;
        for (int i = shift; i >= 0; --i) {
            remainder.shiftLeftAdding(i == shift ? 1U : 0U);
            result <<= 1U;
            if (remainder >= power) {
                remainder.subtract(power);
                result |= 1U;
            }
        }
    }
    return result + 1;
}

constexpr std::size_t powerCount = greatestPower - leastPower + 1;
constexpr std::array<std::uint64_t, powerCount> makePowersOfTen() {
    std::array<std::uint64_t, powerCount> table{};
    for (std::size_t i = 0; i < powerCount; ++i) table[i] = scaledPowerOfTen(leastPower + static_cast<int>(i));
    return table;
}
constexpr auto powersOfTen = makePowersOfTen();

// g * cp / 2^95 rounded to odd: the high bits, with the lowest set where
// any bit below them is.
inline std::uint64_t roundedToOdd(std::uint64_t g, std::uint64_t cp) {
    const auto high = static_cast<std::uint64_t>(static_cast<uint128>(g) * cp >> 64U);
    return high >> 31U | (((high & 0xFFFF'FFFFU) + 0xFFFF'FFFFU) >> 32U);
}

// digits * 10^exponent.
struct Decimal {
    std::uint32_t digits;
    int exponent;
};

// `condition ? a : b` by masks, without a branch.
inline std::uint64_t select(bool condition, std::uint64_t a, std::uint64_t b) {
    const std::uint64_t mask = std::uint64_t{0} - static_cast<std::uint64_t>(condition);
    return (a & mask) | (b & ~mask);
}

// The decimal of the fewest digits in x's rounding interval, nearest x of
// those, for a normal float x = c * 2^q, 2^23 <= c < 2^24.
Decimal shortestDecimal(int q, std::uint32_t c) {
    constexpr std::uint32_t leastNormal = 1U << 23U;
    const std::uint64_t out = c & 1U;  // an odd c leaves the ends of the interval out
    const std::uint64_t cb = std::uint64_t{c} << 2U;
    const std::uint64_t cbr = cb + 2;
    std::uint64_t cbl = cb - 2;
    int k = floorLog10Pow2(q);
    // At a power of two the float below is nearer: the interval is lopsided.
    if (c == leastNormal && q > -149) {  // the least normal float's neighbour below is as near
        cbl = cb - 1;
        k = floorLog10ThreeQuartersPow2(q);
    }
    const int h = q + floorLog2Pow10(-k) + 33;
    const std::uint64_t g = powersOfTen[static_cast<std::size_t>(-k - leastPower)];
    const std::uint64_t vb = roundedToOdd(g, cb << static_cast<unsigned>(h));
    const std::uint64_t vbl = roundedToOdd(g, cbl << static_cast<unsigned>(h));
    const std::uint64_t vbr = roundedToOdd(g, cbr << static_cast<unsigned>(h));

    // Every candidate is weighed at once, and the choice made by selects
    // rather than branches: which one wins depends on the digits, which
    // a branch predictor cannot foresee.
    const std::uint64_t s = vb >> 2U;  // at least c: 2^23 and more
    // One digit fewer: the multiples of ten around x.
    const std::uint64_t sp10 = s / 10 * 10;
    const std::uint64_t tp10 = sp10 + 10;
    const bool lowerTenIn = vbl + out <= sp10 << 2U;
    const bool upperTenIn = (tp10 << 2U) + out <= vbr;
    // The integers around x; where both are in, the nearer, ties to the even one.
    const std::uint64_t t = s + 1;
    const bool lowerIn = vbl + out <= s << 2U;
    const bool upperIn = (t << 2U) + out <= vbr;
    const auto difference = static_cast<std::int64_t>(vb - ((s + t) << 1U));
    const std::uint64_t nearer =
        s + (static_cast<std::uint64_t>(difference > 0) | (static_cast<std::uint64_t>(difference == 0) & s & 1U));
    const std::uint64_t integer = select(lowerIn != upperIn, lowerIn ? s : t, nearer);
    const std::uint64_t digits = select(lowerTenIn != upperTenIn, lowerTenIn ? sp10 : tp10, integer);
    return {static_cast<std::uint32_t>(digits), k};
}

// Removes `count` zeros from the end of the digits where they are there,
// by a select: the power is a constant, so the division is a multiplication.
template <std::uint32_t power, int count>
inline void dropZeros(Decimal& decimal) {
    const std::uint32_t quotient = decimal.digits / power;
    const bool zeros = quotient * power == decimal.digits;
    decimal.digits = static_cast<std::uint32_t>(select(zeros, quotient, decimal.digits));
    decimal.exponent += count * static_cast<int>(zeros);
}

// `decimal` without the zeros at the end of its digits (below 10^10: eight at most).
inline Decimal withoutTrailingZeros(Decimal decimal) {
    dropZeros<100000000, 8>(decimal);
    dropZeros<10000, 4>(decimal);
    dropZeros<100, 2>(decimal);
    dropZeros<10, 1>(decimal);
    return decimal;
}

// The number of decimal digits of n, 1 to 10: comparisons the processor
// makes side by side.
inline int digitCount(std::uint32_t n) {
    return 1 + (n >= 10 ? 1 : 0) + (n >= 100 ? 1 : 0) + (n >= 1000 ? 1 : 0) + (n >= 10000 ? 1 : 0) +
           (n >= 100000 ? 1 : 0) + (n >= 1000000 ? 1 : 0) + (n >= 10000000 ? 1 : 0) + (n >= 100000000 ? 1 : 0) +
           (n >= 1000000000 ? 1 : 0);
}
inline int digitCount(std::uint64_t n) {
    int count = 1;
    for (std::uint64_t power = 10; count < 20 && n >= power; power *= 10) ++count;
    return count;
}

// Writes the last `count` digits of n so that they end at `end`, two at a time.
inline void writeDigits(char* end, std::uint64_t n, int count) {
    for (; count >= 2; count -= 2) {
        end -= 2;
        std::memcpy(end, &digitPairs[static_cast<std::size_t>(n % 100 * 2)], 2);
        n /= 100;
    }
    if (count == 1) end[-1] = static_cast<char>('0' + n % 10);
}

}  // namespace

char* writeShortest(char* out, float value) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t fraction = bits & 0x7F'FFFFU;
    const std::uint32_t biased = bits >> 23U & 0xFFU;
    // Infinities, NaNs and subnormals, whose few significant bits may leave
    // room for a decimal of two or more digits fewer: the standard library.
    if (biased == 0xFF || (biased == 0 && fraction != 0)) {
        return std::to_chars(out, out + shortestRoom, value).ptr;
    }
    if ((bits >> 31U) != 0) *out++ = '-';
    if (biased == 0 && fraction == 0) {
        *out = '0';
        return out + 1;
    }
    const std::uint32_t c = fraction | 1U << 23U;
    const int q = static_cast<int>(biased) - 150;

    // A whole number below 2^24 is its own shortest decimal.
    Decimal decimal{};
    if (q < 0 && q > -24 && (c & ((1U << static_cast<unsigned>(-q)) - 1U)) == 0) {
        decimal = {c >> static_cast<unsigned>(-q), 0};
    } else {
        decimal = shortestDecimal(q, c);
    }
    decimal = withoutTrailingZeros(decimal);
    const int count = digitCount(decimal.digits);
    const int scientific = decimal.exponent + count - 1;  // the exponent of d.ddde+XX
    // Fixed notation is taken where it is no longer: a whole number is
    // written exactly (the fixed text of that length nearest the value),
    // a fraction with the digits after "0." or around the point.
    const int exponentNotation = exponentLength(count);
    if (decimal.exponent >= 0) {
        // Below 10^16 the whole number fits in 64 bits; above, it is longer.
        if (scientific < 16) {
            const std::uint64_t whole =
                q >= 0 ? std::uint64_t{c} << static_cast<unsigned>(q) : c >> static_cast<unsigned>(-q);
            const int wholeCount = digitCount(whole);
            if (wholeCount <= exponentNotation) {
                writeDigits(out + wholeCount, whole, wholeCount);
                return out + wholeCount;
            }
        }
    } else if (scientific >= 0) {
        // ddd.ddd: the digits, then those after the point moved on by one.
        const int before = scientific + 1;
        writeDigits(out + count, decimal.digits, count);
        std::memmove(out + before + 1, out + before, static_cast<std::size_t>(count - before));
        out[before] = '.';
        return out + count + 1;
    } else if (fixedLength(scientific, count) <= exponentNotation) {
        // 0.000ddd
        const int zeros = -scientific - 1;
        constexpr std::string_view leading = "0.0000";  // at most four zeros: below 1e-4 the exponent is shorter
        std::copy(leading.begin(), leading.end(), out);
        writeDigits(out + 2 + zeros + count, decimal.digits, count);
        return out + 2 + zeros + count;
    }
    // d.ddde+XX: the digits, then all but the first moved on by one.
    writeDigits(out + count, decimal.digits, count);
    char* end = out + 1;
    if (count > 1) {
        std::memmove(out + 2, out + 1, static_cast<std::size_t>(count - 1));
        out[1] = '.';
        end = out + count + 1;
    }
    *end++ = 'e';
    *end++ = scientific < 0 ? '-' : '+';
    const int magnitude = scientific < 0 ? -scientific : scientific;
    std::memcpy(end, &digitPairs[static_cast<std::size_t>(magnitude) * 2], 2);
    return end + 2;
}

}  // namespace gaussian_noise
