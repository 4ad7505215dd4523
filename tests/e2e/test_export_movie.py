#!/usr/bin/env python3
"""End-to-end cases of quorlane-export.exe's movies under Wine with no display, through the real
Windows ffmpeg (build/ffmpeg-win, fetched by scripts/deps.sh) and read back with Debian's ffprobe
and ffmpeg: steps in natural order, an odd picture size, a failing step, ffmpeg missing or failing,
Ctrl+C, and pictures on standard output into ffmpeg and ImageMagick:
    test_export_movie.py --exe quorlane.exe --export quorlane-export.exe --render quorlane_render
        --workdir DIR --ffmpeg ffmpeg.exe --failing failing_ffmpeg.exe movie"""
import json
import os
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree

from exporting import INI, USAGE_HINT, Exporter, decode, grid_text, run_group  # noqa: E402
from exporting import same_pixels  # noqa: E402
from winsession import check, parse_ppm  # noqa: E402
from winsession.wait import stop_group  # noqa: E402

# Steps whose names lack zero padding: a shell's order (1, 10, 11, 2, 3) is not theirs.
STEPS = (1, 2, 3, 10, 11)
LEAST_PSNR = 40.0


def step_grid(k):
    """A sharp field that moves from one step to the next."""
    return grid_text(24, 16, 1, 1, lambda i, j: ((i * 3 + j * 5 + 7 * k) % 11) / 10.0)


def step_folder(ex, name, steps=STEPS, bad=()):
    files = {"quorlane.ini": INI}
    files.update({"step_%d.dat" % k: b"1 1\n" if k in bad else step_grid(k) for k in steps})
    return ex.folder(name, files)


def probe(path):
    """(codec, width, height, pixel format, frames) of a movie's video stream."""
    cmd = ["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries"]
    cmd += ["stream=codec_name,width,height,pix_fmt,nb_read_frames", "-of", "json", path]
    r = subprocess.run(cmd, capture_output=True, timeout=60)
    check(r.returncode == 0, "ffprobe %s: %s" % (path, r.stderr.decode()[-300:]))
    s = json.loads(r.stdout)["streams"][0]
    return s["codec_name"], s["width"], s["height"], s["pix_fmt"], int(s["nb_read_frames"])


def frame_psnr(movie, pictures, width, height):
    """Each frame's PSNR (dB, over Y, U and V) against the picture of its step, the picture padded
    to the frame's even width x height with the window's grey and taken into yuv420p, as the
    movie's frames were."""
    stats = movie + ".psnr"
    pad = "pad=%d:%d:0:0:color=0xC0C0C0" % (width, height)
    graph = "[1]%s,format=yuv420p[r];[0][r]psnr=stats_file=%s" % (pad, stats.replace(":", "\\:"))
    cmd = ["ffmpeg", "-v", "error", "-i", movie, "-start_number", "1", "-i", pictures]
    r = subprocess.run(cmd + ["-lavfi", graph, "-f", "null", "-"], capture_output=True, timeout=60)
    check(r.returncode == 0, "psnr of %s: %s" % (movie, r.stderr.decode()[-300:]))
    values = re.findall(r"psnr_avg:(\S+)", open(stats).read())
    return [float("inf") if v == "inf" else float(v) for v in values]


def index_first(path):
    """Whether an MP4 file's index (moov) comes before its media data (mdat)."""
    blob = open(path, "rb").read()
    return 0 <= blob.find(b"moov") < blob.find(b"mdat")


def left_in(folder, name):
    return sorted(n for n in os.listdir(folder) if n == name or n.endswith(".tmp"))


def ordered(ex, a):
    """Unpadded step names in natural order, as a pattern and as a folder of steps; every frame the
    exporter's picture of its step; the same order for image outputs, numbered by {n}."""
    run = step_folder(ex, "run")
    pattern = os.path.join(run, "step_*.dat")
    status, out, err = ex.run("--ffmpeg", a.ffmpeg, "--out", "run.mp4", pattern, cwd=ex.tmp)
    lines = out.splitlines()
    names = [os.path.join(run, "step_%d.dat" % k) for k in STEPS]
    want = ["[%d/5] %s -> run.mp4 (632 x 434)" % (n + 1, p) for n, p in enumerate(names)]
    check(status == 0 and err == "" and lines[:-1] == want, "status %d %r %r" % (status, out, err))
    check(re.fullmatch(r"5 frames in \d+\.\d s \(\d+\.\d frames a second\)", lines[-1]), lines[-1])
    movie = os.path.join(ex.tmp, "run.mp4")
    check(probe(movie) == ("h264", 632, 434, "yuv420p", 5), "probe %r" % (probe(movie),))
    check(index_first(movie), "the MP4 index is not at the front")
    os.mkdir(os.path.join(ex.tmp, "png"))
    status, out, err = ex.run("--out", "png/{n}_{name}.png", run, cwd=ex.tmp)
    want = [
        "%s -> png/%04d_step_%d.png (632 x 434)" % (p, n + 1, k)
        for n, (k, p) in enumerate(zip(STEPS, names))
    ]
    got = sorted(line.split("] ", 1)[-1] for line in out.splitlines())
    want.sort()
    check(status == 0 and got == want, "images: status %d %r %r" % (status, out, err))
    for n, k in enumerate(STEPS):
        os.rename(
            os.path.join(ex.tmp, "png", "%04d_step_%d.png" % (n + 1, k)),
            os.path.join(ex.tmp, "png", "%d.png" % (n + 1)),
        )
    psnr = frame_psnr(movie, os.path.join(ex.tmp, "png", "%d.png"), 632, 434)
    check(len(psnr) == 5 and min(psnr) >= LEAST_PSNR, "PSNR %r" % psnr)
    many = ex.folder(
        "many",
        {
            "%s/%s" % (n, f): b
            for n in ("a", "b10", "b9")
            for f, b in (("quorlane.ini", INI), ("quorlane.dat", step_grid(0)))
        },
    )
    status, out, err = ex.run("--out", "{n}_{name}.png", os.path.join(many, "*"), cwd=many)
    got = sorted(n for n in os.listdir(many) if n.endswith(".png"))
    check(status == 0 and got == ["0001_a.png", "0002_b9.png", "0003_b10.png"], "folders: %r" % got)
    print("ok   %-22s 5 steps in natural order, PSNR at least %.1f dB" % ("ordered", min(psnr)))


