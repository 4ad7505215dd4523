"""The program's two input files as the end-to-end tests write them: a settings file from named
settings, a grid file from a function, and the bundled examples."""

import os

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


# The seventeen settings in the file's order, and their values when a test does not name them.
SETTINGS = (
    "scaleMin scaleMax minRed maxRed minGreen maxGreen minBlue maxBlue windowWidth windowHeight"
    " bandHeight bandSideGap bandStrip intervals caption clipping palette"
).split()
DEFAULTS = [0.0, 100.0, 0, 255, 0, 0, 255, 0, 640, 480, 20, 30, 20, 10, "Temperature", 1, 1]


def settings_text(**settings):
    """A settings file: the seventeen settings, one a line, in this order."""
    unknown = set(settings) - set(SETTINGS)
    if unknown:
        raise TypeError("settings_text: unknown settings %s" % sorted(unknown))
    values = {**dict(zip(SETTINGS, DEFAULTS)), **settings}
    return ("\n".join(str(values[k]) for k in SETTINGS) + "\n").encode()


def grid_text(columns, rows, cellWidth, cellHeight, value):
    """A grid file of columns x rows cells; value(i, j) gives the sample of column i, row j
    (from 1)."""
    header = ["%d" % columns, "%d" % rows, repr(float(cellWidth)), repr(float(cellHeight))]
    values = ["%g" % value(i, j) for j in range(1, rows + 1) for i in range(1, columns + 1)]
    return ("\n".join(header + values) + "\n").encode()


def write_files(folder, files):
    """Writes `files` ({relative path: bytes}) under `folder`, making the folders; the folder."""
    os.makedirs(folder, exist_ok=True)
    for n, content in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, n)), exist_ok=True)
        with open(os.path.join(folder, n), "wb") as f:
            f.write(content)
    return folder


def example_files(name):
    """The two files of examples/NAME, as {file name: bytes}."""
    files = {}
    for n in ("quorlane.dat", "quorlane.ini"):
        with open(os.path.join(EXAMPLES, name, n), "rb") as f:
            files[n] = f.read()
    return files
