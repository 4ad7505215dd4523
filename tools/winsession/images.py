"""24-bit RGB images as the X tools give them (binary PPM), and their pixel comparison."""

import re

from .wait import E2EError


class Image:
    """24-bit RGB pixels, top row first; pixel(x, y) gives 0xRRGGBB."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, bytes(data)

    def pixel(self, x, y):
        o = 3 * (y * self.width + x)
        return int.from_bytes(self.data[o : o + 3], "big")

    def crop(self, x, y, w, h):
        rows = (
            self.data[3 * (r * self.width + x) : 3 * (r * self.width + x + w)]
            for r in range(y, y + h)
        )
        return Image(w, h, b"".join(rows))

    def ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + self.data

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(self.ppm())


def parse_ppm(blob):
    """A binary P6 PPM with maxval 255 (no comments)."""
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", blob)
    if not m:
        raise E2EError("not a P6 PPM with maxval 255")
    w, h = int(m.group(1)), int(m.group(2))
    if len(blob) < m.end() + 3 * w * h:
        raise E2EError("short PPM")
    return Image(w, h, blob[m.end() : m.end() + 3 * w * h])


def compare(actual, expected, skip_rects=(), limit=10):
    """Pixels that differ outside skip_rects ((x, y, w, h) each) between two images of one size:
    (count, the first few as (x, y, actual, expected))."""
    if (actual.width, actual.height) != (expected.width, expected.height):
        raise E2EError(
            "size %dx%d != %dx%d" % (actual.width, actual.height, expected.width, expected.height)
        )
    w, a, e = actual.width, actual.data, expected.data
    skip = [(x, y, x + rw, y + rh) for x, y, rw, rh in skip_rects]
    count, first = 0, []
    for y in range(actual.height):
        if a[3 * w * y : 3 * w * (y + 1)] == e[3 * w * y : 3 * w * (y + 1)]:
            continue
        for x in range(w):
            o = 3 * (w * y + x)
            if a[o : o + 3] == e[o : o + 3]:
                continue
            if any(x0 <= x < x1 and y0 <= y < y1 for x0, y0, x1, y1 in skip):
                continue
            count += 1
            if len(first) < limit:
                first.append((x, y, "%06X" % actual.pixel(x, y), "%06X" % expected.pixel(x, y)))
    return count, first
