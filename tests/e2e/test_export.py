#!/usr/bin/env python3
"""End-to-end cases of quorlane-export.exe under Wine with no display, against the viewer's own window
(tools/winsession) and the native renderer:
    test_export.py --exe quorlane.exe --export quorlane-export.exe --render quorlane_render --workdir DIR
                   [--bench export_bench.exe] GROUP"""
import argparse, os, shutil, signal, struct, subprocess, sys, tempfile, time, zlib  # noqa: E401

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import inputs  # noqa: E402
import winsession  # noqa: E402
from winsession import expected as _expected, prefix as _prefix  # noqa: E402


class w:  # noqa: N801  (what these tests take from the session package and the input builders)
    Image, compare, parse_ppm = winsession.Image, winsession.compare, winsession.parse_ppm
    E2EError, Session, check, wait_until = (
        winsession.E2EError,
        winsession.Session,
        winsession.check,
        winsession.wait_until,
    )
    ensure_prefix, wine_env = _prefix.ensure_prefix, _prefix.wine_env
    render_expected, text_rects = _expected.render_expected, _expected.text_rects
    grid_text, example_files, settings_text = (
        inputs.grid_text,
        inputs.example_files,
        inputs.settings_text,
    )


DENSE = w.grid_text(
    700,
    520,
    0.05,
    0.05,
    lambda i, j: 50 + 45 * ((i * 7 + j * 3) % 97) / 97.0 - (i - 350) ** 2 / 5000.0,
)
CASES = {name: w.example_files(name) for name in ("rainbow", "twocolour", "nonsquare")}
INI = CASES["rainbow"]["quorlane.ini"]
CASES["dense"] = {
    "quorlane.dat": DENSE,
    "quorlane.ini": w.settings_text(windowWidth=660, windowHeight=520, caption="Dense"),
}
USAGE_HINT = 'Try "quorlane-export --help".'


# ---------------------------------------------------------------- pictures


def decode_png(blob):
    """The pixels of an 8-bit RGB PNG without interlace, any row filters."""
    w.check(blob[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG")
    pos, idat, head = 8, b"", None
    while pos < len(blob):
        n, kind = struct.unpack(">I4s", blob[pos : pos + 8])
        body = blob[pos + 8 : pos + 8 + n]
        w.check(
            zlib.crc32(kind + body) == struct.unpack(">I", blob[pos + 8 + n : pos + 12 + n])[0],
            "bad CRC",
        )
        head = struct.unpack(">IIBBBBB", body) if kind == b"IHDR" else head
        idat += body if kind == b"IDAT" else b""
        pos += 12 + n
    width, height, depth, colour, _, _, interlace = head
    w.check(
        (depth, colour, interlace) == (8, 2, 0),
        "PNG of depth %d, colour type %d, interlace %d" % head[2:7:2],
    )
    raw, stride, out, prev = zlib.decompress(idat), 3 * width, bytearray(), bytearray(3 * width)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(
            raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)]
        )
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
    return w.Image(width, height, out)


def decode_bmp(blob):
    """The pixels of a 24-bit BMP (bottom-up or top-down rows)."""
    w.check(blob[:2] == b"BM", "not a BMP")
    (offset,) = struct.unpack("<I", blob[10:14])
    width, height, _, bits = struct.unpack("<iiHH", blob[18:30])
    w.check(bits == 24, "BMP of %d bits" % bits)
    stride, rows = (3 * width + 3) & ~3, []
    for r in range(abs(height)):
        bgr = blob[offset + r * stride : offset + r * stride + 3 * width]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return w.Image(width, abs(height), b"".join(rows[::-1] if height > 0 else rows))


def decode(path):
    blob = open(path, "rb").read()
    if path.endswith(".png"):
        return decode_png(blob)
    if path.endswith(".bmp"):
        return decode_bmp(blob)
    r = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, timeout=60)
    w.check(r.returncode == 0, "convert %s failed" % path)
    return w.parse_ppm(r.stdout)


