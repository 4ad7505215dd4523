#!/usr/bin/env python3
"""A movie of a run's steps by quorlane-export beside the plotting library's animation writer, on
the same steps:

    python3 bench/movie_peers.py [--steps 240] [--sides 100,1000] [--dir DIR]

Writes STEPS grid files of SIDE x SIDE cells for each side (a field that moves from step to step)
with a settings file into DIR (default: a temporary folder), reads them once so that they are in
the system's cache, and times, per frame, a 1920 x 1080 MP4 (H.264, yuv420p, the exporter's
default quality) made

- by quorlane-export.exe under Wine through the Windows ffmpeg (build/ffmpeg-win), process start
  to exit;
- by matplotlib (Debian's python3-matplotlib; `bash scripts/deps.sh --peers` installs it): one
  figure of 1920 x 1080 pixels made once (the field as an image with bilinear interpolation, a
  colour bar, a title), its data swapped for each step, written by its ffmpeg writer through
  Debian's ffmpeg; the reading of each grid file with numpy is included.

It prints the time per frame and each movie's size. Run it with Debian's /usr/bin/python3, for
which Debian's packages are installed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXPORTER = os.path.join(ROOT, "build", "mingw", "quorlane-export.exe")
FFMPEG = os.path.join(ROOT, "build", "ffmpeg-win", "ffmpeg.exe")
CRF = 18  # exporter/options/movie.h: kDefaultMp4Quality


def write_steps(folder, side, steps):
    """STEPS grid files of side x side cells and the settings beside them; their paths."""
    import numpy as np

    os.makedirs(folder, exist_ok=True)
    settings = open(os.path.join(ROOT, "examples", "rainbow", "quorlane.ini")).read().split("\n")
    settings[0], settings[1] = "0", "1"
    open(os.path.join(folder, "quorlane.ini"), "w").write("\n".join(settings))
    y, x = np.mgrid[0:side, 0:side] / float(side)
    paths = []
    for k in range(steps):
        t = 2 * np.pi * k / steps
        field = 0.5 + 0.25 * np.sin(6 * x + t) * np.cos(5 * y - t) + 0.25 * np.sin(11 * x * y + t)
        path = os.path.join(folder, "step_%d.dat" % (k + 1))
        with open(path, "w") as f:
            f.write("%d %d 1 1\n" % (side, side))
            np.savetxt(f, field.reshape(-1), fmt="%.5f")
        paths.append(path)
    return paths


def read_grid(path):
    import numpy as np

    with open(path) as f:
        columns, rows = (int(v) for v in f.readline().split()[:2])
        return np.loadtxt(f, dtype=np.float32, max_rows=columns * rows).reshape(rows, columns)


def time_exporter(folder, movie):
    env = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8")
    cmd = ["wine", EXPORTER, "--quiet", "--overwrite", "--size", "1920x1080", "--ffmpeg", FFMPEG]
    t0 = time.monotonic()
    subprocess.run(cmd + ["--out", movie, folder], check=True, env=env, timeout=3600)
    return time.monotonic() - t0


def time_matplotlib(paths, movie):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.animation import FFMpegWriter

    t0 = time.monotonic()
    fig = plt.figure(figsize=(19.2, 10.8), dpi=100)
    ax = fig.add_subplot()
    image = ax.imshow(read_grid(paths[0]), cmap="rainbow", vmin=0, vmax=1, interpolation="bilinear")
    fig.colorbar(image, orientation="horizontal")
    ax.set_title("Field")
    writer = FFMpegWriter(
        fps=25,
        codec="libx264",
        extra_args=["-crf", str(CRF), "-preset", "veryfast", "-pix_fmt", "yuv420p"],
    )
    with writer.saving(fig, movie, dpi=100):
        for path in paths:
            image.set_data(read_grid(path))
            writer.grab_frame()
    return time.monotonic() - t0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--steps", type=int, default=240)
    ap.add_argument("--sides", default="100,1000")
    ap.add_argument("--dir")
    a = ap.parse_args()
    root = a.dir or tempfile.mkdtemp(prefix="quorlane-movie-peers-")
    try:
        for side in (int(s) for s in a.sides.split(",")):
            folder = os.path.join(root, "g%d" % side)
            paths = write_steps(folder, side, a.steps)
            for p in paths:
                open(p, "rb").read()
            ours, theirs = os.path.join(root, "ours.mp4"), os.path.join(root, "theirs.mp4")
            rows = [("quorlane-export", time_exporter(folder, ours), ours)]
            try:
                rows.append(("matplotlib", time_matplotlib(paths, theirs), theirs))
            except ImportError:
                print("matplotlib is missing: bash scripts/deps.sh --peers installs it")
            for name, seconds, movie in rows:
                print(
                    "%d steps of %d x %d, %s: %.1f ms a frame, %.0f KB"
                    % (
                        a.steps,
                        side,
                        side,
                        name,
                        1e3 * seconds / a.steps,
                        os.path.getsize(movie) / 1024,
                    )
                )
    finally:
        if not a.dir:
            shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
