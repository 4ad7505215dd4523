#!/usr/bin/env python3
"""Quorlane's grid loading beside other readers of the same files, in one run.

    python3 bench/peers.py [--build build/native] [--files DIR] [--repeats 3] [--large]

Writes (or reuses) load_bench's grid files in DIR (4000 x 4000 values in the forms %.4f,
%.9g and %.18e; with --large also the 10,000 x 10,000 %.4f one), reads each once so that it is
in the system's cache, and prints one table row per file:

- the load alone, from load_bench (BM_LoadGrid on every core);
- the native quorlane_render at an 8 x 8 client, process start to exit, the best of REPEATS;
- pandas' read_csv (its C engine) and numpy's loadtxt of the same file, the read call alone,
  the best of REPEATS, each skipped when that library is not installed (Debian's
  python3-pandas and python3-numpy; `bash scripts/deps.sh --peers` installs them, for
  Debian's own /usr/bin/python3: run the script with that one).

The peers read the values as doubles, their default; Quorlane reads them as floats.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FORMS = [("%.4f", "f4", 0), ("%.9g", "g9", 1), ("%.18e", "e18", 2)]


def load_bench_times(build, files, large):
    """The load_bench time (s) of each case, by (side, form index); writes the files."""
    cases = "BM_LoadGrid/4000/[0-2]/0" + ("|BM_LoadGrid/10000/0/0" if large else "")
    out = subprocess.run(
        [
            os.path.join(build, "bench", "load_bench"),
            "--files=" + files,
            "--benchmark_filter=" + cases,
            "--benchmark_format=json",
        ],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        side, form = (int(x) for x in b["name"].split("/")[1:3])
        scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        times[(side, form)] = b["real_time"] * scale
    return times


def best_of(repeats, run):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def render_time(build, path, repeats, work):
    """quorlane_render on the grid file at `path`, process start to exit (s)."""
    folder = tempfile.mkdtemp(dir=work)
    os.symlink(path, os.path.join(folder, "quorlane.dat"))
    shutil.copy(os.path.join(ROOT, "examples", "rainbow", "quorlane.ini"), folder)
    render = os.path.join(build, "tools", "quorlane_render")
    command = [render, "8", "8", os.path.join(folder, "out.ppm")]
    return best_of(
        repeats,
        lambda: subprocess.run(command, cwd=folder, check=True, stdout=subprocess.DEVNULL),
    )


def peers():
    """The peer readers that are installed: (name, read function), and notes on the others."""
    found, missing = [], []
    try:
        import pandas

        found.append(
            ("pandas read_csv", lambda p: pandas.read_csv(p, header=None, skiprows=1, engine="c"))
        )
    except ImportError:
        missing.append("pandas (python3-pandas) is not installed: skipped")
    try:
        import numpy

        found.append(("numpy loadtxt", lambda p: numpy.loadtxt(p, skiprows=1)))
    except ImportError:
        missing.append("numpy (python3-numpy) is not installed: skipped")
    return found, missing


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "native"))
    parser.add_argument("--files", default=os.path.join(tempfile.gettempdir(), "quorlane_peers"))
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--large", action="store_true", help="also the 10,000 x 10,000 grid")
    args = parser.parse_args()
    os.makedirs(args.files, exist_ok=True)
    files = os.path.abspath(args.files)

    loads = load_bench_times(args.build, files, args.large)
    readers, missing = peers()
    for note in missing:
        print(note, file=sys.stderr)

    cases = [(4000, form) for form in FORMS]
    if args.large:
        cases.append((10000, FORMS[0]))
    header = ["grid", "file", "Quorlane load", "quorlane_render, start to exit"]
    header += [name for name, _ in readers]
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    with tempfile.TemporaryDirectory() as work:
        for side, (form, name, index) in cases:
            path = os.path.join(files, "quorlane_load_%d_%s.dat" % (side, name))
            with open(path, "rb") as f:  # into the system's cache
                while f.read(1 << 24):
                    pass
            render = render_time(args.build, path, args.repeats, work)
            row = [
                "%d x %d `%s`" % (side, side, form),
                "%.0f MB" % (os.path.getsize(path) / 1e6),
                "%.3f s" % loads[(side, index)],
                "%.3f s" % render,
            ]
            for _, read in readers:
                row.append("%.2f s" % best_of(args.repeats, lambda: read(path)))
            print("| " + " | ".join(row) + " |", flush=True)


if __name__ == "__main__":
    main()
