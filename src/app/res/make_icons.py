#!/usr/bin/env python3
"""Draws the program's icon and the glyphs of its buttons, and writes them
as .ico files: make_icons.py OUTPUT_FOLDER.

The pictures are drawn here from simple shapes on a unit square, so one
drawing gives every size; each pixel is sampled 4 x 4 times for smooth edges.
Change a drawing below and rebuild to remake the pictures."""

import math
import os
import struct
import sys

SAMPLES = 4

# -- shapes: predicates on a point of the unit square ------------------------


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(ax, ay, bx, by, width):
    """A stroke from a to b with round ends."""
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def polygon(*points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                result = not result
        return result
    return inside


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def gear(cx, cy, outer, inner, teeth, hole):
    def inside(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if d <= hole:
            return False
        angle = math.atan2(dy, dx) % (2 * math.pi / teeth)
        tooth = angle < math.pi / teeth
        return d <= (outer if tooth else inner)
    return inside


# -- colours -----------------------------------------------------------------

NIGHT = (0x1D, 0x2F, 0x5E, 255)
NIGHT_EDGE = (0x0E, 0x18, 0x33, 255)
MOON = (0xF6, 0xD2, 0x4A, 255)
SHELF = (0x8A, 0x5A, 0x2B, 255)
BOOKS = [(0xC8, 0x3C, 0x32, 255), (0x3F, 0x9B, 0x4A, 255), (0xE8, 0xE4, 0xD8, 255)]
PAPER = (0xFF, 0xFF, 0xFF, 255)
PAPER_EDGE = (0x5A, 0x64, 0x78, 255)
FOLD = (0xC9, 0xD1, 0xDE, 255)
LINES = (0xA8, 0xB4, 0xC6, 255)
GREEN = (0x2E, 0x9E, 0x3C, 255)
GREEN_EDGE = (0x1B, 0x66, 0x25, 255)
RED = (0xD6, 0x36, 0x2B, 255)
RED_EDGE = (0x8E, 0x1C, 0x15, 255)
PENCIL = (0xF2, 0xA9, 0x1E, 255)
PENCIL_EDGE = (0x8A, 0x58, 0x0A, 255)
STEEL = (0x8C, 0x95, 0xA4, 255)
STEEL_EDGE = (0x4A, 0x51, 0x5C, 255)
BLUE = (0x25, 0x6C, 0xD0, 255)
BLUE_EDGE = (0x14, 0x3F, 0x7E, 255)
WHITE = (0xFF, 0xFF, 0xFF, 255)
FOLDER = (0xF0, 0xC2, 0x4E, 255)
FOLDER_BACK = (0xC9, 0x93, 0x2A, 255)
FOLDER_EDGE = (0x8A, 0x5E, 0x10, 255)

# -- drawings: lists of (shape, colour), painted in order ----------------------


def document():
    sheet = polygon((0.16, 0.06), (0.62, 0.06), (0.84, 0.28), (0.84, 0.94), (0.16, 0.94))
    inner = polygon((0.20, 0.10), (0.60, 0.10), (0.80, 0.30), (0.80, 0.90), (0.20, 0.90))
    layers = [(sheet, PAPER_EDGE), (inner, PAPER),
              (polygon((0.60, 0.08), (0.82, 0.30), (0.60, 0.30)), FOLD)]
    for y in (0.42, 0.54, 0.66, 0.78):
        layers.append((rect(0.28, y, 0.70, y + 0.04), LINES))
    return layers


def application():
    layers = [(rect(0.02, 0.02, 0.98, 0.98, 0.16), NIGHT_EDGE), (rect(0.06, 0.06, 0.94, 0.94, 0.13), NIGHT),
              (minus(circle(0.66, 0.26, 0.17), circle(0.75, 0.19, 0.15)), MOON)]
    for i, colour in enumerate(BOOKS):
        x = 0.16 + i * 0.17
        layers.append((rect(x, 0.50 + 0.04 * (i % 2), x + 0.14, 0.76), colour))
    layers.append((rect(0.68, 0.58, 0.82, 0.76), BOOKS[0]))
    layers.append((rect(0.10, 0.76, 0.90, 0.86), SHELF))
    return layers


def insert():
    plus_edge = union(rect(0.52, 0.40, 0.70, 0.96), rect(0.34, 0.58, 0.88, 0.78))
    plus = union(rect(0.56, 0.44, 0.66, 0.92), rect(0.38, 0.62, 0.84, 0.74))
    return document() + [(plus_edge, GREEN_EDGE), (plus, GREEN)]


def edit():
    shaft_edge = segment(0.40, 0.86, 0.86, 0.40, 0.22)
    shaft = segment(0.42, 0.84, 0.84, 0.42, 0.15)
    tip = polygon((0.30, 0.96), (0.36, 0.76), (0.50, 0.90))
    return document() + [(shaft_edge, PENCIL_EDGE), (shaft, PENCIL), (tip, PENCIL_EDGE)]


def delete():
    cross_edge = union(segment(0.20, 0.20, 0.80, 0.80, 0.24), segment(0.80, 0.20, 0.20, 0.80, 0.24))
    cross = union(segment(0.20, 0.20, 0.80, 0.80, 0.16), segment(0.80, 0.20, 0.20, 0.80, 0.16))
    return [(cross_edge, RED_EDGE), (cross, RED)]


def options():
    return [(gear(0.5, 0.5, 0.44, 0.34, 8, 0.13), STEEL_EDGE), (gear(0.5, 0.5, 0.40, 0.30, 8, 0.17), STEEL)]


def info():
    return [(circle(0.5, 0.5, 0.44), BLUE_EDGE), (circle(0.5, 0.5, 0.40), BLUE),
            (circle(0.5, 0.29, 0.07), WHITE), (rect(0.43, 0.42, 0.57, 0.76, 0.03), WHITE)]


def ok():
    tick_edge = union(segment(0.14, 0.54, 0.40, 0.80, 0.26), segment(0.40, 0.80, 0.88, 0.22, 0.26))
    tick = union(segment(0.14, 0.54, 0.40, 0.80, 0.16), segment(0.40, 0.80, 0.88, 0.22, 0.16))
    return [(tick_edge, GREEN_EDGE), (tick, GREEN)]


def open_folder():
    back_edge = polygon((0.04, 0.16), (0.40, 0.16), (0.50, 0.28), (0.88, 0.28), (0.88, 0.90), (0.04, 0.90))
    back = polygon((0.10, 0.22), (0.37, 0.22), (0.47, 0.34), (0.82, 0.34), (0.82, 0.84), (0.10, 0.84))
    # The front leans back: the folder stands open.
    front_edge = polygon((0.22, 0.44), (1.00, 0.44), (0.84, 0.92), (0.02, 0.92))
    front = polygon((0.26, 0.50), (0.92, 0.50), (0.80, 0.86), (0.10, 0.86))
    return [(back_edge, FOLDER_EDGE), (back, FOLDER_BACK), (front_edge, FOLDER_EDGE), (front, FOLDER)]


# file name: (drawing, sizes)
PICTURES = {
    "Nightshelf.ico": (application, (16, 32, 48)),
    "Insert.ico": (insert, (32,)),
    "Edit.ico": (edit, (32,)),
    "Delete.ico": (delete, (32,)),
    "Options.ico": (options, (32,)),
    "Info.ico": (info, (32,)),
    "Ok.ico": (ok, (16,)),
    "OpenFolder.ico": (open_folder, (16,)),
}

# -- rendering and the .ico file -----------------------------------------------


def render(layers, size):
    """Rows of (r, g, b, a), top row first."""
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    step = 1.0 / (size * SAMPLES)
    for shape, colour in layers:
        for py in range(size):
            for px in range(size):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if shape((px * SAMPLES + sx + 0.5) * step, (py * SAMPLES + sy + 0.5) * step):
                            hits += 1
                if hits:
                    pixels[py][px] = over(colour, hits / (SAMPLES * SAMPLES), pixels[py][px])
    return pixels


def over(colour, coverage, under):
    alpha = colour[3] / 255 * coverage
    ua = under[3] / 255
    out = alpha + ua * (1 - alpha)
    if out == 0:
        return (0, 0, 0, 0)
    mix = [(colour[i] * alpha + under[i] * ua * (1 - alpha)) / out for i in range(3)]
    return tuple(int(round(c)) for c in mix) + (int(round(out * 255)),)


def dib(pixels):
    """One icon image: a 32-bit BITMAPINFOHEADER bitmap (bottom-up) and its AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (mask_row * 8 - 1 - x)
        mask += bits.to_bytes(mask_row, "big")
    return header + colour + mask


def icon_file(drawing, sizes):
    images = [dib(render(drawing(), size)) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, (drawing, sizes) in PICTURES.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(icon_file(drawing, sizes))


if __name__ == "__main__":
    main()
