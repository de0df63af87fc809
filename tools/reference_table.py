#!/usr/bin/env python3
"""The noise table for a seed, computed apart from the tool's code.

    tools/reference_table.py [--digest] SEED MEAN VARIANCE RUNS SAMPLES

Prints the table gaussian_noise writes when rand() is seeded with SEED, or
with --digest a line of its size in bytes and its FNV-1a 64 digest, the form
tests/same_bytes_test.cpp keeps. It draws from the C library's srand, rand,
logf and cosf through ctypes, so it must run where the C library is the one
the digests are meant for, and writes each sample with Python's %g. Every
other step is done in double precision and rounded once to single precision
where the tool works in single precision: double has more than twice float's
digits plus two, so that single rounding gives the same float as the
single-precision operation.
"""
import ctypes
import math
import sys

libc = ctypes.CDLL("libc.so.6")
libm = ctypes.CDLL("libm.so.6")
libc.srand.argtypes = [ctypes.c_uint]
libc.rand.restype = ctypes.c_int
for name in ("logf", "cosf"):
    getattr(libm, name).argtypes = [ctypes.c_float]
    getattr(libm, name).restype = ctypes.c_float

SMALLEST_NORMAL = 2.0**-126
TAU = ctypes.c_float(2.0 * math.pi).value
UNIFORM_SCALE = 1.0 / 2147483647.0


def single(value):
    """Rounds a double to the nearest float (inf beyond the range)."""
    return ctypes.c_float(value).value


def sample(mean, variance):
    while True:
        u1 = single(libc.rand() * UNIFORM_SCALE)
        u2 = single(libc.rand() * UNIFORM_SCALE)
        if u1 > SMALLEST_NORMAL:
            break
    radius = math.sqrt(-2.0 * libm.logf(u1))
    z0 = single(libm.cosf(single(TAU * u2)) * radius)
    product = single(single(math.sqrt(variance)) * z0)
    # A NaN the product makes (an infinite variance times a z0 of 0) is the
    # sum's, with the sign bit as x86-64 makes it, even where the mean is a
    # NaN too: which of two NaNs an addition keeps is the processor's choice.
    if math.isnan(product):
        return -math.nan
    return single(mean + product)


def text(value):
    if math.isnan(value):
        return "-nan" if math.copysign(1.0, value) < 0 else "nan"
    return "%g" % value


def table(seed, mean, variance, runs, samples):
    libc.srand(seed)
    rows = (
        "".join(text(sample(mean, variance)) + "," for _ in range(samples))
        for _ in range(runs))
    return "\n".join(rows).encode("ascii")


def fnv1a64(data):
    digest = 0xCBF29CE484222325
    for byte in data:
        digest = ((digest ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return digest


def main(arguments):
    digest = arguments[:1] == ["--digest"]
    if digest:
        arguments = arguments[1:]
    if len(arguments) != 5:
        sys.exit("usage: tools/reference_table.py [--digest] SEED MEAN VARIANCE RUNS SAMPLES")
    seed, runs, samples = int(arguments[0]), int(arguments[3]), int(arguments[4])
    mean, variance = single(float(arguments[1])), single(float(arguments[2]))
    data = table(seed, mean, variance, runs, samples)
    if digest:
        print("%d, 0x%016x" % (len(data), fnv1a64(data)))
    else:
        sys.stdout.buffer.write(data)


if __name__ == "__main__":
    main(sys.argv[1:])
