#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe --series under Wine on a virtual display: one window for the
steps of a run, moved through by keys, the wheel and Ctrl+G, played, and followed under --watch,
each picture held pixel for pixel against quorlane_render of that step's files.
    test_series.py --exe quorlane.exe --render quorlane_render --workdir DIR
"""
import argparse
import os
import re
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import grid_text, settings_text, write_files  # noqa: E402
from winsession import E2EError, Session, check, wait_until  # noqa: E402

MB_ICONEXCLAMATION = 0x30
UNICODE = "donn\u00e9es \u03a9"  # an accented letter and one no Western code page spells
INI = settings_text(windowWidth=480, windowHeight=360, caption="Series", scaleMin=-5, scaleMax=5)


def grid(k, n=12):
    """A small grid of its own for step k."""
    return grid_text(n, n, 1.0, 1.0, lambda i, j: ((i * 5 + j * 3 + k * 7) % 11) - 5)


def flat_grid(n, value):
    return b"%d %d 1.0 1.0\n" % (n, n) + (b"%g\n" % value) * (n * n)


def make_run(folder, steps, ini=INI):
    """step_1.dat ... step_N.dat (names without zero padding) and the settings: {k: grid}."""
    run = {k: grid(k) for k in steps}
    write_files(folder, {"step_%d.dat" % k: g for k, g in run.items()})
    write_files(folder, {"quorlane.ini": ini})
    return run


def title(s, win):
    return (s.display.x("xdotool", "getwindowname", str(win), check=False) or "").strip()


def shows(s, app, win, name, at, count, content, save, extra=""):
    """The window's title names step `name` at `at` of `count`, and its picture is `content`."""
    want = "%s (%d/%d) - Quorlane%s" % (name, at, count, extra)
    wait_until(lambda: title(s, win) == want, 10, "the title %r (it is %r)" % (want, title(s, win)))
    app.match_client(win, {"quorlane.dat": content, "quorlane.ini": INI}, save_to=save)


def memory_kb(app):
    with open("/proc/%d/status" % app.proc.pid) as f:
        return int(next(line.split()[1] for line in f if line.startswith("VmRSS:")))


def ok(name, t0):
    print("ok   %-40s %.1f s" % (name, time.monotonic() - t0), flush=True)
    return time.monotonic()


def opened(s, root, save):
    """A pattern (as Windows passes it, and as a Linux shell expands it), a folder and a list:
    the steps in natural order, or in the order given."""
    run = make_run(os.path.join(root, "run"), range(1, 13))
    with open(os.path.join(root, "list.txt"), "w") as f:
        f.write("# the order given\nrun/step_12.dat\n\nrun\\step_2.dat\r\nrun/step_10.dat\n")
    uni = make_run(os.path.join(root, UNICODE), range(1, 4))
    for k in uni:  # names in letters no Western code page spells
        os.rename(
            os.path.join(root, UNICODE, "step_%d.dat" % k),
            os.path.join(root, UNICODE, "\u00e9tape_%d.dat" % k),
        )
    shell = sorted("run/" + n for n in os.listdir(os.path.join(root, "run")) if n.endswith(".dat"))
    for args, first, second in [
        (["--series", "run\\step_*.dat"], (1, 1), (2, 2)),
        (["--series", "run"], (1, 1), (2, 2)),
        (["--series", "--inputs", "list.txt"], (12, 1), (2, 2)),
        (["--series"] + shell, (1, 1), (10, 2)),  # as given: step_1, step_10, ...
        (["--series", UNICODE + "\\\u00e9tape_?.dat"], (1, 1), (2, 2)),
    ]:
        t0 = time.monotonic()
        app = s.run(root, args=args)
        count = 3 if "list.txt" in args or UNICODE in args[-1] else 12
        name = "\u00e9tape_%d.dat" if UNICODE in args[-1] else "step_%d.dat"
        win = app.wait_window("%s (1/%d) - Quorlane" % (name % first[0], count))
        shows(s, app, win, name % first[0], 1, count, run[first[0]], save)
        s.display.key(win, "Right")
        shows(s, app, win, name % second[0], 2, count, run[second[0]], save)
        check(app.close(win) == 0, "exit status %s" % app.status)
        ok(" ".join(args)[:40], t0)
    # Without --series a grid file is one window as ever: its title, and the keys change nothing.
    app = s.run(root, args=["run/step_2.dat"])
    win = app.wait_window("step_2.dat - Quorlane")
    s.display.key(win, "Right", "End", "alt+s", "n")
    app.match_client(win, {"quorlane.dat": run[2], "quorlane.ini": INI}, save_to=save)
    check(title(s, win) == "step_2.dat - Quorlane", "the title %r" % title(s, win))
    check(app.close(win) == 0, "exit status %s" % app.status)


