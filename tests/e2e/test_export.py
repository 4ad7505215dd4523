#!/usr/bin/env python3
"""End-to-end cases of quorlane-export.exe under Wine with no display, against the viewer's window
and the native renderer: test_export.py --exe quorlane.exe --export quorlane-export.exe
    --render quorlane_render --workdir DIR [--bench BENCH.exe] [--tuned TUNED.exe] GROUP"""
import argparse, os, re, shutil, signal, struct, subprocess, sys, tempfile, time, zlib  # noqa: E401

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from inputs import example_files, grid_text, settings_text, write_files  # noqa: E402
from winsession import E2EError, Image, Session, check, compare, parse_ppm, wait_until  # noqa: E402
from winsession.expected import render_expected, text_rects  # noqa: E402
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

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=30)
        if os.environ.get("QUORLANE_E2E_KEEP") is None:
            shutil.rmtree(self.tmp, ignore_errors=True)


# ------------------------------------------------------------------- groups


def window(a):
    """The export of each example and a dense grid equals the viewer's client, texts included, in
    each format; without --size it takes the viewer's client size."""
    shots = {}
    with Session(a.exe, a.workdir, render_exe=a.render) as s:
        for name, files in CASES.items():
            app = s.start(files)
            win = app.wait_window("Quorlane")
            save_to = os.path.join(a.workdir, "failed-export-" + name)
            rect, texts = app.match_client(win, files, save_to=save_to)
            x, y, cw, ch = rect
            sw, sh = s.display.screen
            whole = x >= 0 and y >= 0 and x + cw <= sw and y + ch <= sh
            why = "%s: client %r not whole on the screen, or texts %r" % (name, rect, texts)
            check(whole and len(texts) == 3, why)
            shots[name] = s.display.screenshot().crop(x, y, cw, ch)
            check(app.close(win) == 0, "%s: exit status %s" % (name, app.status))
    ex = Exporter(a.export, a.workdir)
    try:
        for name, shot in shots.items():
            d = ex.folder(name, CASES[name])
            size = "%dx%d" % (shot.width, shot.height)
            for ext in ("png", "bmp", "tif"):
                status, out, err = ex.run("--size", size, "--out", "{name}-%s.%s" % (size, ext), d)
                check(status == 0 and err == "", "%s %s: status %d, %r" % (name, ext, status, err))
                got = decode(os.path.join(ex.tmp, "%s-%s.%s" % (name, size, ext)))
                same_pixels(got, shot, name + " " + ext)
            status, out, err = ex.run("--out", "{name}-default.png", d)
            got = decode(os.path.join(ex.tmp, name + "-default.png"))
            got_size = "%dx%d" % (got.width, got.height)
            why = "%s: default size %s, the window's client %s" % (name, got_size, size)
            check(status == 0 and got_size == size, why)
            want = "%s -> %s-default.png (%d x %d)\n" % (d, name, got.width, got.height)
            check(out == want, "progress %r" % out)
            texts = png_texts(os.path.join(ex.tmp, name + "-default.png"))
            made_by = re.fullmatch(r"Quorlane \d+\.\d+\.\d+", texts.pop("Software", ""))
            check(made_by and texts == {"Source": d}, "texts %r" % texts)
            what = "PNG, BMP and TIFF equal the window; default size equal"
            print("ok   %-10s client %s: %s" % (name, size, what))
    finally:
        ex.close()


RENDER_SIZES = "640x480 1920x1080 1x1 2x2 59x300 300x39 300x60 300x61 119x300".split()


def render(a):
    """The export equals the native renderer's picture outside the texts at several sizes, among
    them ones with no field box, no band and the band's edges crossed."""
    files = CASES["rainbow"]
    ex = Exporter(a.export, a.workdir)
    kinds = set()
    try:
        d = ex.folder("rainbow", files)
        for size in RENDER_SIZES:
            cw, ch = map(int, size.split("x"))
            out = "render-%s.png" % size
            status, _, err = ex.run("--size", size, "--out", out, d)
            check(status == 0, "%s: status %d, %s" % (size, status, err))
            expected, texts = render_expected(a.render, files, cw, ch, ex.tmp)
            same_pixels(decode(os.path.join(ex.tmp, out)), expected, size, text_rects(texts))
            ppm = os.path.join(ex.tmp, "layout.ppm")
            layout = [a.render, str(cw), str(ch), ppm, "--print-layout"]
            r = subprocess.run(layout, cwd=d, capture_output=True, text=True, timeout=60)
            kinds |= {line for line in r.stdout.splitlines() if line in ("field none", "band none")}
            print("ok   %s, %d texts" % (size, len(texts)))
        why = "the sizes missed a degenerate layout: %r" % kinds
        check(kinds == {"field none", "band none"}, why)
    finally:
        ex.close()


