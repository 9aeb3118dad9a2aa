"""Shared pieces of the desktop tests.

Each test program gets its own X server (Xvfb, on a display number the server picks itself),
a real window manager (openbox) and the real vardo binary, and drives them the way a user
would: with XTest pointer and keyboard input. What it checks is what ends up on the screen,
in the window manager's properties and in the process's exit status.

Every child process is started with a parent-death signal and is killed and reaped on the way
out, so a crashed or interrupted test leaves nothing running.

Run with Debian's /usr/bin/python3 (it has python3-xlib). The binary comes from VARDO_BINARY.
When it names vardo.exe, the Windows build, it runs under Wine: each desktop gets a private
prefix copied from the template that VARDO_WINE_TEMPLATE names (make one with
`python3 harness.py --wine-prefix DIR`), and tests that concern only the Linux program skip.
"""

import ctypes
import os
import resource
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

from Xlib import X, XK, Xatom, display as xdisplay, error as xerror
from Xlib.ext import shape, xtest  # noqa: F401  (registers the extensions' methods)
from Xlib.protocol import event as xevent

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
RESOURCES = os.path.join(SOURCE_ROOT, "resources")
CONVERT = "/usr/bin/convert"

SCREEN_W, SCREEN_H = 1024, 768
# The root's colour: a flat blue that appears nowhere in the face picture.
DESKTOP_RGB = (0x20, 0x60, 0xA0)

FACE_W, FACE_H = 94, 138
# The head, in the pixels of a window with a 3-pixel frame and a 22-pixel caption bar above
# its client area, as the face is drawn; on X11 the face window is all client area.
OUTLINE = [(4, 89), (4, 78), (5, 77), (5, 70), (9, 58), (10, 56), (11, 52), (18, 44), (19, 40),
           (19, 38), (17, 33), (20, 29), (26, 27), (32, 24), (42, 23), (62, 24), (68, 26),
           (77, 30), (81, 33), (87, 43), (90, 47), (92, 60), (95, 62), (94, 68), (95, 75),
           (93, 89), (92, 91), (92, 99), (90, 103), (88, 111), (87, 116), (81, 120), (80, 133),
           (74, 143), (66, 151), (56, 158), (38, 158), (29, 151), (25, 150), (18, 141),
           (14, 131), (13, 121), (13, 118), (8, 111), (7, 104), (8, 100), (8, 96), (6, 94),
           (5, 90), (4, 89)]
OUTLINE_CLIENT = [(x - 3, y - 22) for x, y in OUTLINE]

PUPIL_W, PUPIL_H = 4, 6
# Where the pupils stand before the cursor has moved, in client pixels.
PUPIL_HOME = [(26, 76), (60, 76)]
# Rest point of each pupil's centre and its reach along x and y, in client pixels.
EYES = [((28, 80), (2, 1)), ((63, 80), (2, 1))]

DEFAULT_TIMEOUT = 8.0

# Window managers a Desktop can run: Desktop(wm=...) or VARDO_TEST_WM picks one, openbox by
# default.
WINDOW_MANAGERS = ("openbox", "xfwm4", "metacity", "icewm")

_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    # Runs in the child between fork and exec: a SIGKILL arrives if the test process goes.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


# The program under test is the Windows executable, run under Wine.
WINE = os.environ.get("VARDO_BINARY", "").lower().endswith(".exe")
# Quiet, and no offer to install Mono or Gecko; no menu entries written into the user's home.
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}


def make_wine_prefix(path):
    """A Wine prefix to copy for each desktop: made once, since it takes seconds. Links go
    to the desktop's handlers: http and https through xdg-open, mailto through xdg-email."""
    env = dict(os.environ, WINEPREFIX=os.path.abspath(path), **WINE_ENV)
    env.pop("DISPLAY", None)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # wineboot returns while the prefix is still being set up; a program started meanwhile
    # may fail to start at all (status 127, seen once in CI).
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=120)
    for value, program in (("Browsers", "xdg-open"), ("Mailers", "xdg-email")):
        for attempt in range(3):
            done = subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\WineBrowser",
                                   "/v", value, "/d", program, "/f"], env=env, timeout=120,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if done.returncode == 0:
                break
            subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        else:
            done.check_returncode()
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=120)


def vardo_binary():
    path = os.environ.get("VARDO_BINARY", "")
    if not path or not os.access(path, os.X_OK):
        raise unittest.SkipTest("VARDO_BINARY does not name the vardo executable")
    return path


def artifact_dir():
    path = os.environ.get("VARDO_DESKTOP_ARTIFACTS") or os.path.join(tempfile.gettempdir(),
                                                                     "vardo-desktop")
    os.makedirs(path, exist_ok=True)
    return path


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.02, message="condition"):
    """Polls predicate until it returns something true; returns that, or raises on timeout."""
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


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def expected_pupil(eye, cursor):
    """Left and top of pupil `eye` for a cursor at `cursor` (client pixels).

    The pupil's centre sits on an ellipse around the rest point, in the direction of the
    cursor (single precision, as the program keeps it); left and top round to the nearest
    pixel, ties to even.
    """
    (cx, cy), (rx, ry) = EYES[eye]
    dx, dy = f32(cursor[0] - cx), f32(cursor[1] - cy)
    d = f32((dx * dx + dy * dy) ** 0.5)
    if d > 0:
        dx, dy = f32(dx / d), f32(dy / d)
    else:
        dx = dy = 0.0
    px, py = f32(dx * rx + cx), f32(dy * ry + cy)
    return round(f32(px - PUPIL_W / 2)), round(f32(py - PUPIL_H / 2))


def inside_polygon(points, x, y):
    """Even-odd test of the point (x, y) against the closed polygon."""
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            cross = x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            if x < cross:
                inside = not inside
    return inside


def _segment_distance(px, py, a, b):
    (x1, y1), (x2, y2) = a, b
    vx, vy = x2 - x1, y2 - y1
    length2 = vx * vx + vy * vy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x1) * vx + (py - y1) * vy) / length2))
    ex, ey = x1 + t * vx - px, y1 + t * vy - py
    return (ex * ex + ey * ey) ** 0.5


