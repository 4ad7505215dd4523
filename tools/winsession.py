#!/usr/bin/env python3
"""Runs quorlane.exe under Wine on a private virtual display and looks at it.

A Session starts its own Xvfb and uses either a private Wine prefix (made
once under its work folder, with the relay trace set to the USER32 calls
below) or the user's own one. Each App is one run of the program in a
folder: its relay trace, the X windows Wine maps, screenshots, keys and
resizes. The client size comes from the program's own traced calls: the
main window passes WM_SIZE, whose lParam holds the new client size, on to
DefWindowProcA. Leaving the Session stops every process it started. Every
wait polls with a bound; nothing sleeps for a fixed time.

    with Session(exe, workdir, render_exe=...) as s:
        app = s.start({"quorlane.dat": b"...", "quorlane.ini": b"..."})
        win = app.wait_window("Quorlane")
        rect, texts = app.match_client(win, files)
        status = app.close(win)

Command line (the run command):

    winsession.py prefix PREFIX
    winsession.py shot [--prefix PREFIX] EXE FOLDER OUT.png

"prefix" makes the Wine prefix PREFIX as the tests make theirs, with Wine's
fonts, unless it is already so. "shot" runs EXE in FOLDER inside a Wine
desktop on a private virtual display (in PREFIX, made so first, or else in
the user's prefix), waits for the window's first paint, saves a screenshot
of the window with its frame, prints its path, closes the program with
Alt+F4 and stops everything.
"""
import argparse
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

RELAY_INCLUDE = "user32.MessageBoxA;user32.CreateWindowExA;user32.MoveWindow;user32.GetSystemMetrics;user32.DefWindowProcA"
WM_SIZE = 5
WINE_FONT_DIRS = ("/usr/share/wine/fonts", "/usr/local/share/wine/fonts")
SCREEN = (1600, 1200)
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")


class E2EError(AssertionError):
    pass


def check(cond, what):
    if not cond:
        raise E2EError(what)


def wait_until(pred, timeout, what, interval=0.02):
    """Polls pred() until it gives a true value (returned) or timeout seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = pred()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise E2EError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)
        interval = min(interval * 1.5, 0.2)


def _kill_group(proc, sig=signal.SIGKILL):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
        proc.wait(timeout=5)
    except (ProcessLookupError, PermissionError, subprocess.TimeoutExpired):
        pass


# ------------------------------------------------------------------ images

class Image:
    """24-bit RGB pixels, top row first; pixel(x, y) gives 0xRRGGBB."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, bytes(data)

    def pixel(self, x, y):
        return int.from_bytes(self.data[3 * (y * self.width + x):3 * (y * self.width + x) + 3], "big")

    def crop(self, x, y, w, h):
        return Image(w, h, b"".join(self.data[3 * (r * self.width + x):3 * (r * self.width + x + w)]
                                    for r in range(y, y + h)))

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.data)


def parse_ppm(blob):
    """A binary P6 PPM with maxval 255 (no comments)."""
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", blob)
    if not m:
        raise E2EError("not a P6 PPM with maxval 255")
    w, h = int(m.group(1)), int(m.group(2))
    if len(blob) < m.end() + 3 * w * h:
        raise E2EError("short PPM")
    return Image(w, h, blob[m.end():m.end() + 3 * w * h])


def compare(actual, expected, skip_rects=(), limit=10):
    """Pixels that differ outside skip_rects ((x, y, w, h) each) between two
    images of one size: (count, the first few as (x, y, actual, expected))."""
    if (actual.width, actual.height) != (expected.width, expected.height):
        raise E2EError("size %dx%d != %dx%d" % (actual.width, actual.height, expected.width, expected.height))
    w, a, e = actual.width, actual.data, expected.data
    skip = [(x, y, x + rw, y + rh) for x, y, rw, rh in skip_rects]
    count, first = 0, []
    for y in range(actual.height):
        if a[3 * w * y:3 * w * (y + 1)] == e[3 * w * y:3 * w * (y + 1)]:
            continue
        for x in range(w):
            o = 3 * (w * y + x)
            if a[o:o + 3] != e[o:o + 3] and not any(x0 <= x < x1 and y0 <= y < y1 for x0, y0, x1, y1 in skip):
                count += 1
                if len(first) < limit:
                    first.append((x, y, "%06X" % actual.pixel(x, y), "%06X" % expected.pixel(x, y)))
    return count, first


