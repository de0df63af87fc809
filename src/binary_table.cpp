#include "binary_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace gaussian_noise {

char* writeLittleEndianSingles(char* out, std::span<const float> samples) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, samples.data(), samples.size_bytes());
        return out + samples.size_bytes();
    } else {
        return writeLittleEndianSinglesBytewise(out, samples);
    }
}

char* writeLittleEndianSinglesBytewise(char* out, std::span<const float> samples) noexcept {
    for (const float sample : samples) {
        auto bits = std::bit_cast<std::uint32_t>(sample);
        for (std::size_t byte = 0; byte < binarySampleSize; ++byte, bits >>= 8U) {
            *out++ = static_cast<char>(bits & 0xFFU);
        }
    }
    return out;
}

std::string npyHeader(std::int32_t runs, std::int32_t samplesPerRun) {
    // The magic string, version 1.0, then the header's length as two
    // little-endian bytes; the length counts the dictionary, its padding and
    // the line feed.
    constexpr std::string_view magic("\x93NUMPY\x01\x00", 8);
    constexpr std::size_t lengthSize = 2;
    constexpr std::size_t alignment = 64;
    const auto dimension = [](std::int32_t count) { return std::to_string(std::max(count, 0)); };
    std::string dictionary = "{'descr': '<f4', 'fortran_order': False, 'shape': (" + dimension(runs) + ", " +
                             dimension(samplesPerRun) + "), }";
    const std::size_t unpadded = magic.size() + lengthSize + dictionary.size() + 1;
    dictionary.append((alignment - unpadded % alignment) % alignment, ' ');
    dictionary += '\n';
    const std::size_t length = dictionary.size();
    std::string header(magic);
    header += static_cast<char>(length & 0xFFU);
    header += static_cast<char>(length >> 8U);
    return header + dictionary;
}

}  // namespace gaussian_noise
