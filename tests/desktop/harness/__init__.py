"""Shared pieces of the desktop tests.

Each test program gets its own X server (Xvfb, on a display number the server picks itself),
a real window manager (openbox) and the real vardo binary, and drives them the way a user
would: with XTest pointer and keyboard input. What it checks is what ends up on the screen,
in the window manager's properties and in the process's exit status.

Run with Debian's /usr/bin/python3 (it has python3-xlib). The binary comes from VARDO_BINARY.
When it names vardo.exe, the Windows build, it runs under Wine (see wine), and tests that
concern only the Linux program skip.

The parts:
  processes  waiting for what the tests expect, and the child processes they start
  geometry   the face as the tests expect it: its size, outline and where the pupils go
  pictures   the program's pictures, shots of the screen, the pupils found in a shot
  x11        Xvfb desktops with a window manager, driven through XTest
  wayland    headless KWin and GNOME Shell desktops
  wine       Wine prefixes for the Windows executable
  vardo      the program's driver, and the test case that starts it afresh for each test

The tests import the package (import harness as h) and use the names gathered here.
"""

from Xlib import X  # noqa: F401
from Xlib.ext import shape, xtest  # noqa: F401

from .geometry import (EYES, FACE_H, FACE_W, OUTLINE, OUTLINE_CLIENT, PUPIL_H,  # noqa: F401
                       PUPIL_HOME, PUPIL_W, _segment_distance, expected_pupil,
                       expected_pupils, f32, inside_polygon, outline_classes)
from .pictures import (RESOURCES, SOURCE_ROOT, Shot, face_picture, find_pupil,  # noqa: F401
                       picture, read_picture)
from .processes import (DEFAULT_TIMEOUT, SANITIZER_REPORT_MARKS, _die_with_parent,  # noqa: F401
                        artifact_dir, sanitizer_report, stop, stretch_waits, wait_equal,
                        wait_until)
from .vardo import DesktopCase, Vardo, main, vardo_binary  # noqa: F401
from .wayland import (COMPOSITORS, EXTENSION_UUID, LINUX_BUTTONS, WaylandDesktop,  # noqa: F401
                      make_desktop)
from .wine import WINE, WINE_ENV, make_wine_prefix, wine_env, wineserver  # noqa: F401
from .x11 import DESKTOP_RGB, SCREEN_H, SCREEN_W, WINDOW_MANAGERS, Desktop  # noqa: F401
