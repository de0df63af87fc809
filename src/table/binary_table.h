// The table in binary: each sample as a little-endian IEEE 754
// single-precision value, and the header of NumPy's .npy format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace gaussian_noise {

// The bytes one sample takes.
inline constexpr std::size_t binarySampleSize = 4;

// Writes each sample's four bytes, least significant first: a copy, for the
// tool is built for little-endian hosts alone. Returns the end of the bytes,
// samples.size() * binarySampleSize on.
char* writeLittleEndianSingles(char* out, std::span<const float> samples) noexcept;

// The .npy version 1.0 header of a `runs` x `samplesPerRun` array of
// little-endian singles in row order; a count of 0 or below is a dimension
// of 0. Spaces and a line feed pad it so that the data after it starts at a
// multiple of 64 bytes: 128 bytes for every shape.
struct NpyHeader {
    std::array<char, 128> bytes{};
    std::size_t size = 0;
    [[nodiscard]] std::string_view view() const noexcept { return {bytes.data(), size}; }
};
NpyHeader npyHeader(std::int32_t runs, std::int32_t samplesPerRun) noexcept;

}  // namespace gaussian_noise