def same_pixels(actual, expected, what, skip=()):
    n, first = w.compare(actual, expected, skip)
    w.check(n == 0, "%s: %d pixels differ, first (x, y, exported, expected): %s" % (what, n, first))


# ------------------------------------------------------- the headless exporter


class Exporter:
    """Runs quorlane-export.exe under Wine in the tests' prefix with DISPLAY unset."""

    def __init__(self, exe, workdir):
        self.exe, self.prefix = os.path.abspath(exe), os.path.join(
            os.path.abspath(workdir), "wineprefix"
        )
        self.tmp = tempfile.mkdtemp(prefix="qexport-", dir=workdir)
        w.ensure_prefix(self.prefix)
        self.env = w.wine_env(self.prefix)  # no display
        self.env.setdefault(
            "LANG", "C.UTF-8"
        )  # Wine reads arguments and file names in the locale's encoding
        w.check("DISPLAY" not in self.env, "a display in the exporter's environment")

    def folder(self, name, files):
        """A folder `name` under the scratch folder holding `files` ({name: bytes})."""
        d = os.path.join(self.tmp, name)
        os.makedirs(d, exist_ok=True)
        for n, content in files.items():
            with open(os.path.join(d, n), "wb") as f:
                f.write(content)
        return d

    def run(self, *args, cwd=None, timeout=120, exe=None):
        """(exit status, standard output, standard error), both UTF-8. The output goes through files: the Wine
        services that the first program of a session starts keep its descriptors open until they end.
        """
        with tempfile.TemporaryFile(dir=self.tmp) as out, tempfile.TemporaryFile(
            dir=self.tmp
        ) as err:
            proc = subprocess.Popen(
                ["wine", exe or self.exe] + list(args),
                cwd=cwd or self.tmp,
                env=self.env,
                stdin=subprocess.DEVNULL,
                stdout=out,
                stderr=err,
                start_new_session=True,
            )
            try:
                status = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                raise w.E2EError(
                    "%s %s did not end within %d s"
                    % (os.path.basename(exe or self.exe), " ".join(args), timeout)
                )
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
    """Each example and a grid denser than the picture: the viewer's client area on the screen, then the export at
    that client size with no display, equal pixel for pixel, texts included, as PNG, BMP and TIFF; without --size the
    export takes the client size the viewer had."""
    shots = {}
    with w.Session(a.exe, a.workdir, render_exe=a.render) as s:
        for name, files in CASES.items():
            app = s.start(files)
            win = app.wait_window("Quorlane")
            rect, texts = app.match_client(
                win, files, save_to=os.path.join(a.workdir, "failed-export-" + name)
            )
            x, y, cw, ch = rect
            w.check(
                x >= 0
                and y >= 0
                and x + cw <= s.display.screen[0]
                and y + ch <= s.display.screen[1]
                and len(texts) == 3,
                "%s: client %r not whole on the screen, or texts %r" % (name, rect, texts),
            )
            shots[name] = s.display.screenshot().crop(x, y, cw, ch)
            w.check(app.close(win) == 0, "%s: exit status %s" % (name, app.status))
    ex = Exporter(a.export, a.workdir)
    try:
        for name, shot in shots.items():
            d = ex.folder(name, CASES[name])
            size = "%dx%d" % (shot.width, shot.height)
            for ext in ("png", "bmp", "tif"):
                status, out, err = ex.run("--size", size, "--out", "{name}-%s.%s" % (size, ext), d)
                w.check(
                    status == 0 and err == "", "%s %s: status %d, %r" % (name, ext, status, err)
                )
                same_pixels(
                    decode(os.path.join(ex.tmp, "%s-%s.%s" % (name, size, ext))),
                    shot,
                    name + " " + ext,
                )
            status, out, err = ex.run("--out", "{name}-default.png", d)
            got = decode(os.path.join(ex.tmp, name + "-default.png"))
            w.check(
                status == 0 and (got.width, got.height) == (shot.width, shot.height),
                "%s: default size %dx%d, the window's client %s"
                % (name, got.width, got.height, size),
            )
            w.check(
                out == "%s -> %s-default.png (%d x %d)\n" % (d, name, got.width, got.height),
                "progress %r" % out,
            )
            print(
                "ok   %-10s client %s: PNG, BMP and TIFF equal the window; default size equal"
                % (name, size)
            )
    finally:
        ex.close()


