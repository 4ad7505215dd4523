"""Driving the real quorlane.exe under Wine on a virtual display.

A Session starts a private Xvfb, makes sure a private Wine prefix exists
(created once under the build directory), runs the program in a temporary
folder with given quorlane.dat / quorlane.ini contents and lets a test look
at it: the relay trace of selected USER32 calls, the X windows Wine maps,
screenshots, keys and resizes. Leaving the Session stops every process it
started (the program, the prefix's wineserver and Xvfb).

Every wait is bounded and polls; nothing sleeps for a fixed long time.

    with Session(exe, workdir) as s:
        app = s.start({"quorlane.dat": b"...", "quorlane.ini": b"..."})
        win = app.wait_window("Quorlane")
        ...
        status = app.wait_exit()
"""
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

# USER32 calls whose arguments the relay trace records.
RELAY_INCLUDE = "user32.MessageBoxA;user32.CreateWindowExA;user32.MoveWindow"
SCREEN = (1600, 1200)
BACKGROUND = 0xC0C0C0  # the window's light grey

HERE = os.path.dirname(os.path.abspath(__file__))


class E2EError(AssertionError):
    pass


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
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        pass


# ---------------------------------------------------------------- images

class Image:
    """24-bit RGB pixels, top row first; pixel(x, y) gives 0xRRGGBB."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, bytes(data)

    def pixel(self, x, y):
        o = 3 * (y * self.width + x)
        d = self.data
        return (d[o] << 16) | (d[o + 1] << 8) | d[o + 2]

    def crop(self, x, y, w, h):
        rows = []
        for r in range(y, y + h):
            o = 3 * (r * self.width + x)
            rows.append(self.data[o:o + 3 * w])
        return Image(w, h, b"".join(rows))

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            f.write(self.data)


def parse_ppm(blob):
    """A binary P6 PPM with maxval 255."""
    fields, pos = [], 0
    while len(fields) < 4:
        while blob[pos:pos + 1].isspace():
            pos += 1
        if blob[pos:pos + 1] == b"#":
            pos = blob.index(b"\n", pos) + 1
            continue
        end = pos
        while not blob[end:end + 1].isspace():
            end += 1
        fields.append(blob[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise E2EError("not a P6 PPM with maxval 255")
    w, h = int(fields[1]), int(fields[2])
    pos += 1  # the single white space after maxval
    data = blob[pos:pos + 3 * w * h]
    if len(data) != 3 * w * h:
        raise E2EError("short PPM")
    return Image(w, h, data)


def read_ppm(path):
    with open(path, "rb") as f:
        return parse_ppm(f.read())


def compare(actual, expected, skip_rects=(), limit=10):
    """Pixels of two images of the same size that differ outside skip_rects
    ((x, y, w, h) each). Returns (count, first few (x, y, actual, expected))."""
    if (actual.width, actual.height) != (expected.width, expected.height):
        raise E2EError("size %dx%d != %dx%d" % (actual.width, actual.height,
                                              expected.width, expected.height))
    w = actual.width
    skip = [(x, y, x + rw, y + rh) for x, y, rw, rh in skip_rects]
    count, first = 0, []
    a, e = actual.data, expected.data
    for y in range(actual.height):
        row = slice(3 * w * y, 3 * w * (y + 1))
        if a[row] == e[row]:
            continue
        for x in range(w):
            o = 3 * (w * y + x)
            if a[o:o + 3] == e[o:o + 3]:
                continue
            if any(x0 <= x < x1 and y0 <= y < y1 for x0, y0, x1, y1 in skip):
                continue
            count += 1
            if len(first) < limit:
                first.append((x, y, "%06X" % actual.pixel(x, y), "%06X" % expected.pixel(x, y)))
    return count, first


# ------------------------------------------------------- the core's picture

def render_expected(render_exe, files, width, height, tmp_root=None):
    """The core's picture of `files` at a client of width x height, drawn by
    quorlane_render (no texts), and its texts as (x, y, count, string)."""
    d = tempfile.mkdtemp(prefix="qrender-", dir=tmp_root)
    try:
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
        out = os.path.join(d, "out.ppm")
        r = subprocess.run([render_exe, str(width), str(height), out], cwd=d,
                           capture_output=True, timeout=60)
        if r.returncode != 0:
            raise E2EError("quorlane_render failed (%d): %s" % (r.returncode, r.stderr.decode(errors="replace")))
        texts = []
        for line in r.stdout.decode(errors="replace").splitlines():
            parts = line.split(" ", 4)
            if parts[0] == "text" and len(parts) >= 4:
                texts.append((int(parts[1]), int(parts[2]), int(parts[3]),
                              parts[4] if len(parts) > 4 else ""))
        return read_ppm(out), texts
    finally:
        shutil.rmtree(d, ignore_errors=True)


def text_rects(texts, char_w=16, line_h=26):
    """Generous rectangles around texts drawn at (x, y) with the system font."""
    return [(x - 2, y - 2, count * char_w + 6, line_h) for x, y, count, _ in texts if count > 0]


# --------------------------------------------------------- the relay trace

_ESC = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def parse_relay_args(text):
    """Arguments of one relay 'Call' line: a list of (value, string or None).
    Values are the raw 64-bit register contents (see arg32)."""
    args, i, n = [], 0, len(text)
    while i < n:
        while i < n and text[i] in " ,":
            i += 1
        if i >= n:
            break
        m = re.match(r"[0-9a-fA-F]+", text[i:])
        value = int(m.group(0), 16) if m else 0
        i += m.end() if m else 0
        s = None
        if text[i:i + 2] in (' "', " L") or text[i:i + 1] == '"':
            while text[i] != '"':
                i += 1
            i += 1
            out = []
            while i < n and text[i] != '"':
                c = text[i]
                if c == "\\" and i + 1 < n:
                    nx = text[i + 1]
                    if nx == "x":
                        out.append(chr(int(text[i + 2:i + 4], 16)))
                        i += 4
                        continue
                    if nx in "01234567" and re.match(r"[0-7]{3}", text[i + 1:i + 4]):
                        out.append(chr(int(text[i + 1:i + 4], 8)))
                        i += 4
                        continue
                    out.append(_ESC.get(nx, nx))
                    i += 2
                    continue
                out.append(c)
                i += 1
            i += 1
            s = "".join(out)
        args.append((value, s))
        while i < n and text[i] not in ",":
            i += 1
    return args


def arg32(value, signed=True):
    """The low 32 bits of a relay argument (a 32-bit parameter's upper half is garbage)."""
    v = value & 0xFFFFFFFF
    return v - (1 << 32) if signed and v >= 1 << 31 else v


# ------------------------------------------------------------- the session

class Session:
    """A virtual display plus the private Wine prefix; a context manager."""

    def __init__(self, exe, workdir, screen=SCREEN, render_exe=None):
        self.exe = os.path.abspath(exe)
        self.workdir = os.path.abspath(workdir)
        self.screen = screen
        self.render_exe = os.path.abspath(render_exe) if render_exe else None
        self.prefix = os.path.join(self.workdir, "wineprefix")
        self.xvfb = None
        self.display = None
        self.apps = []
        self.tmp = None

    # -- set-up and clean-up
    def __enter__(self):
        if not os.path.isfile(self.exe):
            raise E2EError("no program at %s" % self.exe)
        os.makedirs(self.workdir, exist_ok=True)
        self.tmp = tempfile.mkdtemp(prefix="qe2e-", dir=self.workdir)
        try:
            ensure_prefix(self.prefix)
            self._start_xvfb()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        for app in self.apps:
            app.kill()
        self.apps = []
        if os.path.isdir(self.prefix):
            try:
                subprocess.run(["wineserver", "-k"], env=self.wine_env(), timeout=15,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], env=self.wine_env(), timeout=15,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except (subprocess.TimeoutExpired, OSError):
                pass
        if self.xvfb is not None:
            _kill_group(self.xvfb, signal.SIGTERM)
            _kill_group(self.xvfb)
            self.xvfb = None
        if self.tmp and os.environ.get("QUORLANE_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def _start_xvfb(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % self.screen,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(w)
        buf = b""
        deadline = time.monotonic() + 15
        try:
            while not buf.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or self.xvfb.poll() is not None:
                    raise E2EError("Xvfb did not start")
                ready, _, _ = select.select([r], [], [], left)
                if ready:
                    chunk = os.read(r, 64)
                    if not chunk:
                        raise E2EError("Xvfb did not report its display")
                    buf += chunk
        finally:
            os.close(r)
        self.display = ":" + buf.decode().strip()
        wait_until(lambda: subprocess.run(["xdpyinfo"] if shutil.which("xdpyinfo") else ["xwininfo", "-root"],
                                          env=self.x_env(), stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL, timeout=5).returncode == 0,
                   10, "the virtual display to answer")

    # -- environments
    def x_env(self):
        env = dict(os.environ)
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def wine_env(self, debug="-all"):
        env = wine_env(self.prefix, debug)
        if self.display:
            env["DISPLAY"] = self.display
        else:
            env.pop("DISPLAY", None)
        return env

    # -- X helpers
    def x(self, *cmd, timeout=10, check=True):
        r = subprocess.run(list(cmd), env=self.x_env(), capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise E2EError("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace")))
        return r.stdout.decode(errors="replace")

    def windows(self, name):
        """Mapped top-level X windows whose name is exactly `name`."""
        out = self.x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name), check=False)
        return [int(w) for w in out.split()]

    def geometry(self, win):
        """(x, y, width, height) of an X window on the screen."""
        out = self.x("xwininfo", "-id", str(win))
        get = lambda key: int(re.search(key + r":\s+(-?\d+)", out).group(1))
        return (get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height"))

    def screenshot(self):
        r = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                           env=self.x_env(), capture_output=True, timeout=20)
        if r.returncode != 0:
            raise E2EError("screenshot failed: %s" % r.stderr.decode(errors="replace"))
        return parse_ppm(r.stdout)

    def key(self, win, *keys):
        """Gives `win` the keyboard focus and types the keys (xdotool names)."""
        self.x("xdotool", "windowfocus", str(win), check=False)
        self.x("xdotool", "key", "--delay", "30", *keys)

    def resize(self, win, width, height):
        self.x("xdotool", "windowsize", str(win), str(width), str(height))

    def run_console(self, exe, timeout=30):
        """Runs a console program under Wine; returns its standard output."""
        r = subprocess.run(["wine", os.path.abspath(exe)], cwd=self.tmp, env=self.wine_env(),
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        if r.returncode != 0:
            raise E2EError("%s ended with %d" % (exe, r.returncode))
        return r.stdout.decode(errors="replace")

    # -- the program
    def start(self, files, relay=True, debug=None):
        """Runs the program in a fresh folder holding `files` ({name: bytes})."""
        d = tempfile.mkdtemp(prefix="run-", dir=self.tmp)
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content if isinstance(content, bytes) else content.encode())
        app = App(self, d, relay, debug)
        self.apps.append(app)
        return app


