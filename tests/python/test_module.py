"""The Python module against the command line: the same bytes, the same
refusals, and what a Python caller needs besides (the lock released, Ctrl-C,
arrays filled in place).

Run by CTest with the module on PYTHONPATH and the tool in GAUSSIAN_NOISE."""

import errno
import os
import signal
import subprocess
import sys
import threading

import numpy as np
import pytest

import gaussian_noise

TOOL = os.environ["GAUSSIAN_NOISE"]

# Seed 376's table throws away the pair of draws 410216 (cells 820432 and
# 820433 come from the pair after it): 1000 cells a row puts it in row 821.
SEED, RUNS, SAMPLES = 376, 1000, 1000


def tool(*arguments, cwd):
    """Runs the command line; returns its status and standard error."""
    done = subprocess.run([TOOL, "-q", *arguments], cwd=cwd, capture_output=True, text=True, check=False)
    return done.returncode, done.stderr


def tool_bytes(tmp_path, *arguments):
    code, errors = tool("-o", "table", *arguments, cwd=tmp_path)
    assert code == 0, errors
    return (tmp_path / "table").read_bytes()


@pytest.fixture(scope="module")
def whole(tmp_path_factory):
    """The command line's f32 table of SEED, as an array."""
    path = tmp_path_factory.mktemp("whole")
    data = tool_bytes(path, f"--seed={SEED}", "--format=f32", "0", "1", str(RUNS), str(SAMPLES))
    return np.frombuffer(data, dtype="<f4").reshape(RUNS, SAMPLES)


@pytest.mark.parametrize("threads", [1, 2, 3, 4])
def test_table_is_the_command_lines_f32_for_every_thread_count(whole, tmp_path, threads):
    table = gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=SEED, threads=threads)
    assert table.dtype == np.float32 and table.flags.c_contiguous
    assert table.tobytes() == whole.tobytes()
    # Seed 108974 throws away pair 353416, and a table of other values.
    expected = tool_bytes(tmp_path, "--seed=108974", "--format=f32", "3.5", "0.25", "700", "1300")
    assert gaussian_noise.table(3.5, 0.25, 700, 1300, seed=108974, threads=threads).tobytes() == expected


@pytest.mark.parametrize(
    "rows, part, expected",
    [
        ((820, 822), None, slice(819, 822)),  # across the thrown pair
        ((821, 821), None, slice(820, 821)),
        ((822, None), None, slice(821, RUNS)),
        (None, (3, 4), slice(500, 750)),
        (None, (4, 4), slice(750, RUNS)),
    ],
)
def test_slices_are_the_rows_of_the_table(whole, tmp_path, rows, part, expected):
    lists = tmp_path / "pairs"
    lists.write_text(gaussian_noise.thrown_pairs(SEED, RUNS, SAMPLES))
    for thrown_pairs in (None, lists):
        table = gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=SEED, threads=2, rows=rows, part=part,
                                     thrown_pairs=thrown_pairs)
        assert table.tobytes() == whole[expected].tobytes()


def test_thrown_pairs_is_the_command_lines_list(tmp_path):
    listed = tool_bytes(tmp_path, "--list-thrown-pairs", f"--seed={SEED}", "0", "1", str(RUNS), str(SAMPLES))
    assert gaussian_noise.thrown_pairs(SEED, RUNS, SAMPLES, threads=2).encode() == listed


@pytest.mark.parametrize(
    "options, keywords",
    [
        ([], {}),
        (["--lossless"], {"lossless": True}),
        (["--format=npy"], {"format": "npy"}),
        (["--format=f32", "--rows=821-830"], {"format": "f32", "rows": (821, 830)}),
        (["--format=npy", "--part=2/3", "-T", "3"], {"format": "npy", "part": (2, 3), "threads": 3}),
    ],
)
def test_write_is_the_command_lines_file(tmp_path, options, keywords):
    settings = ["-2.5", "0.75", str(RUNS), str(SAMPLES)]
    expected = tool_bytes(tmp_path, f"--seed={SEED}", *options, *settings)
    gaussian_noise.write(tmp_path / "mine", -2.5, 0.75, RUNS, SAMPLES, seed=SEED, **keywords)
    assert (tmp_path / "mine").read_bytes() == expected


