"""Waiting for what the tests expect, and the child processes they start.

Every child is started with a parent-death signal and is killed and reaped on the way out, so
a crashed or interrupted test leaves nothing running.
"""

import ctypes
import os
import signal
import subprocess
import tempfile
import time

from Xlib import error as xerror

DEFAULT_TIMEOUT = 8.0

# Every wait lasts this many times as long (a program under valgrind runs that much slower).
_stretch = 1

# A busy machine slows the program, its X server and window manager alike: waits last as many
# times as long as there are runnable processes per core over the last minute, up to four
# times. The load average takes a minute to follow a load that has just begun, so
# VARDO_WAIT_FACTOR may set a floor (make test-load does).
_BUSY_LIMIT = 4.0
_floor = float(os.environ.get("VARDO_WAIT_FACTOR") or 1)

_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    # Runs in the child between fork and exec: a SIGKILL arrives if the test process goes.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def stretch_waits(factor):
    """Makes every wait_until wait `factor` times as long and poll at most ten times a
    second."""
    global _stretch
    _stretch = factor


def busy_factor():
    """How many times as long a wait lasts on this machine now (1 on an idle one)."""
    per_core = os.getloadavg()[0] / (os.cpu_count() or 1)
    return max(1.0, _floor, min(per_core, _BUSY_LIMIT))


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.02, message="condition",
               load_aware=True):
    """Polls predicate until it returns something true; returns that, or raises on timeout.
    The timeout grows on a busy machine unless it is a bound the program itself must keep
    (load_aware=False)."""
    if load_aware:
        timeout *= busy_factor()
    if _stretch != 1:
        timeout, interval = timeout * _stretch, max(interval, 0.1)
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except xerror.XError as e:  # a window that went away between two requests
            last_error = e
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise AssertionError(f"timed out after {timeout:.1f} s waiting for {message}{detail}")
        time.sleep(interval)


def wait_equal(read, expected, what, timeout, interval=0.02):
    """Waits until read() returns `expected`; on timeout says what it returned last."""
    seen = []

    def arrived():
        seen[:] = [read()]
        return seen[0] == expected

    try:
        wait_until(arrived, timeout=timeout, interval=interval, message=f"{what} at {expected}")
    except AssertionError:
        raise AssertionError(f"{what} at {seen[0] if seen else None}, expected {expected}")


def artifact_dir():
    path = os.environ.get("VARDO_DESKTOP_ARTIFACTS") or os.path.join(tempfile.gettempdir(),
                                                                     "vardo-desktop")
    os.makedirs(path, exist_ok=True)
    return path


def stop(process, grace=2.0):
    """Ends a child: SIGTERM, then SIGKILL; always reaps it."""
    if process.poll() is None:
        try:
            process.send_signal(signal.SIGTERM)
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)
        except ProcessLookupError:
            pass
    for stream in (process.stdout, process.stderr):
        if stream:
            stream.close()


# First lines of the reports of AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# (the sanitizer build, make test SANITIZE=1).
SANITIZER_REPORT_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                          "SUMMARY: UndefinedBehaviorSanitizer")


def sanitizer_report(text):
    """The first line of a sanitizer report in text, or None."""
    for line in text.splitlines():
        if any(mark in line for mark in SANITIZER_REPORT_MARKS):
            return line
    return None
