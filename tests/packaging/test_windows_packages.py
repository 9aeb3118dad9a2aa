#!/usr/bin/python3
"""The Windows downloads under Wine, each test on a desktop and a Wine prefix of its own: the
portable zip, and the installer through a silent install, an update over a running face and a
silent uninstall.

Wine runs every program as administrator, so that the installer needs no administrator rights
is shown by what it asks for (the asInvoker manifests of the setup and the uninstaller) and by
where it writes: only into the user's profile and HKEY_CURRENT_USER.

VARDO_BINARY names build-windows/vardo.exe, beside which make windows leaves the zip and the
setup; VARDO_VERSION is the program's version; VARDO_WINE_TEMPLATE as for the desktop tests.
"""

import os
import signal
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "desktop"))

import harness as h  # noqa: E402
from check_version_record import read_pe  # noqa: E402

RT_MANIFEST = 24
TITLE = "Pellmoor"
PUBLISHER = "https://www.example.org/vardo/"
INSTALLED = ["LICENSE.txt", "uninstall.exe", "vardo.exe"]
UNINSTALL_KEY = rf"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\{TITLE}"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def downloads():
    build = os.path.dirname(h.vardo_binary())
    base = os.path.join(build, f"vardo-{os.environ['VARDO_VERSION']}-win64")
    return base + ".zip", base + "-setup.exe"


def execution_level(path):
    """The requestedExecutionLevel of the executable's manifest."""
    _, manifest = read_pe(path)[(RT_MANIFEST, 1)]
    levels = [e.get("level") for e in ElementTree.fromstring(manifest).iter()
              if e.tag.endswith("}requestedExecutionLevel")]
    return levels[0] if len(levels) == 1 else levels


def shortcut(path):
    """(target, icon location, icon index) of a shell link (.lnk) file."""
    with open(path, "rb") as f:
        data = f.read()
    flags = int.from_bytes(data[20:24], "little")
    icon_index = int.from_bytes(data[56:60], "little", signed=True)
    at = 76
    if flags & 0x01:  # HasLinkTargetIDList
        at += 2 + int.from_bytes(data[at:at + 2], "little")
    target = None
    if flags & 0x02:  # HasLinkInfo: the target's local path, in the ANSI code page
        base = at + int.from_bytes(data[at + 16:at + 20], "little")
        target = data[base:data.index(b"\0", base)].decode("cp1252")
        at += int.from_bytes(data[at:at + 4], "little")
    strings = []  # name, relative path, working folder, arguments, icon location
    for bit in (0x04, 0x08, 0x10, 0x20, 0x40):
        if flags & bit:
            count = int.from_bytes(data[at:at + 2], "little")
            # Wine counts the closing NUL too.
            strings.append(data[at + 2:at + 2 + 2 * count].decode("utf-16-le").rstrip("\0"))
            at += 2 + 2 * count
        else:
            strings.append(None)
    return target, strings[4], icon_index


class WineCase(h.DesktopCase):
    start_vardo = False

    def wine(self, *args, output=False):
        """Runs a program in the prefix; returns its exit status, or its output if asked.
        Output goes to a file, not a pipe: a face the setup starts would hold a pipe open."""
        env = h.wine_env(self.desktop.wine_prefix, self.desktop.env())
        with tempfile.TemporaryFile() as out:
            status = subprocess.run(["wine"] + list(args), env=env, stdout=out,
                                    stderr=subprocess.DEVNULL, timeout=120).returncode
            out.seek(0)
            return (status, out.read().decode(errors="replace")) if output else status

    def wait_idle(self):
        """Until every program in the prefix has ended and the registry is on disk."""
        subprocess.run([h.wineserver(), "-w"], timeout=60, check=True,
                       env=h.wine_env(self.desktop.wine_prefix))

    def reg_query(self, key):
        """{name: data} of the key's values, or None without the key."""
        status, text = self.wine("reg", "query", key, output=True)
        if status != 0:
            return None
        values = {}
        for line in text.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
        return values

    def drive_c(self, *parts):
        return os.path.join(self.desktop.wine_prefix, "drive_c", *parts)

    def profile(self):
        """The user's profile folder (C:\\users\\NAME), as (Windows path, path here)."""
        users = [u for u in os.listdir(self.drive_c("users")) if u != "Public"]
        self.assertEqual(len(users), 1, users)
        return "C:\\users\\" + users[0], self.drive_c("users", users[0])

    def files(self):
        """Every file and folder of drive C, but Windows' own."""
        found = set()
        for folder, dirs, names in os.walk(self.drive_c()):
            rel = os.path.relpath(folder, self.drive_c())
            if rel == ".":
                dirs.remove("windows")
            found.update(os.path.normpath(os.path.join(rel, n)) for n in dirs + names)
        return found


class PortableZip(WineCase):
    def test_zip_holds_a_working_vardo_exe(self):
        zip_path, _ = downloads()
        with zipfile.ZipFile(zip_path) as z:
            self.assertEqual(sorted(z.namelist()), ["LICENSE.txt", "README.txt", "vardo.exe"])
            readme = z.read("README.txt")
            folder = self.drive_c("Pellmoor portable")
            z.extractall(folder)
        self.assertIn(f"{TITLE} {os.environ['VARDO_VERSION']}".encode(), readme)
        self.assertNotIn(b"\n", readme.replace(b"\r\n", b""), "README.txt without CRLF line ends")
        vardo = h.Vardo(self.desktop, binary=r"C:\Pellmoor portable\vardo.exe")
        self.addCleanup(vardo.stop)
        self.assertEqual(self.desktop.geometry(vardo.face)[2:], (h.FACE_W, h.FACE_H))