RENDER_SIZES = [
    (640, 480),
    (1920, 1080),
    (1, 1),
    (2, 2),
    (59, 300),
    (300, 39),
    (300, 60),
    (300, 61),
    (119, 300),
]


def render(a):
    """The export equals the native renderer's picture outside the texts at several sizes, among them a client with
    no field box (room height 0), with no band (too narrow, too low) and with the band's edges crossed.
    """
    files = CASES["rainbow"]
    ex = Exporter(a.export, a.workdir)
    kinds = set()
    try:
        d = ex.folder("rainbow", files)
        for cw, ch in RENDER_SIZES:
            out = "render-%dx%d.png" % (cw, ch)
            status, _, err = ex.run("--size", "%dx%d" % (cw, ch), "--out", out, d)
            w.check(status == 0, "%dx%d: status %d, %s" % (cw, ch, status, err))
            expected, texts = w.render_expected(a.render, files, cw, ch, ex.tmp)
            same_pixels(
                decode(os.path.join(ex.tmp, out)), expected, "%dx%d" % (cw, ch), w.text_rects(texts)
            )
            r = subprocess.run(
                [a.render, str(cw), str(ch), os.path.join(ex.tmp, "layout.ppm"), "--print-layout"],
                cwd=d,
                capture_output=True,
                text=True,
                timeout=60,
            )
            kinds |= {line for line in r.stdout.splitlines() if line in ("field none", "band none")}
            print("ok   %dx%d, %d texts" % (cw, ch, len(texts)))
        w.check(
            kinds == {"field none", "band none"}, "the sizes missed a degenerate layout: %r" % kinds
        )
    finally:
        ex.close()


