#!/usr/bin/env python3
"""A resize storm on the real quorlane.exe under Wine.

The window gets 300 and more client sizes (seeded random ones plus 0 x 0,
1 x 1, sizes below the band's margins, where the field box is empty or lies
above the client, and 4000 x 3000), in bursts of xdotool resizes with no
pause between them. After each burst the program must answer: its own
layout trace has to reach the burst's last size. At 4000 x 3000 and after
the storm the client area must equal the core's picture at that size, and
closing the window must end the program with status 0.

The virtual screen is larger than 4000 x 3000, since a window never gets
larger than the screen allows. Like Windows, Wine keeps an overlapped
window at least its minimum tracking width wide, so the smallest client
widths asked for come out as that width (the core's paint of every size from
0 x 0 up is covered by the unit tests and the paint fuzz target).

    test_storm.py --exe quorlane.exe --render quorlane_render --workdir DIR
                  [--metrics metrics.exe] [--sizes N] [--seed S]
"""
import argparse
import os
import random
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2elib as e  # noqa: E402

SCREEN = (4200, 3300)
BAND, XMARGIN, YMARGIN = 60, 150, 40
BURST = 20


def check(cond, what):
    if not cond:
        raise e.E2EError(what)


def storm_sizes(count, seed):
    """Client sizes: the special ones first among seeded random ones."""
    below = BAND + YMARGIN  # lower than this: no room for the band
    special = [(0, 0), (1, 1), (1, 0), (0, 1), (XMARGIN - 1, below - 1), (XMARGIN, below),
               (XMARGIN + 2, below + YMARGIN), (2 * XMARGIN + 2, below + YMARGIN - 1),
               (2 * XMARGIN + 3, below + YMARGIN + 1), (40, 400), (1500, 3), (4000, 3000)]
    r = random.Random(seed)
    sizes = []
    while len(sizes) < count - len(special):
        kind = r.random()
        if kind < 0.35:  # small: around and below the margins
            sizes.append((r.randint(0, 2 * XMARGIN + 10), r.randint(0, below + 2 * YMARGIN)))
        elif kind < 0.9:
            sizes.append((r.randint(0, 1600), r.randint(0, 1200)))
        else:
            sizes.append((r.randint(1600, 4000), r.randint(1200, 3000)))
    for k, size in enumerate(special):  # spread them through the storm
        sizes.insert(k * len(sizes) // len(special), size)
    return sizes


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--render", required=True)
    ap.add_argument("--workdir", required=True)
    ap.add_argument("--metrics")  # accepted for a common command line; not needed here
    ap.add_argument("--sizes", type=int, default=320)
    ap.add_argument("--seed", type=int, default=20240607)
    a = ap.parse_args()
    start = time.monotonic()
    files = {"quorlane.dat": e.example_files("rainbow")["quorlane.dat"],
             "quorlane.ini": e.settings_text(Width=560, Height=420, Band=BAND, Xmargin=XMARGIN,
                                             Ymargin=YMARGIN, Label="Storm")}
    save = os.path.join(a.workdir, "failed-storm")
    sizes = storm_sizes(a.sizes, a.seed)
    final = (820, 610)

    with e.Session(a.exe, a.workdir, screen=SCREEN, render_exe=a.render) as s:
        app = s.start(files)
        win = app.wait_window("Quorlane")
        s.x("xdotool", "windowmove", str(win), "0", "0")
        e.wait_until(lambda: s.geometry(win)[:2] == (0, 0), 10, "the window to move to 0, 0")
        _, _, gw, gh = s.geometry(win)
        cw, ch = e.wait_until(app.client_size_traced, 10, "the first layout")
        menu = gh - ch  # the menu bar above the client area
        # The smallest width the window takes.
        s.resize(win, 1, menu + 1)
        min_w = e.wait_until(lambda: (lambda c: c[0] if c and c[1] == 1 else None)(app.client_size_traced()),
                             10, "the smallest window")

        def expected(size):
            return max(size[0], min_w), size[1]

        def x_size(size):  # X windows are at least 1 x 1
            return max(size[0], 1), max(size[1] + menu, 1)

        def layouts():  # how many layouts the program has traced so far
            return app.trace().count("rect after menu")

        done, answered, big = 0, 0, False
        bursts = [sizes[k:k + BURST] for k in range(0, len(sizes), BURST)]
        for burst in bursts:
            # A lone 4000 x 3000 is also checked picture for picture.
            parts = [burst]
            if (4000, 3000) in burst:
                k = burst.index((4000, 3000)) + 1
                parts = [burst[:k], burst[k:]]
            for part in parts:
                if not part:
                    continue
                cmd = ["xdotool"]
                for size in part:
                    cmd += ["windowsize", str(win)] + [str(v) for v in x_size(size)]
                before = layouts()
                s.x(*cmd, timeout=60)
                done += len(part)
                last = part[-1]
                want = (expected(last)[0], x_size(last)[1] - menu)
                e.wait_until(lambda: layouts() > before and app.client_size_traced() == want, 20,
                             "the program to lay out client %r after %d sizes" % (want, done))
                check(app.running(), "the program ended during the storm")
                answered += 1
                if last == (4000, 3000):
                    rect, _ = app.match_client(win, files, timeout=30, save_to=save + "-4000x3000")
                    check(rect[2:] == (4000, 3000), "client %r for 4000 x 3000" % (rect,))
                    big = True

        check(big, "the storm never reached 4000 x 3000")
        s.resize(win, *x_size(final))
        rect, texts = app.match_client(win, files, save_to=save)
        check(rect[2:] == final, "final client %r, wanted %r" % (rect[2:], final))
        check(len(texts) == 3, "texts after the storm: %r" % texts)
        s.key(win, "alt+F4")
        status = app.wait_exit()
        check(status == 0, "exit status %d after closing the window, wanted 0" % status)

    print("storm of %d client sizes in %d bursts (the program answered after each), smallest "
          "client width %d, 4000x3000 and final picture %dx%d matched, exit 0; %.1f s"
          % (len(sizes), answered, min_w, final[0], final[1], time.monotonic() - start))


if __name__ == "__main__":
    main()
