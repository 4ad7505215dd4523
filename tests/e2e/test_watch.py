#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe --watch under Wine on a virtual display: the window follows its
files as a writer changes them, its picture held pixel for pixel against quorlane_render.
    test_watch.py --exe quorlane.exe --render quorlane_render --workdir DIR [--bench watch_bench.exe]
"""
import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import example_files, grid_text, settings_text  # noqa: E402
from winsession import E2EError, Session, check, wait_until  # noqa: E402
from winsession.wait import stop_group  # noqa: E402

WM_SETTEXT = 0x0C
INI = settings_text(windowWidth=640, windowHeight=480, caption="Watched", scaleMin=-5, scaleMax=5)


def grid(step, n=24):
    """A small grid of its own for each step: hills that move with the step."""
    return grid_text(n, n, 1.0, 1.0, lambda i, j: ((i * 7 + j * 3 + step * 5) % 11) - 5)


def flat_grid(n, value):
    """A large grid, quick to make: every cell `value`."""
    return b"%d %d 1.0 1.0\n" % (n, n) + (b"%g\n" % value) * (n * n)


def replace(folder, name, content):
    """Written whole under another name and renamed into place, as careful writers save."""
    temp = os.path.join(folder, name + ".part")
    with open(temp, "wb") as f:
        f.write(content)
    os.replace(temp, os.path.join(folder, name))


def rewrite(folder, name, content):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(content)


def titles(app):
    """How many titles the program has set: one for each reload."""
    return len([c for c in app.trace.calls("user32.DefWindowProcW") if c[1:2] == [WM_SETTEXT]])


def memory_kb(app):
    """The resident memory of the program's process."""
    with open("/proc/%d/status" % app.proc.pid) as f:
        return int(next(line.split()[1] for line in f if line.startswith("VmRSS:")))


def reloaded(app, before, within, what):
    """Waits for a reload after `before` titles; how long it took, at most `within` seconds."""
    t0 = time.monotonic()
    wait_until(lambda: titles(app) > before, within, what)
    return time.monotonic() - t0


def step(name, t0):
    print("ok   %-24s %.1f s" % (name, time.monotonic() - t0), flush=True)
    return time.monotonic()


