"""A session of the program: a private virtual display and a Wine prefix (Session), and the runs
of quorlane.exe in it (App), each with its relay trace and its X windows. Leaving the Session
stops every process it started."""

import os
import shutil
import subprocess
import tempfile

from .display import Display
from .expected import render_expected, text_rects
from .images import compare
from .prefix import ensure_prefix, wine_env
from .trace import RelayTrace
from .wait import E2EError, stop_group, wait_until

SCREEN = (1600, 1200)


class Session:
    """A private virtual display and a Wine prefix; a context manager.
    prefix: a path (made once as the tests need it) or None for the user's own prefix."""

    def __init__(self, exe, workdir, screen=SCREEN, render_exe=None, prefix="private"):
        self.exe, self.workdir = os.path.abspath(exe), os.path.abspath(workdir)
        self.render_exe = render_exe and os.path.abspath(render_exe)
        self.prefix = os.path.join(self.workdir, "wineprefix") if prefix == "private" else prefix
        self.display, self.tmp, self.apps = Display(screen), None, []

    def __enter__(self):
        if not os.path.isfile(self.exe):
            raise E2EError("no program at %s" % self.exe)
        os.makedirs(self.workdir, exist_ok=True)
        self.tmp = tempfile.mkdtemp(prefix="qe2e-", dir=self.workdir)
        try:
            if self.prefix:
                ensure_prefix(self.prefix)
            self.display.start()
            self._start_wine()
        except BaseException:
            self.close()
            raise
        return self

    def _start_wine(self, timeout=120):
        """Starts Wine's server for the whole session and its services with one small command,
        untraced: the first program of a session would otherwise start them under the relay
        trace, which slows them enough to time out and, now and then, to crash and wedge the
        server for every later run."""
        # No pipes: the server and the services outlive the commands that start them.
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], env=self.wine_env(), timeout=30, **quiet)
        cmd = ["wine", "reg", "query", r"HKCU\Software\Wine\Debug"]
        try:
            subprocess.run(cmd, env=self.wine_env(), timeout=timeout, **quiet)
        except subprocess.TimeoutExpired:
            raise E2EError("Wine did not start within %d s" % timeout)

    def __exit__(self, *exc):
        self.close()

    def close(self):
        for app in self.apps:
            app.kill()
        self.apps = []
        try:
            for flag in ("-k", "-w"):
                subprocess.run(
                    ["wineserver", flag], env=self.wine_env(), capture_output=True, timeout=15
                )
        except (subprocess.TimeoutExpired, OSError):
            pass
        self.display.stop()
        if self.tmp and os.environ.get("QUORLANE_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def wine_env(self, debug="-all"):
        return wine_env(self.prefix, debug, self.display.name)

    def start(self, files, debug="+relay"):
        """Runs the program in a fresh folder holding `files` ({name: bytes})."""
        d = tempfile.mkdtemp(prefix="run-", dir=self.tmp)
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
        return self.run(d, debug)

    def run(self, folder, debug="+relay", desktop=None, args=(), exe=None):
        """Runs the program (or `exe`) in `folder` with the arguments `args`, inside a Wine
        desktop "Name,WxH" if given."""
        app = App(self, folder, debug, desktop, args, exe)
        self.apps.append(app)
        return app

    def post_close(self):
        """Asks the program's top-level windows to close (WM_CLOSE: taskkill without /f)."""
        cmd = ["wine", "taskkill", "/im", os.path.basename(self.exe)]
        subprocess.run(cmd, env=self.wine_env(), capture_output=True, timeout=30)

    def run_console(self, exe, args, timeout):
        """Runs a console program under Wine on the display, with no trace: (exit status,
        standard output). Killed after timeout seconds."""
        proc = subprocess.Popen(
            ["wine", os.path.abspath(exe)] + list(args),
            cwd=self.tmp,
            env=self.wine_env(),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
            start_new_session=True,
        )
        try:
            out = proc.communicate(timeout=timeout)[0]
        except subprocess.TimeoutExpired:
            stop_group(proc)
            raise E2EError("%s did not end within %d s" % (os.path.basename(exe), timeout))
        return proc.returncode, out.decode(errors="replace").replace("\r\n", "\n")


class App:
    """One run of the program: its process, its relay trace (`trace`) and its windows."""

    def __init__(self, session, folder, debug, desktop, args=(), exe=None):
        self.s, self.status, self.folder = session, None, folder
        fd, log = tempfile.mkstemp(prefix="wine-", suffix=".log", dir=session.tmp)
        self._log = os.fdopen(fd, "wb")
        self.trace = RelayTrace(log)
        cmd = ["wine"] + (["explorer", "/desktop=" + desktop] if desktop else [])
        cmd += [os.path.abspath(exe) if exe else session.exe] + list(args)
        env = session.wine_env(debug)
        if args:
            env["LC_ALL"] = "C.UTF-8"  # Wine reads the arguments as UTF-8
        self.proc = subprocess.Popen(
            cmd,
            cwd=folder,
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=self._log,
            start_new_session=True,
        )

    def kill(self):
        stop_group(self.proc)
        self._log.close()

    def running(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=20):
        try:
            self.status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise E2EError("the program did not end within %d s" % timeout)
        return self.status

    def close(self, win):
        """Alt+F4 on the window; the exit status."""
        self.s.display.key(win, "alt+F4")
        return self.wait_exit()

    def wait_window(self, name, timeout=20):
        """The program's mapped X window called `name` (the first one found)."""

        def find():
            if not self.running():
                raise E2EError(
                    "the program ended (status %s) before showing %r" % (self.proc.returncode, name)
                )
            return (self.s.display.windows(name) or [None])[0]

        return wait_until(find, timeout, "a window called %r" % name)

    def wait_no_window(self, name, timeout=10):
        wait_until(lambda: not self.s.display.windows(name), timeout, "window %r to close" % name)

    def client_rect(self, win, timeout=10):
        """Screen rectangle (x, y, w, h) of the main window's client area. With no window
        manager, Wine's X window holds the menu bar and the client area: the client is its bottom
        part (height 0 when the window is too low to have any)."""

        def get():
            gx, gy, gw, gh = self.s.display.geometry(win)
            size = self.trace.client_size()
            if size and size[0] == gw and size[1] <= gh:
                return gx, gy + gh - max(size[1], 0), gw, max(size[1], 0)

        return wait_until(get, timeout, "the client area of window %d" % win)

    def match_client(self, win, files, timeout=15, save_to=None):
        """Waits until the part of the client area on the screen equals the core's picture of
        `files` at the client's size, outside the texts. Returns (client rect, texts); raises
        with the first differences (and saves both pictures as save_to.*.ppm if given)."""
        sw, sh = self.s.display.screen
        last = []

        def attempt():
            x, y, w, h = rect = self.client_rect(win)
            x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, sw), min(y + h, sh)
            if x1 <= x0 or y1 <= y0:
                return rect, []  # nothing of it to see
            expected, texts = render_expected(self.s.render_exe, files, w, h, self.s.tmp)
            shot = self.s.display.screenshot().crop(x0, y0, x1 - x0, y1 - y0)
            want = expected.crop(x0 - x, y0 - y, x1 - x0, y1 - y0)
            skip = [(tx + x - x0, ty + y - y0, tw, th) for tx, ty, tw, th in text_rects(texts)]
            n, first = compare(shot, want, skip)
            last[:] = [rect, n, first, shot, want]
            return n == 0 and (rect, texts)

        try:
            return wait_until(
                attempt, timeout, "the client area to show the core's picture", interval=0.1
            )
        except E2EError:
            if not last:
                raise
            rect, n, first, shot, want = last
            if save_to:
                shot.save_ppm(save_to + ".actual.ppm")
                want.save_ppm(save_to + ".expected.ppm")
            raise E2EError(
                "client %s: %d pixels differ, first (x, y, screen, core): %s" % (rect, n, first)
            )