def keys(s, root, save):
    """Every key, the Step menu's commands, the wheel and Ctrl+G."""
    t0 = time.monotonic()
    run = make_run(os.path.join(root, "keys"), range(1, 26))  # a tenth: 2 steps
    app = s.run(root, args=["--series", "keys"])
    win = app.wait_window("step_1.dat (1/25) - Quorlane")
    for keys, at in [
        (["Right"], 2),
        (["Right", "Right"], 4),
        (["Left"], 3),
        (["End"], 25),
        (["Right"], 25),  # the ends are never passed
        (["Prior"], 23),
        (["Home"], 1),
        (["Left"], 1),
        (["Next"], 3),
        (["Next", "Next"], 7),
        (["alt+s", "n"], 8),  # Step > Next step
    ]:
        s.display.key(win, *keys)
        shows(s, app, win, "step_%d.dat" % at, at, 25, run[at], save)
    # Ctrl+G: a step number; one out of range is told, and the box stays until cancelled.
    for number, at in [("17", 17), ("99", 17)]:
        s.display.key(win, "ctrl+g")
        box = app.wait_window("Go to step", timeout=5)
        s.display.key(box, *number, "Return")
        if number == "99":
            s.display.key(app.wait_window("Quorlane", timeout=5), "Return")
            app.wait_no_window("Quorlane", timeout=5)
            s.display.key(box, "Escape")
        app.wait_no_window("Go to step", timeout=5)
        shows(s, app, win, "step_%d.dat" % at, at, 25, run[at], save)
    x, y, w, h = app.client_rect(win)
    s.display.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
    for button, at in [("5", 18), ("5", 19), ("4", 18)]:  # towards the user: the next step
        s.display.x("xdotool", "click", button)
        shows(s, app, win, "step_%d.dat" % at, at, 25, run[at], save)
    check(app.close(win) == 0, "exit status %s" % app.status)
    ok("keys, the menu, Ctrl+G and the wheel", t0)


def playing(s, root, save):
    """Space plays from the step shown and goes round; Space pauses; a step that cannot be read
    keeps the last picture, says why, and playing goes on."""
    t0 = time.monotonic()
    d = os.path.join(root, "play")
    run = make_run(d, range(1, 7))
    write_files(d, {"step_4.dat": b"6 6 1.0 1.0\n0.5\nnot a number\n"})
    app = s.run(root, args=["--series", "--fps", "4", "play"])
    win = app.wait_window("step_1.dat (1/6) - Quorlane")
    s.display.key(win, "Right", "space")
    seen = []

    def played():
        t = title(s, win)
        if not seen or seen[-1] != t:
            seen.append(t)
        return t.startswith("step_2.dat (2/6) - Quorlane (playing)") and len(seen) > 6

    wait_until(played, 15, "a round of playing")
    why = '(not shown: Error reading "play\\step_4.dat")'
    failing = [t for t in seen if t.startswith("step_4.dat (4/6) - Quorlane (playing) (not shown:")]
    check(failing and "step_5.dat (5/6) - Quorlane (playing)" in seen, "titles %r" % seen)
    want = ["step_%d.dat (%d/6) - Quorlane (playing)" % (k, k) for k in (1, 2, 3, 5, 6)]
    check(all(t in seen for t in want), "titles %r, %s" % (seen, why))
    s.display.key(win, "space")
    wait_until(lambda: "(playing)" not in title(s, win), 5, "the pause")
    paused = title(s, win)
    m = re.match(r"step_(\d+)\.dat \((\d)/6\) - Quorlane", paused)
    check(m is not None, "paused at %r" % paused)
    k = int(m.group(1))
    shown = run[k] if k != 4 else run[3]  # a failing step shows the last good picture
    app.match_client(win, {"quorlane.dat": shown, "quorlane.ini": INI}, save_to=save)
    time.sleep(0.6)  # more than a period: paused, the step stays
    check(title(s, win) == paused, "still playing: %r" % title(s, win))
    check(app.close(win) == 0, "exit status %s" % app.status)
    ok("playing, pausing, a failing step", t0)
    print("     titles: %s" % " | ".join(seen[:8]))


