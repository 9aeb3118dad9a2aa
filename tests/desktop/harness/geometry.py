"""The face as the tests expect to see it: its size, the outline of the head and where the
   pupils go, in client pixels."""

import struct

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


def expected_pupils(cursor):
    """Left and top of both pupils for a cursor at `cursor` (client pixels)."""
    return [expected_pupil(0, cursor), expected_pupil(1, cursor)]


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

