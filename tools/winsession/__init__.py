"""Runs quorlane.exe under Wine on a private virtual display and looks at it.

A Session starts its own Xvfb (display.py) and uses either a private Wine prefix (prefix.py: made
once under its work folder, with the relay trace set to a few USER32 calls) or the user's own
one. Each App is one run of the program in a folder: its relay trace (trace.py), the X windows
Wine maps, screenshots (images.py), keys and resizes. The client size comes from the program's
own traced calls: the main window passes WM_SIZE, whose lParam holds the new client size, on to
DefWindowProcA. The client area is held against the core's own picture (expected.py). Leaving
the Session stops every process it started. Every wait polls with a bound (wait.py); nothing
sleeps for a fixed time.

    with Session(exe, workdir, render_exe=...) as s:
        app = s.start({"quorlane.dat": b"...", "quorlane.ini": b"..."})
        win = app.wait_window("Quorlane")
        rect, texts = app.match_client(win, files)
        status = app.close(win)

The run command's own uses are in __main__.py (python3 -m winsession, with tools/ on the path).
"""

from .images import Image, compare, parse_ppm
from .session import SCREEN, App, Session
from .wait import E2EError, check, wait_until

__all__ = [
    "SCREEN",
    "App",
    "E2EError",
    "Image",
    "Session",
    "check",
    "compare",
    "parse_ppm",
    "wait_until",
]
