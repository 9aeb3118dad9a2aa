"""Wayland desktops: headless KWin and GNOME Shell, each with XWayland for the program, the
pointer moved through the compositor."""

import os
import resource
import select
import shutil
import socket
import subprocess
import time
import unittest

from Xlib import X, XK, display as xdisplay

from .pictures import _shot_of
from .processes import _die_with_parent, wait_until
from .x11 import SCREEN_H, SCREEN_W, Desktop

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
        self._knocking = None  # the connection that has KWin 6 start XWayland
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
        try:
            self.display_name, auth = wait_until(lambda: self._xwayland(process, log),
                                                 timeout=60,
                                                 message=f"{self.compositor}'s XWayland")
        finally:
            if self._knocking is not None:
                self._knocking.close()
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
        if self._knocking is None:
            self._knock(compositor.pid)
        return None

    def _knock(self, pid):
        """KWin 6 holds XWayland's display itself (the lock file and the sockets) and starts
        XWayland only when the first X client connects: connects to the display whose lock
        file names the compositor, and holds the connection until XWayland is there."""
        for name in os.listdir("/tmp"):
            if not (name.startswith(".X") and name.endswith("-lock")):
                continue
            try:
                with open(os.path.join("/tmp", name)) as f:
                    holder = int(f.read().strip() or 0)
            except (OSError, ValueError):
                continue
            if holder == pid:
                knock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                try:
                    knock.connect(f"/tmp/.X11-unix/X{name[2:-len('-lock')]}")
                except OSError:
                    knock.close()
                    return
                self._knocking = knock
                return

    def _connect(self):
        try:
            return xdisplay.Display(self.display_name)
        except Exception:
            return None

    def _start_window_manager(self):
        # The compositor is XWayland's window manager.
        self._wait_managing()
        if self.compositor == "gnome-shell":
            # The session starts in the overview; leave it for the desktop as a user does, with
            # Esc (GNOME Shell 48 and later ignore OverviewActive set by other programs), once
            # the shell's start-up, which ends by showing it, is over.
            def started():
                with open(os.path.join(self.tmp, "compositor.log"), errors="replace") as f:
                    return any("GNOME Shell started at" in line for line in f)

            wait_until(started, message="GNOME Shell's start-up")
            shell = self._dbus.get_object("org.gnome.Shell", "/org/gnome/Shell")

            def closed():
                if not shell.Get("org.gnome.Shell", "OverviewActive",
                                 dbus_interface="org.freedesktop.DBus.Properties"):
                    return True
                for pressed in (True, False):
                    self._remote.NotifyKeyboardKeysym(XK.XK_Escape, pressed)
                return False

            wait_until(closed, interval=0.5, message="the overview to close")

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

    def key(self, name):
        if self.compositor != "kwin":
            Desktop.key(self, name)
            return
        # KWin 6 hands XTest's keys to XWayland through libei, and a menu that has the
        # keyboard loses them; typed through fake input they come as from a keyboard. Linux
        # key codes are XWayland's less 8.
        self._kwin_command(f"key {self.keycode(name) - 8}")

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
