#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe --probe under Wine on a virtual display: the status bar below
the picture, read as the pointer moves over chosen pixels of a known field and held against what
the core says of them (quorlane_probe); the picture above the bar held pixel for pixel against
quorlane_render at the reduced client size; the clipboard after Ctrl+C; --watch with it.
    test_probe.py --exe quorlane.exe --render quorlane_render --probe quorlane_probe
                  --reader read_status.exe --workdir DIR
"""
import argparse
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import grid_text, settings_text  # noqa: E402
from winsession import E2EError, Session, check, wait_until  # noqa: E402
from winsession.expected import render_expected, text_rects  # noqa: E402
from winsession.images import compare  # noqa: E402

INI = settings_text(windowWidth=640, windowHeight=480, caption="Probed", scaleMin=-5, scaleMax=5)


def grid(step):
    """Flat cells of 1.5 x 0.75, hills that move with the step, a few beyond the scale."""
    return grid_text(30, 20, 1.5, 0.75, lambda i, j: ((i * 7 + j * 3 + step * 5) % 13) - 6.25)


def write(folder, files):
    for name, content in files.items():
        temp = os.path.join(folder, name + ".part")
        with open(temp, "wb") as f:
            f.write(content)
        os.replace(temp, os.path.join(folder, name))


def core(tool, files, tmp, width, height, pixels):
    """What quorlane_probe says of the picture of `files` at width x height: {"range": ..,
    "outside": .., (x, y): (status text, copied line)}."""
    d = os.path.join(tmp, "core")
    os.makedirs(d, exist_ok=True)
    write(d, files)
    args = [tool, str(width), str(height)] + [str(v) for p in pixels for v in p]
    out = subprocess.run(args, cwd=d, capture_output=True, timeout=30, check=True).stdout.decode()
    said = {}
    for line in out.splitlines():
        kind, rest = line.split(" ", 1)
        if kind in ("range", "outside"):
            said[kind] = rest
        else:
            x, y, text = (rest.split(" ", 2) + [""])[:3]
            said.setdefault((int(x), int(y)), {})[kind] = text
    return said


class Bar:
    """The program's status bar, read by read_status.exe."""

    def __init__(self, s, reader, title):
        self.s, self.reader, self.title = s, reader, title

    def read(self):
        status, out = self.s.run_console(self.reader, [self.title], 30)
        if status != 0:
            return None
        lines = out.splitlines()
        parts = [line.split(" ", 2)[2] if line.count(" ") >= 2 else "" for line in lines[1:]]
        return int(lines[0].split()[1]), parts

    def wait_parts(self, want, timeout, what):
        """Waits until the parts read `want` (None where any text will do); the bar's height."""
        last = []

        def attempt():
            got = self.read()
            last[:] = [got]
            return got and all(w is None or w == g for w, g in zip(want, got[1])) and got

        try:
            return wait_until(attempt, timeout, what, interval=0.05)[0]
        except E2EError:
            raise E2EError("%s: the status bar reads %r, not %r" % (what, last, want))

    def clipboard(self):
        status, out = self.s.run_console(self.reader, ["--clipboard"], 30)
        return out.rstrip("\n")[len("clipboard ") :] if status == 0 else None


def picture_matches(s, files, rect, bar, save):
    """The client above the status bar equals the core's picture at that reduced size."""
    x, y, w, h = rect
    ph = h - bar
    expected, texts = render_expected(s.render_exe, files, w, ph, s.tmp)
    last = []

    def attempt():
        shot = s.display.screenshot().crop(x, y, w, ph)
        n, first = compare(shot, expected, text_rects(texts))
        last[:] = [n, first, shot]
        return n == 0

    try:
        wait_until(attempt, 15, "the picture above the status bar", interval=0.1)
    except E2EError:
        last[2].save_ppm(save + ".actual.ppm")
        expected.save_ppm(save + ".expected.ppm")
        raise E2EError("%d pixels differ above the bar, first: %s" % (last[0], last[1]))
    return w, ph


def bitblts(app):
    return len(app.trace.calls("gdi32.BitBlt"))


def probed(s, tool, reader, save):
    d = os.path.join(s.tmp, "probed")
    os.makedirs(d)
    files = {"quorlane.dat": grid(0), "quorlane.ini": INI}
    write(d, files)
    app = s.run(d, args=["--probe", "--watch"])
    win = app.wait_window("Quorlane")
    bar = Bar(s, reader, "Quorlane")
    rect = app.client_rect(win)
    height = bar.wait_parts([None, None, None], 20, "the status bar")
    w, ph = picture_matches(s, files, rect, height, save)
    t = step("picture above the bar %dx%d, bar %d high" % (w, ph, height), time.monotonic())

    # Pixels of the field (corners, a cell border, the middle), of the band and elsewhere.
    pixels = [(w // 2, ph // 3), (5, 40), (w - 6, ph - 70), (w // 3, 10), (w // 2, ph - 30)]
    pixels += [(w // 4 + k, ph // 2) for k in range(3)] + [(w // 2, ph - 4)]
    said = core(tool, files, s.tmp, w, ph, pixels)
    check(said.get("range") and said.get("outside"), "quorlane_probe said %r" % said)
    blits = bitblts(app)
    x0, y0 = rect[0], rect[1]
    for px, py in pixels:
        s.display.x("xdotool", "mousemove", str(x0 + px), str(y0 + py))
        want = [said[(px, py)]["pixel"], said["range"], said["outside"]]
        bar.wait_parts(want, 10, "the readout of pixel %d,%d" % (px, py))
    check(bitblts(app) == blits, "a pointer move repainted the picture")
    check(any(said[p]["pixel"].startswith("x ") for p in pixels), "no pixel over the field")
    check(any(said[p]["pixel"].startswith("scale ") for p in pixels), "no pixel over the band")
    t = step("readout of %d pixels, no repaint" % len(pixels), t)

    # Ctrl+C copies the readout of the pixel under the pointer as one line.
    px, py = pixels[0]
    s.display.x("xdotool", "mousemove", str(x0 + px), str(y0 + py))
    bar.wait_parts([said[(px, py)]["pixel"], None, None], 10, "the readout before the copy")
    s.display.key(win, "ctrl+c")
    copied = wait_until(
        lambda: (lambda c: c == said[(px, py)]["copy"] and c)(bar.clipboard()), 10, "the copy"
    )
    t = step("Ctrl+C copied %r" % copied, t)

    # With --watch a new step is read: the range part, and the pixel under the pointer.
    files["quorlane.dat"] = grid(1)
    write(d, files)
    said = core(tool, files, s.tmp, w, ph, [(px, py)])
    bar.wait_parts([said[(px, py)]["pixel"], said["range"], said["outside"]], 15, "a new step")
    picture_matches(s, files, rect, height, save)
    step("a new step read under --watch", t)
    check(app.close(win) == 0, "exit status %s" % app.status)


def step(name, t0):
    print("ok   %-48s %.1f s" % (name, time.monotonic() - t0), flush=True)
    return time.monotonic()


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--render", "--probe", "--reader", "--workdir"):
        ap.add_argument(opt, required=True)
    a = ap.parse_args()
    t0, save = time.monotonic(), os.path.join(a.workdir, "failed-probe")
    try:
        with Session(a.exe, a.workdir, render_exe=a.render) as s:
            probed(s, os.path.abspath(a.probe), os.path.abspath(a.reader), save)
    except E2EError as err:
        print("FAIL %s" % err)
        raise
    print("probe passed in %.1f s" % (time.monotonic() - t0))


if __name__ == "__main__":
    main()
