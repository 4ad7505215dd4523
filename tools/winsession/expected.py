"""The core's own picture of a grid and settings file pair, drawn by quorlane_render: what the
program's client area must show, outside the texts it draws with the system font."""

import os
import shutil
import subprocess
import tempfile

from .images import parse_ppm
from .wait import E2EError


def render_expected(render_exe, files, width, height, tmp_root=None):
    """The core's picture of `files` ({name: bytes}) at a client of width x height (no texts),
    and its texts as (x, y, count, string)."""
    d = tempfile.mkdtemp(prefix="qrender-", dir=tmp_root)
    try:
        for name, content in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(content)
        cmd = [render_exe, str(width), str(height), "out.ppm"]
        r = subprocess.run(cmd, cwd=d, capture_output=True, timeout=60)
        if r.returncode != 0:
            err = r.stderr.decode(errors="replace")
            raise E2EError("quorlane_render failed (%d): %s" % (r.returncode, err))
        lines = (line.split(" ", 4) for line in r.stdout.decode(errors="replace").splitlines())
        texts = [
            (int(p[1]), int(p[2]), int(p[3]), p[4] if len(p) > 4 else "")
            for p in lines
            if p[0] == "text" and len(p) >= 4
        ]
        with open(os.path.join(d, "out.ppm"), "rb") as f:
            return parse_ppm(f.read()), texts
    finally:
        shutil.rmtree(d, ignore_errors=True)


def text_rects(texts, char_w=16, line_h=26):
    """Generous rectangles around texts drawn at (x, y) with the system font."""
    return [(x - 2, y - 2, count * char_w + 6, line_h) for x, y, count, _ in texts if count > 0]