def outline_classes(margin=1.0):
    """Splits the face's pixels into those clearly inside the outline and clearly outside.

    Pixel (x, y) is judged by its centre; pixels whose centre lies within `margin` of the
    outline are in neither set, since rasterisers differ on the edge.
    """
    inside, outside = set(), set()
    edges = list(zip(OUTLINE_CLIENT, OUTLINE_CLIENT[1:] + OUTLINE_CLIENT[:1]))
    for y in range(FACE_H):
        for x in range(FACE_W):
            cx, cy = x + 0.5, y + 0.5
            if min(_segment_distance(cx, cy, a, b) for a, b in edges) < margin:
                continue
            (inside if inside_polygon(OUTLINE_CLIENT, cx, cy) else outside).add((x, y))
    return inside, outside


def read_picture(path):
    """Returns (width, height, rows of (r, g, b, a)) for a picture file, through ImageMagick."""
    size = subprocess.run([CONVERT, path, "-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True, timeout=20).stdout.split()
    w, h = int(size[0]), int(size[1])
    raw = subprocess.run([CONVERT, path, "-depth", "8", "rgba:-"], check=True,
                         capture_output=True, timeout=20).stdout
    rows = [[tuple(raw[(y * w + x) * 4:(y * w + x) * 4 + 4]) for x in range(w)]
            for y in range(h)]
    return w, h, rows


def _shot_of(image, x, y, width, height):
    """A Shot of a GetImage reply at depth 24 (32 bits a pixel)."""
    data = image.data
    stride = len(data) // height
    rows = []
    for row in range(height):
        base = row * stride
        rows.append([(data[base + 4 * i + 2], data[base + 4 * i + 1], data[base + 4 * i])
                     for i in range(width)])
    return Shot(x, y, width, height, rows)


class Shot:
    """A rectangle of the screen as RGB pixels."""

    def __init__(self, x, y, width, height, pixels):
        self.x, self.y, self.width, self.height = x, y, width, height
        self.pixels = pixels  # rows of (r, g, b)

    def at(self, x, y):
        """The pixel at (x, y) relative to the rectangle's corner."""
        return self.pixels[y][x]

    def crop(self, x, y, width, height):
        return Shot(self.x + x, self.y + y, width, height,
                    [row[x:x + width] for row in self.pixels[y:y + height]])

    def save_png(self, path):
        raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in self.pixels)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
            f.write(chunk(b"IEND", b""))
        return path


class Desktop:
    """An Xvfb server with a window manager (openbox unless `wm` or VARDO_TEST_WM names
    another), and a client connection to drive it.

    `screens`, a list of (width, height), makes one monitor per entry, side by side from the
    left along the top edge, with monitor `primary` the primary one. They are RandR monitors on
    one X screen, as a desktop with two monitors on one graphics card has them. (Xvfb's own
    Xinerama puts every screen at the origin, on top of each other, and Qt takes its screens
    from RandR, which sees only the first.)

    `x_screen` puts the desktop on another X screen than the first (DISPLAY=:N.1): Xvfb makes
    that many screens before it, each of the same size, and leaves them empty.

    `wine_dpi` sets the dots per inch of the desktop's Wine prefix (96 by default): the
    LogPixels value under HKCU\\Control Panel\\Desktop, which Wine 8 reads before the machine's
    value under HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts."""

    # The screen's picture shows every window (Xvfb); a rootless XWayland has none.
    rootless = False

    def __init__(self, width=SCREEN_W, height=SCREEN_H, wm=None, screens=None, primary=0,
                 wine_dpi=None, x_screen=0):
        self.width, self.height = width, height
        self.x_screen = x_screen
        self.wm = wm or os.environ.get("VARDO_TEST_WM") or "openbox"
        self.screens = list(screens) if screens else [(width, height)]
        self.primary = primary
        # (x, y, width, height) of each monitor on the root.
        self.monitors = []
        x = 0
        for w, h in self.screens:
            self.monitors.append((x, 0, w, h))
            x += w
        self.processes = []
        self.tmp = tempfile.mkdtemp(prefix="vardo-desktop-")
        self.display_name = None
        self.d = None
        self.wine_prefix = None
        try:
            if WINE:
                self._copy_wine_prefix(wine_dpi)
            self._start_server()
            self._start_window_manager()
        except BaseException:
            self.close()
            raise

    # -- processes -----------------------------------------------------------------------

    def spawn(self, argv, env=None, **kwargs):
        """Starts a child that dies with this process and is killed by close()."""
        full_env = dict(os.environ if env is None else env)
        if self.display_name and "DISPLAY" not in (env or {}):
            full_env["DISPLAY"] = self.display_name
        process = subprocess.Popen(argv, env=full_env, preexec_fn=_die_with_parent,
                                   stdin=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.display_name
        env.update(extra)
        return env

    def _copy_wine_prefix(self, dpi):
        """A prefix of this desktop's own: two displays sharing one would share a cursor."""
        template = os.environ.get("VARDO_WINE_TEMPLATE", "")
        if not os.path.isfile(os.path.join(template, "system.reg")):
            raise RuntimeError("VARDO_WINE_TEMPLATE does not name a Wine prefix (python3 "
                               "harness.py --wine-prefix DIR makes one)")
        self.wine_prefix = os.path.join(self.tmp, "wine")
        # Not the file naming the template's server.
        shutil.copytree(template, self.wine_prefix, symlinks=True,
                        ignore=lambda folder, names: ["wineserver"] if folder == template else [])
        if dpi:
            env = dict(os.environ, WINEPREFIX=self.wine_prefix, **WINE_ENV)
            env.pop("DISPLAY", None)
            subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                            "/t", "REG_DWORD", "/d", str(dpi), "/f"], env=env, check=True,
                           timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _start_server(self):
        read_end, write_end = os.pipe()
        try:
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end)] + self._screen_arguments() +
                ["-nolisten", "tcp", "-noreset", "+extension", "XFIXES", "+extension", "SHAPE"],
                pass_fds=(write_end,), preexec_fn=_die_with_parent, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.processes.append(server)
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + 10
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or server.poll() is not None:
                    raise RuntimeError("Xvfb did not report a display number")
                ready, _, _ = select.select([read_end], [], [], remaining)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        raise RuntimeError("Xvfb closed its display pipe")
                    number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.display_name = ":" + number.decode().strip() + (f".{self.x_screen}"
                                                               if self.x_screen else "")
        self.d = xdisplay.Display(self.display_name)
        self.root = self.d.screen().root
        if self.x_screen:
            # The pointer starts on the first screen, and Xvfb's XTest moves it only on the
            # screen it is on.
            self.root.warp_pointer(0, 0)
        # With several monitors the root spans them all.
        self.width = self.d.screen().width_in_pixels
        self.height = self.d.screen().height_in_pixels
        subprocess.run(["xsetroot", "-solid", "#%02x%02x%02x" % DESKTOP_RGB],
                       env=self.env(), check=True, timeout=10)
        if len(self.monitors) > 1:
            self._define_monitors()

    def _screen_arguments(self):
        width = sum(w for w, _ in self.screens)
        height = max(h for _, h in self.screens)
        return [a for n in range(self.x_screen + 1)
                for a in ("-screen", str(n), f"{width}x{height}x24")]

    def _define_monitors(self):
        """Splits the screen into the monitors: the first takes over Xvfb's output, the
        others have none; the primary's name is marked with '*'."""
        for number, (x, y, w, h) in enumerate(self.monitors):
            name = ("*" if number == self.primary else "") + f"monitor{number}"
            # Physical sizes for 96 dots per inch.
            geometry = f"{w}/{round(w * 25.4 / 96)}x{h}/{round(h * 25.4 / 96)}+{x}+{y}"
            subprocess.run(["xrandr", "--setmonitor", name, geometry,
                            "screen" if number == 0 else "none"],
                           env=self.env(), check=True, timeout=10, capture_output=True)

    def _start_window_manager(self):
        start = getattr(self, "_start_" + self.wm, None)
        if self.wm not in WINDOW_MANAGERS or start is None:
            raise ValueError(f"unknown window manager {self.wm!r} (known: "
                             f"{', '.join(WINDOW_MANAGERS)})")
        start()
        self._wait_managing()

    def _wait_managing(self):
        check = self.atom("_NET_SUPPORTING_WM_CHECK")

        def managing():
            prop = self.root.get_full_property(check, Xatom.WINDOW)
            return bool(prop and prop.value)

        wait_until(managing, timeout=15, message=f"{self.wm} to manage the screen")
        # The check window comes early in a window manager's start-up, and openbox loses a
        # window mapped in the moment after it: wait until a window of ours is managed (a new
        # one every half second), or the face's first map may be the one lost.
        deadline = time.monotonic() + 15
        while True:
            probe = self.root.create_window(0, 0, 10, 10, 0, self.d.screen().root_depth,
                                            X.InputOutput, X.CopyFromParent)
            probe.set_wm_name("window manager probe")
            probe.map()
            self.d.sync()
            try:
                wait_until(lambda: probe.id in self.client_list(), timeout=0.5,
                           message=f"{self.wm} to manage a window")
                managed = True
            except AssertionError:
                managed = False
            probe.destroy()
            self.d.sync()
            if managed:
                break
            if time.monotonic() > deadline:
                raise AssertionError(f"{self.wm} manages no window")
        wait_until(lambda: probe.id not in self.client_list(), timeout=15,
                   message=f"{self.wm} to let go of a window")

    def _wm_env(self, **extra):
        """Settings, caches and data of the window manager in the temporary directory; no
        accessibility bus and no session manager."""
        env = self.env(XDG_CONFIG_HOME=os.path.join(self.tmp, "wm-config"),
                       XDG_CACHE_HOME=os.path.join(self.tmp, "wm-cache"),
                       XDG_DATA_HOME=os.path.join(self.tmp, "wm-data"),
                       NO_AT_BRIDGE="1", GTK_A11Y="none", **extra)
        env.pop("SESSION_MANAGER", None)
        return env

    def _session_bus(self, config=None):
        """A private session bus for a window manager that keeps its settings behind one. A
        direct child like every other, so it goes with the test, and the services it starts
        go with it. `config` replaces the standard session configuration."""
        path = os.path.join(self.tmp, "wm-bus")
        self.spawn(["dbus-daemon", "--config-file=" + config if config else "--session",
                    "--nofork", "--nopidfile", "--nosyslog", "--address=unix:path=" + path],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: os.path.exists(path), timeout=10, message="the session bus")
        return "unix:path=" + path

    def _start_xfwm4(self):
        # Under Xvfb the compositor would only get in the way of screenshots.
        self.spawn(["xfwm4", "--compositor=off"],
                   env=self._wm_env(DBUS_SESSION_BUS_ADDRESS=self._session_bus()),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _start_metacity(self):
        self.spawn(["metacity", "--replace", "--sm-disable", "--compositor=none"],
                   env=self._wm_env(DBUS_SESSION_BUS_ADDRESS=self._session_bus(),
                                    GSETTINGS_BACKEND="memory"),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _start_icewm(self):
        config = os.path.join(self.tmp, "icewm")
        os.makedirs(config, exist_ok=True)
        self.spawn(["icewm"], env=self._wm_env(ICEWM_PRIVCFG=config),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # More of openbox's configuration, for a desktop that needs it (key bindings, say).
    OPENBOX_EXTRA = ""

    def _start_openbox(self):
        config = os.path.join(self.tmp, "openbox-rc.xml")
        with open(config, "w") as f:
            # The stock configuration, minus the desktop-switching margins and with windows
            # placed where they ask to be.
            f.write(f"""<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
  <theme><name>Clearlooks</name></theme>{self.OPENBOX_EXTRA}
</openbox_config>
""")
        self.spawn(["openbox", "--sm-disable", "--config-file", config],
                   env=self.env(XDG_CONFIG_HOME=os.path.join(self.tmp, "wm-config")),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.wine_prefix:
            # The prefix's server outlives the programs by seconds; it is no child of ours.
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.wine_prefix),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if self.d is not None:
            try:
                self.d.close()
            except Exception:
                pass
            self.d = None
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
        shutil.rmtree(self.tmp, ignore_errors=True)

    # -- properties ----------------------------------------------------------------------

    def atom(self, name):
        return self.d.intern_atom(name)

    def atom_name(self, atom):
        return self.d.get_atom_name(atom)

    def root_windows(self, name):
        prop = self.root.get_full_property(self.atom(name), Xatom.WINDOW)
        return list(prop.value) if prop else []

    def client_list(self):
        return self.root_windows("_NET_CLIENT_LIST")

    def stacking(self):
        """Managed windows, bottom to top."""
        return self.root_windows("_NET_CLIENT_LIST_STACKING")

    def active_window(self):
        windows = self.root_windows("_NET_ACTIVE_WINDOW")
        return windows[0] if windows else 0

    def window(self, wid):
        return self.d.create_resource_object("window", wid)

    def title(self, wid):
        w = self.window(wid)
        prop = w.get_full_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"))
        if prop:
            return prop.value.decode("utf-8", "replace")
        name = w.get_wm_name()
        return name if isinstance(name, str) else (name.decode() if name else "")

    def windows_titled(self, title):
        found = []
        for wid in self.client_list():
            try:
                if self.title(wid) == title:
                    found.append(wid)
            except xerror.XError:
                pass
        return found

    def pid_of(self, wid):
        """The process that made the window, if it says (_NET_WM_PID)."""
        prop = self.window(wid).get_full_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL)
        return prop.value[0] if prop else None

    def wm_state(self, wid):
        prop = self.window(wid).get_full_property(self.atom("_NET_WM_STATE"), Xatom.ATOM)
        return {self.atom_name(a) for a in prop.value} if prop else set()

    def frame_extents(self, wid):
        prop = self.window(wid).get_full_property(self.atom("_NET_FRAME_EXTENTS"),
                                                  Xatom.CARDINAL)
        return tuple(prop.value) if prop else None

    def frame_of(self, wid):
        """The child of the root that holds the window (the window manager's frame)."""
        w = self.window(wid)
        while True:
            tree = w.query_tree()
            if tree.parent == self.root or tree.parent.id == self.root.id:
                return w
            w = tree.parent

    def geometry(self, wid):
        """Client area of the window: (x, y, width, height) in screen pixels."""
        w = self.window(wid)
        g = w.get_geometry()
        at = self.root.translate_coords(w, 0, 0)
        return (at.x, at.y, g.width, g.height)

    def frame_geometry(self, wid):
        frame = self.frame_of(wid)
        g = frame.get_geometry()
        return (g.x, g.y, g.width + 2 * g.border_width, g.height + 2 * g.border_width)

    def viewable(self, wid):
        return self.window(wid).get_attributes().map_state == X.IsViewable

    def override_redirect_windows(self):
        """Mapped override-redirect children of the root (menus, tooltips), with geometry."""
        found = {}
        for child in self.root.query_tree().children:
            try:
                attrs = child.get_attributes()
                if attrs.override_redirect and attrs.map_state == X.IsViewable:
                    g = child.get_geometry()
                    found[child.id] = (g.x, g.y, g.width, g.height)
            except xerror.XError:
                pass
        return found

    def send_root_message(self, wid, type_name, data):
        message = xevent.ClientMessage(window=self.window(wid), client_type=self.atom(type_name),
                                       data=(32, (list(data) + [0] * 5)[:5]))
        self.root.send_event(message, event_mask=X.SubstructureRedirectMask |
                             X.SubstructureNotifyMask)
        self.d.flush()

    def activate(self, wid):
        self.send_root_message(wid, "_NET_ACTIVE_WINDOW", [2, X.CurrentTime, 0])

    def close_window(self, wid):
        """Asks the window manager to close the window, as its close button would."""
        self.send_root_message(wid, "_NET_CLOSE_WINDOW", [X.CurrentTime, 2])

    def cursor_image(self):
        """(width, height, xhot, yhot, pixels) of the cursor the server shows now."""
        if not hasattr(self, "_xfixes"):
            self.d.xfixes_query_version()
            self._xfixes = True
        reply = self.d.xfixes_get_cursor_image(self.root)
        return (reply.width, reply.height, reply.xhot, reply.yhot, tuple(reply.cursor_image))

    # -- input ---------------------------------------------------------------------------

    def pointer(self):
        p = self.root.query_pointer()
        return (p.root_x, p.root_y)

    def move(self, x, y, sync=True):
        xtest.fake_input(self.d, X.MotionNotify, x=int(x), y=int(y))
        if sync:
            self.d.sync()
            wait_until(lambda: self.pointer() == (int(x), int(y)), timeout=5,
                       message=f"pointer at {(x, y)}")

    def press(self, button):
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()

    def release(self, button):
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def click(self, x, y, button=1):
        self.move(x, y)
        self.press(button)
        self.release(button)

    def keycode(self, name):
        keysym = XK.string_to_keysym(name)
        if keysym == 0 and len(name) == 1:
            keysym = ord(name)
        code = self.d.keysym_to_keycode(keysym)
        if not code:
            raise ValueError(f"no key for {name!r}")
        return code

    def key(self, name):
        code = self.keycode(name)
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()

    # -- pixels --------------------------------------------------------------------------

    def shot(self, x, y, width, height):
        """The screen rectangle as RGB rows (what is on the framebuffer, windows and all)."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        if x1 <= x0 or y1 <= y0:
            raise AssertionError(f"rectangle {(x, y, width, height)} is off the screen")
        image = self.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xFFFFFFFF)
        return _shot_of(image, x0, y0, x1 - x0, y1 - y0)

    def window_shot(self, wid, width, height):
        """The window's top-left width x height pixels, as the screen shows them."""
        x, y, _, _ = self.geometry(wid)
        return self.shot(x, y, width, height)

    def settled_shot(self, x, y, width, height, ready=lambda shot: True, timeout=5):
        """A shot of the rectangle once `ready` accepts it and it has stopped changing."""
        previous = [None]

        def settled():
            shot = self.shot(x, y, width, height)
            same = previous[0] is not None and shot.pixels == previous[0].pixels
            previous[0] = shot
            return shot if same and ready(shot) else None

        return wait_until(settled, timeout=timeout, interval=0.1,
                          message="the screen to settle")

    def save_screen(self, name):
        return self.shot(0, 0, self.width, self.height).save_png(
            os.path.join(artifact_dir(), name))

    # -- a window of the test's own ------------------------------------------------------

    def make_window(self, x, y, width, height, rgb, title="beneath", override=False,
                    events=X.ButtonPressMask):
        pixel = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2]
        w = self.root.create_window(x, y, width, height, 0, self.d.screen().root_depth,
                                    X.InputOutput, X.CopyFromParent, background_pixel=pixel,
                                    event_mask=events | X.StructureNotifyMask,
                                    override_redirect=override)
        w.set_wm_name(title)
        w.set_wm_normal_hints(flags=1 | 2 | 4 | 8 | 16, x=x, y=y, width=width, height=height,
                              min_width=width, min_height=height, max_width=width,
                              max_height=height)
        w.map()
        self.d.sync()
        wait_until(lambda: w.get_attributes().map_state == X.IsViewable,
                   message=f"window {title!r} to map")
        return w

    def events(self, timeout=0.0):
        """Events that arrive for the test's own windows within timeout seconds."""
        found = []
        deadline = time.monotonic() + timeout
        while True:
            while self.d.pending_events():
                found.append(self.d.next_event())
            if time.monotonic() >= deadline:
                return found
            time.sleep(0.02)


# -- Wayland desktops ------------------------------------------------------------------------

# The headless Wayland compositors a WaylandDesktop runs.
COMPOSITORS = ("kwin", "gnome-shell")
EXTENSION_UUID = "vardo@example.org"
# Linux input codes of X buttons 1, 2 and 3, as the compositors take them.
LINUX_BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}

