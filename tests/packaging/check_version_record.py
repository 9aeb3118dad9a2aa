#!/usr/bin/python3
"""Compiles vardo.rc with the MinGW resource compiler and reads the .res back: the version
record (fixed part, strings in order, translation) and the icon (group 1 holding image 30001,
whose bytes are the image in vardo.ico).

With --exe, reads the same from the resources of the built vardo.exe instead (python3-pefile),
and checks the executable itself: 64-bit, GUI subsystem, the pictures and the cursor embedded
as they are in resources/, and no DLL imported but the system's own."""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import unittest

RT_CURSOR = 1
RT_ICON = 3
RT_RCDATA = 10
RT_GROUP_CURSOR = 12
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
LANG_EN_US = 0x0409

COMMENT = ("He comes up on your desktop and his eyes follow your cursor as you move it "
           "around the desktop.")


def align4(n):
    return (n + 3) & ~3


def read_id(data, at):
    """A resource type or name: 0xFFFF and a number, or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, at)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_res(data):
    """Entries of a 32-bit .res file as {(type, name): (language, bytes)}."""
    entries = {}
    at = 0
    while at < len(data):
        data_size, header_size = struct.unpack_from("<II", data, at)
        res_type, p = read_id(data, at + 8)
        name, p = read_id(data, p)
        p = align4(p)
        _data_version, _flags, language = struct.unpack_from("<IHH", data, p)
        body = data[at + header_size:at + header_size + data_size]
        if not (data_size == 0 and res_type == 0 and name == 0):  # the leading empty entry
            if (res_type, name) in entries:
                raise ValueError(f"resource {res_type}/{name} appears twice")
            entries[(res_type, name)] = (language, body)
        at = align4(at + header_size + data_size)
    return entries


def read_pe(path):
    """Entries of an executable's resources, as read_res gives them."""
    import pefile  # python3-pefile; only the executable's check needs it

    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])

    def key(entry):
        return entry.id if entry.name is None else str(entry.name)

    entries = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                if (key(kind), key(name)) in entries:
                    raise ValueError(f"resource {key(kind)}/{key(name)} appears twice")
                data = language.data.struct
                entries[(key(kind), key(name))] = (language.id,
                                                   pe.get_data(data.OffsetToData, data.Size))
    return entries


