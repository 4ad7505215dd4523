"""The exporter's end-to-end cases share this: quorlane-export.exe run under Wine with no display,
the input folders they write, the pictures it writes decoded, and the command line of a group.
test_export.py and test_export_faults.py hold the groups."""
import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import example_files, grid_text, settings_text, write_files  # noqa: E402
from winsession import E2EError, Image, check, compare, parse_ppm, wait_until  # noqa: E402
from winsession.prefix import ensure_prefix, wine_env  # noqa: E402
from winsession.wait import stop_group  # noqa: E402


def folder_files(dat, **settings):
    return {"quorlane.dat": dat, "quorlane.ini": settings_text(**settings)}


def dense_value(i, j):
    return 50 + 45 * ((i * 7 + j * 3) % 97) / 97.0 - (i - 350) ** 2 / 5000.0


CASES = {name: example_files(name) for name in ("rainbow", "twocolour", "nonsquare")}
INI, RAINBOW = CASES["rainbow"]["quorlane.ini"], CASES["rainbow"]["quorlane.dat"]
DENSE = grid_text(700, 520, 0.05, 0.05, dense_value)
CASES["dense"] = folder_files(DENSE, windowWidth=660, windowHeight=520, caption="Dense")
USAGE_HINT = 'Try "quorlane-export --help".'


# ---------------------------------------------------------------- pictures


