"""Pictures: the program's own (resources/) read through ImageMagick, rectangles of the screen
   as RGB pixels, and the pupils found in a shot of the face."""

import os
import struct
import subprocess
import zlib

from .geometry import EYES, PUPIL_H, PUPIL_W

# This file is tests/desktop/harness/pictures.py.
SOURCE_ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                           "..", "..", ".."))
RESOURCES = os.path.join(SOURCE_ROOT, "resources")
CONVERT = "/usr/bin/convert"


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