@pytest.mark.parametrize(
    "call, arguments",
    [
        (lambda: gaussian_noise.table(0, -1, 3, 3, seed=1), ["--seed=1", "0", "-1.0", "3", "3"]),
        (lambda: gaussian_noise.table(0, 1, 3, 3, seed=2**32), ["--seed=4294967296", "0", "1", "3", "3"]),
        (lambda: gaussian_noise.table(0, 1, 2**31, 3, seed=1), ["--seed=1", "0", "1", "2147483648", "3"]),
        (lambda: gaussian_noise.table(0, 1, 3, 3, seed=1, threads=257), ["--seed=1", "-T", "257", "0", "1", "3", "3"]),
        (lambda: gaussian_noise.table(0, 1, 3, 3, seed=1, rows=(4, None)), ["--seed=1", "--rows=4-", "0", "1", "3", "3"]),
        (lambda: gaussian_noise.table(0, 1, 3, 3, seed=1, part=(0, 2)), ["--seed=1", "--part=0/2", "0", "1", "3", "3"]),
        (lambda: gaussian_noise.write("x", 0, 1, 3, 3, seed=1, format="npy", lossless=True),
         ["--seed=1", "--format=npy", "--lossless", "0", "1", "3", "3"]),
    ],
)
def test_bad_values_raise_the_command_lines_words(tmp_path, call, arguments):
    code, errors = tool(*arguments, cwd=tmp_path)
    assert code == 2
    with pytest.raises(ValueError) as raised:
        call()
    assert f"gaussian_noise: {raised.value}\n" == errors


def test_files_that_cannot_be_written_raise_oserror(tmp_path):
    for path, error in [(tmp_path / "none" / "x", "ENOENT"), (tmp_path, "EISDIR"), ("/dev/full", "ENOSPC")]:
        with pytest.raises(OSError) as raised:
            gaussian_noise.write(path, 0, 1, 300, 3000, seed=1)
        assert raised.value.errno == getattr(errno, error)
        assert raised.value.filename == os.fspath(path)
    # A null character would cut the name short and write another file.
    with pytest.raises(ValueError, match="null"):
        gaussian_noise.write(tmp_path / "a\0b", 0, 1, 3, 3, seed=1)
    assert not (tmp_path / "a").exists()
    # A list of thrown pairs that does not fit is refused, as the command line refuses it.
    (tmp_path / "pairs").write_text(gaussian_noise.thrown_pairs(5, 3, 3))
    with pytest.raises(ValueError, match="list"):
        gaussian_noise.table(0, 1, 3, 3, seed=6, rows=(2, 3), thrown_pairs=tmp_path / "pairs")


def test_out_is_filled_in_place_and_must_fit(whole, tmp_path):
    mapped = np.lib.format.open_memmap(tmp_path / "t.npy", mode="w+", dtype=np.float32, shape=(RUNS, SAMPLES))
    assert gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=SEED, out=mapped) is mapped
    assert mapped.tobytes() == whole.tobytes()
    for wrong in [np.zeros((RUNS, SAMPLES)), np.zeros((RUNS, SAMPLES), np.float32).T, np.zeros((2, 3), np.float32)]:
        with pytest.raises((TypeError, ValueError)):
            gaussian_noise.table(0, 1, RUNS, SAMPLES, seed=SEED, out=wrong)


def test_out_takes_no_second_buffer(tmp_path):
    # Peak memory of a 4*10^7-byte table written into a map, against the
    # process before it: the map's pages and the small buffers, not a copy.
    script = f"""
import resource, numpy as np, gaussian_noise
mapped = np.memmap({str(tmp_path / 'm')!r}, mode="w+", dtype=np.float32, shape=(1000, 10000))
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
gaussian_noise.table(0, 1, 1000, 10000, seed=3, threads=2, out=mapped)
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before)
"""
    grown_kib = int(subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True).stdout)
    assert grown_kib < (40_000_000 + 16 * 2**20) // 1024


def test_the_lock_is_released_while_cells_are_drawn():
    # Another Python thread sees the array half filled: with the lock held
    # through the call, it could only see it before or after.
    out = np.full((5000, 10000), np.nan, dtype=np.float32)
    saw_it_half_filled = threading.Event()
    done = threading.Event()

    def watch():
        while not done.is_set():
            if not np.isnan(out[0, 0]) and np.isnan(out[-1, -1]):
                saw_it_half_filled.set()
                return

    watcher = threading.Thread(target=watch)
    watcher.start()
    gaussian_noise.table(0, 1, 5000, 10000, seed=1, out=out)
    done.set()
    watcher.join()
    assert saw_it_half_filled.is_set()


@pytest.mark.parametrize("call", ["table", "write"])
def test_ctrl_c_stops_a_long_table_within_a_block(tmp_path, call):
    # 10^8 cells, a quarter of a second or more; the signal comes after a tenth.
    runs, samples = 10000, 10000
    out = np.full((runs, samples), np.nan, dtype=np.float32) if call == "table" else None
    timer = threading.Timer(0.1, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            if call == "table":
                gaussian_noise.table(0, 1, runs, samples, seed=1, out=out)
            else:
                gaussian_noise.write(tmp_path / "t", 0, 1, runs, samples, seed=1, format="f32")
    finally:
        timer.cancel()
    # Stopped where it was, not at the end.
    if call == "table":
        assert np.isnan(out[-1]).all()
    else:
        assert (tmp_path / "t").stat().st_size < 4 * runs * samples
