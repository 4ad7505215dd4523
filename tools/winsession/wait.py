"""Failed checks, bounded waits, and stopping the process groups the tools start."""

import os
import signal
import subprocess
import time


class E2EError(AssertionError):
    """A check that failed or a wait that ran out of time."""


def check(cond, what):
    if not cond:
        raise E2EError(what)


def wait_until(pred, timeout, what, interval=0.02):
    """Polls pred() until it gives a true value (returned) or timeout seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = pred()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise E2EError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)
        interval = min(interval * 1.5, 0.2)


def stop_group(proc, sig=signal.SIGKILL):
    """Sends sig to the process group that `proc` leads (started with start_new_session) and
    waits a bounded time for it to end."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
        proc.wait(timeout=5)
    except (ProcessLookupError, PermissionError, subprocess.TimeoutExpired):
        pass