def watched(s, root, save):
    """--watch: steps added while the last is shown follow on; while an earlier one is shown,
    the count grows; a shown step rewritten is shown again; a removed step leaves; new settings
    are read again."""
    t0 = time.monotonic()
    d = os.path.join(root, "watched")
    run = make_run(d, range(1, 4))
    app = s.run(root, args=["--series", "--watch", "watched"])
    win = app.wait_window("step_1.dat (1/3) - Quorlane")
    s.display.key(win, "End")
    shows(s, app, win, "step_3.dat", 3, 3, run[3], save)
    run.update(make_run(d, [4]))
    shows(s, app, win, "step_4.dat", 4, 4, run[4], save)
    s.display.key(win, "Home")
    shows(s, app, win, "step_1.dat", 1, 4, run[1], save)
    run.update(make_run(d, [5, 6]))
    shows(s, app, win, "step_1.dat", 1, 6, run[1], save)
    run[1] = grid(100)
    write_files(d, {"step_1.dat": run[1]})
    shows(s, app, win, "step_1.dat", 1, 6, run[1], save)
    os.remove(os.path.join(d, "step_6.dat"))
    shows(s, app, win, "step_1.dat", 1, 5, run[1], save)
    s.display.key(win, "End")
    shows(s, app, win, "step_5.dat", 5, 5, run[5], save)
    # New settings: read again, and the step shown again with them (the window keeps its size).
    ini = settings_text(windowWidth=300, windowHeight=200, caption="New", scaleMin=-9, palette=0)
    write_files(d, {"quorlane.ini": ini})
    app.match_client(win, {"quorlane.dat": run[5], "quorlane.ini": ini}, save_to=save)
    check(app.close(win) == 0, "exit status %s" % app.status)
    ok("--watch: steps added, rewritten, removed; settings", t0)


def memory(s, root, save):
    """Played round and round with a small cache: resident memory stays within the budget, two
    grids and a margin, however many steps were shown."""
    t0 = time.monotonic()
    d = os.path.join(root, "memory")
    n = 400  # 0.6 MB a grid
    write_files(d, {"step_%d.dat" % k: flat_grid(n, -4.5 + 0.15 * k) for k in range(1, 61)})
    write_files(d, {"quorlane.ini": INI})
    app = s.run(root, args=["--series", "--fps", "120", "--cache", "4", "memory"], debug="-all")
    win = app.wait_window("step_1.dat (1/60) - Quorlane")
    start = memory_kb(app)
    s.display.key(win, "space")
    sizes, at = [], [1]

    def lapped():  # a lap ends where the step shown goes back to an earlier one
        m = re.search(r"\((\d+)/60\)", title(s, win))
        k = int(m.group(1)) if m else at[-1]
        if k < at[-1]:
            sizes.append(memory_kb(app))
        at.append(k)
        return len(sizes) == 3

    wait_until(lapped, 60, "three laps")
    s.display.key(win, "space")
    wait_until(lambda: "(playing)" not in title(s, win), 5, "the pause")
    grids = 2 * (n + 2) * (n + 2) * 4 // 1024
    bound = start + 4 * 1024 + grids + 16 * 1024
    check(max(sizes) < bound, "resident %r KB after laps, from %d KB" % (sizes, start))
    check(app.close(win) == 0, "exit status %s" % app.status)
    ok("memory over 180 steps shown", t0)
    print("     resident memory at start and after each lap: %d, %s KB" % (start, sizes))


