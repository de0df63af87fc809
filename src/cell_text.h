// One cell of the table: a sample's text, then the comma that ends every
// cell. The one place the text formats' cell loops share.
#pragma once

#include <span>

namespace gaussian_noise {

// A function that writes one number's text and returns its end.
using NumberWriter = char* (*)(char* out, float value) noexcept;

template <NumberWriter writeNumber>
[[gnu::always_inline]] inline char* writeCell(char* out, float sample) noexcept {
    out = writeNumber(out, sample);
    *out = ',';
    return out + 1;
}

// The cells of a batch, one sample after another.
template <NumberWriter writeNumber>
char* writeCellsOneByOne(char* out, std::span<const float> samples) noexcept {
    for (const float sample : samples) out = writeCell<writeNumber>(out, sample);
    return out;
}

}  // namespace gaussian_noise