def read_node(data, at=0):
    """One node of a version resource: (key, value type, value, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, at)
    end = at + length
    p = at + 6
    key_end = p
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[p:key_end].decode("utf-16-le")
    p = align4(key_end + 2)
    if value_type == 1:  # text, length in characters including the NUL
        value = data[p:p + 2 * value_length].decode("utf-16-le")
        if value_length and not value.endswith("\0"):
            raise ValueError(f"string {key!r} is not NUL-terminated")
        value = value.rstrip("\0")
        p += 2 * value_length
    else:
        value = data[p:p + value_length]
        p += value_length
    children = []
    p = align4(p)
    while p < end:
        child, p = read_node(data, p)
        children.append(child)
        p = align4(p)
    return (key, value_type, value, children), end


class VersionRecordTest(unittest.TestCase):
    options = None
    resources = None

    @classmethod
    def setUpClass(cls):
        o = cls.options
        with open(o.ico, "rb") as f:
            cls.ico = f.read()
        parts = [int(p) for p in o.version.split(".")]
        cls.version = (parts + [0, 0, 0, 0])[:4]
        cls.short_version = f"{parts[0]}.{parts[1]:02d}"
        if o.exe:
            cls.resources = read_pe(o.exe)
            return
        os.makedirs(o.work, exist_ok=True)
        res = os.path.join(o.work, "vardo.res")
        # No headers are included, so the host's C preprocessor does; MinGW's gcc need not be
        # installed.
        result = subprocess.run(
            [o.windres, "--preprocessor=cpp", "--preprocessor-arg=-E",
             "--preprocessor-arg=-xc", "-O", "res", "-i", o.rc, "-o", res],
            capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"{o.windres} failed:\n{result.stderr}")
        with open(res, "rb") as f:
            cls.resources = read_res(f.read())

    def resource(self, res_type, name):
        self.assertIn((res_type, name), self.resources,
                      f"no resource of type {res_type} named {name}")
        language, body = self.resources[(res_type, name)]
        self.assertEqual(language, LANG_EN_US)
        return body

    def test_only_the_expected_resources(self):
        expected = [(RT_ICON, 30001), (RT_GROUP_ICON, 1), (RT_VERSION, 1)]
        if self.options.exe:
            # The pictures and the link cursor, named as the windows ask for them; the cursor's
            # image is numbered by the resource compiler.
            expected += [(RT_RCDATA, "FACE.GIF"), (RT_RCDATA, "EYE0.GIF"),
                         (RT_RCDATA, "EYE1.GIF"), (RT_GROUP_CURSOR, "LINK.CUR"), (RT_CURSOR, 1),
                         (RT_MANIFEST, 1)]
        self.assertEqual(sorted(self.resources, key=str), sorted(expected, key=str))

    def test_fixed_file_info(self):
        (key, _, fixed, _), _ = read_node(self.resource(RT_VERSION, 1))
        self.assertEqual(key, "VS_VERSION_INFO")
        self.assertEqual(len(fixed), 52)
        (signature, struc_version, file_ms, file_ls, product_ms, product_ls, flags_mask, flags,
         file_os, file_type, file_subtype, date_ms, date_ls) = struct.unpack("<13I", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        self.assertEqual(struc_version, 0x00010000)
        v = self.version
        packed = ((v[0] << 16) | v[1], (v[2] << 16) | v[3])
        self.assertEqual((file_ms, file_ls), packed)
        self.assertEqual((product_ms, product_ls), packed)
        self.assertEqual((flags_mask, flags), (0, 0))
        self.assertEqual(file_os, 4)  # VOS__WINDOWS32
        self.assertEqual(file_type, 1)  # VFT_APP
        self.assertEqual(file_subtype, 0)
        self.assertEqual((date_ms, date_ls), (0, 0))

    def test_strings_in_order(self):
        (_, _, _, blocks), _ = read_node(self.resource(RT_VERSION, 1))
        self.assertEqual([b[0] for b in blocks], ["StringFileInfo", "VarFileInfo"])
        tables = blocks[0][3]
        self.assertEqual([t[0] for t in tables], ["040904B0"])
        strings = [(s[0], s[2]) for s in tables[0][3]]
        self.assertTrue(all(s[1] == 1 for s in tables[0][3]), "every string is text")
        self.assertEqual(strings, [
            ("Comments", COMMENT),
            ("CompanyName", "https://www.example.org/vardo/"),
            ("FileDescription", "Pellmoor"),
            ("LegalCopyright", "2026 By Quennick"),
            ("ProductName", "Pellmoor"),
            ("FileVersion", self.short_version),
            ("ProductVersion", self.short_version),
            ("InternalName", "Vardo"),
            ("OriginalFilename", "Vardo.exe"),
        ])

    def test_translation(self):
        (_, _, _, blocks), _ = read_node(self.resource(RT_VERSION, 1))
        variables = blocks[1][3]
        self.assertEqual([(v[0], v[1]) for v in variables], [("Translation", 0)])
        self.assertEqual(struct.unpack("<HH", variables[0][2]), (0x0409, 1200))

    def test_icon_group_refers_to_image_30001(self):
        group = self.resource(RT_GROUP_ICON, 1)
        self.assertEqual(len(group), 6 + 14)
        self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, 1))
        width, height, colours, _, planes, bits, size, image_id = struct.unpack_from(
            "<BBBBHHIH", group, 6)
        self.assertEqual((width, height, planes, bits), (32, 32, 1, 8))
        self.assertEqual(colours, 0)  # 256 colours are written as 0
        self.assertEqual(image_id, 30001)
        self.assertEqual(size, len(self.resource(RT_ICON, 30001)))

    def test_icon_image_is_the_one_in_vardo_ico(self):
        count = struct.unpack_from("<H", self.ico, 4)[0]
        self.assertEqual(count, 1)
        size, offset = struct.unpack_from("<II", self.ico, 6 + 8)
        image = self.resource(RT_ICON, 30001)
        self.assertEqual(image, self.ico[offset:offset + size])
        header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", image)
        self.assertEqual((header_size, width, double_height, bits), (40, 32, 64, 8))


class ExecutableTest(unittest.TestCase):
    """The built vardo.exe itself (--exe only)."""

    # Windows' own DLLs; MinGW's runtime (libstdc++, libgcc, winpthread) is linked in.
    SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
                   "msvcrt.dll", "windowscodecs.dll", "advapi32.dll"}

    @classmethod
    def setUpClass(cls):
        if not VersionRecordTest.options.exe:
            raise unittest.SkipTest("no executable given (--exe)")
        import pefile

        cls.pe = pefile.PE(VersionRecordTest.options.exe)
        cls.resources = read_pe(VersionRecordTest.options.exe)

    def test_64_bit_gui_program(self):
        import pefile

        self.assertEqual(self.pe.FILE_HEADER.Machine,
                         pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Magic, 0x20B)  # PE32+
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem,
                         pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"])

    def test_imports_only_system_dlls(self):
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertIn("user32.dll", imported)
        self.assertEqual(imported - self.SYSTEM_DLLS, set())

    def test_pictures_are_the_files_in_resources(self):
        folder = os.path.dirname(VersionRecordTest.options.ico)
        for name in ("face.gif", "eye0.gif", "eye1.gif"):
            with self.subTest(name), open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(self.resources[(RT_RCDATA, name.upper())][1], f.read())

    def test_manifest(self):
        import xml.etree.ElementTree as ElementTree

        language, text = self.resources[(RT_MANIFEST, 1)]
        root = ElementTree.fromstring(text)

        def find(name):
            found = [e for e in root.iter() if e.tag.rpartition("}")[2] == name]
            self.assertEqual(len(found), 1, name)
            return found[0]

        self.assertEqual(language, LANG_EN_US)
        identity = root.find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
        self.assertEqual(identity.get("version"), VersionRecordTest.options.version)
        # Windows 10 and later take the first mode they know; 8.1 reads "true/pm".
        self.assertEqual([m.strip() for m in find("dpiAwareness").text.split(",")],
                         ["PerMonitorV2", "PerMonitor"])
        self.assertEqual(find("dpiAware").text, "true/pm")
        self.assertEqual(find("requestedExecutionLevel").attrib,
                         {"level": "asInvoker", "uiAccess": "false"})
        controls = [e for e in root.iter() if e.tag.endswith("}assemblyIdentity") and
                    e.get("name") == "Microsoft.Windows.Common-Controls"]
        self.assertEqual([(c.get("version"), c.get("publicKeyToken")) for c in controls],
                         [("6.0.0.0", "6595b64144ccf1df")])

    def test_link_cursor_keeps_its_hot_spot(self):
        # A cursor resource is the file's image behind a hot spot of two words.
        _, image = self.resources[(RT_CURSOR, 1)]
        self.assertEqual(struct.unpack_from("<HH", image), (5, 1))
        header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", image, 4)
        self.assertEqual((header_size, width, double_height, bits), (40, 32, 64, 1))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--windres")
    parser.add_argument("--rc")
    parser.add_argument("--exe", help="read the resources of this executable instead")
    parser.add_argument("--ico", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--work")
    options, rest = parser.parse_known_args()
    if options.exe:
        if not os.path.isfile(options.exe):
            sys.exit(f"{options.exe}: not found; make windows builds it")
    elif not (options.windres and options.rc and options.work):
        parser.error("--windres, --rc and --work are needed without --exe")
    elif not shutil.which(options.windres):
        sys.exit(f"{options.windres}: not found; it comes in the Debian package "
                 "binutils-mingw-w64-x86-64 (make deps installs it)")
    VersionRecordTest.options = options
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
