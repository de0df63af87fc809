#include "table/binary_table.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace gaussian_noise {

static_assert(std::endian::native == std::endian::little, "the binary formats copy the samples' bytes as they lie");

char* writeLittleEndianSingles(char* out, std::span<const float> samples) noexcept {
    std::memcpy(out, samples.data(), samples.size_bytes());
    return out + samples.size_bytes();
}

NpyHeader npyHeader(std::int32_t runs, std::int32_t samplesPerRun) noexcept {
    // The magic string, version 1.0, then the header's length as two
    // little-endian bytes; the length counts the dictionary, its padding and
    // the line feed.
    constexpr std::string_view magic("\x93NUMPY\x01\x00", 8);
    constexpr std::size_t lengthSize = 2;
    constexpr std::size_t alignment = 64;
    NpyHeader header;
    char* const dictionary = header.bytes.data() + magic.size() + lengthSize;
    const auto room = static_cast<std::size_t>(header.bytes.end() - dictionary);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): two counts into a fixed buffer
    const int written = std::snprintf(dictionary, room, "{'descr': '<f4', 'fortran_order': False, 'shape': (%d, %d), }",
                                      std::max(runs, 0), std::max(samplesPerRun, 0));
    const std::size_t unpadded = magic.size() + lengthSize + static_cast<std::size_t>(written) + 1;
    header.size = unpadded + (alignment - unpadded % alignment) % alignment;
    std::copy(magic.begin(), magic.end(), header.bytes.begin());
    char* const padding = dictionary + written;
    std::fill(padding, header.bytes.data() + header.size - 1, ' ');
    header.bytes[header.size - 1] = '\n';
    const std::size_t length = header.size - magic.size() - lengthSize;
    header.bytes[magic.size()] = static_cast<char>(length & 0xFFU);
    header.bytes[magic.size() + 1] = static_cast<char>(length >> 8U);
    return header;
}

}  // namespace gaussian_noise