def faults(a):
    """Bad inputs, outputs and arguments: each with its report, its exit status and the files it leaves."""
    ex = Exporter(a.export, a.workdir)
    good = [ex.folder(n, CASES[n]) for n in ("rainbow", "twocolour")]
    tiny = ex.folder(
        "tiny",
        {
            "quorlane.dat": CASES["rainbow"]["quorlane.dat"],
            "quorlane.ini": w.settings_text(windowWidth=0, windowHeight=0),
        },
    )
    huge = ex.folder(
        "huge",
        {
            "quorlane.dat": CASES["rainbow"]["quorlane.dat"],
            "quorlane.ini": w.settings_text(windowWidth=100000, windowHeight=100000),
        },
    )
    uni = ex.folder("donn\u00e9es \u03a9", CASES["twocolour"])
    steps = ex.folder(
        "steps", {"quorlane.ini": INI, "step_0007.dat": CASES["rainbow"]["quorlane.dat"]}
    )
    junk = b"not a picture, and kept as it is"
    usage = lambda text: (2, "", "quorlane-export: %s\n%s\n" % (text, USAGE_HINT))  # noqa: E731

    def progress(total, *lines):
        """Progress lines in any order (pictures are written as their encoding ends), counted 1, 2, ..."""

        def check(out):
            got = out.splitlines()
            counts = [line.split("] ", 1)[0] for line in got]
            return (
                sorted(line.split("] ", 1)[-1] for line in got) == sorted(lines)
                and counts == sorted(counts)
                and all(c.endswith("/%d" % total) for c in counts)
            )

        return check

    def outputs(folder):
        return sorted(n for n in os.listdir(folder) if not os.path.isdir(os.path.join(folder, n)))

    def fresh(name):
        d = os.path.join(ex.tmp, name)
        os.makedirs(d)
        return d

    # name, arguments, the output folder (a fresh one by that name), files before, (status, stdout, stderr or a
    # callable that checks it), the files in the output folder afterwards
    rows = [
        (
            "missing_among_good",
            ["--out", "{n}-{name}.png", good[0], "nothere", good[1]],
            None,
            (
                1,
                progress(
                    3,
                    "%s -> 0001-rainbow.png (632 x 434)" % good[0],
                    "%s -> 0003-twocolour.png (552 x 474)" % good[1],
                ),
                'quorlane-export: nothere: Cannot open "nothere"\n',
            ),
            ["0001-rainbow.png", "0003-twocolour.png"],
        ),
        (
            "no_output_folder",
            ["--out", "nodir/x.png", good[0]],
            None,
            (1, "", 'quorlane-export: %s: Cannot write "nodir/x.png": no such folder\n' % good[0]),
            [],
        ),
        (
            "exists",
            ["--out", "rainbow.png", good[0]],
            {"rainbow.png": junk},
            (
                1,
                "",
                'quorlane-export: %s: "rainbow.png" exists (--overwrite replaces it)\n' % good[0],
            ),
            ["rainbow.png"],
        ),
        (
            "overwrite",
            ["--overwrite", "--quiet", good[0]],
            {"rainbow.png": junk},
            (0, "", ""),
            ["rainbow.png"],
        ),
        (
            "one_output_two_inputs",
            ["--out", "same.png", good[0], good[1]],
            None,
            usage('"%s" and "%s" would both write "same.png"' % tuple(good)),
            [],
        ),
        (
            "one_input_twice",
            [good[0], "--quiet", good[0]],
            None,
            usage('"%s" and "%s" would both write "rainbow.png"' % (good[0], good[0])),
            [],
        ),
        (
            "size_0x0",
            ["--size", "0x0", good[0]],
            None,
            usage('--size "0x0": the width and the height must be at least 1'),
            [],
        ),
        (
            "size_100000",
            ["--size", "100000x100000", good[0]],
            None,
            usage(
                '--size "100000x100000": larger than the largest picture, 268435456 pixels (16384x16384)'
            ),
            [],
        ),
        (
            "size_word",
            ["--size", "big", good[0]],
            None,
            usage('--size "big" is not WIDTHxHEIGHT'),
            [],
        ),
        ("unknown_option", ["--colour", good[0]], None, usage('unknown option "--colour"'), []),
        (
            "unknown_field",
            ["--out", "{step}.png", good[0]],
            None,
            usage(
                '--out "{step}.png": unknown field "{step}" (use {name}, {n} or {n:K}; {{ for a brace)'
            ),
            [],
        ),
        (
            "unknown_format",
            ["--out", "{name}.jpg", good[0]],
            None,
            usage('"rainbow.jpg": unknown picture format (name it .png, .bmp, .tif or .tiff)'),
            [],
        ),
        ("no_input", ["--quiet"], None, usage("no input: name a folder or a grid file"), []),
        (
            "help",
            ["--help", "--bogus"],
            None,
            (0, lambda out: out.startswith("Usage: quorlane-export"), ""),
            [],
        ),
        (
            "bad_grid",
            ["--quiet", "bad"],
            {"bad/quorlane.dat": b"0 6 1.0 1.0\n", "bad/quorlane.ini": INI},
            (1, "", 'quorlane-export: bad: Invalid grid size in "bad\\quorlane.dat"\n'),
            [],
        ),
        (
            "no_client_area",
            [tiny],
            None,
            (
                1,
                "",
                "quorlane-export: %s: The settings' window size leaves no client area (0 x 0); --size gives one\n"
                % tiny,
            ),
            [],
        ),
        (
            "no_client_area_sized",
            ["--size", "40x30", tiny],
            None,
            (0, "%s -> tiny.png (40 x 30)\n" % tiny, ""),
            ["tiny.png"],
        ),
        (
            "settings_too_large",
            [huge],
            None,
            (
                1,
                "",
                "quorlane-export: %s: A 99992 x 99954 picture is larger than the largest, 268435456 pixels\n"
                % huge,
            ),
            [],
        ),
        (
            "unicode",
            ["--out", "{name}.bmp", uni],
            None,
            (0, "%s -> donn\u00e9es \u03a9.bmp (552 x 474)\n" % uni, ""),
            ["donn\u00e9es \u03a9.bmp"],
        ),
        (
            "grid_file",
            [
                "--out",
                "{n:6}_{name}.tiff",
                "--size",
                "320x200",
                os.path.join(steps, "step_0007.dat"),
            ],
            None,
            (
                0,
                "%s -> 000001_step_0007.tiff (320 x 200)\n" % os.path.join(steps, "step_0007.dat"),
                "",
            ),
            ["000001_step_0007.tiff"],
        ),
    ]
    failed = []
    try:
        for name, args, before, (status, want_out, want_err), after in rows:
            t0 = time.monotonic()
            try:
                d = fresh(name)
                for n, content in (before or {}).items():
                    os.makedirs(os.path.dirname(os.path.join(d, n)), exist_ok=True)
                    with open(os.path.join(d, n), "wb") as f:
                        f.write(content)
                got = ex.run(*args, cwd=d)
                ok_out = want_out(got[1]) if callable(want_out) else got[1] == want_out
                w.check(
                    got[0] == status and ok_out and got[2] == want_err,
                    "status %s, stdout %r, stderr %r" % got,
                )
                w.check(outputs(d) == sorted(after), "files %r, wanted %r" % (outputs(d), after))
                for n in after:  # every picture decodes; a file left alone is byte-identical
                    if before and n in before and status != 0:
                        w.check(
                            open(os.path.join(d, n), "rb").read() == before[n], "%s changed" % n
                        )
                    else:
                        decode(os.path.join(d, n))
                print(
                    "ok   %-22s status %d  %.1f s" % (name, status, time.monotonic() - t0),
                    flush=True,
                )
            except w.E2EError as err:
                failed.append(name)
                print("FAIL %-22s %s" % (name, err), flush=True)
        interrupted(ex, good[0])
        print(
            "ok   %-22s killed while encoding: only its temporary file" % "interrupted", flush=True
        )
        w.check(not failed, "failed: " + ", ".join(failed))
    finally:
        ex.close()


