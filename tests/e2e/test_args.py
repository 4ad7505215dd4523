#!/usr/bin/env python3
"""End-to-end cases of quorlane.exe with paths on its command line, under Wine on a virtual display:
    test_args.py --exe quorlane.exe --render quorlane_render --workdir DIR [--zip RELEASE.zip] GROUP
"""
import argparse
import os
import re
import shutil
import sys
import tempfile
import time
import zipfile

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import example_files, write_files  # noqa: E402
from winsession import SCREEN, E2EError, Session, check, wait_until  # noqa: E402

MB_ICONINFORMATION, MB_ICONEXCLAMATION = 0x40, 0x30
UNICODE_FOLDER = "donn\u00e9es \u03a9"  # an accented letter and one no Western code page spells


def windows_path(path):
    """The absolute Windows path of a Unix path under Wine (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def show(s, cwd, args, title, files, save, exe=None):
    """Runs the program with `args` in `cwd`: one main window called `title` whose client shows the
    core's picture of `files`; closing it ends the program with status 0."""
    app = s.run(cwd, args=args, exe=exe)
    win = app.wait_window(title)
    app.match_client(win, files, save_to=save)
    check(not app.trace.calls("user32.MessageBoxA"), "a report")
    check(app.close(win) == 0, "exit status %s after closing the window" % app.status)


def report(s, cwd, args, text):
    """Runs the program with `args`: one message box with no owner, `text`, "Quorlane", MB_OK |
    MB_ICONEXCLAMATION, and no main window; Enter ends the program with status 1."""
    app = s.run(cwd, args=args)
    func = "user32.MessageBoxA" if text.isascii() else "user32.MessageBoxW"
    got = tuple(app.trace.wait_call(func)[0])
    check(got == (0, text, "Quorlane", MB_ICONEXCLAMATION), "%s%r, wanted %r" % (func, got, text))
    s.display.key(app.wait_window("Quorlane"), "Return")
    check(app.wait_exit() == 1, "status %s" % app.status)
    check(not app.trace.created("QuorlaneClass"), "a main window")


