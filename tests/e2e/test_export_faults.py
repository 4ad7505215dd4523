#!/usr/bin/env python3
"""End-to-end cases of quorlane-export.exe under Wine with no display: bad inputs, outputs and
arguments with their reports, exit statuses and the files they leave, and runs that are stopped:
    test_export_faults.py --exe quorlane.exe --export quorlane-export.exe
        --render quorlane_render --workdir DIR faults"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

from exporting import CASES, INI, RAINBOW, USAGE_HINT, Exporter, decode  # noqa: E402
from exporting import folder_files, run_group  # noqa: E402
from winsession import E2EError, check, wait_until  # noqa: E402
from winsession.wait import stop_group  # noqa: E402


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
    status, progress, report = ex.interrupted(
        ["--out", "{n}.png", *[folder] * count], d, "the batch"
    )
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


if __name__ == "__main__":
    run_group({"faults": faults})
