"""X11 desktops: an Xvfb server with a window manager, and a client connection that reads the
window manager's properties and the screen's pixels and sends XTest pointer and keyboard
input."""

import os
import select
import shutil
import subprocess
import tempfile
import time

from Xlib import X, XK, Xatom, display as xdisplay, error as xerror
from Xlib.ext import shape, xtest  # noqa: F401  (registers the extensions' methods)
from Xlib.protocol import event as xevent

from .pictures import _shot_of
from .processes import _die_with_parent, artifact_dir, stop, wait_until
from .wine import WINE, copy_wine_prefix, stop_wine_prefix

SCREEN_W, SCREEN_H = 1024, 768
# The root's colour: a flat blue that appears nowhere in the face picture.
DESKTOP_RGB = (0x20, 0x60, 0xA0)

# Window managers a Desktop can run: Desktop(wm=...) or VARDO_TEST_WM picks one, openbox by
# default.
WINDOW_MANAGERS = ("openbox", "xfwm4", "metacity", "icewm")


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

    `wine_dpi` sets the dots per inch of the desktop's Wine prefix (96 by default; see
    copy_wine_prefix)."""

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
                self.wine_prefix = copy_wine_prefix(self.tmp, wine_dpi)
            self._start_server()
            self._start_window_manager()
        except BaseException:
            self.close()
            raise

    # -- processes -----------------------------------------------------------------------

    def spawn(self, argv, env=None, quiet=False, **kwargs):
        """Starts a child that dies with this process and is killed by close(); a quiet one
        writes nowhere."""
        if quiet:
            kwargs.update(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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

    def _start_x(self, argv, env=None, timeout=10):
        """Starts an X server (argv, less the options every one gets), a child of this desktop,
        and returns its display name once it reports the number it picked."""
        read_end, write_end = os.pipe()
        try:
            server = subprocess.Popen(
                argv + ["-displayfd", str(write_end), "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), preexec_fn=_die_with_parent, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
            self.processes.append(server)
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + timeout
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or server.poll() is not None:
                    raise RuntimeError(f"{argv[0]} did not report a display number")
                ready, _, _ = select.select([read_end], [], [], remaining)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        raise RuntimeError(f"{argv[0]} closed its display pipe")
                    number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        return ":" + number.decode().strip()

    def _start_server(self):
        self.display_name = self._start_x(
            ["Xvfb"] + self._screen_arguments() + ["+extension", "XFIXES", "+extension", "SHAPE"])
        if self.x_screen:
            self.display_name += f".{self.x_screen}"
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
                   quiet=True)
        wait_until(lambda: os.path.exists(path), timeout=10, message="the session bus")
        return "unix:path=" + path

    def _start_xfwm4(self):
        # Under Xvfb the compositor would only get in the way of screenshots.
        self.spawn(["xfwm4", "--compositor=off"],
                   env=self._wm_env(DBUS_SESSION_BUS_ADDRESS=self._session_bus()), quiet=True)

    def _start_metacity(self):
        self.spawn(["metacity", "--replace", "--sm-disable", "--compositor=none"],
                   env=self._wm_env(DBUS_SESSION_BUS_ADDRESS=self._session_bus(),
                                    GSETTINGS_BACKEND="memory"), quiet=True)

    def _start_icewm(self):
        config = os.path.join(self.tmp, "icewm")
        os.makedirs(config, exist_ok=True)
        self.spawn(["icewm"], env=self._wm_env(ICEWM_PRIVCFG=config), quiet=True)

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
                   quiet=True)

    def close(self):
        if self.wine_prefix:
            stop_wine_prefix(self.wine_prefix)
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

    def icons(self, wid):
        """The window's icons (_NET_WM_ICON) as (width, height, rows of (r, g, b, a))."""
        prop = self.window(wid).get_full_property(self.atom("_NET_WM_ICON"), Xatom.CARDINAL)
        data, found = list(prop.value) if prop else [], []
        while len(data) >= 2:
            w, hh = data[0], data[1]
            argb = data[2:2 + w * hh]
            found.append((w, hh, [[((p >> 16) & 255, (p >> 8) & 255, p & 255, (p >> 24) & 255)
                                   for p in argb[y * w:(y + 1) * w]] for y in range(hh)]))
            data = data[2 + w * hh:]
        return found

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

    def make_active(self, wid, message="the window active"):
        """Activates the window and waits until it is the active one, asking again every
        2 s: a window the program has just shown may still have its own activation request
        to make (Qt makes it once it has handled the window's MapNotify, late on a loaded
        machine), and a window manager takes that later request, however old its time,
        over ours."""
        asked = 0.0

        def active():
            nonlocal asked
            if self.active_window() == wid:
                return True
            if time.monotonic() >= asked + 2:
                self.activate(wid)
                asked = time.monotonic()
            return False

        wait_until(active, message=message)

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