# A session bus that starts no services: the compositors ask for many (accessibility,
# notifications, calendars), which would outlive the test.
_QUIET_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <!-- The address on the command line replaces this one, which the file must have. -->
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def _compositor_child():
    # Between fork and exec: dies with the test, and leaves no core file when it crashes on
    # the way out (GNOME Shell does on SIGTERM).
    _die_with_parent()
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


class WaylandDesktop(Desktop):
    """A headless Wayland compositor, KWin or GNOME Shell, with a session bus, a runtime
    directory, settings and an XWayland of its own; vardo runs on its XWayland.

    The pointer moves through the compositor (KWin's fake-input protocol, the RemoteDesktop
    interface of GNOME Shell's Mutter), so that it also goes where XWayland does not see it:
    over native Wayland windows and the bare desktop. XWayland is rootless, so pictures come
    from a window's own pixels, and positions are the compositor's logical pixels, which at
    scale 1 are XWayland's.

    `extension_data`, a share folder with gnome-shell/extensions/<uuid>/ in it, is where GNOME
    Shell finds Vardo's extension (enabled in its settings, as a user has it). A compositor
    that cannot start at all on this machine raises unittest.SkipTest with its last words."""

    # Only windows have pictures: the screen is the compositor's.
    rootless = True

    def __init__(self, compositor, width=SCREEN_W, height=SCREEN_H, extension_data=None):
        if compositor not in COMPOSITORS:
            raise ValueError(f"unknown compositor {compositor!r}")
        self.compositor = compositor
        self.extension_data = extension_data
        self.session_bus = None
        self.wayland_display = None
        self.runtime = None
        self._input = None
        self._dbus = None
        self._remote = None
        self._at = None  # where the test put the compositor's pointer
        super().__init__(width, height, wm=compositor)

    # -- start-up ------------------------------------------------------------------------

    def _start_server(self):
        self.runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        if not os.path.isdir("/tmp/.X11-unix"):
            # XWayland listens there; Xvfb would have made it.
            os.makedirs("/tmp/.X11-unix", exist_ok=True)
            os.chmod("/tmp/.X11-unix", 0o1777)
        config = os.path.join(self.tmp, "bus.conf")
        with open(config, "w") as f:
            f.write(_QUIET_BUS_CONFIG)
        self.session_bus = self._session_bus(config)
        self.wayland_display = "vardo-" + os.path.basename(self.tmp)
        env = self._compositor_env()
        argv = self._kwin(env) if self.compositor == "kwin" else self._gnome_shell(env)
        log = os.path.join(self.tmp, "compositor.log")
        with open(log, "w") as out:
            process = subprocess.Popen(argv, env=env, cwd=self.tmp, stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=subprocess.STDOUT,
                                       preexec_fn=_compositor_child)
        self.processes.append(process)
        self.display_name, auth = wait_until(lambda: self._xwayland(process, log), timeout=60,
                                             message=f"{self.compositor}'s XWayland")
        # python-xlib takes the cookie from the environment; KWin's XWayland needs none.
        if auth:
            os.environ["XAUTHORITY"] = auth
        else:
            os.environ.pop("XAUTHORITY", None)
        self.xauthority = auth
        self.d = wait_until(self._connect, timeout=30, message="XWayland to take connections")
        self.root = self.d.screen().root
        self.width = self.d.screen().width_in_pixels
        self.height = self.d.screen().height_in_pixels
        wait_until(lambda: os.path.exists(os.path.join(self.runtime, self.wayland_display)),
                   message="the Wayland socket")
        self._start_input()

    def _compositor_env(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER",
                            "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORM",
                            "QT_SCALE_FACTOR")}
        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        env.update(HOME=home, XDG_RUNTIME_DIR=self.runtime,
                   DBUS_SESSION_BUS_ADDRESS=self.session_bus,
                   XDG_CONFIG_HOME=os.path.join(self.tmp, "config"),
                   XDG_DATA_HOME=os.path.join(self.tmp, "data"),
                   XDG_CACHE_HOME=os.path.join(self.tmp, "cache"),
                   NO_AT_BRIDGE="1", GTK_A11Y="none")
        return env

    def _kwin(self, env):
        installed = shutil.which("kwin_wayland")
        if not installed:
            raise AssertionError("kwin_wayland is missing (Debian package kwin-wayland; "
                                 "make deps installs it)")
        # The installed binary carries a file capability, which a container refuses to exec
        # ("Operation not permitted"); a plain copy has none.
        kwin = os.path.join(self.tmp, "kwin_wayland")
        shutil.copy(installed, kwin)
        # Only programs KWin trusts get its fake-input protocol; the test's client is one.
        env["KWIN_WAYLAND_NO_PERMISSION_CHECKS"] = "1"
        return [kwin, "--virtual", "--xwayland", "--no-lockscreen", "--no-global-shortcuts",
                "--no-kactivities", "--width", str(self.width), "--height", str(self.height),
                "--socket", self.wayland_display]

    def _gnome_shell(self, env):
        if not shutil.which("gnome-shell"):
            raise AssertionError("gnome-shell is missing (make deps installs it)")
        settings = os.path.join(env["XDG_CONFIG_HOME"], "glib-2.0", "settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "keyfile"), "w") as f:
            # Extension version checks stay on, as users have them. No animations and no
            # screen blanking, which only slow the test down, and no hot corner: the tests
            # put the pointer at (0, 0), which would open the overview.
            f.write(f"[org/gnome/shell]\nenabled-extensions=['{EXTENSION_UUID}']\n"
                    "welcome-dialog-last-shown-version='999'\n"
                    "[org/gnome/desktop/interface]\nenable-animations=false\n"
                    "enable-hot-corners=false\n"
                    "[org/gnome/desktop/session]\nidle-delay=uint32 0\n")
        # No system bus here: the shell's calls to one go to the session bus and fail there.
        env.update(DBUS_SYSTEM_BUS_ADDRESS=self.session_bus, GSETTINGS_BACKEND="keyfile")
        if self.extension_data:
            env["XDG_DATA_DIRS"] = self.extension_data + ":" + os.environ.get(
                "XDG_DATA_DIRS", "/usr/local/share:/usr/share")
        return ["gnome-shell", "--headless", "--wayland", "--virtual-monitor",
                f"{self.width}x{self.height}", "--wayland-display", self.wayland_display]

    def _xwayland(self, compositor, log):
        """(display, auth file or None) of the compositor's XWayland once it runs."""
        if compositor.poll() is not None:
            with open(log, errors="replace") as f:
                last = [line.strip() for line in f if line.strip()][-3:]
            raise unittest.SkipTest(f"{self.compositor} cannot start on this machine (exit "
                                    f"status {compositor.returncode}): {' / '.join(last)}")
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/stat") as f:
                    stat = f.read()
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    argv = f.read().decode(errors="replace").split("\0")
            except OSError:
                continue
            name, fields = stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2:]
            if name != "Xwayland" or int(fields.split()[1]) != compositor.pid:
                continue
            display = next((a for a in argv[1:] if a.startswith(":")), None)
            auth = argv[argv.index("-auth") + 1] if "-auth" in argv else None
            return (display, auth) if display else None
        return None

    def _connect(self):
        try:
            return xdisplay.Display(self.display_name)
        except Exception:
            return None

    def _start_window_manager(self):
        # The compositor is XWayland's window manager.
        self._wait_managing()
        if self.compositor == "gnome-shell":
            # The session starts in the overview; leave it for the desktop.
            shell = self._dbus.get_object("org.gnome.Shell", "/org/gnome/Shell")
            shell.Set("org.gnome.Shell", "OverviewActive", False,
                      dbus_interface="org.freedesktop.DBus.Properties")
            wait_until(lambda: not shell.Get("org.gnome.Shell", "OverviewActive",
                                             dbus_interface="org.freedesktop.DBus.Properties"),
                       message="the overview to close")

    def env(self, **extra):
        env = Desktop.env(self)
        env.update(WAYLAND_DISPLAY=self.wayland_display, XDG_RUNTIME_DIR=self.runtime,
                   DBUS_SESSION_BUS_ADDRESS=self.session_bus, XDG_SESSION_TYPE="wayland")
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        env.update(extra)
        return env

    # -- the compositor's pointer --------------------------------------------------------

    def _start_input(self):
        import dbus  # python3-dbus; only the Wayland desktops need it
        self._dbus = dbus.bus.BusConnection(self.session_bus)
        if self.compositor == "kwin":
            client = os.environ.get("VARDO_FAKE_INPUT", "")
            if not os.access(client, os.X_OK):
                raise AssertionError("VARDO_FAKE_INPUT does not name the fake-input client")
            # Connected for the whole run: KWin's virtual seat has a pointer only while a
            # fake-input client is there.
            self._input = subprocess.Popen([client], env=self.env(), text=True, bufsize=1,
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           preexec_fn=_die_with_parent)
            self.processes.append(self._input)
        else:
            # One RemoteDesktop session for the whole run; it ends with the connection that
            # made it. Relative motion needs no screen cast (and so no PipeWire).
            service = "org.gnome.Mutter.RemoteDesktop"
            path = self._dbus.get_object(service, "/org/gnome/Mutter/RemoteDesktop").CreateSession(
                dbus_interface=service)
            self._remote = dbus.Interface(self._dbus.get_object(service, path),
                                          service + ".Session")
            self._remote.Start()

    def dbus_call(self, service, path, interface, method, *args, signature=None):
        """A method call on the desktop's session bus; raises dbus.DBusException."""
        return self._dbus.call_blocking(service, path, interface, method, signature, args)

    def _kwin_command(self, command):
        self._input.stdin.write(command + "\n")
        ready, _, _ = select.select([self._input.stdout], [], [], 10)
        answer = self._input.stdout.readline().strip() if ready else ""
        if answer != "ok":
            raise AssertionError(f"the fake-input client did not do {command!r}")

    def compositor_pointer(self):
        """Where GNOME Shell has the pointer, through Vardo's extension; None when it does not
        answer."""
        import dbus
        try:
            answer = self._dbus.get_object("org.gnome.Shell", "/org/example/Vardo/Pointer") \
                .GetPosition(dbus_interface="org.example.Vardo.Pointer")
        except dbus.DBusException:
            return None
        return (int(answer[0]), int(answer[1]))

    def move(self, x, y, sync=True):
        x, y = int(x), int(y)
        if self.compositor == "kwin":
            # Handled by the time the client answers.
            self._kwin_command(f"move {x} {y}")
            self._at = (x, y)
            return
        # Mutter takes relative motion only, and does not accelerate it. The first move
        # starts from the lower right corner, where the shell stops the pointer and there is
        # no hot corner; the others go straight on, as a drag would.
        if self._at is None:
            self._remote.NotifyPointerMotionRelative(float(2 * self.width),
                                                     float(2 * self.height))
            self._at = (self.width - 1, self.height - 1)
        self._remote.NotifyPointerMotionRelative(float(x - self._at[0]), float(y - self._at[1]))
        self._at = (x, y)
        if sync:
            if self.compositor_pointer() is None:
                time.sleep(0.2)  # no extension to ask; the shell moves it within a frame
            else:
                wait_until(lambda: self.compositor_pointer() == (x, y), timeout=5,
                           message=f"the pointer at {(x, y)}")

    def _pointer_routed(self):
        """Whether the compositor has the pointer on the X11 window that XWayland's own stacking
        puts there. The compositor restacks apart from XWayland and may lag behind it; in the
        meantime XWayland gives the pointer to the root window."""
        at = self.root.query_pointer()
        if (at.root_x, at.root_y) != self._at:
            return True  # over a native window or the bare desktop
        return at.child == self.root.translate_coords(self.root, at.root_x, at.root_y).child

    def press(self, button, pressed=True):
        if pressed and not self._pointer_routed():
            # Come back to the place, so that the compositor picks the window anew.
            x, y = self._at
            try:
                wait_until(lambda: self.move(x - 1, y) or self.move(x, y) or
                           self._pointer_routed(), timeout=2, interval=0.1)
            except AssertionError:
                pass  # the press shows what happens
        if self.compositor == "kwin":
            self._kwin_command(f"{'press' if pressed else 'release'} {LINUX_BUTTONS[button]}")
        else:
            self._remote.NotifyPointerButton(LINUX_BUTTONS[button], pressed)
            time.sleep(0.1)  # the shell hands input on from a thread of its own

    def release(self, button):
        self.press(button, pressed=False)

    # -- pixels and windows ----------------------------------------------------------------

    def window_shot(self, wid, width, height):
        """The window's own top-left width x height pixels: a rootless XWayland has no
        picture of the screen."""
        image = self.window(wid).get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
        x, y, _, _ = self.geometry(wid)
        return _shot_of(image, x, y, width, height)

    def save_screen(self, name):
        return None

    def wait_xwayland_pointer(self, point):
        """Moves the pointer to screen `point` until XWayland has it there: until the compositor
        shows an X11 window there (XWayland maps a window before the compositor does)."""
        def arrived():
            # Two places, since XWayland keeps the last one it saw when the pointer leaves.
            aside = (point[0] - 1, point[1])
            self.move(*aside)
            if self.pointer() != aside:
                return False
            self.move(*point)
            return self.pointer() == tuple(point)

        wait_until(arrived, interval=0.1, message=f"XWayland to get the pointer at {point}")

    def make_window(self, x, y, width, height, rgb, title="beneath", override=False,
                    events=X.ButtonPressMask):
        window = Desktop.make_window(self, x, y, width, height, rgb, title, override, events)
        if not override:
            # GNOME Shell ignores requests about a window it has not taken on yet.
            wait_until(lambda: window.id in self.client_list(),
                       message=f"{self.compositor} to manage {title!r}")
        return window

    def close(self):
        try:
            if self._remote is not None:
                self._remote.Stop()
            if self._dbus is not None:
                self._dbus.close()
        except Exception:
            pass  # the bus may be gone already
        finally:
            self._remote = self._dbus = None
            Desktop.close(self)


