#include "shortest_text.h"

#include <charconv>

namespace gaussian_noise {

char* writeShortest(char* out, float value) noexcept {
    // The standard library's shortest round-trip text; the room always suffices.
    return std::to_chars(out, out + shortestRoom, value).ptr;
}

}  // namespace gaussian_noise
