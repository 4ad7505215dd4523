"""The program's two input files as the end-to-end tests write them: a settings file from named
settings, a grid file from a function, and the bundled examples."""

import os

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")


def settings_text(
    scaleMin=0.0,
    scaleMax=100.0,
    minRed=0,
    maxRed=255,
    minGreen=0,
    maxGreen=0,
    minBlue=255,
    maxBlue=0,
    windowWidth=640,
    windowHeight=480,
    bandHeight=20,
    bandSideGap=30,
    bandStrip=20,
    intervals=10,
    caption="Temperature",
    clipping=1,
    palette=1,
):
    """A settings file: the seventeen settings, one a line, in this order."""
    lines = [scaleMin, scaleMax, minRed, maxRed, minGreen, maxGreen, minBlue, maxBlue]
    lines += [windowWidth, windowHeight, bandHeight, bandSideGap, bandStrip, intervals, caption]
    lines += [clipping, palette]
    return ("\n".join(str(v) for v in lines) + "\n").encode()


def grid_text(columns, rows, cellWidth, cellHeight, value):
    """A grid file of columns x rows cells; value(i, j) gives the sample of column i, row j
    (from 1)."""
    header = ["%d" % columns, "%d" % rows, repr(float(cellWidth)), repr(float(cellHeight))]
    values = ["%g" % value(i, j) for j in range(1, rows + 1) for i in range(1, columns + 1)]
    return ("\n".join(header + values) + "\n").encode()


def example_files(name):
    """The two files of examples/NAME, as {file name: bytes}."""
    files = {}
    for n in ("quorlane.dat", "quorlane.ini"):
        with open(os.path.join(EXAMPLES, name, n), "rb") as f:
            files[n] = f.read()
    return files
