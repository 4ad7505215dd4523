#!/usr/bin/env python3
"""A stand-in for a running simulation, to watch with `quorlane --watch`: writes a new step of a
field into FOLDER every half second (quorlane.dat, renamed into place as careful writers save;
quorlane.ini from examples/rainbow once), until Ctrl+C or STEPS steps. With --series each step
is a file of its own, step_1.dat, step_2.dat, ... (no zero padding), for `quorlane --series`.
    python3 scripts/watch_demo.py [--series] FOLDER [STEPS]"""
import math
import os
import shutil
import sys
import time

EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "rainbow")


def step_text(t, n=60):
    """Hills that drift across an n x n grid, on the example's scale."""
    lines = ["%d %d 1.0 1.0" % (n, n)]
    for j in range(n):
        for i in range(n):
            x, y = i / n, j / n
            lines.append("%.3f" % (50 + 45 * math.sin(6 * x + t) * math.cos(5 * y - 0.7 * t)))
    return ("\n".join(lines) + "\n").encode()


def main():
    args = sys.argv[1:]
    series = args[:1] == ["--series"]
    args = args[1:] if series else args
    if len(args) not in (1, 2):
        sys.exit(__doc__)
    folder, steps = args[0], int(args[1]) if len(args) == 2 else None
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(EXAMPLE, "quorlane.ini"), os.path.join(folder, "quorlane.ini"))
    k = 0
    while steps is None or k < steps:
        name = "step_%d.dat" % (k + 1) if series else "quorlane.dat"
        part = os.path.join(folder, name + ".part")
        with open(part, "wb") as f:
            f.write(step_text(0.3 * k))
        os.replace(part, os.path.join(folder, name))
        print("step %d" % k, flush=True)
        k += 1
        time.sleep(0.5)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
