#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe under Wine on a virtual display.

    test_app.py --exe quorlane.exe --render quorlane_render --metrics metrics.exe
                --workdir DIR CASE
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e  # noqa: E402

GOOD_GRID = e.grid_text(3, 2, 1.0, 0.5, lambda i, j: 10 * j + i)
GOOD_INI = e.settings_text()

# Start-up failures: the files, then the report's text. Every one ends with status 1.
STARTUP = {
    "startup_missing_grid": [({"quorlane.ini": GOOD_INI}, 'Cannot open "quorlane.dat"')],
    "startup_missing_settings": [({"quorlane.dat": GOOD_GRID}, 'Cannot open "quorlane.ini"')],
    "startup_short_grid": [
        ({"quorlane.dat": b"3\n2\n1.0\n0.5\n10\n11\n12\n20\n21\n", "quorlane.ini": GOOD_INI},
         'Error reading "quorlane.dat"'),
        ({"quorlane.dat": b"3 2 1.0", "quorlane.ini": GOOD_INI}, 'Error reading "quorlane.dat"'),
    ],
    "startup_short_settings": [
        ({"quorlane.dat": GOOD_GRID, "quorlane.ini": b"\n".join(GOOD_INI.split(b"\n")[:16])},
         'Error reading "quorlane.ini"'),
    ],
    "startup_invalid_header": [
        ({"quorlane.dat": b"0 2 1.0 0.5\n1\n", "quorlane.ini": GOOD_INI},
         'Invalid grid size in "quorlane.dat"'),
        ({"quorlane.dat": b"3 2 0 0.5\n1\n2\n3\n4\n5\n6\n", "quorlane.ini": GOOD_INI},
         'Invalid cell size in "quorlane.dat"'),
    ],
}

WS_OVERLAPPEDWINDOW = 0x00CF0000
MB_OK_ICONEXCLAMATION = 0x30


