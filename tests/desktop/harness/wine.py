"""Wine, for the Windows executable: when VARDO_BINARY names vardo.exe, the desktop tests run it
under Wine, each desktop with a private prefix copied from one template (made once, since it
takes seconds: `python3 -m harness --wine-prefix DIR` in tests/desktop)."""

import glob
import os
import re
import shutil
import subprocess

# The program under test is the Windows executable, run under Wine.
WINE = os.environ.get("VARDO_BINARY", "").lower().endswith(".exe")
# Quiet, and no offer to install Mono or Gecko; no menu entries written into the user's home.
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}


def wine_env(prefix, base=None):
    """The environment of Wine's programs on `prefix`, from `base` (ours by default). Without
    TMPDIR: Wine 10's wineserver aborts ("free(): invalid pointer") whenever TMPDIR is set,
    whatever it names, and Wine has no use for it."""
    env = dict(os.environ if base is None else base, WINEPREFIX=os.path.abspath(prefix),
               **WINE_ENV)
    env.pop("TMPDIR", None)
    return env


def wineserver():
    """Wine's server: on the PATH up to Debian 12, only in Wine's library folder after."""
    found = shutil.which("wineserver") or next(
        (path for path in sorted(glob.glob("/usr/lib/*/wine/wineserver*") +
                                 glob.glob("/usr/lib/wine/wineserver*"))
         if os.access(path, os.X_OK)), None)
    if not found:
        raise AssertionError("wineserver is missing (make deps installs wine)")
    return found


def _prefix_env(prefix):
    """Wine on `prefix` with no display: for setting the prefix up."""
    env = wine_env(prefix)
    env.pop("DISPLAY", None)
    return env


def _reg_add(env, key, value, data, *options):
    return subprocess.run(["wine", "reg", "add", key, "/v", value, *options, "/d", data, "/f"],
                          env=env, timeout=120, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)


def make_wine_prefix(path):
    """A Wine prefix to copy for each desktop. Links go to the desktop's handlers: http and
    https through xdg-open, mailto through xdg-email."""
    env = _prefix_env(path)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # wineboot returns while the prefix is still being set up; a program started meanwhile
    # may fail to start at all (status 127, seen once in CI).
    subprocess.run([wineserver(), "-w"], env=env, check=True, timeout=120)
    for value, program in (("Browsers", "xdg-open"), ("Mailers", "xdg-email")):
        for attempt in range(3):
            done = _reg_add(env, r"HKCU\Software\Wine\WineBrowser", value, program)
            if done.returncode == 0:
                break
            subprocess.run([wineserver(), "-w"], env=env, timeout=120)
        else:
            done.check_returncode()
    subprocess.run([wineserver(), "-w"], env=env, check=True, timeout=120)
    _remove_server_folder(path)


def copy_wine_prefix(folder, dpi=None):
    """A prefix of a desktop's own in `folder`, copied from VARDO_WINE_TEMPLATE: two displays
    sharing one would share a cursor. `dpi` sets its dots per inch: the LogPixels value under
    HKCU\\Control Panel\\Desktop, which Wine 8 reads before the machine's value under
    HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts."""
    template = os.environ.get("VARDO_WINE_TEMPLATE", "")
    if not os.path.isfile(os.path.join(template, "system.reg")):
        raise RuntimeError("VARDO_WINE_TEMPLATE does not name a Wine prefix (python3 -m "
                           "harness --wine-prefix DIR makes one)")
    prefix = os.path.join(folder, "wine")
    # Not the file naming the template's server.
    shutil.copytree(template, prefix, symlinks=True,
                    ignore=lambda folder, names: ["wineserver"] if folder == template else [])
    if dpi:
        _reg_add(_prefix_env(prefix), r"HKCU\Control Panel\Desktop", "LogPixels", str(dpi),
                 "/t", "REG_DWORD").check_returncode()
    return prefix


def _remove_server_folder(prefix):
    """Debian's Wine keeps a prefix's server socket in a folder of /tmp (wine-XXXXXX), named in
    the prefix's `wineserver` file, and leaves the folder there when the server ends."""
    try:
        with open(os.path.join(prefix, "wineserver")) as f:
            name = f.read().strip()
    except OSError:
        return
    if re.fullmatch(r"wine-\w{6}", name):
        shutil.rmtree(os.path.join("/tmp", name), ignore_errors=True)


def stop_wine_prefix(prefix):
    # The prefix's server outlives the programs by seconds; it is no child of ours.
    subprocess.run([wineserver(), "-k"], env=wine_env(prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    _remove_server_folder(prefix)


def wine_command(command, env, prefix):
    """The command and environment that run `command` under Wine on `prefix` when the program
    under test is the Windows one; else both as they are."""
    if not WINE:
        return command, env
    return ["wine", *command], wine_env(prefix, env)