def progress(total, *lines):
    """Progress lines in any order (each written as its encoding ends), counted 1, 2, ..."""

    def matches(out):
        got = out.splitlines()
        counts = [line.split("] ", 1)[0] for line in got]
        return (
            sorted(line.split("] ", 1)[-1] for line in got) == sorted(lines)
            and counts == sorted(counts)
            and all(c.endswith("/%d" % total) for c in counts)
        )

    return matches


def usage(text):
    return 2, "", "quorlane-export: %s\n%s\n" % (text, USAGE_HINT)


def failed(path, text):
    return 1, "", "quorlane-export: %s: %s\n" % (path, text)


def wrote(path, output, size):
    return 0, "%s -> %s (%s)\n" % (path, output, size), ""


def faults(a):
    """Bad inputs, outputs and arguments: their reports, exit statuses and the files they leave."""
    ex = Exporter(a.export, a.workdir)
    rb, tc = [ex.folder(n, CASES[n]) for n in ("rainbow", "twocolour")]
    tiny = ex.folder("tiny", folder_files(RAINBOW, windowWidth=0, windowHeight=0))
    sized = wrote(tiny, "tiny.png", "40 x 30")
    huge = ex.folder("huge", folder_files(RAINBOW, windowWidth=100000, windowHeight=100000))
    uni, uni_bmp = ex.folder("donn\u00e9es \u03a9", CASES["twocolour"]), "donn\u00e9es \u03a9.bmp"
    steps = ex.folder("steps", {"quorlane.ini": INI, "step_0007.dat": RAINBOW})
    step, tiff = os.path.join(steps, "step_0007.dat"), "000001_step_0007.tiff"
    tiff_args = ["--out", "{n:6}_{name}.tiff", "--size", "320x200", step]
    junk = {"rainbow.png": b"not a picture, and kept as it is"}
    bad = {"bad/quorlane.dat": b"0 6 1.0 1.0\n", "bad/quorlane.ini": INI}
    two = [rb + " -> 0001-rainbow.png (632 x 434)", tc + " -> 0003-twocolour.png (552 x 474)"]
    among = (1, progress(3, *two), 'quorlane-export: nothere: Cannot open "nothere"\n')
    numbered = ["0001-rainbow.png", "0003-twocolour.png"]
    helped = (0, lambda out: out.startswith("Usage: quorlane-export"), "")
    nodir = 'Cannot write "nodir/x.png": no such folder'
    exists = '"rainbow.png" exists (--overwrite replaces it)'
    both = '"%s" and "%s" would both write "%s.png"'
    at_least = "the width and the height must be at least 1"
    largest = '--size "%s": larger than the largest picture, 268435456 pixels (16384x16384)'
    field = 'unknown field "{step}" (use {name}, {n} or {n:K}; {{ for a brace)'
    formats = "unknown picture format (name it .png, .bmp, .tif or .tiff)"
    bad_size = 'Invalid grid size in "bad\\quorlane.dat"'
    no_client = "The settings' window size leaves no client area (0 x 0); --size gives one"
    too_large = "A 99992 x 99954 picture is larger than the largest, 268435456 pixels"
    longest = "f" * 246 + ".png"  # 250 characters: its temporary name must not be longer
    widest = '--size "134217728x1": wider than the widest picture, 67108863 pixels'
    device = "NUL is the name of a device, not of a file"
    # the grid file as input and as output, spelled in another case and with "./"
    own, own_args = {"grid.png": RAINBOW, "quorlane.ini": INI}, ["--out", "GRID.png", "./grid.png"]
    overwrites = '"GRID.png" would overwrite the input "./grid.png"'
    E, e = "\u00c9", "\u00e9"  # one letter in either case: Windows takes them for one
    cased = {"%s/%s" % (d, n): b for d in (E, e) for n, b in CASES["twocolour"].items()}
    # a list with a byte order mark, CR LF, a comment and a blank line, after a path of its own
    listed = {"lists/steps.txt": b"\xef\xbb\xbfa\r\n# the second\r\n\r\nb\r\n"}
    listed.update(("%s/%s" % (d, n), b) for d, c in zip("abc", CASES) for n, b in CASES[c].items())
    list_args = ["--quiet", "--out", "{n}-{name}.png", "c", "--inputs", "lists/steps.txt"]
    in_order, unreadable = ["0001-c.png", "0002-a.png", "0003-b.png"], "cannot be read"
    # a Latin-1 line (as a code-page tool writes it) and a NUL byte: nothing is read or written,
    # not even the good input before them
    latin1 = {"l.txt": b"a\n\xe9t\xe9\n", **{"a/" + n: b for n, b in CASES["rainbow"].items()}}
    nul, in_list = dict(latin1, **{"l.txt": b"a/quorlane.dat\0.x\n"}), ["--inputs", "l.txt"]
    # names longer than the file system holds: 90 letters of 3 bytes each, and 256 ASCII letters
    cjk, ascii_long = "\u6f22" * 90 + "_{n}.png", "f" * 252 + ".png"
    too_long = 'Cannot write "%s": the name is too long'
    cjk_err = [
        "quorlane-export: %s: %s" % (p, too_long % cjk.replace("{n}", n))
        for p, n in [(rb, "0001"), (tc, "0002")]
    ]
    cjk_failed = (1, "", lambda err: sorted(err.splitlines()) == cjk_err)
    # a path joined on an input written with "/" keeps it
    runs_bad = {"runs/" + n: b for n, b in bad.items()}
    slashed = 'Invalid grid size in "runs/bad/quorlane.dat"'

    # name, arguments, (status, stdout or a callable that checks it, stderr), then, if any, the
    # files in the output folder (a fresh one by that name) afterwards and the files it holds before
    rows = [
        ("missing_among_good", ["--out", "{n}-{name}.png", rb, "nothere", tc], among, numbered),
        ("no_output_folder", ["--out", "nodir/x.png", rb], failed(rb, nodir)),
        ("exists", ["--out", "rainbow.png", rb], failed(rb, exists), ["rainbow.png"], junk),
        ("overwrite", ["--overwrite", "--quiet", rb], (0, "", ""), ["rainbow.png"], junk),
        ("one_output_two_inputs", ["--out", "same.png", rb, tc], usage(both % (rb, tc, "same"))),
        ("one_input_twice", [rb, "--quiet", rb], usage(both % (rb, rb, "rainbow"))),
        ("size_0x0", ["--size", "0x0", rb], usage('--size "0x0": ' + at_least)),
        ("size_100000", ["--size", "100000x100000", rb], usage(largest % "100000x100000")),
        ("size_word", ["--size", "big", rb], usage('--size "big" is not WIDTHxHEIGHT')),
        ("unknown_option", ["--colour", rb], usage('unknown option "--colour"')),
        ("unknown_field", ["--out", "{step}.png", rb], usage('--out "{step}.png": ' + field)),
        ("unknown_format", ["--out", "{name}.jpg", rb], usage('"rainbow.jpg": ' + formats)),
        ("unknown_format_missing", ["--out", "x.jpg", "nope"], usage('"x.jpg": ' + formats)),
        ("device_name", ["--out", "nul.png", rb], usage('"nul.png": ' + device)),
        ("size_too_wide", ["--size", "134217728x1", rb], usage(widest)),
        ("output_is_input", ["--overwrite", *own_args], usage(overwrites), sorted(own), own),
        ("case_of_a_letter", ["--overwrite", E, e], usage(both % (E, e, e)), [], cased),
        ("input_list", list_args, (0, "", ""), in_order, listed),
        ("input_list_missing", ["--inputs", "nope"], usage('--inputs "nope": ' + unreadable)),
        ("no_input", ["--quiet"], usage("no input: name a folder or a grid file")),
        ("help", ["--help", "--bogus"], helped),
        ("bad_grid", ["--quiet", "bad"], failed("bad", bad_size), [], bad),
        ("no_client_area", [tiny], failed(tiny, no_client)),
        ("no_client_area_sized", ["--size", "40x30", tiny], sized, ["tiny.png"]),
        ("settings_too_large", [huge], failed(huge, too_large)),
        ("unicode", ["--out", "{name}.bmp", uni], wrote(uni, uni_bmp, "552 x 474"), [uni_bmp]),
        ("grid_file", tiff_args, wrote(step, tiff, "320 x 200"), [tiff]),
        ("drive_root", ["q:\\"], wrote("q:\\", "Q.png", "632 x 434"), ["Q.png"]),
        ("long_name", ["--out", longest, rb], wrote(rb, longest, "632 x 434"), [longest]),
        ("latin1_list", in_list, usage("l.txt, line 2: not UTF-8"), ["l.txt"], latin1),
        ("nul_in_list", in_list, usage("l.txt, line 1: holds a NUL byte"), ["l.txt"], nul),
        ("endless_list", ["--inputs", "/dev/zero"], usage("/dev/zero, line 1: holds a NUL byte")),
        ("name_too_long", ["--overwrite", "--out", cjk, rb, tc], cjk_failed),
        ("name_too_long_kept", ["--out", cjk, rb, tc], cjk_failed),  # never a false "exists"
        ("name_too_long_ascii", ["--out", ascii_long, rb], failed(rb, too_long % ascii_long)),
        ("separator_kept", ["--quiet", "runs/bad"], failed("runs/bad", slashed), [], runs_bad),
    ]
    drive = os.path.join(ex.prefix, "dosdevices", "q:")  # drive Q: is the rainbow folder
    if os.path.lexists(drive):
        os.remove(drive)
    os.symlink(rb, drive)
    failures = []
    try:
        for name, args, (status, want_out, want_err), *rest in rows:
            (after, before), t0 = (rest + [[], {}][len(rest) :]), time.monotonic()
            try:
                d = ex.folder(name, before)
                got = ex.run(*args, cwd=d)
                ok_out = want_out(got[1]) if callable(want_out) else got[1] == want_out
                ok_err = want_err(got[2]) if callable(want_err) else got[2] == want_err
                why = "status %s, stdout %r, stderr %r" % got
                check(got[0] == status and ok_out and ok_err, why)
                files = sorted(n for n in os.listdir(d) if not os.path.isdir(os.path.join(d, n)))
                check(files == sorted(after), "files %r, wanted %r" % (files, after))
                for n in after:  # every picture decodes; a file left alone is byte-identical
                    if n in before and status != 0:
                        check(open(os.path.join(d, n), "rb").read() == before[n], "%s changed" % n)
                    else:
                        decode(os.path.join(d, n))
                took = time.monotonic() - t0
                print("ok   %-22s status %d  %.1f s" % (name, status, took), flush=True)
            except E2EError as err:
                failures.append(name)
                print("FAIL %-22s %s" % (name, err), flush=True)
        endless_input(ex)
        interrupted(ex, rb)
        stopped(ex, rb)
        full_disk(ex, rb)
        check(not failures, "failed: " + ", ".join(failures))
    finally:
        os.remove(drive)
        ex.close()


