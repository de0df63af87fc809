#!/usr/bin/env python3
"""Times the Python module against numpy's own generator in one process:
10^7 float32 normals as an array, and the same saved with np.save, medians of
interleaved runs; then the peak memory of a 10^8-cell table written into a
numpy.memmap, against the map's size. Prints a Markdown table.

Usage: PYTHONPATH=build/bench/python python3 bench/python_module.py [REPETITIONS] [DIRECTORY]
(DIRECTORY, for the saved arrays and the map: a temporary one by default)."""
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

import gaussian_noise

RUNS, SAMPLES = 1000, 10000


def timed(work):
    start = time.perf_counter()
    work()
    return time.perf_counter() - start


def processor():
    with open("/proc/cpuinfo", encoding="ascii", errors="replace") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.machine()


def main():
    repetitions = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    directory = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    load = os.getloadavg()[0]
    rng = np.random.default_rng()
    saved = os.path.join(directory, "saved.npy")
    ways = {
        "numpy default_rng().standard_normal(float32)": lambda: rng.standard_normal((RUNS, SAMPLES), dtype=np.float32),
        "gaussian_noise.table, threads=1": lambda: gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=7),
        "gaussian_noise.table, threads=2": lambda: gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=7, threads=2),
        "numpy's generator + np.save": lambda: np.save(saved, rng.standard_normal((RUNS, SAMPLES), dtype=np.float32)),
        "gaussian_noise.table + np.save": lambda: np.save(saved, gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=7)),
    }
    times = {name: [] for name in ways}
    for _ in range(repetitions):
        for name, work in ways.items():  # interleaved: one of each, then again
            times[name].append(timed(work))
    median = {name: statistics.median(values) for name, values in times.items()}

    numpy_time = median["numpy default_rng().standard_normal(float32)"]
    print(f"| 10^7 cells, medians of {repetitions} interleaved runs | seconds | numpy's / this |")
    print("|---|---|---|")
    for name, seconds in median.items():
        against = median["numpy's generator + np.save"] if "np.save" in name else numpy_time
        print(f"| {name} | {seconds:.4f} | {against / seconds:.2f} |")

    # Peak memory: a fresh process, so that nothing before counts.
    script = f"""
import resource, numpy as np, gaussian_noise
mapped = np.memmap({os.path.join(directory, "map.f32")!r}, mode="w+", dtype=np.float32, shape=(10000, 10000))
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
gaussian_noise.table(0, 1, 10000, 10000, seed=7, threads=2, out=mapped)
mapped.flush()
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before)
"""
    grown = int(subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True).stdout)
    os.remove(os.path.join(directory, "map.f32"))
    above = grown / 1024 - 4e8 / 2**20
    print(f"\n10^8 cells into a numpy.memmap of {4e8 / 2**20:.0f} MiB, threads=2: peak memory grew "
          f"{grown / 1024:.0f} MiB, {above:.1f} MiB above the map")
    print(f"\nProcessor: {processor()}, {os.cpu_count()} CPUs; numpy {np.__version__}; "
          f"Python {platform.python_version()}; load average before: {load:.2f}")


if __name__ == "__main__":
    main()