def watched(s, save, holder):
    d = os.path.join(s.tmp, "watched")
    os.makedirs(d)
    files = {"quorlane.dat": grid(0), "quorlane.ini": INI}
    for name, content in files.items():
        rewrite(d, name, content)
    app = s.run(d, args=["--watch"])
    win = app.wait_window("Quorlane")
    shows = lambda timeout=15: app.match_client(win, files, timeout, save)  # noqa: E731
    size = shows()[0][2:]
    t = step("start-up", time.monotonic())

    files["quorlane.dat"] = grid(1)
    replace(d, "quorlane.dat", files["quorlane.dat"])
    shows()
    t = step("renamed into place", t)

    # Half the file, then a pause of two seconds: the last picture stays, the title says why.
    new = grid(2)
    with open(os.path.join(d, "quorlane.dat"), "wb") as f:
        f.write(new[: len(new) // 2])
        f.flush()
        half = time.monotonic()
        app.wait_window('Quorlane (not updated: Error reading "quorlane.dat")')
        shows()
        time.sleep(max(0, 2 - (time.monotonic() - half)))
        f.write(new[len(new) // 2 :])
    files["quorlane.dat"] = new
    shows()
    app.wait_window("Quorlane")
    t = step("rewritten in two halves", t)

    os.remove(os.path.join(d, "quorlane.dat"))
    app.wait_window('Quorlane (not updated: Cannot open "quorlane.dat")')
    files["quorlane.dat"] = grid(3)
    rewrite(d, "quorlane.dat", files["quorlane.dat"])
    shows()
    app.wait_window("Quorlane")
    t = step("removed, written again", t)

    for k in range(50):
        files["quorlane.dat"] = grid(10 + k)
        rewrite(d, "quorlane.dat", files["quorlane.dat"])
    shows()
    t = step("a burst of fifty writes", t)

    # A Windows writer that keeps the new step to itself for a while after its last write: the
    # load cannot open it, and once the writer lets go (no change of size or write time) the
    # once-a-second check loads it.
    files["quorlane.dat"] = grid(4)
    source = os.path.join(s.tmp, "held.dat")
    rewrite(s.tmp, "held.dat", files["quorlane.dat"])
    cmd = ["wine", holder, "quorlane.dat", os.path.relpath(source, d), "800"]
    writer = subprocess.Popen(
        cmd, cwd=d, env=s.wine_env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL
    )
    try:
        check(writer.stdout.readline().strip() == b"written", "the writer did not write")
        app.wait_window('Quorlane (not updated: Cannot open "quorlane.dat")', timeout=5)
        check(writer.wait(timeout=20) == 0, "the writer's status %s" % writer.returncode)
    finally:
        stop_group(writer)
    shows(timeout=5)
    app.wait_window("Quorlane", timeout=5)
    t = step("held without sharing", t)

    # A writer that renames a new step into place every 10 ms and never pauses: the picture
    # follows it all along (a load at the latest 200 ms after a change it does not show).
    done, written = threading.Event(), []

    def steady():
        for k in range(1000):
            if done.wait(max(0, start + 0.01 * k - time.monotonic())):
                return
            written.append(flat_grid(24, -4.9 + 0.0098 * k))
            replace(d, "quorlane.dat", written[-1])

    before, seen, changes = titles(app), None, 0
    x, y, w, h = app.client_rect(win)
    writer, start = threading.Thread(target=steady), time.monotonic()
    writer.start()
    try:
        while writer.is_alive():
            shot = s.display.screenshot().crop(x, y + h // 4, w, h // 2).data
            changes += seen is not None and shot != seen
            seen = shot
    finally:
        done.set()
        writer.join()
    loads = titles(app) - before
    why = "%d steps written in 10 s: %d loads, the picture changed %d times"
    check(loads >= 20 and changes >= 10, why % (len(written), loads, changes))
    files["quorlane.dat"] = written[-1]
    shows()
    t = step("a step every 10 ms", t)
    print("     " + why % (len(written), loads, changes))

    # Palette, caption, scale and margins take effect; the window keeps its size.
    files["quorlane.ini"] = settings_text(
        windowWidth=300, windowHeight=200, caption="Changed", palette=0, scaleMin=-9, bandStrip=40
    )
    replace(d, "quorlane.ini", files["quorlane.ini"])
    check(shows()[0][2:] == size, "the client is no longer %r" % (size,))
    t = step("new settings", t)

    # A hundred reloads of a 300 x 300 grid: the process's memory stays where it was.
    sizes = []
    for k in range(110):
        before = titles(app)
        rewrite(d, "quorlane.dat", grid(k, 300))
        wait_until(lambda: titles(app) > before, 10, "reload %d" % k)
        if k in (9, 109):
            sizes.append(memory_kb(app))
    growth = sizes[1] - sizes[0]
    check(growth < 16384, "the memory grew by %d KB over a hundred reloads" % growth)
    files["quorlane.dat"] = grid(109, 300)
    shows()
    t = step("memory over 100 reloads", t)
    print("     resident memory after 10 and 110 reloads: %d, %d KB" % tuple(sizes))

    # Resizes, then the About box, each while a large grid loads: the window answers at once.
    def during_a_reload(n, value, what, act, settle):
        files["quorlane.dat"] = flat_grid(n, value)
        before = titles(app)
        replace(d, "quorlane.dat", files["quorlane.dat"])
        renamed = time.monotonic()
        time.sleep(settle)  # the load is under way (it starts 25 ms after the rename)
        act(lambda: check(titles(app) == before, "the large grid loaded before %s" % what))
        answered = time.monotonic() - renamed
        wait_until(lambda: titles(app) > before, 60, "the large grid")
        took = time.monotonic() - renamed
        print("     %s within %.1f s of a reload of %.1f s" % (what, answered, took))

    def resizes(still_loading):
        for k, width in enumerate((700, 800, 760)):
            laid_out = len(app.trace.client_sizes())
            s.display.resize(win, width, s.display.geometry(win)[3])
            r0 = time.monotonic()
            wait_until(lambda: len(app.trace.client_sizes()) > laid_out, 5, "resize %d" % k)
            took = time.monotonic() - r0
            check(took < 1.0, "resize %d took %.2f s" % (k, took))
        still_loading()

    def about(still_loading):
        a0 = time.monotonic()
        s.display.key(win, "alt+h", "a")
        box = app.wait_window("About Quorlane", timeout=5)
        opened = time.monotonic() - a0
        check(opened < 1.0, "the About box took %.1f s to open" % opened)
        still_loading()
        s.display.key(box, "Escape")
        app.wait_no_window("About Quorlane", timeout=5)

    during_a_reload(9000, 2.5, "three resizes", resizes, 0.2)
    during_a_reload(12000, -2.5, "the About box", about, 0.05)
    shows(timeout=60)
    t = step("resizes, About during a reload", t)

    # A close during a load ends it: the program exits at once, with status 0.
    replace(d, "quorlane.dat", flat_grid(6000, 1.5))
    time.sleep(0.3)
    c0 = time.monotonic()
    status = app.close(win)
    check(status == 0 and time.monotonic() - c0 < 3, "status %s after closing" % status)
    step("closed during a reload", t)


def folder_made_again(s, save):
    """The watched folder renamed away, or removed, and made again: watched again, so that
    notifications, not the once-a-second check, bring each later step (about 0.1 s, not 1 s)."""
    parent = os.path.join(s.tmp, "renamed")
    d = os.path.join(parent, "run")
    os.makedirs(d)
    files = {"quorlane.dat": grid(0), "quorlane.ini": INI}
    for name, content in files.items():
        rewrite(d, name, content)
    app = s.run(parent, args=["--watch", "run"])
    win = app.wait_window("run - Quorlane")
    app.match_client(win, files, save_to=save)
    k = 1
    ways = [
        ("renamed away", lambda: os.rename(d, d + ".old")),
        ("removed", lambda: shutil.rmtree(d)),
    ]
    for how, gone in ways:
        gone()
        os.makedirs(d)
        before = titles(app)
        files["quorlane.dat"] = grid(k)
        for name, content in files.items():
            replace(d, name, content)
        reloaded(app, before, 5, "the folder %s and made again" % how)
        # That reload may be a failed one of the folder as it went, and the first step after it
        # may wait for the check that finds the folder anew (within a second) and watches it again.
        took = []
        for k in range(k + 1, k + 5):
            before = titles(app)
            files["quorlane.dat"] = grid(k)
            replace(d, "quorlane.dat", files["quorlane.dat"])
            took.append(reloaded(app, before, 5, "step %d" % k))
        k += 1
        why = "%s: later steps shown after %s s" % (how, ", ".join("%.2f" % t for t in took))
        check(max(took[1:]) < 0.5, why)
        app.match_client(win, files, save_to=save)
        print("ok   folder made again, " + why, flush=True)
    check(app.close(win) == 0, "exit status %s" % app.status)


def unwatched(s, save):
    """Without --watch a rewritten file changes nothing."""
    files = example_files("rainbow")
    app = s.start(files)
    win = app.wait_window("Quorlane")
    app.match_client(win, files, save_to=save)
    rewrite(app.folder, "quorlane.dat", grid(5))
    time.sleep(1.5)
    app.match_client(win, files, save_to=save)
    check(app.close(win) == 0, "exit status %s" % app.status)
    print("ok   without --watch: the picture stays")


def bench(s, exe):
    """A short run of the watch benchmark: every replacement is shown, and a writer may remove the
    file while it loads."""
    status, out = s.run_console(exe, ["5", "0"], 300)
    print(out, end="")
    done = out.count(" replacements: median ") == 3 and "removed during a load: done" in out
    check(status == 0 and done, "status %s" % status)


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--bench", help="watch_bench.exe, run briefly at the end")
    ap.add_argument(
        "--holder", required=True, help="hold_unshared.exe, a writer that shares nothing"
    )
    a = ap.parse_args()
    t0, save = time.monotonic(), os.path.join(a.workdir, "failed-watch")
    try:
        with Session(a.exe, a.workdir, render_exe=a.render) as s:
            watched(s, save, os.path.abspath(a.holder))
            folder_made_again(s, save)
            unwatched(s, save)
            if a.bench:
                bench(s, a.bench)
    except E2EError as err:
        print("FAIL %s" % err)
        raise
    print("watch passed in %.1f s" % (time.monotonic() - t0))


if __name__ == "__main__":
    main()
