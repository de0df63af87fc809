#!/usr/bin/env python3
"""One seeded table of gaussian_noise as a Dask array, computed over a
cluster: each task draws a block of rows on its own (gaussian_noise.table
with rows=), and the list of the pairs of draws the table throws away is
computed once, so that no task scans the draws before its first row.

The array is the command line's table, bit for bit:

    gaussian_noise --format=f32 --seed=SEED MEAN VARIANCE RUNS SAMPLES

Usage: python3 dask_table.py SEED RUNS SAMPLES ROWS_PER_TASK OUTPUT.f32 [WORKERS]

It starts a distributed.LocalCluster of WORKERS processes (2 by default),
prints their process ids, one a line, computes the array into OUTPUT.f32
(the samples alone, as --format=f32 writes them) and stops the cluster.
Needs python3-dask and python3-distributed, and the gaussian_noise module.
"""
import os
import sys
import tempfile

import dask
import dask.array as da
import numpy as np
from distributed import Client, LocalCluster

import gaussian_noise

MEAN, VARIANCE = 0.0, 1.0


def block(first, last, seed, runs, samples, thrown_pairs):
    """Rows first to last (from 1, both included) of the table."""
    return gaussian_noise.table(MEAN, VARIANCE, runs, samples, seed=seed, rows=(first, last),
                                thrown_pairs=thrown_pairs)


def table_array(seed, runs, samples, rows_per_task, thrown_pairs):
    """The table as a Dask array of one block of rows a task."""
    blocks = []
    for first in range(1, runs + 1, rows_per_task):
        last = min(first + rows_per_task - 1, runs)
        task = dask.delayed(block, pure=True)(first, last, seed, runs, samples, thrown_pairs)
        blocks.append(da.from_delayed(task, shape=(last - first + 1, samples), dtype=np.float32))
    return da.concatenate(blocks, axis=0)


def main(arguments):
    if len(arguments) not in (5, 6):
        sys.exit(__doc__)
    seed, runs, samples, rows_per_task = (int(value) for value in arguments[:4])
    output = arguments[4]
    workers = int(arguments[5]) if len(arguments) == 6 else 2

    with tempfile.TemporaryDirectory() as directory:
        # The workers run on this machine, so they read the list from here;
        # on a cluster of machines it would go to a shared file system.
        thrown_pairs = os.path.join(directory, "thrown_pairs")
        with open(thrown_pairs, "w", encoding="ascii") as listed:
            listed.write(gaussian_noise.thrown_pairs(seed, runs, samples))
        with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            for pid in client.run(os.getpid).values():
                print(pid, flush=True)
            array = table_array(seed, runs, samples, rows_per_task, thrown_pairs)
            array.compute().tofile(output)


if __name__ == "__main__":
    main(sys.argv[1:])
