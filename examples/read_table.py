#!/usr/bin/env python3
"""Reads a table written by gaussian_noise into a RUNS x SAMPLES matrix and
prints its shape, mean and variance. Every row of the table ends with a
comma, so each reader drops the empty last column that the comma opens.

Usage: python3 read_table.py TABLE [numpy|pandas]   (numpy by default)
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


READERS = {"numpy": read_with_numpy, "pandas": read_with_pandas}


def main(arguments):
    if len(arguments) not in (1, 2) or (len(arguments) == 2 and arguments[1] not in READERS):
        sys.exit("usage: read_table.py TABLE [numpy|pandas]")
    reader = READERS[arguments[1] if len(arguments) == 2 else "numpy"]
    samples = reader(arguments[0])
    rows, columns = samples.shape
    print(f"rows {rows} columns {columns} mean {samples.mean():.10g} variance {samples.var(ddof=1):.10g}")


if __name__ == "__main__":
    main(sys.argv[1:])