class App:
    """One run of the program."""

    def __init__(self, session, folder, relay, debug):
        self.s = session
        self.folder = folder
        self.log = os.path.join(folder, "wine.log")
        channels = debug or ("+relay,+win" if relay else "-all")
        self._log = open(self.log, "wb")
        self.proc = subprocess.Popen(["wine", self.s.exe], cwd=folder,
                                     env=self.s.wine_env(channels),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=self._log, start_new_session=True)
        self.status = None
        self._seen = 0
        self._text = [""]

    def kill(self):
        _kill_group(self.proc)
        self._log.close()

    def wait_exit(self, timeout=20):
        try:
            self.status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise E2EError("the program did not end within %d s" % timeout)
        return self.status

    def running(self):
        return self.proc.poll() is None

    # -- the trace
    def trace(self):
        """The Wine debug log so far (read incrementally; it only grows)."""
        with open(self.log, "rb") as f:
            f.seek(self._seen)
            more = f.read()
        # Keep a partial last line for the next read.
        cut = more.rfind(b"\n") + 1
        self._text.append(more[:cut].decode("latin-1"))
        self._seen += cut
        if len(self._text) > 1:
            self._text = ["".join(self._text)]
        return self._text[0]

    def calls(self, func):
        """Argument lists of every relay-traced call of `func` (e.g. "user32.MessageBoxA")."""
        pat = re.compile(r"^[0-9a-f]+:Call %s\((.*)\) ret=[0-9a-f]+$" % re.escape(func), re.M)
        return [parse_relay_args(m.group(1)) for m in pat.finditer(self.trace())]

    def wait_call(self, func, timeout=15, count=1):
        return wait_until(lambda: (lambda c: c if len(c) >= count else None)(self.calls(func)),
                          timeout, "a call of %s" % func)

    def client_size_traced(self):
        """The client size of the last frame Wine drew for a window with a
        menu bar (its +win trace: 'rect after menu (l,t)-(r,b)'), or None."""
        text = self.trace()
        at = text.rfind("rect after menu (")
        m = re.match(r"rect after menu \((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\)", text[at:]) if at >= 0 else None
        if not m:
            return None
        l, t, r, b = map(int, m.groups())
        return r - l, b - t

    # -- windows
    def wait_window(self, name, timeout=20):
        """The program's mapped X window called `name` (the first one found)."""
        def find():
            if not self.running():
                raise E2EError("the program ended (status %s) before showing %r" % (self.proc.returncode, name))
            w = self.s.windows(name)
            return w[0] if w else None
        return wait_until(find, timeout, "a window called %r" % name)

    def wait_no_window(self, name, timeout=10):
        wait_until(lambda: not self.s.windows(name), timeout, "window %r to close" % name)

    def client_rect(self, win, timeout=10):
        """Screen rectangle (x, y, w, h) of the main window's client area.
        With no window manager, Wine's X window holds the menu bar and the
        client area: the client is its bottom part, as wide as the window."""
        def get():
            gx, gy, gw, gh = self.s.geometry(win)
            size = self.client_size_traced()
            if size and size[0] == gw and 0 <= size[1] <= gh:
                return gx, gy + gh - size[1], size[0], size[1]
            return None
        return wait_until(get, timeout, "the client area of window %d" % win)

    def match_client(self, win, files, timeout=15, save_to=None):
        """Waits until the client area on screen equals the core's picture of
        `files` at the same size, outside the text rectangles. Returns
        (client rect, texts). Raises with the first differences otherwise."""
        last = [None]

        def check():
            rect = self.client_rect(win)
            x, y, w, h = rect
            if w <= 0 or h <= 0:
                return None
            expected, texts = render_expected(self.s.render_exe, files, w, h, self.s.tmp)
            shot = self.s.screenshot().crop(x, y, w, h)
            n, first = compare(shot, expected, text_rects(texts))
            last[0] = (rect, n, first, shot, expected)
            return (rect, texts) if n == 0 else None

        try:
            return wait_until(check, timeout, "the client area to show the core's picture", interval=0.1)
        except E2EError:
            if last[0] is None:
                raise
            rect, n, first, shot, expected = last[0]
            if save_to:
                shot.save_ppm(save_to + ".actual.ppm")
                expected.save_ppm(save_to + ".expected.ppm")
            raise E2EError("client %s: %d pixels differ, first (x, y, screen, core): %s" % (rect, n, first))