def during_a_load(s, root, save):
    """While a large step loads the window answers (the About box opens at once) and closing ends
    the load and the program at once, with status 0."""
    t0 = time.monotonic()
    d = os.path.join(root, "large")
    make_run(d, [1])
    write_files(d, {"step_2.dat": flat_grid(7000, 2.5)})
    app = s.run(root, args=["--series", "large"], debug="-all")
    win = app.wait_window("step_1.dat (1/2) - Quorlane")
    s.display.key(win, "Right")  # the step ahead is loading already
    a0 = time.monotonic()
    s.display.key(win, "alt+h", "a")
    box = app.wait_window("About Quorlane", timeout=5)
    opened = time.monotonic() - a0
    check(title(s, win) == "step_1.dat (1/2) - Quorlane", "loaded before the About box")
    s.display.key(box, "Escape")
    app.wait_no_window("About Quorlane", timeout=5)
    c0 = time.monotonic()
    status = app.close(win)
    closed = time.monotonic() - c0
    check(
        opened < 1.0 and status == 0 and closed < 3,
        "About %.1f s, status %s after %.1f s" % (opened, status, closed),
    )
    ok("About and closing during a load", t0)


def usage_and_failures(s, root, save):
    """A wrong option's usage box names it (status 2); paths that name no grid file, and a first
    step that cannot be loaded, are start-up failures (status 1)."""
    t0 = time.monotonic()
    os.makedirs(os.path.join(root, "empty"), exist_ok=True)
    write_files(os.path.join(root, "noini"), {"step_1.dat": grid(1)})
    for args, text, status in [
        (["--series", "--fps", "0", "run"], '--fps "0": the steps a second', 2),
        (["--series", "--fps", "abc", "run"], '--fps "abc": the steps a second', 2),
        (["--series", "--cache", "-1", "run"], '--cache "-1": the cache', 2),
        (["--series", "r*n\\step_1.dat"], '"r*n\\step_1.dat": * and ? may stand', 2),
        (["--series", "run\\nothing_*.dat"], 'No grid file matches "run\\nothing_*.dat"', 1),
        (["--series", "empty"], 'No grid file in "empty"', 1),
        (["--series", "noini"], 'Cannot open "noini\\quorlane.ini"', 1),  # the first step's
        (["--series", "gone.dat", "noini"], 'Cannot open "gone.dat"', 1),
    ]:
        app = s.run(root, args=args)
        got = tuple(app.trace.wait_call("user32.MessageBoxA")[0])
        check(got[1].startswith(text) and got[2:] == ("Quorlane", MB_ICONEXCLAMATION), repr(got))
        check(status == 1 or "Usage: quorlane" in got[1], "no usage in %r" % (got,))
        s.display.key(app.wait_window("Quorlane"), "Return")
        check(app.wait_exit() == status, "status %s for %r" % (app.status, args))
    ok("usage boxes and start-up failures", t0)


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    a = ap.parse_args()
    t0, save = time.monotonic(), os.path.join(a.workdir, "failed-series")
    try:
        with Session(a.exe, a.workdir, render_exe=a.render) as s:
            root = tempfile.mkdtemp(prefix="series-", dir=s.tmp)
            for case in (opened, keys, playing, watched, memory, during_a_load, usage_and_failures):
                case(s, root, save)
    except E2EError as err:
        print("FAIL %s" % err)
        raise
    print("series passed in %.1f s" % (time.monotonic() - t0))


if __name__ == "__main__":
    main()