def make_desktop(name):
    """A desktop by name: an X window manager on Xvfb (WINDOW_MANAGERS) or a headless Wayland
    compositor (COMPOSITORS), with Vardo's GNOME Shell extension from VARDO_EXTENSION_DATA."""
    if name in COMPOSITORS:
        return WaylandDesktop(name, extension_data=os.environ.get("VARDO_EXTENSION_DATA"))
    return Desktop(wm=name)


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


class Vardo:
    """The program under test on a Desktop, and its face window. `binary` names another copy
    of it than VARDO_BINARY (one that an installer put in place, say)."""

    def __init__(self, desktop, env=None, binary=None):
        self.desktop = desktop
        self.stderr_path = os.path.join(desktop.tmp, f"vardo-{time.monotonic_ns()}.err")
        run_env = desktop.env()
        # The desktop's own session bus if it has one (a Wayland desktop's compositor is on
        # it); else none: nothing may start one on the program's behalf and leave it behind.
        run_env["DBUS_SESSION_BUS_ADDRESS"] = (getattr(desktop, "session_bus", None) or
                                               "unix:path=" + os.path.join(desktop.tmp, "no-bus"))
        # A private runtime directory, as a desktop session has (else Qt warns about it).
        runtime = os.path.join(desktop.tmp, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        run_env["XDG_RUNTIME_DIR"] = runtime
        for name, value in (env or {}).items():
            if value is None:
                run_env.pop(name, None)
            else:
                run_env[name] = value
        command = [binary or vardo_binary()]
        if WINE:
            command.insert(0, "wine")
            run_env.update(WINE_ENV, WINEPREFIX=desktop.wine_prefix)
        with open(self.stderr_path, "w") as err:
            self.process = desktop.spawn(command, env=run_env,
                                         stdout=subprocess.DEVNULL, stderr=err, cwd=desktop.tmp)
        self.face = wait_until(self._find_face, timeout=15, message="the face window to map")
        wait_until(lambda: {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"}
                   <= desktop.wm_state(self.face), timeout=10,
                   message="the face's window states")
        # The first paint has landed once the picture shows inside the outline.
        self.wait_painted()

    def _find_face(self):
        if self.process.poll() is not None:
            raise AssertionError(f"vardo exited with {self.process.returncode}: {self.stderr()}")
        for wid in self.desktop.windows_titled("Vardo"):
            if self.desktop.viewable(wid) and self.desktop.pid_of(wid) in (None,
                                                                            self.process.pid):
                return wid
        return None

    def drag(self, start, delta, steps=10, button=1):
        """Presses at client point `start`, moves the pointer by `delta` in steps, releases."""
        d = self.desktop
        x0, y0 = self.to_screen(*start)
        d.move(x0, y0)
        d.press(button)
        for i in range(1, steps + 1):
            d.move(x0 + delta[0] * i // steps, y0 + delta[1] * i // steps)
            time.sleep(0.01)
        d.release(button)
        return (x0 + delta[0], y0 + delta[1])

    def wait_origin(self, expected, timeout=5):
        seen = []

        def arrived():
            seen[:] = [self.origin()]
            return seen[0] == tuple(expected)

        try:
            wait_until(arrived, timeout=timeout, message=f"the face at {expected}")
        except AssertionError:
            raise AssertionError(f"face at {seen[0] if seen else None}, expected {expected}")

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def alive(self):
        return self.process.poll() is None

    def origin(self):
        """Screen position of the face's client corner."""
        x, y, _, _ = self.desktop.geometry(self.face)
        return (x, y)

    def to_screen(self, x, y, wid=None):
        gx, gy, _, _ = self.desktop.geometry(wid or self.face)
        return (gx + x, gy + y)

    def face_shot(self):
        return self.desktop.window_shot(self.face, FACE_W, FACE_H)

    def wait_painted(self, timeout=5):
        # The hair at client (47, 20) is dark brown in the picture and on no background.
        expected = face_picture()[2][20][47][:3]
        wait_until(lambda: self.face_shot().at(47, 20) == expected, timeout=timeout,
                   message="the face to be painted")

    def pupils(self, shot=None):
        """Left and top of each pupil found on the screen, in client pixels (None if unseen)."""
        shot = shot or self.face_shot()
        return [find_pupil(shot, eye) for eye in (0, 1)]

    def wait_pupils(self, expected, timeout=4):
        seen = []

        def arrived():
            seen[:] = [self.pupils()]
            return seen[0] == list(expected)

        try:
            wait_until(arrived, timeout=timeout, interval=0.05, message=f"pupils at {expected}")
        except AssertionError:
            raise AssertionError(f"pupils at {seen[0] if seen else None}, expected {expected}")

    def menu(self, before, timeout=3):
        """Waits for a pop-up window that was not in `before` and returns (id, geometry)."""
        def appeared():
            now = self.desktop.override_redirect_windows()
            new = {k: v for k, v in now.items() if k not in before and v[2] > 20 and v[3] > 20}
            return next(iter(new.items()), None)

        return wait_until(appeared, timeout=timeout, message="the pop-up menu")

    def open_menu(self, x=47, y=40):
        """Right-clicks the face at client (x, y) and returns the menu's (id, geometry)."""
        before = self.desktop.override_redirect_windows()
        self.desktop.click(*self.to_screen(x, y), button=3)
        return self.menu(before)

    def wait_menu_closed(self, menu_id, timeout=3):
        wait_until(lambda: menu_id not in self.desktop.override_redirect_windows(),
                   timeout=timeout, message="the menu to close")

    def choose(self, menu_id, key, tries=3):
        """Types an entry's access key at the open menu until the menu closes. A key typed
        between the menu's map and its keyboard grab goes to the window that had the focus
        (seen under xfwm4 in the sanitizer build), and then the menu is still open a second
        later; a key the menu took closes it at once."""
        for attempt in range(tries):
            self.desktop.key(key)
            try:
                return self.wait_menu_closed(menu_id, timeout=1.5)
            except AssertionError:
                if attempt == tries - 1:
                    raise

    def open_about(self, active=False):
        """Chooses About from the menu (its key, A) and returns the About window once it is
        viewable, and active too if asked."""
        d = self.desktop
        menu, _ = self.open_menu()
        self.choose(menu, "a")
        about = wait_until(lambda: next((w for w in d.windows_titled("About Vardo")
                                         if d.viewable(w)), None),
                           message="the About window")
        if active:
            wait_until(lambda: d.active_window() == about, message="the About window active")
        return about

    def wait_exit(self, timeout=5):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("vardo did not exit")

    def stop(self):
        stop(self.process)
        if self.process in self.desktop.processes:
            self.desktop.processes.remove(self.process)
        # Its windows go with its connection.
        try:
            wait_until(lambda: not self.desktop.windows_titled("Vardo") and
                       not self.desktop.windows_titled("About Vardo"), timeout=5,
                       message="vardo's windows to go")
        except Exception:  # also a server that is gone
            pass
        # In the sanitizer build a report ends the process; whichever test it ran under fails.
        report = sanitizer_report(self.stderr())
        if report:
            raise AssertionError(f"vardo's sanitizer report: {report}\n{self.stderr()}")


_pictures = {}


def picture(name):
    if name not in _pictures:
        _pictures[name] = read_picture(os.path.join(RESOURCES, name))
    return _pictures[name]


def face_picture():
    return picture("face.gif")


def find_pupil(shot, eye):
    """Finds pupil `eye`'s picture (its opaque pixels) in the eye's area of a face shot."""
    _, _, template = picture(f"eye{eye}.gif")
    opaque = [(x, y, template[y][x][:3]) for y in range(PUPIL_H) for x in range(PUPIL_W)
              if template[y][x][3] == 255]
    rest_x, rest_y = EYES[eye][0]
    hits = []
    for top in range(rest_y - 9, rest_y + 4):
        for left in range(rest_x - 8, rest_x + 5):
            if all(shot.at(left + x, top + y) == colour for x, y, colour in opaque):
                hits.append((left, top))
    return hits[0] if len(hits) == 1 else None


class DesktopCase(unittest.TestCase):
    """One X server and window manager for the class; a fresh vardo for each test."""

    desktop = None
    start_vardo = True
    vardo_env = None

    @classmethod
    def setUpClass(cls):
        vardo_binary()
        cls.desktop = Desktop()
        cls.addClassCleanup(cls.desktop.close)

    def setUp(self):
        # Tests start with the pointer in the top-left corner.
        self.desktop.move(0, 0)
        self.vardo = None
        if self.start_vardo:
            self.vardo = Vardo(self.desktop, env=self.vardo_env)
            self.addCleanup(self.vardo.stop)
        self.addCleanup(self._release_everything)

    def _release_everything(self):
        d = self.desktop
        try:
            state = d.root.query_pointer().mask
            for button, bit in ((1, X.Button1Mask), (2, X.Button2Mask), (3, X.Button3Mask)):
                if state & bit:
                    d.release(button)
        except Exception:
            pass

    def save_failure_screen(self, name):
        try:
            return self.desktop.save_screen(name)
        except Exception:
            return None


def main():
    unittest.main(verbosity=2)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--wine-prefix":
        make_wine_prefix(sys.argv[2])
    else:
        sys.exit("this module holds the desktop tests' shared pieces; run a test_*_desktop.py")
