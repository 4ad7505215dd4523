"""A private virtual display (Xvfb) and the X tools that look at it and drive it: xwininfo,
xdotool and ImageMagick's import."""

import os
import re
import select
import signal
import subprocess
import time

from .images import parse_ppm
from .wait import E2EError, stop_group, wait_until


class Display:
    """An Xvfb server of one screen of `screen` (width, height) pixels; start() and stop()."""

    def __init__(self, screen):
        self.screen, self.name, self.xvfb = screen, None, None

    def start(self, timeout=15):
        """Starts Xvfb on a free display (it reports which) and waits until it answers."""
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % self.screen]
            + ["-nolisten", "tcp", "-noreset"],
            pass_fds=[w],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            start_new_session=True,
        )
        os.close(w)
        buf, deadline = b"", time.monotonic() + timeout
        try:
            while not buf.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or self.xvfb.poll() is not None:
                    raise E2EError("Xvfb did not start")
                if select.select([r], [], [], left)[0]:
                    chunk = os.read(r, 64)
                    if not chunk:
                        raise E2EError("Xvfb did not report its display")
                    buf += chunk
        finally:
            os.close(r)
        self.name = ":" + buf.decode().strip()
        wait_until(
            lambda: self.x("xwininfo", "-root", timeout=5, check=False) is not None,
            10,
            "the virtual display to answer",
        )
        return self

    def stop(self):
        stop_group(self.xvfb, signal.SIGTERM)
        stop_group(self.xvfb)

    def env(self):
        return dict(os.environ, DISPLAY=self.name or "")

    def x(self, *cmd, timeout=10, check=True):
        """Runs an X tool on the display: its output, or None if it failed and check is false."""
        r = subprocess.run(list(cmd), env=self.env(), capture_output=True, timeout=timeout)
        if r.returncode != 0:
            if check:
                raise E2EError("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace")))
            return None
        return r.stdout.decode(errors="replace")

    def windows(self, name):
        """Mapped X windows whose name is exactly `name`."""
        out = self.x(
            "xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name), check=False
        )
        return [int(w) for w in (out or "").split()]

    def geometry(self, win):
        """(x, y, width, height) of an X window on the screen."""
        out = self.x("xwininfo", "-id", str(win))
        keys = ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
        return tuple(int(re.search(k + r":\s+(-?\d+)", out).group(1)) for k in keys)

    def screenshot(self, window="root"):
        cmd = ["import", "-window", str(window), "-depth", "8", "ppm:-"]
        r = subprocess.run(cmd, env=self.env(), capture_output=True, timeout=20)
        if r.returncode != 0:
            raise E2EError("screenshot failed: %s" % r.stderr.decode(errors="replace"))
        return parse_ppm(r.stdout)

    def key(self, win, *keys):
        """Gives `win` the keyboard focus and types the keys (xdotool names)."""
        self.x("xdotool", "windowfocus", str(win), check=False)
        self.x("xdotool", "key", "--delay", "30", *keys)

    def activate(self, win):
        """Clicks the top-right corner of `win` (the empty end of its menu bar, which a window
        moved aside down and right leaves uncovered), making it Wine's active window: with
        several programs' windows, focus alone does not."""
        width = self.geometry(win)[2]
        self.x("xdotool", "mousemove", "--window", str(win), str(width - 2), "2")
        self.x("xdotool", "click", "1")

    def move(self, win, x, y):
        self.x("xdotool", "windowmove", str(win), str(x), str(y))

    def resize(self, win, width, height):
        self.x("xdotool", "windowsize", str(win), str(width), str(height))
