// Digests the C library's logf and cosf over every input the generator can
// give them, so that two machines can show their math libraries agree there:
// logf(u1) and cosf(tau * u2) for every u = float(draw / 2147483647) that a
// draw of rand() can make (src/math_inputs.h). Prints the count
// of distinct inputs and an FNV-1a 64 digest of the results' bits for each,
// and exits 1 if they differ from the digests recorded on x86-64.
//
//   math_library_digest    (about 3 s on x86-64, 1 minute under qemu-aarch64)
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "samples/math_inputs.h"

namespace {

// Results recorded on x86-64 with Debian 12's glibc 2.36.
constexpr std::uint64_t recordedLogf = 0xd509abffc28216c5;
constexpr std::uint64_t recordedCosf = 0xebe8ece358896664;

struct Digest {
    std::uint64_t inputs = 0;
    std::uint64_t value = 0xcbf29ce484222325;
    void add(float result) {
        ++inputs;
        const auto bits = std::bit_cast<std::uint32_t>(result);
        for (int shift = 0; shift < 32; shift += 8) value = (value ^ ((bits >> shift) & 0xFF)) * 0x100000001b3;
    }
};

bool report(const char* name, const Digest& digest, std::uint64_t recorded) {
    const bool same = digest.value == recorded;
    (void)std::printf("%s: %llu distinct inputs, digest %016llx, %s\n", name,
                      static_cast<unsigned long long>(digest.inputs), static_cast<unsigned long long>(digest.value),
                      same ? "as recorded on x86-64" : "DIFFERS from x86-64");
    return same;
}

}  // namespace

int main() {
    Digest logDigest;
    Digest cosDigest;
    gaussian_noise::forEachMathInput([&logDigest](float u) { logDigest.add(logf(u)); },
                                     [&cosDigest](float theta) { cosDigest.add(cosf(theta)); });
    const bool sameLog = report("logf", logDigest, recordedLogf);
    const bool sameCos = report("cosf", cosDigest, recordedCosf);
    return sameLog && sameCos ? 0 : 1;
}
