#!/usr/bin/env python3
"""End-to-end cases of quorlane-export.exe under Wine with no display, against the viewer's window
and the native renderer, the files of its batch modes and its benchmark:
    test_export.py --exe quorlane.exe --export quorlane-export.exe --render quorlane_render
        --workdir DIR [--bench BENCH.exe] [--tuned TUNED.exe] GROUP
Its faults (bad inputs, outputs, arguments, stops) are in test_export_faults.py."""
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

from exporting import CASES, Exporter, decode, png_texts, run_group, same_pixels  # noqa: E402
from winsession import Session, check  # noqa: E402
from winsession.expected import render_expected, text_rects  # noqa: E402


def window(a):
    """The export of each example and a dense grid equals the viewer's client, texts included, in
    each format; without --size it takes the viewer's client size."""
    shots = {}
    with Session(a.exe, a.workdir, render_exe=a.render) as s:
        for name, files in CASES.items():
            app = s.start(files)
            win = app.wait_window("Quorlane")
            save_to = os.path.join(a.workdir, "failed-export-" + name)
            rect, texts = app.match_client(win, files, save_to=save_to)
            x, y, cw, ch = rect
            sw, sh = s.display.screen
            whole = x >= 0 and y >= 0 and x + cw <= sw and y + ch <= sh
            why = "%s: client %r not whole on the screen, or texts %r" % (name, rect, texts)
            check(whole and len(texts) == 3, why)
            shots[name] = s.display.screenshot().crop(x, y, cw, ch)
            check(app.close(win) == 0, "%s: exit status %s" % (name, app.status))
    ex = Exporter(a.export, a.workdir)
    try:
        for name, shot in shots.items():
            d = ex.folder(name, CASES[name])
            size = "%dx%d" % (shot.width, shot.height)
            for ext in ("png", "bmp", "tif"):
                status, out, err = ex.run("--size", size, "--out", "{name}-%s.%s" % (size, ext), d)
                check(status == 0 and err == "", "%s %s: status %d, %r" % (name, ext, status, err))
                got = decode(os.path.join(ex.tmp, "%s-%s.%s" % (name, size, ext)))
                same_pixels(got, shot, name + " " + ext)
            status, out, err = ex.run("--out", "{name}-default.png", d)
            got = decode(os.path.join(ex.tmp, name + "-default.png"))
            got_size = "%dx%d" % (got.width, got.height)
            why = "%s: default size %s, the window's client %s" % (name, got_size, size)
            check(status == 0 and got_size == size, why)
            want = "%s -> %s-default.png (%d x %d)\n" % (d, name, got.width, got.height)
            check(out == want, "progress %r" % out)
            texts = png_texts(os.path.join(ex.tmp, name + "-default.png"))
            made_by = re.fullmatch(r"Quorlane \d+\.\d+\.\d+", texts.pop("Software", ""))
            check(made_by and texts == {"Source": d}, "texts %r" % texts)
            what = "PNG, BMP and TIFF equal the window; default size equal"
            print("ok   %-10s client %s: %s" % (name, size, what))
    finally:
        ex.close()


RENDER_SIZES = "640x480 1920x1080 1x1 2x2 59x300 300x39 300x60 300x61 119x300".split()


def render(a):
    """The export equals the native renderer's picture outside the texts at several sizes, among
    them ones with no field box, no band and the band's edges crossed."""
    files = CASES["rainbow"]
    ex = Exporter(a.export, a.workdir)
    kinds = set()
    try:
        d = ex.folder("rainbow", files)
        for size in RENDER_SIZES:
            cw, ch = map(int, size.split("x"))
            out = "render-%s.png" % size
            status, _, err = ex.run("--size", size, "--out", out, d)
            check(status == 0, "%s: status %d, %s" % (size, status, err))
            expected, texts = render_expected(a.render, files, cw, ch, ex.tmp)
            same_pixels(decode(os.path.join(ex.tmp, out)), expected, size, text_rects(texts))
            ppm = os.path.join(ex.tmp, "layout.ppm")
            layout = [a.render, str(cw), str(ch), ppm, "--print-layout"]
            r = subprocess.run(layout, cwd=d, capture_output=True, text=True, timeout=60)
            kinds |= {line for line in r.stdout.splitlines() if line in ("field none", "band none")}
            print("ok   %s, %d texts" % (size, len(texts)))
        why = "the sizes missed a degenerate layout: %r" % kinds
        check(kinds == {"field none", "band none"}, why)
    finally:
        ex.close()


def identity(a):
    """One by one and with 1, 2 or 4 encoders, a batch writes the same bytes in each format."""
    ex = Exporter(a.export, a.workdir)
    try:
        order = ["dense", "rainbow", "nonsquare", "twocolour", "rainbow", "dense", "nonsquare"]
        paths = [ex.folder(name, CASES[name]) for name in order]
        paths.insert(3, os.path.join(ex.tmp, "missing"))
        modes = ["--one-by-one", "--encoders=1", "--encoders=2", "--encoders=4"]
        tuned = os.path.abspath(a.tuned)
        for ext in ("png", "bmp", "tif"):
            written = {}
            for mode in modes:
                out = os.path.join(ex.tmp, "%s-%s" % (ext, mode.strip("-")))
                os.makedirs(out)
                pattern = os.path.join(out, "{n}.%s" % ext)
                got = ex.run(mode, "--quiet", "--out", pattern, *paths, exe=tuned)
                check(got[0] == 1 and got[2].count("\n") == 1, "%s %s: %r" % (ext, mode, got))
                written[mode] = {n: open(out + "/" + n, "rb").read() for n in os.listdir(out)}
            first = written[modes[0]]
            check(len(first) == len(order), "%s: %d files" % (ext, len(first)))
            for mode in modes[1:]:
                check(written[mode] == first, "%s: %s differs from one by one" % (ext, mode))
            print("ok   %s: %d files identical in %d ways" % (ext, len(first), len(modes)))
    finally:
        ex.close()


def bench(a):
    """A short run of the export benchmark: each step and batch runs, and their files agree."""
    ex = Exporter(a.export, a.workdir)
    try:
        status, out, err = ex.run("12", "4", "1", exe=os.path.abspath(a.bench), timeout=300)
        print(out, end="")
        check(status == 0 and out.rstrip().endswith("ok"), "status %d: %s" % (status, err))
    finally:
        ex.close()


if __name__ == "__main__":
    run_group({"window": window, "render": render, "identity": identity, "bench": bench})