def interrupted(ex, folder):
    """A run killed while it encodes a large picture leaves no file under the final name."""
    d = os.path.join(ex.tmp, "interrupted")
    os.makedirs(d)
    proc = subprocess.Popen(
        ["wine", ex.exe, "--size", "12000x12000", "--out", "big.png", folder],
        cwd=d,
        env=ex.env,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
        start_new_session=True,
    )
    try:
        temp = w.wait_until(
            lambda: [n for n in os.listdir(d) if n.endswith(".tmp")] or proc.poll() is not None,
            60,
            "the temporary file",
        )
        w.check(
            proc.poll() is None,
            "the export ended (status %s) before it could be stopped" % proc.returncode,
        )
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    w.check(
        os.listdir(d) == temp and temp[0].startswith("big.png.~"),
        "files after the kill: %r" % os.listdir(d),
    )


def bench(a):
    """A short run of the export benchmark: the pipelined batches write the same files as one by one."""
    ex = Exporter(a.export, a.workdir)
    try:
        status, out, err = ex.run("12", "4", "1", exe=os.path.abspath(a.bench), timeout=300)
        print(out, end="")
        w.check(
            status == 0 and out.count("files identical") == 2 and out.rstrip().endswith("ok"),
            "status %d: %s" % (status, err),
        )
    finally:
        ex.close()


def main():
    ap = argparse.ArgumentParser()
    for opt in ("--exe", "--export", "--render", "--workdir"):
        ap.add_argument(opt, required=True)
    ap.add_argument("--bench", help="export_bench.exe, for the bench group")
    ap.add_argument("group", choices=["window", "render", "faults", "bench"])
    a = ap.parse_args()
    t0 = time.monotonic()
    globals()[a.group](a)
    print("export %s passed in %.1f s" % (a.group, time.monotonic() - t0))


if __name__ == "__main__":
    main()