def render_expected(render_exe, files, width, height, tmp_root=None):
    """The core's picture of `files` at a client of width x height, drawn by
    quorlane_render (no texts), and its texts as (x, y, count, string)."""
    d = tempfile.mkdtemp(prefix="qrender-", dir=tmp_root)
    try:
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
        r = subprocess.run([render_exe, str(width), str(height), "out.ppm"], cwd=d, capture_output=True, timeout=60)
        if r.returncode != 0:
            raise E2EError("quorlane_render failed (%d): %s" % (r.returncode, r.stderr.decode(errors="replace")))
        texts = [(int(p[1]), int(p[2]), int(p[3]), p[4] if len(p) > 4 else "")
                 for p in (line.split(" ", 4) for line in r.stdout.decode(errors="replace").splitlines())
                 if p[0] == "text" and len(p) >= 4]
        with open(os.path.join(d, "out.ppm"), "rb") as f:
            return parse_ppm(f.read()), texts
    finally:
        shutil.rmtree(d, ignore_errors=True)


def text_rects(texts, char_w=16, line_h=26):
    """Generous rectangles around texts drawn at (x, y) with the system font."""
    return [(x - 2, y - 2, count * char_w + 6, line_h) for x, y, count, _ in texts if count > 0]


# ----------------------------------------------------------- the relay trace

def relay_args(text):
    """Arguments of one relay 'Call' line: a string argument as its text,
    any other as the low 32 bits of its register, signed."""
    out = []
    for m in re.finditer(r'([0-9a-fA-F]+)(?: L?"((?:[^"\\]|\\.)*)")?', text):
        if m.group(2) is not None:
            out.append(m.group(2).encode("latin-1").decode("unicode_escape"))
        else:
            v = int(m.group(1), 16) & 0xFFFFFFFF
            out.append(v - (1 << 32) if v >= 1 << 31 else v)
    return out


# -------------------------------------------------------------- the session

def wine_env(prefix, debug="-all", display=None):
    env = dict(os.environ, WINEDLLOVERRIDES="mscoree,mshtml=", WINEDEBUG=debug)  # no Mono/Gecko dialogs
    if prefix:
        env.update(WINEPREFIX=prefix, WINEARCH="win64")
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    return env


def wine_fonts():
    """Wine's own fonts (Debian's fonts-wine: the caption buttons' symbols, the
    system and dialog fonts) as {name: path}. Wine looks for them only in the
    prefix's Fonts folder, so each prefix needs them linked in."""
    folder = next((d for d in WINE_FONT_DIRS if os.path.isdir(d)), None)
    return {n: os.path.join(folder, n) for n in sorted(os.listdir(folder))} if folder else {}


def ensure_prefix(prefix, timeout=180):
    """Makes the private Wine prefix (no display needed) with the relay trace
    set to RELAY_INCLUDE and Wine's fonts linked into its Fonts folder. A
    prefix made for another relay list or other fonts is made again. Safe
    against concurrent callers."""
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    stamp = os.path.join(prefix, ".quorlane-e2e-ready")
    fonts = wine_fonts()
    want = "\n".join([RELAY_INCLUDE] + list(fonts))
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(stamp):
            if open(stamp).read() == want:
                return
            shutil.rmtree(prefix)  # made here before, for other needs
        env = wine_env(prefix)
        try:
            for cmd in (["wineboot", "-i"], ["wine", "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                                             "/t", "REG_SZ", "/d", RELAY_INCLUDE, "/f"], ["wineserver", "-w"]):
                r = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   timeout=timeout, start_new_session=True)
                if r.returncode != 0:
                    raise E2EError("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace")[-2000:]))
        finally:
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=30)
        folder = os.path.join(prefix, "drive_c", "windows", "Fonts")
        os.makedirs(folder, exist_ok=True)
        for name, path in fonts.items():
            if not os.path.exists(os.path.join(folder, name)):
                os.symlink(path, os.path.join(folder, name))
        with open(stamp, "w") as f:
            f.write(want)


