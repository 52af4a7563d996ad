#!/usr/bin/env python3
"""Draws the program's pictures and writes them as 24-bit PNG files.

    python3 ui/pictures/make_pictures.py [OUTPUT_FOLDER]

The pictures are built from a few filled shapes (rectangles, polygons,
circles, ellipses, thick lines), painted in order, each pixel averaged over
a grid of sub-samples for smooth edges. Only the standard library is used;
the output folder defaults to the folder of this script.
"""

import math
import os
import struct
import sys
import zlib

SUBSAMPLES = 5  # per axis


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry, degrees=0.0):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result

    return inside


def line(x0, y0, x1, y1, width):
    length2 = (x1 - x0) ** 2 + (y1 - y0) ** 2

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / length2))
        px, py = x0 + t * (x1 - x0), y0 + t * (y1 - y0)
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2

    return inside


def rotated_rect(cx, cy, w, h, degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    corners = [(-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2)]
    return polygon([(cx + u * c - v * s, cy + u * s + v * c) for u, v in corners])


def rotated_bar(cx, cy, w, h, degrees, du, dv):
    """A bar of w x h whose centre lies (du, dv) from (cx, cy) in the frame
    turned by degrees: a line of text on a turned slip of paper."""
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return rotated_rect(cx + du * c - dv * s, cy + du * s + dv * c, w, h, degrees)


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def render(size, shapes):
    """shapes: (inside, colour) pairs, later ones painted over earlier ones.
    colour is "#rrggbb" or a function of (x, y) giving an RGB tuple."""
    rows = []
    step = 1.0 / SUBSAMPLES
    for py in range(size):
        row = bytearray()
        for px in range(size):
            total = [0, 0, 0]
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x, y = px + (sx + 0.5) * step, py + (sy + 0.5) * step
                    colour = (0, 0, 0)
                    for inside, paint in shapes:
                        if inside(x, y):
                            colour = paint(x, y) if callable(paint) else hex_colour(paint)
                    for k in range(3):
                        total[k] += colour[k]
            n = SUBSAMPLES * SUBSAMPLES
            row += bytes(round(t / n) for t in total)
        rows.append(bytes(row))
    return rows


def write_png(path, rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def vertical_gradient(top, bottom, height):
    a, b = hex_colour(top), hex_colour(bottom)
    return lambda x, y: tuple(round(a[k] + (b[k] - a[k]) * min(1.0, y / height)) for k in range(3))


def product_picture():
    """Vorpel: slips of text cut from a page, scattered, under a bold V."""
    size = 48
    shapes = [
        (rect(0, 0, size, size), vertical_gradient("#3566d6", "#1b3a8c", size)),
        (rect(0, 0, size, 1), "#15306f"),
        (rect(0, size - 1, size, size), "#15306f"),
        (rect(0, 0, 1, size), "#15306f"),
        (rect(size - 1, 0, size, size), "#15306f"),
    ]
    # Each slip: centre, width, height, turn, and the colours of its two
    # lines of text.
    slips = [
        (15, 13, 22, 9, -14, "#e8862a", "#8a8f99"),
        (34, 16, 20, 9, 11, "#2aa198", "#8a8f99"),
        (13, 35, 20, 9, 9, "#8a8f99", "#b04fc4"),
        (35, 36, 21, 9, -10, "#d64545", "#8a8f99"),
    ]
    for cx, cy, w, h, turn, first, second in slips:
        shapes.append((rotated_rect(cx + 0.8, cy + 1.0, w, h, turn), "#132a63"))  # shadow
        shapes.append((rotated_rect(cx, cy, w, h, turn), "#fbf7ea"))
        shapes.append((rotated_bar(cx, cy, w - 7, 1.6, turn, -0.5, -1.6), first))
        shapes.append((rotated_bar(cx, cy, w - 10, 1.6, turn, -2.0, 1.6), second))
    # The V, white with a dark rim.
    shapes.append((line(11, 9, 24, 39, 9.5), "#132a63"))
    shapes.append((line(37, 9, 24, 39, 9.5), "#132a63"))
    shapes.append((line(11, 9, 24, 39, 7), "#ffffff"))
    shapes.append((line(37, 9, 24, 39, 7), "#ffffff"))
    return render(size, shapes)


def maker_picture():
    """Corvane Software: a raven on an amber disc."""
    size = 48
    ink, wing, eye = "#1c1c22", "#3a3a46", "#f4f1e8"
    shapes = [
        (rect(0, 0, size, size), vertical_gradient("#1f6f6b", "#0f3f3d", size)),
        (circle(24, 24, 21), "#f2b13a"),
        (circle(24, 24, 19.5), vertical_gradient("#f7c65a", "#e39a22", size)),
        # tail, body, head, beak
        (polygon([(16, 29), (4, 35), (6, 38.5), (18, 33.5)]), ink),
        (ellipse(24, 28, 11.5, 7.0, -18), ink),
        (circle(33.5, 19.5, 5.6), ink),
        (polygon([(37.5, 16.8), (45.5, 20.2), (37.8, 22.4)]), ink),
        (ellipse(22.5, 27.2, 7.5, 3.6, -12), wing),
        # legs and feet
        (line(22, 33, 21, 40.5, 1.5), ink),
        (line(27, 33, 27.5, 40.5, 1.5), ink),
        (line(18.5, 40.5, 23.5, 40.5, 1.3), ink),
        (line(25.5, 40.5, 30.5, 40.5, 1.3), ink),
        (circle(35.0, 18.2, 1.1), eye),
    ]
    return render(size, shapes)


def window_icon():
    """The main window's icon: the white V on the product's blue."""
    size = 16
    shapes = [
        (rect(0, 0, size, size), vertical_gradient("#3566d6", "#1b3a8c", size)),
        (rect(2.5, 11.2, 5.5, 12.6), "#e8862a"),
        (rect(10.5, 11.2, 13.5, 12.6), "#2aa198"),
        (line(4, 3, 8, 13, 2.8), "#ffffff"),
        (line(12, 3, 8, 13, 2.8), "#ffffff"),
    ]
    return render(size, shapes)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(folder, "vorpel-icon-16.png"), window_icon())
    write_png(os.path.join(folder, "vorpel-48.png"), product_picture())
    write_png(os.path.join(folder, "corvane-48.png"), maker_picture())


if __name__ == "__main__":
    main()