def endless_input(ex):
    """A list on standard input that never ends (yes | quorlane-export --inputs -) is refused once
    it holds more inputs than a run takes, instead of growing without bound."""
    yes = subprocess.Popen(["yes"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        t0 = time.time()
        got = ex.run("--inputs", "-", stdin=yes.stdout, timeout=60)
    finally:
        yes.kill()
        yes.wait()
    want = usage("standard input, line 1000001: more than 1000000 inputs")
    check(got == want, "status %s, stdout %r, stderr %r" % got)
    print("ok   %-22s refused after a million lines, %.1f s" % ("endless_input", time.time() - t0))


def interrupted(ex, folder):
    """A run killed while it encodes a large picture leaves no file under the final name."""
    d = ex.folder("interrupted", {})
    proc = ex.spawn(["--size", "12000x12000", "--out", "big.png", folder], d)
    try:
        found = lambda: [n for n in os.listdir(d) if n.endswith(".tmp")]  # noqa: E731
        temp = wait_until(lambda: found() or proc.poll() is not None, 60, "the temporary file")
        why = "the export ended (status %s) before it could be stopped" % proc.returncode
        check(proc.poll() is None, why)
    finally:
        stop_group(proc)
    files = os.listdir(d)
    check(files == temp and temp[0].startswith("~qx-"), "files after the kill: %r" % files)
    print("ok   %-22s killed while encoding: only its temporary file" % "interrupted", flush=True)


def stopped(ex, folder, count=200):
    """Ctrl+C (a SIGINT under Wine) stops a batch: status 130, a line saying how far it got, the
    files written so far whole, no temporary file left."""
    d = ex.folder("stopped", {})
    with tempfile.TemporaryFile(dir=ex.tmp) as out, tempfile.TemporaryFile(dir=ex.tmp) as err:
        proc = ex.spawn(["--out", "{n}.png", *[folder] * count], d, out, err)
        try:
            lines = lambda: os.pread(out.fileno(), 1 << 20, 0).count(b"\n")  # noqa: E731
            wait_until(lambda: lines() >= 3 or proc.poll() is not None, 60, "progress lines")
            check(proc.poll() is None, "the batch ended (status %s) before Ctrl+C" % proc.poll())
            os.kill(proc.pid, signal.SIGINT)
            status = proc.wait(timeout=60)
        finally:
            stop_group(proc)
        progress, report = (os.pread(f.fileno(), 1 << 20, 0).decode() for f in (out, err))
    files = sorted(os.listdir(d))
    done = re.fullmatch(r"quorlane-export: stopped after (\d+) of %d\n" % count, report)
    written = progress.count("\n")
    why = "status %d, stderr %r, %d progress lines, files %r" % (status, report, written, files)
    check(status == 130 and done and int(done[1]) == written == len(files), why)
    check(len(files) < count and all(n.endswith(".png") for n in files), why)
    for n in files:
        decode(os.path.join(d, n))
    print("ok   %-22s Ctrl+C after %d of %d files, all whole" % ("stopped", len(files), count))


def full_disk(ex, folder):
    """A full disk is reported as such in each format, and no file is left (a TIFF file cut short
    was once kept under its final name). Needs a small tmpfs mounted, so root."""
    d = ex.folder("full", {})
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", d], capture_output=True)
    if r.returncode != 0:
        print("skip %-22s no small tmpfs: %s" % ("full_disk", r.stderr.decode().strip()))
        return
    try:
        for ext in ("png", "bmp", "tif"):
            got = ex.run("--out", "x." + ext, folder, cwd=d)
            want = failed(folder, 'Cannot write "x.%s": the disk is full' % ext)
            left = os.listdir(d)
            check(got == want and left == [], "%s: %r, files %r" % (ext, got, left))
    finally:
        subprocess.run(["umount", "-l", d], capture_output=True, timeout=30)
    print("ok   %-22s reported for PNG, BMP and TIFF, no file left" % "full_disk")


def identity(a):
    """One by one and with 1, 2 or 4 encoders, a batch writes the same bytes in each format."""
    ex = Exporter(a.export, a.workdir)
    try:
        order = ["dense", "rainbow", "nonsquare", "twocolour", "rainbow", "dense", "nonsquare"]
        paths = [ex.folder(name, CASES[name]) for name in order]
        paths.insert(3, os.path.join(ex.tmp, "missing"))
        modes = ["--one-by-one", "--encoders=1", "--encoders=2", "--encoders=4"]
        tuned = os.path.abspath(a.tuned)
        for ext in ("png", "bmp", "tif"):
            written = {}
            for mode in modes:
                out = os.path.join(ex.tmp, "%s-%s" % (ext, mode.strip("-")))
                os.makedirs(out)
                pattern = os.path.join(out, "{n}.%s" % ext)
                got = ex.run(mode, "--quiet", "--out", pattern, *paths, exe=tuned)
                check(got[0] == 1 and got[2].count("\n") == 1, "%s %s: %r" % (ext, mode, got))
                written[mode] = {n: open(out + "/" + n, "rb").read() for n in os.listdir(out)}
            first = written[modes[0]]
            check(len(first) == len(order), "%s: %d files" % (ext, len(first)))
            for mode in modes[1:]:
                check(written[mode] == first, "%s: %s differs from one by one" % (ext, mode))
            print("ok   %s: %d files identical in %d ways" % (ext, len(first), len(modes)))
    finally:
        ex.close()


def bench(a):
    """A short run of the export benchmark: each step and batch runs, and their files agree."""
    ex = Exporter(a.export, a.workdir)
    try:
        status, out, err = ex.run("12", "4", "1", exe=os.path.abspath(a.bench), timeout=300)
        print(out, end="")
        check(status == 0 and out.rstrip().endswith("ok"), "status %d: %s" % (status, err))
    finally:
        ex.close()


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--export", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--bench", help="export_bench.exe, for the bench group")
    ap.add_argument("--tuned", help="export_tuned.exe, for the identity group")
    ap.add_argument("group", choices=["window", "render", "faults", "identity", "bench"])
    a = ap.parse_args()
    t0 = time.monotonic()
    globals()[a.group](a)
    print("export %s passed in %.1f s" % (a.group, time.monotonic() - t0))


if __name__ == "__main__":
    main()
