"""Reads Wine's relay trace of the program's USER32 calls: the arguments of each call, the main
window's handle, the client sizes it was told and the system metrics it asked for.

The prefix sets Wine to trace only the calls in RELAY_INCLUDE. Each traced call is a "Call" line
and, once it returns, a "Ret" line of the same thread with the same return address; other threads'
lines may come between."""

import re

from .wait import E2EError, wait_until

RELAY_INCLUDE = ";".join(
    "user32." + name
    for name in (
        "MessageBoxA",
        "MessageBoxW",
        "CreateWindowExA",
        "MoveWindow",
        "GetSystemMetrics",
        "DefWindowProcA",
        "DefWindowProcW",
    )
)
WM_SIZE = 5


def _wide(text):
    """A wide string as the trace writes it: characters beyond ASCII as a backslash and four hex
    digits, the rest escaped as in C."""
    return re.sub(
        r"\\([0-9a-fA-F]{4}|.)",
        lambda m: chr(int(m.group(1), 16))
        if len(m.group(1)) == 4
        else {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)),
        text,
    )


def relay_args(text):
    """Arguments of one relay 'Call' line: a string argument as its text, any other as the low
    32 bits of its register, signed."""
    out = []
    for m in re.finditer(r'([0-9a-fA-F]+)(?: (L?)"((?:[^"\\]|\\.)*)")?', text):
        if m.group(3) is not None:
            s = m.group(3)
            out.append(_wide(s) if m.group(2) else s.encode("latin-1").decode("unicode_escape"))
        else:
            v = int(m.group(1), 16) & 0xFFFFFFFF
            out.append(v - (1 << 32) if v >= 1 << 31 else v)
    return out


class RelayTrace:
    """The relay trace in a Wine debug log that is still being written, read as it grows."""

    def __init__(self, path):
        self.path, self._seen, self._text, self._hwnd = path, 0, "", None

    def text(self):
        """The log so far, whole lines only."""
        with open(self.path, "rb") as f:
            f.seek(self._seen)
            more = f.read()
        more = more[: more.rfind(b"\n") + 1]
        self._seen += len(more)
        self._text += more.decode("latin-1")
        return self._text

    def calls(self, func):
        """Arguments (see relay_args) of every call of `func`, e.g. "user32.MessageBoxA"."""
        pat = r"^[0-9a-f]+:Call %s\((.*)\) ret=[0-9a-f]+$" % re.escape(func)
        return [relay_args(m.group(1)) for m in re.finditer(pat, self.text(), re.M)]

    def wait_call(self, func, timeout=15, count=1):
        """The calls of `func` once there are at least `count`."""
        return wait_until(
            lambda: (lambda c: len(c) >= count and c)(self.calls(func)),
            timeout,
            "a call of " + func,
        )

    def created(self, cls):
        """CreateWindowExA calls for window class `cls`."""
        return [c for c in self.calls("user32.CreateWindowExA") if len(c) == 12 and c[1] == cls]

    def metric(self, index):
        """What GetSystemMetrics(index) last gave a caller."""
        pat = (
            r"^([0-9a-f]+):Call user32\.GetSystemMetrics\(0*%x\) ret=(\w+)\n(?:(?!\1:).*\n)*?"
            r"\1:Ret  user32\.GetSystemMetrics\(\) retval=([0-9a-f]+) ret=\2$" % index
        )
        found = re.findall(pat, self.text(), re.M)
        if not found:
            raise E2EError("no traced call of GetSystemMetrics(%d)" % index)
        return relay_args(found[-1][2])[0]

    def main_window(self):
        """The handle of the main window: what the CreateWindowExA call for "QuorlaneClass"
        returned, or None before it has returned."""
        if self._hwnd is not None:
            return self._hwnd
        text = self.text()
        call = re.search(
            r'^([0-9a-f]+):Call user32\.CreateWindowExA\([0-9a-f]+,[0-9a-f]+ "QuorlaneClass".*'
            r"\) ret=([0-9a-f]+)$",
            text,
            re.M,
        )
        ret = call and re.compile(
            r"^%s:Ret  user32\.CreateWindowExA\(\) retval=([0-9a-f]+) ret=%s$" % call.groups(), re.M
        ).search(text, call.end())
        self._hwnd = relay_args(ret.group(1))[0] if ret else None
        return self._hwnd

    def client_sizes(self):
        """Every client size (width, height) the main window has had, in order: the lParam of
        each WM_SIZE that the program hands to DefWindowProcA."""
        hwnd = self.main_window()
        if hwnd is None:
            return []
        return [
            (c[3] & 0xFFFF, (c[3] >> 16) & 0xFFFF)
            for c in self.calls("user32.DefWindowProcA")
            if len(c) == 4 and c[0] == hwnd and c[1] == WM_SIZE
        ]

    def client_size(self):
        """The main window's latest client size (width, height), or None."""
        sizes = self.client_sizes()
        return sizes[-1] if sizes else None