def png_chunks(blob):
    """The kind and body of each chunk of a PNG, its CRC checked."""
    check(blob[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG")
    pos = 8
    while pos < len(blob):
        n, kind = struct.unpack(">I4s", blob[pos : pos + 8])
        body, crc = blob[pos + 8 : pos + 8 + n], blob[pos + 8 + n : pos + 12 + n]
        check(zlib.crc32(kind + body) == struct.unpack(">I", crc)[0], "bad CRC")
        yield kind, body
        pos += 12 + n


def png_texts(path):
    """The tEXt chunks of a PNG file as a dictionary."""
    chunks = png_chunks(open(path, "rb").read())
    return dict(b.decode("latin-1").split("\0", 1) for k, b in chunks if k == b"tEXt")


def decode_png(blob):
    """The pixels of an 8-bit RGB PNG without interlace, any row filters."""
    idat, head = b"", None
    for kind, body in png_chunks(blob):
        head = struct.unpack(">IIBBBBB", body) if kind == b"IHDR" else head
        idat += body if kind == b"IDAT" else b""
    width, height, depth, colour, _, _, interlace = head
    why = "PNG of depth %d, colour type %d, interlace %d" % head[2:7:2]
    check((depth, colour, interlace) == (8, 2, 0), why)
    raw, stride, out, prev = zlib.decompress(idat), 3 * width, bytearray(), bytearray(3 * width)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1 : start + 1 + stride])
        if kind == 2:
            row = bytearray((v + u) & 255 for v, u in zip(row, prev))
        elif kind != 0:
            for x in range(stride):
                a, b, c = row[x - 3] if x >= 3 else 0, prev[x], prev[x - 3] if x >= 3 else 0
                if kind == 1:
                    row[x] = (row[x] + a) & 255
                elif kind == 3:
                    row[x] = (row[x] + (a + b) // 2) & 255
                else:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    row[x] = (row[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += row
        prev = row
    return Image(width, height, out)


def decode_bmp(blob):
    """The pixels of a 24-bit BMP (bottom-up or top-down rows)."""
    check(blob[:2] == b"BM", "not a BMP")
    (offset,) = struct.unpack("<I", blob[10:14])
    width, height, _, bits = struct.unpack("<iiHH", blob[18:30])
    check(bits == 24, "BMP of %d bits" % bits)
    stride, rows = (3 * width + 3) & ~3, []
    for r in range(abs(height)):
        bgr = blob[offset + r * stride : offset + r * stride + 3 * width]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return Image(width, abs(height), b"".join(rows[::-1] if height > 0 else rows))


def decode(path):
    blob = open(path, "rb").read()
    if path.endswith(".png"):
        return decode_png(blob)
    if path.endswith(".bmp"):
        return decode_bmp(blob)
    r = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, timeout=60)
    check(r.returncode == 0, "convert %s failed" % path)
    return parse_ppm(r.stdout)


def same_pixels(actual, expected, what, skip=()):
    n, first = compare(actual, expected, skip)
    check(n == 0, "%s: %d pixels differ, first (x, y, exported, expected): %s" % (what, n, first))


# ------------------------------------------------------- the headless exporter


class Exporter:
    """Runs quorlane-export.exe under Wine in the tests' prefix with DISPLAY unset."""

    def __init__(self, exe, workdir):
        self.exe, self.prefix = os.path.abspath(exe), os.path.abspath(workdir + "/wineprefix")
        self.tmp = tempfile.mkdtemp(prefix="qexport-", dir=workdir)
        ensure_prefix(self.prefix)
        self.env = wine_env(self.prefix)  # no display
        # Wine reads arguments and file names in the locale's encoding
        self.env.setdefault("LANG", "C.UTF-8")
        check("DISPLAY" not in self.env, "a display in the exporter's environment")

    def folder(self, name, files):
        return write_files(os.path.join(self.tmp, name), files)

    def spawn(
        self, args, cwd, out=subprocess.DEVNULL, err=subprocess.DEVNULL, exe=None, stdin=None
    ):
        """The program under Wine in a session of its own, so that stop() ends all it started."""
        cmd = ["wine", exe or self.exe, *args]
        opts = dict(stdin=stdin or subprocess.DEVNULL, start_new_session=True, env=self.env)
        return subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=err, **opts)

    def run(self, *args, cwd=None, timeout=120, exe=None, stdin=None):
        """(status, stdout, stderr). Through files: Wine's services would hold pipes open."""
        out, err = (tempfile.TemporaryFile(dir=self.tmp) for _ in range(2))
        with out, err:
            proc = self.spawn(args, cwd or self.tmp, out, err, exe, stdin)
            try:
                status = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                stop_group(proc)
                name = os.path.basename(exe or self.exe)
                raise E2EError("%s %s did not end within %d s" % (name, " ".join(args), timeout))
            out.seek(0)
            err.seek(0)
            return status, out.read().decode(), err.read().decode()

    def interrupted(self, args, cwd, what):
        """(status, stdout, stderr) of a run sent Ctrl+C once it has printed three progress
        lines; `what` names the run if it ends before that."""
        with tempfile.TemporaryFile(dir=self.tmp) as out, tempfile.TemporaryFile(
            dir=self.tmp
        ) as err:
            proc = self.spawn(args, cwd, out, err)
            try:
                lines = lambda: os.pread(out.fileno(), 1 << 20, 0).count(b"\n")  # noqa: E731
                wait_until(lambda: lines() >= 3 or proc.poll() is not None, 60, "progress lines")
                check(
                    proc.poll() is None, "%s ended (status %s) before Ctrl+C" % (what, proc.poll())
                )
                os.kill(proc.pid, signal.SIGINT)
                status = proc.wait(timeout=60)
            finally:
                stop_group(proc)
            return (status, *(os.pread(f.fileno(), 1 << 20, 0).decode() for f in (out, err)))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=30)
        if os.environ.get("QUORLANE_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)


# --------------------------------------------------------------- a group's run


def run_group(groups, required=()):
    """Runs the group named on the command line, one of `groups` (name: function of the options);
    `required` names further options that the groups need."""
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--export", "--render", "--workdir", *required):
        ap.add_argument(opt, required=True)
    ap.add_argument("--bench", help="export_bench.exe, for the bench group")
    ap.add_argument("--tuned", help="export_tuned.exe, for the identity group")
    ap.add_argument("group", choices=list(groups))
    a = ap.parse_args()
    t0 = time.monotonic()
    groups[a.group](a)
    print("export %s passed in %.1f s" % (a.group, time.monotonic() - t0))