class Installer(WineCase):
    def test_install_update_uninstall(self):
        zip_path, setup = downloads()
        with zipfile.ZipFile(zip_path) as z:
            packaged_exe = z.read("vardo.exe")
        self.assertEqual(execution_level(setup), "asInvoker")
        windows_profile, profile = self.profile()
        install_dir = os.path.join(profile, "AppData", "Local", "Programs", TITLE)
        windows_dir = windows_profile + rf"\AppData\Local\Programs\{TITLE}"
        windows_exe = windows_dir + r"\vardo.exe"
        link = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows",
                            "Start Menu", "Programs", f"{TITLE}.lnk")
        before = self.files()

        # A mistyped option ends the setup with an error before it changes anything.
        self.assertEqual(self.wine(setup, "/S", "/AUTOSTART=yes"), 1)
        self.assertEqual(self.files(), before)

        self.assertEqual(self.wine(setup, "/S"), 0)
        self.wait_idle()
        self.assertEqual(sorted(os.listdir(install_dir)), INSTALLED)
        with open(os.path.join(install_dir, "vardo.exe"), "rb") as f:
            self.assertEqual(f.read(), packaged_exe)
        self.assertEqual(execution_level(os.path.join(install_dir, "uninstall.exe")),
                         "asInvoker")
        self.assertEqual(shortcut(link), (windows_exe, windows_exe, 0))
        in_profile = os.path.relpath(profile, self.drive_c()) + os.sep
        self.assertEqual({f for f in self.files() - before if not f.startswith(in_profile)},
                         set(), "written outside the user's profile")
        # Nothing under HKEY_LOCAL_MACHINE.
        with open(os.path.join(self.desktop.wine_prefix, "system.reg"), errors="replace") as f:
            machine = f.read().lower()
        self.assertNotIn(TITLE.lower(), machine)
        self.assertNotIn("vardo", machine)

        entry = self.reg_query(UNINSTALL_KEY)
        size = sum(os.path.getsize(os.path.join(install_dir, n)) for n in INSTALLED)
        # In KiB, as Settings shows it; each file's size may be rounded down.
        self.assertAlmostEqual(int(entry.pop("EstimatedSize"), 16), size / 1024,
                               delta=len(INSTALLED))
        uninstaller = windows_dir + r"\uninstall.exe"
        self.assertEqual(entry, {
            "DisplayName": TITLE, "DisplayVersion": os.environ["VARDO_VERSION"],
            "Publisher": PUBLISHER, "DisplayIcon": windows_exe + ",0",
            "InstallLocation": windows_dir, "URLInfoAbout": PUBLISHER,
            "UninstallString": f'"{uninstaller}"',
            "QuietUninstallString": f'"{uninstaller}" /S',
            "NoModify": "0x1", "NoRepair": "0x1"})
        self.assertNotIn(TITLE, self.reg_query(RUN_KEY) or {}, "autostart on by default")

        # A face that does not answer holds vardo.exe: the setup gives up with an error and
        # leaves the installed copy as it was. (Bytes after its end, which Windows does not
        # load, make it another version here.)
        other_version = packaged_exe + b"another version"
        with open(os.path.join(install_dir, "vardo.exe"), "wb") as f:
            f.write(other_version)
        stuck = h.Vardo(self.desktop, binary=windows_exe)
        self.addCleanup(stuck.stop)
        os.kill(stuck.process.pid, signal.SIGSTOP)
        try:
            self.assertEqual(self.wine(setup, "/S"), 2)
        finally:
            os.kill(stuck.process.pid, signal.SIGCONT)
        self.assertEqual(sorted(os.listdir(install_dir)), INSTALLED)
        with open(os.path.join(install_dir, "vardo.exe"), "rb") as f:
            self.assertEqual(f.read(), other_version)
        # It was asked to close, and does once it runs again.
        self.assertEqual(stuck.wait_exit(timeout=10), 0)

        # Updating over a running face closes it, replaces it and starts the new one.
        running = h.Vardo(self.desktop, binary=windows_exe)
        self.addCleanup(running.stop)
        self.assertEqual(self.wine(setup, "/S", "/AUTOSTART=1"), 0)
        self.assertEqual(running.wait_exit(timeout=15), 0)
        # Its window went with its process, so a face on the screen now is the new one.
        h.wait_until(lambda: [w for w in self.desktop.windows_titled("Vardo")
                              if self.desktop.viewable(w)],
                     timeout=15, message="the updated face")
        with open(os.path.join(install_dir, "vardo.exe"), "rb") as f:
            self.assertEqual(f.read(), packaged_exe)
        self.assertEqual(sorted(os.listdir(install_dir)), INSTALLED)
        self.assertEqual(self.reg_query(RUN_KEY).get(TITLE), f'"{windows_exe}"')

        # The quiet uninstall closes the face and takes everything away: the folder, the
        # shortcut, the entry, the autostart, and its own copy in the temporary folder.
        command = entry["QuietUninstallString"]
        self.assertEqual(self.wine(command[1:command.index('"', 1)], "/S"), 0)
        self.wait_idle()
        self.assertEqual(self.desktop.windows_titled("Vardo"), [])
        self.assertEqual(self.files(), before)
        self.assertIsNone(self.reg_query(UNINSTALL_KEY))
        self.assertNotIn(TITLE, self.reg_query(RUN_KEY) or {})
        for hive in ("user.reg", "system.reg"):
            with open(os.path.join(self.desktop.wine_prefix, hive), errors="replace") as f:
                text = f.read().lower()
            self.assertNotIn(TITLE.lower(), text, hive)
            self.assertNotIn("vardo", text, hive)


if __name__ == "__main__":
    h.main()
