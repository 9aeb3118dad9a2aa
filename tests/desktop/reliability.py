"""Pieces shared by the reliability tests (faults, bad input, the soak, the memcheck session).

On top of the harness: a recording link handler reached through the real xdg-open, the
process's children and memory from /proc, checks of the face's shape, window states and aim,
a desktop whose window manager starts late or is restarted, and a desktop whose screen can be
resized (Xephyr nested in a hidden Xvfb, since Xvfb's own screen has one fixed size).
"""

import os
import signal
import stat
import subprocess

import harness as h
from Xlib import X, display as xdisplay

HANDLER_SCHEMES = ("x-scheme-handler/mailto", "x-scheme-handler/http",
                   "x-scheme-handler/https")
# The About window's links, in client pixels of that window.
ABOUT_EMAIL = (69 + 107 // 2, 33 + 18 // 2)
ABOUT_HOMEPAGE = (3 + 238 // 2, 49 + 18 // 2)
ABOUT_OK = (92 + 65 // 2, 78 + 23 // 2)
EMAIL_TARGET = "mailto:vardo@example.org"
HOMEPAGE_TARGET = "https://www.example.org/vardo/"

# How a link handler behaves: records its argument and ends; fails; never ends.
HANDLER_BODIES = {
    "record": 'for arg in "$@"; do printf \'%s\\n\' "$arg" >> "{record}"; done\n',
    "fail": 'printf \'%s\\n\' "$1" >> "{record}"\nexit 1\n',
    "hang": 'echo $$ >> "{record}.pids"\nprintf \'%s\\n\' "$1" >> "{record}"\nexec sleep 600\n',
}


def link_handler_env(tmp, behaviour="record"):
    """Environment for vardo in which xdg-open sends every link to a handler script.

    Returns (env, record path). The handler appends each argument it gets as one line.
    """
    base = os.path.join(tmp, f"links-{behaviour}")
    config, data = os.path.join(base, "config"), os.path.join(base, "data")
    applications = os.path.join(data, "applications")
    os.makedirs(config, exist_ok=True)
    os.makedirs(applications, exist_ok=True)
    record = os.path.join(base, "links.txt")
    handler = os.path.join(base, "handler")
    with open(handler, "w") as f:
        f.write("#!/bin/sh\n" + HANDLER_BODIES[behaviour].replace("{record}", record))
    os.chmod(handler, os.stat(handler).st_mode | stat.S_IXUSR)
    with open(os.path.join(applications, "vardo-link-handler.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Link handler\n"
                f"Exec={handler} %u\nNoDisplay=true\nMimeType={';'.join(HANDLER_SCHEMES)};\n")
    with open(os.path.join(config, "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\n")
        for scheme in HANDLER_SCHEMES:
            f.write(f"{scheme}=vardo-link-handler.desktop\n")
    env = {
        "XDG_CONFIG_HOME": config, "XDG_CONFIG_DIRS": config,
        "XDG_DATA_HOME": data, "XDG_DATA_DIRS": data,
        "BROWSER": f"{handler} --browser %s",
        "XDG_CURRENT_DESKTOP": None, "DESKTOP_SESSION": None, "KDE_FULL_SESSION": None,
        "GNOME_DESKTOP_SESSION_ID": None, "MATE_DESKTOP_SESSION_ID": None,
        "LXQT_SESSION_CONFIG": None, "DESKTOP": None,
    }
    return env, record


def end_hanging_handlers(record):
    """Kills the handlers that were made to hang (they are not vardo's children)."""
    for pid in read_lines(record + ".pids"):
        try:
            os.kill(int(pid), signal.SIGKILL)
        except ProcessLookupError:
            pass


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().splitlines()


def wait_lines(path, count, timeout=15):
    return h.wait_until(lambda: len(read_lines(path)) >= count and read_lines(path),
                        timeout=timeout, interval=0.1,
                        message=f"{count} line(s) from the link handler")


# -- the process ----------------------------------------------------------------------------

def children(pid):
    """Processes whose parent is pid, as (pid, state, name); zombies have state Z."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text[text.rindex(")") + 2:].split()
        if int(fields[1]) == pid:
            found.append((int(entry), fields[0], name))
    return found


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS line")


# -- what the face looks like ---------------------------------------------------------------

def shaped_pixels(desktop, wid):
    reply = desktop.window(wid).shape_get_rectangles(h.shape.SK.Bounding)
    return {(x, y) for r in reply.rectangles
            for y in range(r.y, r.y + r.height) for x in range(r.x, r.x + r.width)}


_outline = []


def shape_faults(desktop, wid):
    """What is wrong with the face's bounding shape, as text (empty when it is the head)."""
    if not _outline:
        _outline.extend(h.outline_classes())
    inside, outside = _outline
    shaped = shaped_pixels(desktop, wid)
    faults = []
    if any(not (0 <= x < h.FACE_W and 0 <= y < h.FACE_H) for x, y in shaped):
        faults.append("the shape reaches outside the window")
    if inside - shaped:
        faults.append(f"{len(inside - shaped)} pixels inside the outline are cut away")
    if outside & shaped:
        faults.append(f"{len(outside & shaped)} pixels outside the outline are kept")
    return "; ".join(faults)


def check_aim(vardo, points, timeout=4):
    """Moves the pointer to each screen point and waits for the pupils to aim at it.

    The face starts out taking the cursor to be at (0, 0) and moves nothing until it sees it
    somewhere else, so the walk never starts there.
    """
    d = vardo.desktop
    if points and tuple(points[0]) == (0, 0):
        points = list(points[1:]) + [points[0]]
    for sx, sy in points:
        d.move(sx, sy)
        ox, oy = vardo.origin()
        client = (sx - ox, sy - oy)
        vardo.wait_aimed(client, timeout=timeout)


def aim_points(desktop, vardo):
    """Screen points all around the face, at the screen's edges, that move both pupils."""
    ox, oy = vardo.origin()
    w, hh = desktop.width, desktop.height
    return [(0, 0), (w - 1, 0), (w - 1, hh - 1), (0, hh - 1),
            (0, min(hh - 1, oy + 80)), (w - 1, min(hh - 1, oy + 80))]


# -- desktops with a window manager that comes and goes, or a screen that changes size ------

class LateWmDesktop(h.Desktop):
    """A desktop that starts without a window manager; start_wm() and kill_wm() drive it."""

    def __init__(self, width=h.SCREEN_W, height=h.SCREEN_H):
        self.wm_process = None
        super().__init__(width, height)

    def _start_window_manager(self):
        pass

    def start_wm(self):
        count = len(self.processes)
        h.Desktop._start_window_manager(self)
        self.wm_process = self.processes[count]

    def kill_wm(self, sig):
        self.wm_process.send_signal(sig)
        self.wm_process.wait(timeout=10)
        self.processes.remove(self.wm_process)
        self.wm_process = None
        # The check window goes with openbox; the root keeps naming it until the next one.
        self.d.sync()

    def top_level_titled(self, title):
        """Mapped windows named title, managed or not."""
        found = []

        def walk(w, depth):
            for child in w.query_tree().children:
                try:
                    name = child.get_wm_name()
                    if name == title and child.get_attributes().map_state == X.IsViewable:
                        found.append(child.id)
                    elif depth < 2:
                        walk(child, depth + 1)
                except Exception:
                    pass

        walk(self.root, 0)
        return found


class KeyboardWmDesktop(h.Desktop):
    """A desktop whose openbox closes the active window on Alt+F4, as stock openbox does."""

    OPENBOX_EXTRA = """
  <keyboard><keybind key="A-F4"><action name="Close"/></keybind></keyboard>"""


class UnmanagedVardo(h.Vardo):
    """vardo on a desktop that may have no window manager: its window is found in the tree."""

    def _find_face(self):
        if self.process.poll() is not None:
            raise AssertionError(f"vardo exited with {self.process.returncode}: {self.stderr()}")
        found = self.desktop.top_level_titled("Vardo")
        return found[0] if found else None


class ResizableDesktop(h.Desktop):
    """Xephyr, whose screen RandR can resize, nested in a hidden Xvfb; openbox manages it."""

    MAX_W, MAX_H = 1600, 1200

    def _start_server(self):
        host = self._start_x(["Xvfb", "-screen", "0", f"{self.MAX_W}x{self.MAX_H}x24"],
                             timeout=15)
        env = dict(os.environ, DISPLAY=host)
        self.display_name = self._start_x(
            ["Xephyr", "-screen", f"{self.width}x{self.height}x24", "-resizeable",
             "+extension", "XFIXES", "+extension", "SHAPE", "+extension", "XTEST"],
            env=env, timeout=15)
        self.d = xdisplay.Display(self.display_name)
        self.root = self.d.screen().root
        subprocess.run(["xsetroot", "-solid", "#%02x%02x%02x" % h.DESKTOP_RGB],
                       env=self.env(), check=True, timeout=10)

    def resize(self, width, height):
        subprocess.run(["xrandr", "-s", f"{width}x{height}"], env=self.env(), check=True,
                       timeout=10, stdout=subprocess.DEVNULL)
        geometry = self.root.get_geometry
        h.wait_until(lambda: (geometry().width, geometry().height) == (width, height),
                     message=f"the screen at {width}x{height}")
        self.width, self.height = width, height
