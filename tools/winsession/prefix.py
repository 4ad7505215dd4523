"""The Wine prefix the program runs in: its environment, and the private prefix made once with
the relay trace set up and Wine's own fonts linked in."""

import fcntl
import os
import shutil
import subprocess

from .trace import RELAY_INCLUDE
from .wait import E2EError

WINE_FONT_DIRS = ("/usr/share/wine/fonts", "/usr/local/share/wine/fonts")


def wine_env(prefix, debug="-all", display=None):
    """The environment for Wine in `prefix` (None: the user's own) on X display `display`."""
    env = dict(
        os.environ, WINEDLLOVERRIDES="mscoree,mshtml=", WINEDEBUG=debug
    )  # no Mono/Gecko dialogs
    if prefix:
        env.update(WINEPREFIX=prefix, WINEARCH="win64")
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    return env


def wine_fonts():
    """Wine's own fonts (Debian's fonts-wine: the caption buttons' symbols, the system and dialog
    fonts) as {name: path}. Wine looks for them only in the prefix's Fonts folder, so each prefix
    needs them linked in."""
    folder = next((d for d in WINE_FONT_DIRS if os.path.isdir(d)), None)
    return {n: os.path.join(folder, n) for n in sorted(os.listdir(folder))} if folder else {}


def ensure_prefix(prefix, timeout=180):
    """Makes the private Wine prefix (no display needed) with the relay trace set to
    RELAY_INCLUDE and Wine's fonts linked into its Fonts folder. A prefix made for another relay
    list or other fonts is made again. Safe against concurrent callers."""
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    stamp = os.path.join(prefix, ".quorlane-e2e-ready")
    fonts = wine_fonts()
    want = "\n".join([RELAY_INCLUDE] + list(fonts))
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(stamp):
            with open(stamp) as f:
                if f.read() == want:
                    return
            shutil.rmtree(prefix)  # made here before, for other needs
        env = wine_env(prefix)
        relay = r"HKCU\Software\Wine\Debug"
        steps = (
            ["wineboot", "-i"],
            [
                "wine",
                "reg",
                "add",
                relay,
                "/v",
                "RelayInclude",
                "/t",
                "REG_SZ",
                "/d",
                RELAY_INCLUDE,
                "/f",
            ],
            ["wineserver", "-w"],
        )
        try:
            for cmd in steps:
                r = subprocess.run(
                    cmd,
                    env=env,
                    stdout=subprocess.DEVNULL,
                    stderr=subprocess.PIPE,
                    timeout=timeout,
                    start_new_session=True,
                )
                if r.returncode != 0:
                    err = r.stderr.decode(errors="replace")[-2000:]
                    raise E2EError("%s failed: %s" % (" ".join(cmd), err))
        finally:
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=30)
        folder = os.path.join(prefix, "drive_c", "windows", "Fonts")
        os.makedirs(folder, exist_ok=True)
        for name, path in fonts.items():
            if not os.path.exists(os.path.join(folder, name)):
                os.symlink(path, os.path.join(folder, name))
        with open(stamp, "w") as f:
            f.write(want)