def odd_size(ex, a):
    """An odd width and height: one grey column and row more, said once; VP9 in WebM."""
    run = step_folder(ex, "odd", steps=(1, 2, 3))
    args = ["--size", "321x201", "--ffmpeg", a.ffmpeg, "--out", "odd.webm", run]
    status, out, err = ex.run(*args, cwd=ex.tmp)
    note = "quorlane-export: a 321 x 201 picture is padded to 322 x 202 with the window's grey"
    check(
        status == 0 and err == note + " (a movie's sides are even)\n",
        "status %d %r" % (status, err),
    )
    movie = os.path.join(ex.tmp, "odd.webm")
    check(probe(movie) == ("vp9", 322, 202, "yuv420p", 3), "probe %r" % (probe(movie),))
    d = os.path.join(ex.tmp, "oddpng")
    os.mkdir(d)
    ex.run("--size", "321x201", "--out", os.path.join(d, "{n:1}.png"), run, cwd=ex.tmp)
    psnr = frame_psnr(movie, os.path.join(d, "%d.png"), 322, 202)
    check(len(psnr) == 3 and min(psnr) >= LEAST_PSNR, "PSNR %r" % psnr)
    crop = ["-vf", "format=rgb24,crop=1:202:321:0", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"]
    first = ["ffmpeg", "-v", "error", "-i", movie, "-frames:v", "1"]
    edge = subprocess.run(first + crop, capture_output=True, timeout=60).stdout
    check(len(edge) == 3 * 202 and all(abs(v - 0xC0) <= 3 for v in edge), "the padding is not grey")
    print("ok   %-22s 321 x 201 padded to 322 x 202 in grey, said once" % "odd size")


def faults(ex, a):
    """A step that cannot be loaded is left out (status 1, the movie still written); ffmpeg missing
    is a usage error before any input is read; ffmpeg that fails, an existing movie and a movie that
    is an input leave nothing under the movie's name."""
    run = step_folder(ex, "bad", bad=(3,))
    status, out, err = ex.run("--ffmpeg", a.ffmpeg, "--out", "bad.mp4", run, cwd=ex.tmp)
    bad = os.path.join(run, "step_3.dat")
    check(status == 1 and err.startswith("quorlane-export: %s: " % bad), "bad step: %r" % err)
    check(probe(os.path.join(ex.tmp, "bad.mp4"))[4] == 4, "not 4 frames without the bad step")
    missing = 'writing "m.mp4" needs ffmpeg: put ffmpeg.exe beside quorlane-export.exe or on'
    missing += " the PATH, or name it with --ffmpeg"
    r = ex.run("--out", "m.mp4", "no such folder", cwd=ex.tmp)
    check(r == (2, "", "quorlane-export: %s\n%s\n" % (missing, USAGE_HINT)), "missing: %r" % (r,))
    r = ex.run("--ffmpeg", "C:\\none\\ffmpeg.exe", "--out", "m.mp4", run, cwd=ex.tmp)
    check(r[0] == 2 and missing in r[2], "--ffmpeg naming nothing: %r" % (r,))
    good = step_folder(ex, "good")
    status, out, err = ex.run("--ffmpeg", a.failing, "--out", "f.mp4", good, cwd=ex.tmp)
    why = 'quorlane-export: Cannot write "f.mp4": ffmpeg ended with status 3: Conversion failed!\n'
    check(status == 1 and err == why, "failing ffmpeg: status %d %r" % (status, err))
    check(left_in(ex.tmp, "f.mp4") == [], "left behind: %r" % left_in(ex.tmp, "f.mp4"))
    kept = open(os.path.join(ex.tmp, "bad.mp4"), "rb").read()
    r = ex.run("--ffmpeg", a.ffmpeg, "--out", "bad.mp4", good, cwd=ex.tmp)
    check(r == (1, "", 'quorlane-export: "bad.mp4" exists (--overwrite replaces it)\n'), repr(r))
    check(open(os.path.join(ex.tmp, "bad.mp4"), "rb").read() == kept, "an existing movie changed")
    r = ex.run("--ffmpeg", a.ffmpeg, "--overwrite", "--out", "bad.mp4", good, cwd=ex.tmp)
    check(r[0] == 0 and probe(os.path.join(ex.tmp, "bad.mp4"))[4] == 5, "--overwrite: %r" % (r,))
    clip = os.path.join(good, "clip.mp4")
    open(clip, "wb").write(step_grid(0))
    r = ex.run("--ffmpeg", a.ffmpeg, "--overwrite", "--out", clip, clip, cwd=ex.tmp)
    check(r[0] == 2 and "would overwrite the input" in r[2], "a movie that is an input: %r" % (r,))
    print("ok   %-22s bad step left out, ffmpeg missing or failing, existing, an input" % "faults")


def stopped(ex, a):
    """Ctrl+C (a SIGINT under Wine) stops ffmpeg: status 130, no movie and no temporary file."""
    d = ex.folder("stop", {"quorlane.ini": INI, "step.dat": step_grid(1)})
    listing = os.path.join(d, "list.txt")
    open(listing, "w").write("step.dat\n" * 400)
    args = ["--size", "1280x720", "--ffmpeg", a.ffmpeg, "--out", "s.mp4", "--inputs", "list.txt"]
    status, _, report = ex.interrupted(args, d, "the movie")
    check(
        status == 130 and re.fullmatch(r"quorlane-export: stopped after \d+ of 400\n", report),
        "status %d %r" % (status, report),
    )
    check(left_in(d, "s.mp4") == [], "left behind: %r" % left_in(d, "s.mp4"))
    print("ok   %-22s Ctrl+C: status 130, nothing left" % "stopped")


def streamed(ex, a):
    """--out -: the pictures one after another into Debian's ffmpeg (image2pipe), the progress lines
    on standard error; one picture into ImageMagick, the exporter's own pixels, PNG and BMP."""
    run = step_folder(ex, "stream")
    wine = ["wine", ex.exe, "--out", "-", run]
    movie = os.path.join(ex.tmp, "stream.mp4")
    ffmpeg = ["ffmpeg", "-v", "error", "-f", "image2pipe", "-c:v", "png", "-framerate", "25"]
    ffmpeg += ["-i", "-", "-pix_fmt", "yuv420p", "-y", movie]
    with tempfile.TemporaryFile(dir=ex.tmp) as err:
        exporter = subprocess.Popen(
            wine,
            stdout=subprocess.PIPE,
            stderr=err,
            env=ex.env,
            cwd=ex.tmp,
            start_new_session=True,
            stdin=subprocess.DEVNULL,
        )
        try:
            encoded = subprocess.run(
                ffmpeg, stdin=exporter.stdout, capture_output=True, timeout=120
            )
            exporter.stdout.close()
            status = exporter.wait(timeout=60)
        finally:
            stop_group(exporter)
        err.seek(0)
        progress = err.read().decode().splitlines()
    check(status == 0 and encoded.returncode == 0, "stream: %d %r" % (status, encoded.stderr))
    check(len(progress) == 5 and progress[4].startswith("[5/5] "), "progress %r" % progress)
    check(probe(movie)[1:] == (632, 434, "yuv420p", 5), "probe %r" % (probe(movie),))
    one = os.path.join(run, "step_2.dat")
    for fmt in ("png", "bmp"):
        status, _, _ = ex.run("--out", "one." + fmt, one, cwd=ex.tmp)
        expected = decode(os.path.join(ex.tmp, "one." + fmt))
        with tempfile.TemporaryFile(dir=ex.tmp) as out:
            proc = ex.spawn(["--quiet", "--out", "-", "--format", fmt, one], ex.tmp, out)
            try:
                check(proc.wait(timeout=60) == 0, "--out - --format %s failed" % fmt)
            finally:
                stop_group(proc)
            out.seek(0)
            magick = subprocess.run(
                ["convert", fmt + ":-", "-depth", "8", "ppm:-"],
                stdin=out,
                capture_output=True,
                timeout=60,
            )
        check(magick.returncode == 0, "ImageMagick: %r" % magick.stderr)
        same_pixels(parse_ppm(magick.stdout), expected, "%s through ImageMagick" % fmt)
    print("ok   %-22s into ffmpeg (5 frames) and ImageMagick (PNG, BMP)" % "streamed")


def movie(a):
    for tool in ("ffmpeg", "ffprobe"):
        check(
            subprocess.run(["which", tool], capture_output=True).returncode == 0,
            "%s is missing: bash scripts/deps.sh installs it" % tool,
        )
    check(os.path.isfile(a.ffmpeg), "%s is missing: bash scripts/deps.sh fetches it" % a.ffmpeg)
    ex = Exporter(a.export, a.workdir)
    try:
        for case in (ordered, odd_size, faults, stopped, streamed):
            case(ex, a)
    finally:
        ex.close()


if __name__ == "__main__":
    run_group({"movie": movie}, ("--ffmpeg", "--failing"))
