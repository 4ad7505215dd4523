"""The run command's uses of a session, with tools/ on the Python path:

    python3 -m winsession prefix PREFIX
    python3 -m winsession shot [--prefix PREFIX] EXE FOLDER OUT.png [-- ARG ...]

"prefix" makes the Wine prefix PREFIX as the tests make theirs, with Wine's fonts, unless it is
already so. "shot" runs EXE in FOLDER with the ARGs (paths, and --watch) as its arguments inside a
Wine desktop on a private virtual display (in PREFIX, made so first, or else in the user's
prefix), waits for the first window's first paint, saves a screenshot of it with its frame (of
the whole desktop for several paths), prints its path, closes the program with Alt+F4 and stops
everything."""

import argparse
import os
import subprocess
import sys
import tempfile

from .prefix import ensure_prefix
from .session import Session
from .wait import E2EError, wait_until


def title_of(path):
    """The viewer's title for a path on its command line: its last component."""
    return os.path.basename(os.path.normpath(path.replace("\\", "/"))) + " - Quorlane"


def shot(exe, folder, out, prefix=None, args=(), desktop=(1024, 768), timeout=120):
    """Runs exe in folder with `args` in a Wine desktop on a private display (in `prefix`, or
    the user's prefix if None: the first run may have to make it, hence the long bound), waits for
    the first window's first paint, saves it with its frame as out."""
    prefix = prefix and os.path.abspath(prefix)
    with Session(exe, tempfile.gettempdir(), screen=desktop, prefix=prefix) as s:
        debug = os.environ.get("WINEDEBUG", "-all")
        app = s.run(os.path.abspath(folder), debug, "Quorlane,%dx%d" % desktop, args)
        paths = [a for a in args if a != "--watch"]
        if "--series" in args:  # one window, titled after its first step
            paths = ["series"]
            found = lambda: s.display.x(  # noqa: E731
                "xdotool", "search", "--onlyvisible", "--name", r" - Quorlane$", check=False
            )
            win = int(wait_until(found, timeout, "the series window").split()[0])
            title = s.display.x("xdotool", "getwindowname", str(win)).strip()
        else:
            title = title_of(paths[0]) if paths else "Quorlane"
            win = app.wait_window(title, timeout)
        before = [None]

        # Several paths: the whole desktop, with every window on it.
        target = win if len(paths) < 2 else "root"

        def painted():
            # The middle of the window is the field: one colour until painted, then steady.
            img = s.display.screenshot(target)
            mid = img.crop(img.width // 4, img.height // 4, img.width // 2, img.height // 2)
            colours = {mid.data[k : k + 3] for k in range(0, len(mid.data), 3)}
            steady, before[0] = mid.data == before[0], mid.data
            return steady and len(colours) > 1 and img

        img = wait_until(painted, 20, "the window's first paint", interval=0.1)
        subprocess.run(["convert", "ppm:-", out], input=img.ppm(), check=True, timeout=30)
        print(os.path.abspath(out))
        if len(paths) < 2:  # several windows of several programs: the session stops them all
            s.display.key(win, "alt+F4")
            wait_until(
                lambda: not app.running() or not s.display.windows(title),
                10,
                "the program to close",
            )


def main():
    ap = argparse.ArgumentParser(
        prog="winsession", description="Runs quorlane.exe under Wine on a private virtual display."
    )
    sub = ap.add_subparsers(dest="command", required=True)
    p = sub.add_parser("prefix", help="make a Wine prefix with Wine's fonts, as the tests do")
    p.add_argument("prefix")
    p = sub.add_parser(
        "shot", help="screenshot of the program's first picture on a virtual display"
    )
    p.add_argument("--prefix")
    p.add_argument("exe")
    p.add_argument("folder")
    p.add_argument("out")
    p.add_argument("args", nargs="*", help="the program's arguments, after --")
    a = ap.parse_args()
    try:
        if a.command == "prefix":
            ensure_prefix(os.path.abspath(a.prefix))
        else:
            shot(a.exe, a.folder, a.out, a.prefix, a.args)
    except E2EError as err:
        sys.exit("winsession: %s" % err)


if __name__ == "__main__":
    main()