# ------------------------------------------------------------ the prefix

def wine_env(prefix, debug="-all"):
    env = dict(os.environ)
    env["WINEPREFIX"] = prefix
    env["WINEARCH"] = "win64"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="  # no Mono or Gecko installer dialogs
    env["WINEDEBUG"] = debug
    return env


def ensure_prefix(prefix, timeout=180):
    """Creates the private Wine prefix once (no display needed) and sets the
    relay trace to the calls the tests read. Safe against concurrent callers."""
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    stamp = os.path.join(prefix, ".quorlane-e2e-ready")
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(stamp):
            with open(stamp) as f:
                if f.read().strip() == RELAY_INCLUDE:
                    return
        env = wine_env(prefix)
        env.pop("DISPLAY", None)
        steps = [["wineboot", "-i"],
                 ["wine", "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                  "/t", "REG_SZ", "/d", RELAY_INCLUDE, "/f"],
                 ["wineserver", "-w"]]
        try:
            for cmd in steps:
                r = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   timeout=timeout, start_new_session=True)
                if r.returncode != 0:
                    raise E2EError("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace")[-2000:]))
        finally:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
        with open(stamp, "w") as f:
            f.write(RELAY_INCLUDE)


# --------------------------------------------------------------- inputs

def settings_text(Fmin=0.0, Fmax=100.0, rgb_min=(0, 0, 255), rgb_max=(255, 0, 0), Width=640,
                  Height=480, Band=20, Xmargin=30, Ymargin=20, intervals=10, Label="Temperature",
                  clipping=1, color=1):
    """A settings file of seventeen lines."""
    lines = [Fmin, Fmax, rgb_min[0], rgb_max[0], rgb_min[1], rgb_max[1], rgb_min[2], rgb_max[2],
             Width, Height, Band, Xmargin, Ymargin, intervals, Label, clipping, color]
    return ("\n".join(str(v) for v in lines) + "\n").encode()


def grid_text(qx, qy, dx, dy, f):
    """A grid file of qx x qy cells; f(i, j) gives the value of column i, row j (from 1)."""
    out = ["%d" % qx, "%d" % qy, repr(float(dx)), repr(float(dy))]
    for j in range(1, qy + 1):
        for i in range(1, qx + 1):
            out.append("%g" % f(i, j))
    return ("\n".join(out) + "\n").encode()


def example_files(name):
    """The files of one of the bundled examples (examples/NAME)."""
    d = os.path.join(HERE, "..", "..", "examples", name)
    files = {}
    for n in ("quorlane.dat", "quorlane.ini"):
        with open(os.path.join(d, n), "rb") as f:
            files[n] = f.read()
    return files
