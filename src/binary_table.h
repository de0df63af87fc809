// The table in binary: each sample as a little-endian IEEE 754
// single-precision value, and the header of NumPy's .npy format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace gaussian_noise {

// The bytes one sample takes.
inline constexpr std::size_t binarySampleSize = 4;

// Writes each sample's four bytes, least significant first, whatever the
// host's byte order: a copy on little-endian hosts, a swap elsewhere.
// Returns the end of the bytes, samples.size() * binarySampleSize on.
char* writeLittleEndianSingles(char* out, std::span<const float> samples) noexcept;

// The same bytes, assembled one at a time from each sample's bits: the way
// big-endian hosts write them, and the same result on any host.
char* writeLittleEndianSinglesBytewise(char* out, std::span<const float> samples) noexcept;

// The .npy version 1.0 header of a `runs` x `samplesPerRun` array of
// little-endian singles in row order; a count of 0 or below is a dimension
// of 0. Spaces and a line feed pad it so that the data after it starts at a
// multiple of 64 bytes.
std::string npyHeader(std::int32_t runs, std::int32_t samplesPerRun);

}  // namespace gaussian_noise
