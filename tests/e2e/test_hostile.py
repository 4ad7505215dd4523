#!/usr/bin/env python3
"""Malformed and extreme input files through the real quorlane.exe under Wine.

Every case ends either with its start-up failure report (the exact
MessageBoxA text, caption and style from the relay trace; the box dismissed
with Enter; exit status 1) or with a window whose client area equals the
core's picture of the same files (the part of it on the screen), closed with
exit status 0. Never a crash, never a hang: every wait is bounded.

    test_hostile.py --exe quorlane.exe --render quorlane_render --workdir DIR
                    [--metrics metrics.exe] [CASE ...]

Without CASE every case runs, all in one virtual display and Wine prefix.
"""
import argparse
import os
import random
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e  # noqa: E402

MB_OK_ICONEXCLAMATION = 0x30
PICTURE = None  # expected outcome: the window and the core's picture
OFF_SCREEN = "off-screen"  # expected outcome: a window that lies wholly off the screen

DAT_READ = 'Error reading "quorlane.dat"'
INI_READ = 'Error reading "quorlane.ini"'
DAT_SIZE = 'Invalid grid size in "quorlane.dat"'
DAT_CELL = 'Invalid cell size in "quorlane.dat"'

GRID = e.grid_text(8, 6, 1.0, 0.75, lambda i, j: 12.5 * i - 9.0 * j + (i * j) % 5)
INI = e.settings_text(Fmin=-40.0, Fmax=80.0, Width=560, Height=440, Label="Hostile")


def garbage(seed, n, avoid):
    """n bytes of seeded noise with none of the bytes in `avoid`."""
    r = random.Random(seed)
    out = bytearray()
    while len(out) < n:
        b = r.randrange(256)
        if b not in avoid:
            out.append(b)
    return bytes(out)


NUMBERISH = set(b"0123456789+-.\x1a")
# Tokens of noise (a blank every 40 bytes) that convert to no number.
GARBAGE_GRID = b" ".join(garbage(1, 40, NUMBERISH | set(b" \t\n\r\v\f")) for _ in range(60))
# Thirty lines of noise with no number: every setting 0, a caption of noise.
GARBAGE_INI = b"\n".join(garbage(2 + k, 30, NUMBERISH | set(b"\n\r")) for k in range(30))


def grid_values(header, count=48, value=b"1"):
    return header + b"\n" + b"\n".join([value] * count) + b"\n"


def ini_lines(**kw):
    return e.settings_text(**dict(dict(Fmin=-40.0, Fmax=80.0, Width=560, Height=440, Label="Hostile"), **kw))


