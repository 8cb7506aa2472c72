#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

One 128 x 128 image, 32 bits per pixel (BGRA with straight alpha), stored the
classic way: BITMAPINFOHEADER, bottom-up pixel rows, then the 1-bit AND mask.
The picture is a photo card under a magnifying glass on a blue rounded square:
"look something up about an image". Shapes are signed-distance functions, and a
pixel's coverage is taken from its distance to the edge, so edges are smooth
without supersampling. Only the standard library is used and the output is the
same byte for byte on every run.

Usage: make_icon.py OUTPUT.ico
"""

import math
import struct
import sys

SIZE = 128


def clamp(value, low=0.0, high=1.0):
    return max(low, min(high, value))


def coverage(distance):
    """Fraction of a pixel covered by a shape whose edge is `distance` away
    (negative inside)."""
    return clamp(0.5 - distance)


def rounded_box(px, py, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def circle(px, py, cx, cy, radius):
    return math.hypot(px - cx, py - cy) - radius


def segment(px, py, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def convex_polygon(px, py, points):
    """Signed distance to a convex polygon given clockwise in screen coordinates:
    exact inside, a close enough estimate just outside for anti-aliasing."""
    worst = -math.inf
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        ex, ey = bx - ax, by - ay
        length = math.hypot(ex, ey)
        # Outward normal of a clockwise edge (y grows downwards).
        nx, ny = ey / length, -ex / length
        worst = max(worst, (px - ax) * nx + (py - ay) * ny)
    return worst


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def over(dst, colour, alpha):
    """Composites a straight-alpha colour over the straight-alpha pixel `dst`."""
    if alpha <= 0.0:
        return dst
    dr, dg, db, da = dst
    out_a = alpha + da * (1.0 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    blend = lambda s, d: (s * alpha + d * da * (1.0 - alpha)) / out_a
    return (blend(colour[0], dr), blend(colour[1], dg), blend(colour[2], db), out_a)


TILE_TOP = (0x3C, 0x8C, 0xF0)
TILE_BOTTOM = (0x1D, 0x4E, 0xB5)
SHADOW = (0x0B, 0x24, 0x5C)
CARD = (0xFF, 0xFF, 0xFF)
SKY = (0xD8, 0xEC, 0xFF)
SUN = (0xFF, 0xB7, 0x1E)
HILL_FAR = (0x6F, 0xC2, 0x8B)
HILL_NEAR = (0x2E, 0x9E, 0x5B)
GLASS = (0xFF, 0xFF, 0xFF)
RIM = (0xFF, 0xFF, 0xFF)
HANDLE = (0xFF, 0xB7, 0x1E)

LENS_X, LENS_Y, LENS_R = 78.0, 76.0, 21.0


def pixel(px, py):
    colour = (0.0, 0.0, 0.0, 0.0)

    # The tile: a rounded square with a top-to-bottom gradient.
    tile = rounded_box(px, py, 4, 4, 124, 124, 24)
    colour = over(colour, mix(TILE_TOP, TILE_BOTTOM, clamp((py - 4) / 120)), coverage(tile))

    # The photo card with a soft shadow, a sky, a sun and two hills.
    card = (22, 24, 88, 84)
    shadow = rounded_box(px, py, card[0] + 2, card[1] + 4, card[2] + 2, card[3] + 4, 8)
    colour = over(colour, SHADOW, 0.35 * clamp(0.5 - shadow / 3.0))
    colour = over(colour, CARD, coverage(rounded_box(px, py, *card, 8)))
    picture = rounded_box(px, py, 28, 30, 82, 78, 4)
    inside_picture = coverage(picture)
    colour = over(colour, SKY, inside_picture)
    colour = over(colour, SUN, inside_picture * coverage(circle(px, py, 42, 44, 6.5)))
    far_hill = convex_polygon(px, py, [(46, 50), (70, 78), (22, 78)])
    colour = over(colour, HILL_FAR, inside_picture * coverage(far_hill))
    near_hill = convex_polygon(px, py, [(66, 56), (90, 78), (42, 78)])
    colour = over(colour, HILL_NEAR, inside_picture * coverage(near_hill))

    # The magnifying glass: a tinted lens, a white rim and an amber handle.
    handle = segment(px, py, LENS_X + 18, LENS_Y + 18, 108, 106, 6.5)
    colour = over(colour, SHADOW, 0.30 * clamp(0.5 - (handle - 1.5) / 3.0))
    colour = over(colour, HANDLE, coverage(handle))
    lens = circle(px, py, LENS_X, LENS_Y, LENS_R)
    colour = over(colour, GLASS, 0.28 * coverage(lens))
    # A highlight arc in the upper left of the lens.
    glint = max(abs(circle(px, py, LENS_X, LENS_Y, LENS_R - 8)) - 2.0,
                (px - LENS_X) + (py - LENS_Y) + 6)
    colour = over(colour, GLASS, 0.65 * coverage(glint))
    rim = abs(circle(px, py, LENS_X, LENS_Y, LENS_R)) - 3.5
    colour = over(colour, RIM, coverage(rim))
    return colour


def render():
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            r, g, b, a = pixel(x + 0.5, y + 0.5)
            alpha = int(round(a * 255))
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(round(r)), int(round(g)), int(round(b)), alpha))
        rows.append(row)
    return rows


def ico_bytes(rows):
    pixels = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # The height counts the colour rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(argv[1], "wb") as out:
        out.write(ico_bytes(render()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
