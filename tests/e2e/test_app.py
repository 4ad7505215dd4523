#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe under Wine on a virtual display, driven by tools/winsession:
    test_app.py --exe quorlane.exe --render quorlane_render --workdir DIR GROUP [INPUTS ROW ...]"""
import argparse
import os
import random
import re
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import example_files, grid_text, settings_text  # noqa: E402
from winsession import SCREEN, E2EError, Session, check, wait_until  # noqa: E402

PICTURE, OFF_SCREEN = "the core's picture", "a window off the screen"
MB_ICONEXCLAMATION, WS_OVERLAPPEDWINDOW, SM_CXFULLSCREEN, SM_CYFULLSCREEN = 0x30, 0xCF0000, 16, 17


def ini(**settings):
    """A settings file of the hostile cases: the defaults but for these and `settings`."""
    base = dict(scaleMin=-40.0, scaleMax=80.0, windowWidth=560, windowHeight=440, caption="Hostile")
    return settings_text(**{**base, **settings})


GRID, INI = grid_text(8, 6, 1.0, 0.75, lambda i, j: 12.5 * i - 9.0 * j + (i * j) % 5), ini()
SHORT_GRID, SHORT_INI = b"3 2 1.0 0.5\n1\n1\n", b"\n".join(INI.split(b"\n")[:16])
# One row per message or outcome the real program shows; the unit tests hold the rest.
# name, grid file, settings file (None: missing), outcome (the report's text, or a window)
INPUTS = [
    ("missing_grid", None, INI, 'Cannot open "quorlane.dat"'),
    ("missing_settings", GRID, None, 'Cannot open "quorlane.ini"'),
    # Both files short: the grid is read first.
    ("short_grid_and_settings", SHORT_GRID, SHORT_INI, 'Error reading "quorlane.dat"'),
    ("short_settings", GRID, SHORT_INI, 'Error reading "quorlane.ini"'),
    ("grid_size_0", b"0 6 1.0 1.0\n", INI, 'Invalid grid size in "quorlane.dat"'),
    ("cell_size_0", b"8 6 0 1.0\n", INI, 'Invalid cell size in "quorlane.dat"'),
    # Windows larger than the screen, wholly off it (laid out, never mapped), the smallest.
    ("window_beyond_screen", GRID, ini(windowWidth=2400, windowHeight=1700), PICTURE),
    ("window_far_beyond_screen", GRID, ini(windowWidth=5000, windowHeight=4000), OFF_SCREEN),
    ("window_size_0", GRID, ini(windowWidth=0, windowHeight=0), PICTURE),
    # The band's end values as the program draws them: equal, infinite; a band beyond any client.
    ("scale_max_equals_min", GRID, ini(scaleMin=20.0, scaleMax=20.0, clipping=0), PICTURE),
    ("infinite_scale", GRID, ini(scaleMin=1e39, scaleMax=-1e39), PICTURE),
    ("huge_band", GRID, ini(bandHeight=100000, bandSideGap=5000, bandStrip=5000), PICTURE),
]


def open_window(s, files, save, mapped=True):
    """One main window, no report, the core's picture: (app, CreateWindowExA arguments, X window,
    texts)."""
    app = s.start(files)
    calls = wait_until(lambda: app.trace.created("QuorlaneClass"), 15, "the main window")
    report = app.trace.calls("user32.MessageBoxA")
    check(len(calls) == 1 and not report, "%d main windows, or a report" % len(calls))
    win = mapped and app.wait_window("Quorlane")
    return app, calls[0], win, mapped and app.match_client(win, files, save_to=save)[1]


def closed(app, win):
    check(app.close(win) == 0, "exit status %s after closing the window" % app.status)


def inputs(s, rows, save):
    """Each row ends with its window (closed: status 0; one off the screen ends on WM_CLOSE), or its
    report: no owner, the text, "Quorlane", MB_OK | MB_ICONEXCLAMATION; Enter: 1."""
    failed = []
    for name, dat, ini_, want in rows:
        t0, named = time.monotonic(), zip(("quorlane.dat", "quorlane.ini"), (dat, ini_))
        files = {k: v for k, v in named if v is not None}
        try:
            if want == PICTURE:
                closed(*open_window(s, files, save + "-" + name)[::2])  # (app, window)
            elif want == OFF_SCREEN:
                app, call, _, _ = open_window(s, files, save, mapped=False)
                check(call[4] < 0 and call[5] < 0, "window placed at %d, %d" % tuple(call[4:6]))
                wait_until(app.trace.client_size, 15, "the window's layout")
                s.post_close()
                check(app.wait_exit() == 0, "exit status %s after closing the window" % app.status)
            else:
                app = s.start(files)
                got = tuple(app.trace.wait_call("user32.MessageBoxA")[0])
                why = "MessageBoxA%r, wanted %r" % (got, want)
                check(got == (0, want, "Quorlane", MB_ICONEXCLAMATION), why)
                s.display.key(app.wait_window("Quorlane"), "Return")
                ended = app.wait_exit() == 1 and not app.trace.created("QuorlaneClass")
                check(ended, "status %s or a window" % app.status)
            print("ok   %-28s %-40s %.1f s" % (name, want, time.monotonic() - t0), flush=True)
        except E2EError as err:
            failed.append(name)
            print("FAIL %-28s %s" % (name, err), flush=True)
        finally:
            for app in s.apps:
                app.kill()
    check(not failed, "failed: " + ", ".join(failed))


def window(s, save):
    """Title, position (centred in the full-screen client area) and size from the settings, the
    application value as the creation parameter (lpParam, not 0), and the picture."""
    for example in ("rainbow", "twocolour", "nonsquare"):
        files = example_files(example)
        app, call, win, texts = open_window(s, files, save)
        lines = files["quorlane.ini"].split(b"\n")
        windowWidth, windowHeight = (int(lines[k].split()[0]) for k in (8, 9))
        centre = ((SM_CXFULLSCREEN, windowWidth), (SM_CYFULLSCREEN, windowHeight))
        x, y = (int((app.trace.metric(m) - n) / 2) for m, n in centre)
        # The last, lpParam, is the application value: any pointer but 0.
        want = [0, "QuorlaneClass", "Quorlane", WS_OVERLAPPEDWINDOW, x, y]
        want += [windowWidth, windowHeight, 0, 0, call[10], call[11] or "not 0"]
        why = "CreateWindowExA%r, wanted %r; texts %r" % (call, want, texts)
        check(call == want and len(texts) == 3, why)
        closed(app, win)


def about(s, save):
    """Help > About... centred on the screen; Enter (OK), Esc and Alt+F4 (the cancel command) end
    it."""
    app, _, win, _ = open_window(s, example_files("twocolour"), save)
    for n, key in enumerate(("Return", "Escape", "alt+F4"), 1):
        s.display.key(win, "alt+h", "a")
        box = app.wait_window("About Quorlane")
        moves = app.trace.wait_call("user32.MoveWindow", count=n)
        _, left, top, bw, bh, repaint = moves[-1]
        want = (int((s.display.screen[0] - bw) / 2), int((s.display.screen[1] - bh) / 2), 1)
        why = "MoveWindow%r, wanted %r" % (moves[-1], want)
        check(len(moves) == n and (left, top, repaint) == want, why)
        gx, gy, gw, gh = s.display.geometry(box)
        inside = left <= gx <= gx + gw <= left + bw and top <= gy <= gy + gh <= top + bh
        check(inside, "box at %r" % [gx, gy, gw, gh])
        s.display.key(box, key)
        app.wait_no_window("About Quorlane")
    closed(app, win)


def storm(s, save, count=320, seed=20240607, bandHeight=60, bandSideGap=150, bandStrip=40):
    """Bursts of resizes with no pause: after each the program is told the last client size (at
    least Wine's minimum width); after the sizes `shown` and at the end the client shows the core's
    picture; closing: 0."""
    gap, strip, low = bandSideGap, bandStrip, bandHeight + bandStrip
    shown = [(900, 700), (1000, 300), (300, 640), (420, 330), (4000, 3000)]
    # Clients with little or no room for the band:
    sizes = shown + [(0, 0), (1, 1), (1, 0), (0, 1), (gap - 1, low - 1), (gap, low)]
    sizes += [(gap + 2, low + strip), (40, 400), (2 * gap + 2, low + strip - 1)]
    sizes += [(2 * gap + 3, low + strip + 1), (1500, 3)]
    r = random.Random(seed)  # the rest: around the band's gaps, up to 1600 x 1200, larger
    kinds = [(0, 0, 2 * gap + 10, low + 2 * strip)] * 7 + [(0, 0, 1600, 1200)] * 11
    kinds += [(1600, 1200, 4000, 3000)] * 2
    for x0, y0, x1, y1 in (r.choice(kinds) for _ in range(count - len(sizes))):
        sizes.insert(r.randrange(len(sizes) + 1), (r.randint(x0, x1), r.randint(y0, y1)))
    band = dict(bandHeight=bandHeight, bandSideGap=bandSideGap, bandStrip=bandStrip)
    ini_text = settings_text(windowWidth=560, windowHeight=420, caption="Storm", **band)
    files = {"quorlane.dat": example_files("rainbow")["quorlane.dat"], "quorlane.ini": ini_text}
    app = s.start(files)
    win = app.wait_window("Quorlane")
    s.display.move(win, 0, 0)
    wait_until(lambda: s.display.geometry(win)[:2] == (0, 0), 10, "the window to move to 0, 0")
    menu = s.display.geometry(win)[3] - wait_until(app.trace.client_size, 10, "the first layout")[1]
    s.display.resize(win, 1, menu + 1)
    client = lambda: app.trace.client_size() or (0, 0)  # noqa: E731
    min_w = wait_until(lambda: client()[1] == 1 and client()[0], 10, "the smallest window")

    def x_size(cw, ch):  # X windows are at least 1 x 1
        return max(cw, 1), max(ch + menu, 1)

    cuts = sorted(set(range(0, count, 20)) | {sizes.index(size) + 1 for size in shown} | {count})
    for part in (sizes[a:b] for a, b in zip(cuts, cuts[1:])):
        before = len(app.trace.client_sizes())
        burst = [str(v) for size in part for v in ("windowsize", win) + x_size(*size)]
        s.display.x("xdotool", *burst, timeout=60)
        want = (max(part[-1][0], min_w), x_size(*part[-1])[1] - menu)
        laid_out = lambda: len(app.trace.client_sizes()) > before and client() == want  # noqa
        wait_until(laid_out, 20, "the program to lay out client %r" % (want,))
        if part[-1] in shown:
            rect = app.match_client(win, files, timeout=30, save_to=save + "-%dx%d" % part[-1])[0]
            check(rect[2:] == part[-1], "client %r for %r" % (rect, part[-1]))
    s.display.resize(win, *x_size(820, 610))
    rect, texts = app.match_client(win, files, save_to=save)
    check(rect[2:] == (820, 610) and len(texts) == 3, "final client %r, texts %r" % (rect, texts))
    closed(app, win)
    bursts = (len(sizes), len(cuts) - 1, min_w)
    print("storm of %d client sizes in %d bursts, smallest client width %d" % bursts)


def bench(s, exe):
    """A short run of the resize benchmark: every client shows the per-pixel picture; the
    off-screen picture is made as large as the screen and grows once, when a client outgrows it."""
    status, out = s.run_console(exe, ["3", "1", "640x480", "1700x1300", "1500x1000"], 120)
    print(out, end="")
    lines = [line for line in out.splitlines() if line.startswith("client ")]
    equal = len(lines) == 3 and all("pictures equal" in line for line in lines)
    check(status == 0 and equal, "status %s" % status)
    # "client W x H: ..."; the display may stop the window short of the size asked for
    clients = [tuple(map(int, line.split(":")[0].split()[1::2])) for line in lines]
    largest = [max(size[k] for size in clients) for k in (0, 1)]
    # "off-screen picture W x H pixels, made N times": the growth rule itself is a unit test's
    found = re.search(r"off-screen picture (\d+) x (\d+) pixels, made (\d+) times", out)
    check(found is not None, "no off-screen picture line")
    side, made = [int(found.group(k)) for k in (1, 2)], int(found.group(3))
    outgrew = any(n > screen for n, screen in zip(largest, s.display.screen))
    holds = all(n >= max(c, screen) for n, c, screen in zip(side, largest, s.display.screen))
    check(holds and made == 1 + outgrew, "picture %r made %d times for %r" % (side, made, largest))


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--bench", help="resize_bench.exe, for the bench group")
    ap.add_argument("group", choices=["inputs", "window", "about", "storm", "bench"])
    ap.add_argument("rows", nargs="*")
    a = ap.parse_args()
    t0, save = time.monotonic(), os.path.join(a.workdir, "failed-" + a.group)
    with Session(a.exe, a.workdir, (4200, 3300) if a.group == "storm" else SCREEN, a.render) as s:
        if a.group == "inputs":
            inputs(s, [r for r in INPUTS if not a.rows or r[0] in a.rows], save)
        elif a.group == "bench":
            bench(s, a.bench)
        else:
            globals()[a.group](s, save)
    print("%s passed in %.1f s" % (a.group, time.monotonic() - t0))


if __name__ == "__main__":
    main()
