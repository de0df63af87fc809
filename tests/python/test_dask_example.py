"""examples/dask_table.py on a cluster of two worker processes that it
starts: the array it computes is the command line's f32 table, and the
workers whose process ids it printed are gone when it ends."""

import os
import signal
import subprocess
import sys

EXAMPLE = os.path.join(os.environ["EXAMPLES_DIRECTORY"], "dask_table.py")
TOOL = os.environ["GAUSSIAN_NOISE"]


def test_the_dask_array_is_the_command_lines_table(tmp_path):
    # Seed 376 throws a pair away in row 821 of 1000 cells a row; blocks of
    # 205 rows start one at row 821.
    settings = ["376", "1000", "1000"]
    subprocess.run([TOOL, "-q", "--seed=376", "--format=f32", "-o", tmp_path / "expected", "0", "1", *settings[1:]],
                   check=True)
    done = subprocess.run([sys.executable, EXAMPLE, *settings, "205", tmp_path / "computed", "2"],
                          capture_output=True, text=True, timeout=300, check=False)
    workers = [int(line) for line in done.stdout.split()]
    left = []
    for pid in workers:
        try:
            os.kill(pid, signal.SIGKILL)
            left.append(pid)
        except ProcessLookupError:
            pass
    assert done.returncode == 0, done.stderr
    assert len(workers) == 2
    assert not left, f"workers still running after the example ended: {left}"
    assert (tmp_path / "computed").read_bytes() == (tmp_path / "expected").read_bytes()