class Session:
    """A private virtual display and a Wine prefix; a context manager.
    prefix: a path (made once as the tests need it) or None for the user's."""

    def __init__(self, exe, workdir, screen=SCREEN, render_exe=None, prefix="private"):
        self.exe, self.workdir, self.screen = os.path.abspath(exe), os.path.abspath(workdir), screen
        self.render_exe = render_exe and os.path.abspath(render_exe)
        self.prefix = os.path.join(self.workdir, "wineprefix") if prefix == "private" else prefix
        self.xvfb = self.display = self.tmp = None
        self.apps = []

    def __enter__(self):
        if not os.path.isfile(self.exe):
            raise E2EError("no program at %s" % self.exe)
        os.makedirs(self.workdir, exist_ok=True)
        self.tmp = tempfile.mkdtemp(prefix="qe2e-", dir=self.workdir)
        try:
            if self.prefix:
                ensure_prefix(self.prefix)
            self._start_xvfb()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        for app in self.apps:
            app.kill()
        self.apps = []
        try:
            for flag in ("-k", "-w"):
                subprocess.run(["wineserver", flag], env=self.wine_env(), capture_output=True, timeout=15)
        except (subprocess.TimeoutExpired, OSError):
            pass
        _kill_group(self.xvfb, signal.SIGTERM)
        _kill_group(self.xvfb)
        if self.tmp and os.environ.get("QUORLANE_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def _start_xvfb(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % self.screen,
                                      "-nolisten", "tcp", "-noreset"], pass_fds=[w], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(w)
        buf, deadline = b"", time.monotonic() + 15
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
        self.display = ":" + buf.decode().strip()
        wait_until(lambda: subprocess.run(["xwininfo", "-root"], env=self.x_env(), capture_output=True,
                                          timeout=5).returncode == 0, 10, "the virtual display to answer")

    def x_env(self):
        return dict(os.environ, DISPLAY=self.display or "")

    def wine_env(self, debug="-all"):
        return wine_env(self.prefix, debug, self.display)

    # -- X
    def x(self, *cmd, timeout=10, check=True):
        r = subprocess.run(list(cmd), env=self.x_env(), capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise E2EError("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace")))
        return r.stdout.decode(errors="replace")

    def windows(self, name):
        """Mapped X windows whose name is exactly `name`."""
        return [int(w) for w in self.x("xdotool", "search", "--onlyvisible", "--name",
                                       "^%s$" % re.escape(name), check=False).split()]

    def geometry(self, win):
        """(x, y, width, height) of an X window on the screen."""
        out = self.x("xwininfo", "-id", str(win))
        return tuple(int(re.search(k + r":\s+(-?\d+)", out).group(1))
                     for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def screenshot(self, window="root"):
        r = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"], env=self.x_env(),
                           capture_output=True, timeout=20)
        if r.returncode != 0:
            raise E2EError("screenshot failed: %s" % r.stderr.decode(errors="replace"))
        return parse_ppm(r.stdout)

    def key(self, win, *keys):
        """Gives `win` the keyboard focus and types the keys (xdotool names)."""
        self.x("xdotool", "windowfocus", str(win), check=False)
        self.x("xdotool", "key", "--delay", "30", *keys)

    def resize(self, win, width, height):
        self.x("xdotool", "windowsize", str(win), str(width), str(height))

    def post_close(self):
        """Asks the program's top-level windows to close (WM_CLOSE: taskkill without /f)."""
        subprocess.run(["wine", "taskkill", "/im", os.path.basename(self.exe)], env=self.wine_env(),
                       capture_output=True, timeout=30)

    # -- the program
    def start(self, files, debug="+relay"):
        """Runs the program in a fresh folder holding `files` ({name: bytes})."""
        d = tempfile.mkdtemp(prefix="run-", dir=self.tmp)
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
        return self.run(d, debug)

    def run_console(self, exe, args, timeout):
        """Runs a console program under Wine on the display, with no trace:
        (exit status, standard output). Killed after timeout seconds."""
        proc = subprocess.Popen(["wine", os.path.abspath(exe)] + list(args), cwd=self.tmp, env=self.wine_env(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        try:
            out = proc.communicate(timeout=timeout)[0]
        except subprocess.TimeoutExpired:
            _kill_group(proc)
            raise E2EError("%s did not end within %d s" % (os.path.basename(exe), timeout))
        return proc.returncode, out.decode(errors="replace").replace("\r\n", "\n")

    def run(self, folder, debug="+relay", desktop=None):
        """Runs the program in `folder`, inside a Wine desktop "Name,WxH" if given."""
        app = App(self, folder, debug, desktop)
        self.apps.append(app)
        return app


class App:
    """One run of the program."""

    def __init__(self, session, folder, debug, desktop):
        self.s, self.status, self._seen, self._text, self._hwnd = session, None, 0, "", None
        self.log = tempfile.mktemp(prefix="wine-", suffix=".log", dir=session.tmp)
        self._log = open(self.log, "wb")
        cmd = ["wine"] + (["explorer", "/desktop=" + desktop] if desktop else []) + [session.exe]
        self.proc = subprocess.Popen(cmd, cwd=folder, env=session.wine_env(debug), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self._log, start_new_session=True)

    def kill(self):
        _kill_group(self.proc)
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
        self.s.key(win, "alt+F4")
        return self.wait_exit()

    # -- the trace
    def trace(self):
        """The Wine debug log so far, whole lines only (read incrementally)."""
        with open(self.log, "rb") as f:
            f.seek(self._seen)
            more = f.read()
        more = more[:more.rfind(b"\n") + 1]
        self._seen += len(more)
        self._text += more.decode("latin-1")
        return self._text

    def calls(self, func):
        """Arguments (see relay_args) of every traced call of `func`, e.g. "user32.MessageBoxA"."""
        pat = r"^[0-9a-f]+:Call %s\((.*)\) ret=[0-9a-f]+$" % re.escape(func)
        return [relay_args(m.group(1)) for m in re.finditer(pat, self.trace(), re.M)]

    def wait_call(self, func, timeout=15, count=1):
        return wait_until(lambda: (lambda c: len(c) >= count and c)(self.calls(func)), timeout, "a call of " + func)

    def created(self, cls):
        """CreateWindowExA calls for window class `cls`."""
        return [c for c in self.calls("user32.CreateWindowExA") if len(c) == 12 and c[1] == cls]

    def metric(self, index):
        """What GetSystemMetrics(index) last gave a caller (its Call and Ret lines
        of one thread, maybe with other threads' lines between)."""
        pat = (r"^([0-9a-f]+):Call user32\.GetSystemMetrics\(0*%x\) ret=(\w+)\n(?:(?!\1:).*\n)*?"
               r"\1:Ret  user32\.GetSystemMetrics\(\) retval=([0-9a-f]+) ret=\2$" % index)
        found = re.findall(pat, self.trace(), re.M)
        if not found:
            raise E2EError("no traced call of GetSystemMetrics(%d)" % index)
        return relay_args(found[-1][2])[0]

    def main_window(self):
        """The handle of the main window: what the program's CreateWindowExA
        call for "QuorlaneClass" returned (its Ret line: same thread, same
        return address), or None before it has returned."""
        if self._hwnd is not None:
            return self._hwnd
        text = self.trace()
        call = re.search(r'^([0-9a-f]+):Call user32\.CreateWindowExA\([0-9a-f]+,[0-9a-f]+ "QuorlaneClass".*'
                         r'\) ret=([0-9a-f]+)$', text, re.M)
        ret = call and re.compile(r"^%s:Ret  user32\.CreateWindowExA\(\) retval=([0-9a-f]+) ret=%s$"
                                  % call.groups(), re.M).search(text, call.end())
        self._hwnd = relay_args(ret.group(1))[0] if ret else None
        return self._hwnd

    def client_sizes(self):
        """Every client size (width, height) the main window has had, in order:
        the lParam of each WM_SIZE that the program hands to DefWindowProcA."""
        hwnd = self.main_window()
        if hwnd is None:
            return []
        return [(c[3] & 0xFFFF, (c[3] >> 16) & 0xFFFF) for c in self.calls("user32.DefWindowProcA")
                if len(c) == 4 and c[0] == hwnd and c[1] == WM_SIZE]

    def client_size_traced(self):
        """The main window's latest client size (width, height), or None."""
        sizes = self.client_sizes()
        return sizes[-1] if sizes else None

    # -- windows
    def wait_window(self, name, timeout=20):
        """The program's mapped X window called `name` (the first one found)."""
        def find():
            if not self.running():
                raise E2EError("the program ended (status %s) before showing %r" % (self.proc.returncode, name))
            return (self.s.windows(name) or [None])[0]
        return wait_until(find, timeout, "a window called %r" % name)

    def wait_no_window(self, name, timeout=10):
        wait_until(lambda: not self.s.windows(name), timeout, "window %r to close" % name)

    def client_rect(self, win, timeout=10):
        """Screen rectangle (x, y, w, h) of the main window's client area. With
        no window manager, Wine's X window holds the menu bar and the client
        area: the client is its bottom part (height 0 when the window is too
        low to have any)."""
        def get():
            gx, gy, gw, gh = self.s.geometry(win)
            size = self.client_size_traced()
            if size and size[0] == gw and size[1] <= gh:
                return gx, gy + gh - max(size[1], 0), gw, max(size[1], 0)
        return wait_until(get, timeout, "the client area of window %d" % win)

    def match_client(self, win, files, timeout=15, save_to=None):
        """Waits until the part of the client area on the screen equals the
        core's picture of `files` at the client's size, outside the texts.
        Returns (client rect, texts); raises with the first differences."""
        sw, sh = self.s.screen
        last = []

        def attempt():
            x, y, w, h = rect = self.client_rect(win)
            x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, sw), min(y + h, sh)
            if x1 <= x0 or y1 <= y0:
                return rect, []  # nothing of it to see
            expected, texts = render_expected(self.s.render_exe, files, w, h, self.s.tmp)
            shot = self.s.screenshot().crop(x0, y0, x1 - x0, y1 - y0)
            want = expected.crop(x0 - x, y0 - y, x1 - x0, y1 - y0)
            n, first = compare(shot, want, [(tx + x - x0, ty + y - y0, tw, th)
                                            for tx, ty, tw, th in text_rects(texts)])
            last[:] = [rect, n, first, shot, want]
            return n == 0 and (rect, texts)

        try:
            return wait_until(attempt, timeout, "the client area to show the core's picture", interval=0.1)
        except E2EError:
            if not last:
                raise
            rect, n, first, shot, want = last
            if save_to:
                shot.save_ppm(save_to + ".actual.ppm")
                want.save_ppm(save_to + ".expected.ppm")
            raise E2EError("client %s: %d pixels differ, first (x, y, screen, core): %s" % (rect, n, first))


# ------------------------------------------------------------------ inputs

def settings_text(Fmin=0.0, Fmax=100.0, rgb_min=(0, 0, 255), rgb_max=(255, 0, 0), Width=640, Height=480,
                  Band=20, Xmargin=30, Ymargin=20, intervals=10, Label="Temperature", clipping=1, color=1):
    """A settings file of seventeen lines."""
    lines = [Fmin, Fmax, rgb_min[0], rgb_max[0], rgb_min[1], rgb_max[1], rgb_min[2], rgb_max[2],
             Width, Height, Band, Xmargin, Ymargin, intervals, Label, clipping, color]
    return ("\n".join(str(v) for v in lines) + "\n").encode()


def grid_text(qx, qy, dx, dy, f):
    """A grid file of qx x qy cells; f(i, j) gives the value of column i, row j (from 1)."""
    values = ["%g" % f(i, j) for j in range(1, qy + 1) for i in range(1, qx + 1)]
    return ("\n".join(["%d" % qx, "%d" % qy, repr(float(dx)), repr(float(dy))] + values) + "\n").encode()


def example_files(name):
    """The two files of examples/NAME."""
    return {n: open(os.path.join(EXAMPLES, name, n), "rb").read() for n in ("quorlane.dat", "quorlane.ini")}


# ------------------------------------------------------------ command line

def shot(exe, folder, out, prefix=None, desktop=(1024, 768), timeout=120):
    """Runs exe in folder in a Wine desktop on a private display (in `prefix`,
    or the user's prefix if None: the first run may have to make it, hence
    the long bound), waits for the first paint, saves the window with its
    frame as out."""
    with Session(exe, tempfile.gettempdir(), screen=desktop, prefix=prefix and os.path.abspath(prefix)) as s:
        app = s.run(os.path.abspath(folder), os.environ.get("WINEDEBUG", "-all"), "Quorlane,%dx%d" % desktop)
        win = app.wait_window("Quorlane", timeout)

        def painted(prev=[None]):
            # The middle of the window is the field: one colour until painted.
            img = s.screenshot(win)
            mid = img.crop(img.width // 4, img.height // 4, img.width // 2, img.height // 2)
            done = mid.data == prev[0] and len(set(mid.data[k:k + 3] for k in range(0, len(mid.data), 3))) > 1
            prev[0] = mid.data
            return done and img
        img = wait_until(painted, 20, "the window's first paint", interval=0.1)
        subprocess.run(["convert", "ppm:-", out], input=b"P6\n%d %d\n255\n" % (img.width, img.height) + img.data,
                       check=True, timeout=30)
        print(os.path.abspath(out))
        s.key(win, "alt+F4")
        wait_until(lambda: not app.running() or not s.windows("Quorlane"), 10, "the program to close")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = ap.add_subparsers(dest="command", required=True)
    p = sub.add_parser("prefix", help="make a Wine prefix with Wine's fonts, as the tests do")
    p.add_argument("prefix")
    p = sub.add_parser("shot", help="screenshot of the program's first picture on a virtual display")
    p.add_argument("--prefix")
    p.add_argument("exe")
    p.add_argument("folder")
    p.add_argument("out")
    a = ap.parse_args()
    try:
        if a.command == "prefix":
            ensure_prefix(os.path.abspath(a.prefix))
        else:
            shot(a.exe, a.folder, a.out, a.prefix)
    except E2EError as err:
        sys.exit("winsession: %s" % err)


if __name__ == "__main__":
    main()