def arguments(s, save):
    """Folders and grid files, relative and absolute, with spaces, both slashes and letters beyond
    the code page, give their windows titled after them; reports name the path as given; two
    folders give two windows, one moved aside, each closing on its own; /? shows the usage."""
    root = tempfile.mkdtemp(prefix="args-", dir=s.tmp)
    rainbow, twocolour = example_files("rainbow"), example_files("twocolour")
    write_files(os.path.join(root, "runs", UNICODE_FOLDER), rainbow)
    write_files(os.path.join(root, "runs", "copy"), rainbow)
    step = {"step_0017.dat": twocolour["quorlane.dat"], "quorlane.ini": twocolour["quorlane.ini"]}
    write_files(os.path.join(root, "run 42"), step)
    write_files(os.path.join(root, "grid only"), {"quorlane.dat": rainbow["quorlane.dat"]})
    folder_title, step_title = UNICODE_FOLDER + " - Quorlane", "step_0017.dat - Quorlane"
    for args, title, files in [
        (["runs/" + UNICODE_FOLDER], folder_title, rainbow),
        ([windows_path(os.path.join(root, "runs", UNICODE_FOLDER)) + "\\"], folder_title, rainbow),
        (["run 42/step_0017.dat"], step_title, twocolour),
        ([windows_path(os.path.join(root, "run 42", "step_0017.dat"))], step_title, twocolour),
    ]:
        t0 = time.monotonic()
        show(s, root, args, title, files, save)
        print("ok   %-70r %.1f s" % (args, time.monotonic() - t0), flush=True)

    grid_only = windows_path(os.path.join(root, "grid only"))
    for args, text in [
        (["runs/nothing"], 'Cannot open "runs/nothing"'),
        (["runs/nothing \u03a9"], 'Cannot open "runs/nothing \u03a9"'),
        ([grid_only], 'Cannot open "%s\\quorlane.ini"' % grid_only),
        (["./grid only"], 'Cannot open "./grid only/quorlane.ini"'),  # the user's separator
    ]:
        report(s, root, args, text)
        print("ok   %-70r" % (args,), flush=True)
    app = s.run(root, args=["/?"])  # the usage: its first line is enough here
    got = app.trace.wait_call("user32.MessageBoxA")[0]
    check(got[1].startswith("Usage: quorlane [--watch] [FOLDER | GRIDFILE ...]\n"), repr(got))
    check(got[2:] == ["Quorlane", MB_ICONINFORMATION], repr(got))
    s.display.key(app.wait_window("Quorlane"), "Return")
    check(app.wait_exit() == 0, "status %s" % app.status)
    print("ok   %-70r" % (["/?"],), flush=True)

    # Two folders with the same settings: two processes, two windows, the later moved aside.
    app = s.run(root, args=["runs/" + UNICODE_FOLDER, "runs/copy"])
    first, second = app.wait_window(folder_title), app.wait_window("copy - Quorlane")
    (x1, y1, w1, h1), (x2, y2, w2, h2) = (s.display.geometry(w) for w in (first, second))
    check((w1, h1) == (w2, h2) and x2 - x1 == y2 - y1 != 0, "windows at %r" % [x1, y1, x2, y2])
    s.display.activate(first)
    check(app.close(first) == 0, "exit status %s after closing the first window" % app.status)
    check(s.display.windows("copy - Quorlane") == [second], "the second window went too")
    s.display.activate(second)
    s.display.key(second, "alt+F4")
    wait_until(lambda: not s.display.windows("copy - Quorlane"), 10, "the second window to close")
    print("ok   two folders, windows %d, %d apart" % (x2 - x1, y2 - y1))

    # From a path beyond MAX_PATH a copy still starts for each further path; where even the short
    # form is too long, one warning names each path left without a window, and the first opens.
    args = ["runs/" + UNICODE_FOLDER, "runs/copy", "run 42/step_0017.dat"]
    titles = [folder_title, "copy - Quorlane", step_title]
    for depth, refused in [(16, []), (32, args[1:])]:
        exe = os.path.join(root, *["deep folder %02d" % k for k in range(depth)], "quorlane.exe")
        os.makedirs(os.path.dirname(exe))
        shutil.copy(s.exe, exe)
        app = s.run(root, args=args, exe=exe)
        if refused:
            got = app.trace.wait_call("user32.MessageBoxA")[0]
            line = 'Cannot open a window for "%s": [^\n]*[^.\n ]'
            want = "\n".join(line % re.escape(path) for path in refused)
            ok = re.fullmatch(want, got[1]) and got[2:] == ["Quorlane", MB_ICONEXCLAMATION]
            check(ok, "warning %r" % got)
            s.display.key(app.wait_window("Quorlane"), "Return")
        wins = [app.wait_window(t) for t in (titles[:1] if refused else titles)]
        for win in wins:
            s.display.activate(win)
            s.display.key(win, "alt+F4")
        check(app.wait_exit() == 0, "exit status %s" % app.status)
        wait_until(
            lambda: not any(s.display.windows(t) for t in titles), 10, "the windows to close"
        )
        print("ok   program at %d characters, %d windows" % (len(windows_path(exe)), len(wins)))


def release(s, save, bundle):
    """The release ZIP unpacked into an empty folder opens an example by its path."""
    root = tempfile.mkdtemp(prefix="release-", dir=s.tmp)
    try:
        with zipfile.ZipFile(bundle) as z:
            z.extractall(root)
        (top,) = os.listdir(root)
        top = os.path.join(root, top)
        for name in ("README.md", "zlib-license.txt"):
            check(os.path.isfile(os.path.join(top, name)), "no %s in the bundle" % name)
        exe = os.path.join(top, "quorlane.exe")
        files = example_files("rainbow")
        show(s, top, ["examples\\rainbow"], "rainbow - Quorlane", files, save, exe=exe)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--zip", help="the release bundle, for the release group")
    ap.add_argument("group", choices=["arguments", "release"])
    a = ap.parse_args()
    t0, save = time.monotonic(), os.path.join(a.workdir, "failed-" + a.group)
    with Session(a.exe, a.workdir, SCREEN, a.render) as s:
        try:
            if a.group == "arguments":
                arguments(s, save)
            else:
                release(s, save, a.zip)
        except E2EError as err:
            sys.exit("FAIL %s: %s" % (a.group, err))
    print("%s passed in %.1f s" % (a.group, time.monotonic() - t0))


if __name__ == "__main__":
    main()