# name: (grid file, settings file, expected message or PICTURE)
CASES = {
    "empty_grid": (b"", INI, DAT_READ),
    "empty_settings": (GRID, b"", INI_READ),
    "both_empty": (b"", b"", DAT_READ),
    "garbage_grid": (GARBAGE_GRID, INI, DAT_SIZE),
    "garbage_settings": (GRID, GARBAGE_INI, PICTURE),
    "token_200_size": (grid_values(b"1" * 200 + b" 2 1.0 1.0"), INI, DAT_SIZE),
    "token_200_cell": (grid_values(b"3 2 0." + b"5" * 198 + b" 1.0"), INI, DAT_CELL),
    "size_0": (grid_values(b"0 6 1.0 1.0"), INI, DAT_SIZE),
    "size_minus_1": (grid_values(b"8 -1 1.0 1.0"), INI, DAT_SIZE),
    "size_4294967295": (grid_values(b"4294967295 2 1.0 1.0"), INI, DAT_SIZE),
    "size_100000_square": (grid_values(b"100000 100000 1.0 1.0"), INI, DAT_SIZE),
    "cell_0": (grid_values(b"8 6 0 1.0"), INI, DAT_CELL),
    "cell_minus_1": (grid_values(b"8 6 1.0 -1"), INI, DAT_CELL),
    "cell_1e39": (grid_values(b"8 6 1e39 1.0"), INI, DAT_CELL),
    "values_1e39": (e.grid_text(6, 5, 1.0, 1.0, lambda i, j: (1e39, -1e39, 10.0, 60.0)[(i + 2 * j) % 4]),
                    INI, PICTURE),
    "caption_300": (GRID, ini_lines(Label="W" * 300), PICTURE),
    "window_beyond_screen": (GRID, ini_lines(Width=2400, Height=1700), PICTURE),
    "window_far_beyond_screen": (GRID, ini_lines(Width=5000, Height=4000), OFF_SCREEN),
    "window_size_0": (GRID, ini_lines(Width=0, Height=0), PICTURE),
    "colours_outside_byte": (GRID, e.settings_text(Fmin=-40.0, Fmax=80.0, rgb_min=(300, 1000, -7),
                                                   rgb_max=(-5, -1000, 2147483647), Width=560,
                                                   Height=440, clipping=0, color=0), PICTURE),
    "fmax_equals_fmin_clipped": (GRID, ini_lines(Fmin=20.0, Fmax=20.0, clipping=1), PICTURE),
    "fmax_equals_fmin_rainbow": (GRID, ini_lines(Fmin=20.0, Fmax=20.0, clipping=0), PICTURE),
    "fmax_equals_fmin_twocolour": (GRID, ini_lines(Fmin=20.0, Fmax=20.0, clipping=0, color=0), PICTURE),
    "infinite_scale": (GRID, ini_lines(Fmin=1e39, Fmax=-1e39), PICTURE),
    "grid_cr_only": (GRID.replace(b"\n", b"\r"), INI, DAT_READ),
    "settings_cr_only": (GRID, INI.replace(b"\n", b"\r"), INI_READ),
    "grid_ctrl_z_middle": (GRID[:len(GRID) // 2] + b"\x1a" + GRID[len(GRID) // 2:], INI, DAT_READ),
    "settings_ctrl_z_middle": (GRID, INI[:len(INI) // 2] + b"\x1a" + INI[len(INI) // 2:], INI_READ),
    "ctrl_z_after_values": (GRID + b"\x1a" + GARBAGE_GRID, INI + b"\x1a\x00\xff", PICTURE),
    "huge_band_and_margins": (GRID, ini_lines(Band=100000, Xmargin=5000, Ymargin=5000), PICTURE),
    "margins_minus_1": (GRID, ini_lines(Band=-1, Xmargin=-1, Ymargin=-1), PICTURE),
    "long_value_lines": (b"8 6 1 1\n" + b"\n".join(b"%d" % k + b" " * 150 for k in range(48)) + b"\n"
                         + b"7\n" * 200, INI, PICTURE),
}


def check(cond, what):
    if not cond:
        raise e.E2EError(what)


def expect_report(s, app, message):
    call = app.wait_call("user32.MessageBoxA")[0]
    check(len(call) == 4, "MessageBoxA arguments: %r" % call)
    owner, text, caption, style = call
    check(text[1] == message, "report text %r, wanted %r" % (text[1], message))
    check(e.arg32(owner[0]) == 0 and caption[1] == "Quorlane"
          and e.arg32(style[0], signed=False) == MB_OK_ICONEXCLAMATION,
          "report owner/caption/style %r" % ((owner[0], caption[1], style[0]),))
    box = app.wait_window("Quorlane")
    check(app.running(), "the program ended before the report was dismissed")
    check(not any(c[1][1] == "QuorlaneClass" for c in app.calls("user32.CreateWindowExA") if len(c) > 1),
          "a main window was created after a start-up failure")
    s.key(box, "Return")
    status = app.wait_exit()
    check(status == 1, "exit status %d, wanted 1" % status)


def client_rect(s, app, win, timeout=10):
    """Screen rectangle (x, y, w, h) of the client area; the height is 0 when
    the window is too low to have any (Wine keeps the menu bar)."""
    def get():
        gx, gy, gw, gh = s.geometry(win)
        size = app.client_size_traced()
        if size and size[0] == gw and size[1] <= gh:
            h = max(size[1], 0)
            return gx, gy + gh - h, gw, h
        return None
    return e.wait_until(get, timeout, "the client area of window %d" % win)


def match_visible(s, app, win, files, timeout=15, save_to=None):
    """Like App.match_client, for the part of the client area on the screen."""
    sw, sh = s.screen
    last = [None]

    def attempt():
        x, y, w, h = client_rect(s, app, win)
        x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, sw), min(y + h, sh)
        if x1 <= x0 or y1 <= y0:
            return (x, y, w, h)  # nothing of it to see
        expected, texts = e.render_expected(s.render_exe, files, w, h, s.tmp)
        shot = s.screenshot().crop(x0, y0, x1 - x0, y1 - y0)
        want = expected.crop(x0 - x, y0 - y, x1 - x0, y1 - y0)
        skip = [(tx - (x0 - x), ty - (y0 - y), tw, th) for tx, ty, tw, th in e.text_rects(texts)]
        n, first = e.compare(shot, want, skip)
        last[0] = ((x, y, w, h), n, first, shot, want)
        return (x, y, w, h) if n == 0 else None

    try:
        return e.wait_until(attempt, timeout, "the client area to show the core's picture", interval=0.1)
    except e.E2EError:
        if last[0] is None:
            raise
        rect, n, first, shot, want = last[0]
        if save_to:
            shot.save_ppm(save_to + ".actual.ppm")
            want.save_ppm(save_to + ".expected.ppm")
        raise e.E2EError("client %s: %d pixels differ, first (x, y, screen, core): %s" % (rect, n, first))


def main_window_call(app):
    calls = [c for c in app.wait_call("user32.CreateWindowExA")
             if len(c) == 12 and c[1][1] == "QuorlaneClass"]
    check(len(calls) == 1, "%d main windows created" % len(calls))
    check(not app.calls("user32.MessageBoxA"), "a start-up failure report for a loadable pair")
    return calls[0]


def expect_picture(s, app, files, save_to):
    main_window_call(app)
    win = app.wait_window("Quorlane")
    rect = match_visible(s, app, win, files, save_to=save_to)
    check(app.running(), "the program ended while showing its picture")
    s.key(win, "alt+F4")
    status = app.wait_exit()
    check(status == 0, "exit status %d after closing the window, wanted 0" % status)
    return rect


def expect_off_screen(s, app):
    """A window placed wholly off the screen is never mapped; it must still
    be laid out and keep running, and end with 0 when told to close."""
    call = main_window_call(app)
    x, y = e.arg32(call[4][0]), e.arg32(call[5][0])
    check(x < 0 and y < 0, "window placed at %d, %d" % (x, y))
    size = e.wait_until(app.client_size_traced, 15, "the window's layout")
    time.sleep(0.5)
    check(app.running(), "the program ended with its window off the screen")
    # taskkill without /f posts WM_CLOSE to the process's top-level windows.
    subprocess.run(["wine", "taskkill", "/im", os.path.basename(s.exe)], env=s.wine_env(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    status = app.wait_exit()
    check(status == 0, "exit status %d after closing the window, wanted 0" % status)
    return size


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--render", required=True)
    ap.add_argument("--workdir", required=True)
    ap.add_argument("--metrics")  # accepted for a common command line; not needed here
    ap.add_argument("cases", nargs="*")
    a = ap.parse_args()
    names = a.cases or list(CASES)
    unknown = [n for n in names if n not in CASES]
    if unknown:
        raise SystemExit("unknown cases: %s" % ", ".join(unknown))
    start = time.monotonic()
    failed = []
    with e.Session(a.exe, a.workdir, render_exe=a.render) as s:
        for name in names:
            grid, ini, expected = CASES[name]
            files = {"quorlane.dat": grid, "quorlane.ini": ini}
            t0 = time.monotonic()
            app = s.start(files)
            try:
                if expected is PICTURE:
                    rect = expect_picture(s, app, files, os.path.join(a.workdir, "failed-hostile-" + name))
                    outcome = "picture, client %dx%d at %d, %d" % (rect[2], rect[3], rect[0], rect[1])
                elif expected is OFF_SCREEN:
                    size = expect_off_screen(s, app)
                    outcome = "off the screen, client %dx%d, status 0" % size
                else:
                    expect_report(s, app, expected)
                    outcome = "report %r, status 1" % expected
                print("ok   %-28s %-52s %.1f s" % (name, outcome, time.monotonic() - t0), flush=True)
            except e.E2EError as err:
                failed.append(name)
                print("FAIL %-28s %s" % (name, err), flush=True)
            finally:
                app.kill()
    print("%d cases, %d failed, %.1f s" % (len(names), len(failed), time.monotonic() - start))
    if failed:
        raise SystemExit("failed: " + ", ".join(failed))


if __name__ == "__main__":
    main()
