#!/usr/bin/env python3
"""Reads a table written by gaussian_noise into a RUNS x SAMPLES matrix and
prints its shape, mean and variance.

A text table (any name but the two below): every row ends with a comma, so
each reader drops the empty last column that the comma opens. A .npy table
(--format=npy) carries its shape and is mapped from the file rather than read
into memory. A .f32 table (--format=f32) holds the samples alone, so it needs
the number of samples per run.

Usage: python3 read_table.py TABLE [numpy|pandas]   (numpy by default)
       python3 read_table.py TABLE.npy
       python3 read_table.py TABLE.f32 SAMPLES
"""
import sys


def read_with_numpy(path):
    import numpy as np

    with open(path) as table:
        columns = table.readline().count(",")  # one comma per sample
    return np.loadtxt(path, delimiter=",", usecols=range(columns), ndmin=2)


def read_with_pandas(path):
    import pandas as pd

    table = pd.read_csv(path, header=None)
    return table.iloc[:, :-1].to_numpy()


def read_npy(path):
    import numpy as np

    return np.load(path, mmap_mode="r")


def read_f32(path, samples):
    import numpy as np

    return np.fromfile(path, dtype="<f4").reshape(-1, samples)


READERS = {"numpy": read_with_numpy, "pandas": read_with_pandas}
USAGE = "usage: read_table.py TABLE [numpy|pandas] | TABLE.npy | TABLE.f32 SAMPLES"


def read(arguments):
    path = arguments[0]
    if path.endswith(".npy") and len(arguments) == 1:
        return read_npy(path)
    if path.endswith(".f32") and len(arguments) == 2 and arguments[1].isdigit() and int(arguments[1]) > 0:
        return read_f32(path, int(arguments[1]))
    if path.endswith((".npy", ".f32")) or len(arguments) not in (1, 2):
        sys.exit(USAGE)
    if len(arguments) == 2 and arguments[1] not in READERS:
        sys.exit(USAGE)
    return READERS[arguments[1] if len(arguments) == 2 else "numpy"](path)


def main(arguments):
    if not arguments:
        sys.exit(USAGE)
    samples = read(arguments)
    rows, columns = samples.shape
    # float64 sums, as the text readers' arrays give, whatever the file holds.
    mean = samples.mean(dtype="f8")
    variance = samples.var(dtype="f8", ddof=1)
    print(f"rows {rows} columns {columns} mean {mean:.10g} variance {variance:.10g}")


if __name__ == "__main__":
    main(sys.argv[1:])