def tdiv(a, b):
    """Signed integer division truncating toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def check(cond, what):
    if not cond:
        raise e.E2EError(what)


def ini_value(ini, line):
    """The leading integer of settings line `line` (from 1)."""
    text = ini.decode().split("\n")[line - 1].split()
    return int(text[0])


def screen_metrics(s, metrics_exe):
    """Wine's screen metrics for the session's screen, measured once per prefix."""
    cache = os.path.join(s.prefix, "screen-metrics-%dx%d.txt" % s.screen)
    if not os.path.exists(cache):
        text = s.run_console(metrics_exe)
        with open(cache, "w") as f:
            f.write(text)
    with open(cache) as f:
        cx, cy, cxf, cyf = map(int, f.read().split())
    return {"cx": cx, "cy": cy, "cxf": cxf, "cyf": cyf}


def startup_case(s, variants):
    for files, message in variants:
        app = s.start(files)
        call = app.wait_call("user32.MessageBoxA")[0]
        check(len(call) == 4, "MessageBoxA arguments: %r" % call)
        owner, text, caption, style = call
        check(e.arg32(owner[0]) == 0, "the report has an owner window")
        check(text[1] == message, "report text %r, wanted %r" % (text[1], message))
        check(caption[1] == "Quorlane", "report caption %r" % caption[1])
        check(e.arg32(style[0], signed=False) == MB_OK_ICONEXCLAMATION, "report style %#x" % style[0])
        box = app.wait_window("Quorlane")
        check(app.running(), "the program ended before the report was dismissed")
        check(not any(c[1][1] == "QuorlaneClass" for c in app.calls("user32.CreateWindowExA")),
              "a main window was created after a start-up failure")
        s.key(box, "Return")
        status = app.wait_exit()
        check(status == 1, "exit status %d after %r, wanted 1" % (status, message))


def main_window_call(app):
    calls = [c for c in app.wait_call("user32.CreateWindowExA")
             if len(c) == 12 and c[1][1] == "QuorlaneClass"]
    check(len(calls) == 1, "%d main windows created" % len(calls))
    return calls[0]


def open_window(s, files, metrics):
    """Starts the program on `files`, checks the creation arguments and the
    first picture; returns (app, X window)."""
    app = s.start(files)
    ex, cls, title, style, x, y, w, h, parent, menu, inst, param = main_window_call(app)
    ini = files["quorlane.ini"]
    width, height = ini_value(ini, 9), ini_value(ini, 10)
    got = (e.arg32(ex[0]), title[1], e.arg32(style[0], False), e.arg32(x[0]), e.arg32(y[0]),
           e.arg32(w[0]), e.arg32(h[0]), parent[0], menu[0], param[0])
    want = (0, "Quorlane", WS_OVERLAPPEDWINDOW, tdiv(metrics["cxf"] - width, 2),
            tdiv(metrics["cyf"] - height, 2), width, height, 0, 0, 0)
    check(got == want, "CreateWindowExA(ex, title, style, x, y, w, h, parent, menu, param) = %r, wanted %r"
          % (got, want))
    win = app.wait_window("Quorlane")
    return app, win


def close_window(s, app, win):
    s.key(win, "alt+F4")
    status = app.wait_exit()
    check(status == 0, "exit status %d after closing the window" % status)


def window_case(s, metrics, example, save):
    files = e.example_files(example)
    app, win = open_window(s, files, metrics)
    rect, texts = app.match_client(win, files, save_to=save)
    check(len(texts) == 3, "texts: %r" % texts)
    close_window(s, app, win)
    return rect


def resize_case(s, metrics, save):
    files = e.example_files("rainbow")
    app, win = open_window(s, files, metrics)
    app.match_client(win, files, save_to=save)
    # Larger, width-binding (wide and low), height-binding (narrow and tall), smaller.
    for size in ((900, 700), (1000, 300), (300, 640), (420, 330)):
        s.resize(win, *size)
        e.wait_until(lambda: s.geometry(win)[2:] == size, 10, "the window to take size %r" % (size,))
        rect, _ = app.match_client(win, files, save_to=save)
        check(rect[2] == size[0], "client width %d after resizing to %r" % (rect[2], size))
    # A window shrunk to nothing (an empty client area) keeps running and
    # paints again once it is large enough.
    s.resize(win, 1, 1)
    e.wait_until(lambda: s.geometry(win)[2:] != (420, 330), 10, "the window to shrink")
    time.sleep(0.3)
    check(app.running(), "the program ended on an empty client area")
    s.resize(win, 500, 400)
    app.match_client(win, files, save_to=save)
    close_window(s, app, win)


def about_case(s, metrics):
    files = e.example_files("twocolour")
    app, win = open_window(s, files, metrics)
    app.match_client(win, files)
    # Enter (the default OK button), Esc and Alt+F4 (the cancel command) each end the box.
    for n, keys in enumerate((("Return",), ("Escape",), ("alt+F4",)), 1):
        s.key(win, "alt+h", "a")
        box = app.wait_window("About Quorlane")
        moves = app.wait_call("user32.MoveWindow", count=n)
        check(len(moves) == n, "%d MoveWindow calls for %d boxes" % (len(moves), n))
        _, left, top, w, h, repaint = [e.arg32(a[0]) for a in moves[-1]]
        want = (tdiv(metrics["cx"] - w, 2), tdiv(metrics["cy"] - h, 2), 1)
        check((left, top, repaint) == want, "About box moved to %r, wanted %r" % ((left, top, repaint), want))
        gx, gy, gw, gh = s.geometry(box)
        check(left <= gx and gx + gw <= left + w and top <= gy and gy + gh <= top + h,
              "the box's X window %r lies outside its window rectangle %r" % ((gx, gy, gw, gh), (left, top, w, h)))
        s.key(box, *keys)
        app.wait_no_window("About Quorlane")
        check(app.running(), "the program ended with the About box")
    close_window(s, app, win)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--render", required=True)
    ap.add_argument("--metrics", required=True)
    ap.add_argument("--workdir", required=True)
    ap.add_argument("case")
    a = ap.parse_args()
    start = time.monotonic()
    save = os.path.join(a.workdir, "failed-" + a.case)
    with e.Session(a.exe, a.workdir, render_exe=a.render) as s:
        if a.case in STARTUP:
            startup_case(s, STARTUP[a.case])
        else:
            metrics = screen_metrics(s, a.metrics)
            if a.case.startswith("window_"):
                window_case(s, metrics, a.case[len("window_"):], save)
            elif a.case == "resize":
                resize_case(s, metrics, save)
            elif a.case == "about":
                about_case(s, metrics)
            else:
                raise SystemExit("unknown case " + a.case)
    print("%s passed in %.1f s" % (a.case, time.monotonic() - start))


if __name__ == "__main__":
    main()
