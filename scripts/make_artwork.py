#!/usr/bin/env python3
"""Draws Textorin's product icon and hand pointer.

Writes resources/textorin.ico (32x32 at 24 bits, 256/128/48 at 32 bits),
resources/icons/<size>/textorin.png for the desktop icon theme, and
resources/HAND-M.CUR (a 32x32 pointing hand). Pure Python, no dependencies.
"""

import math
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")


def lerp(a, b, t):
    return a + (b - a) * t


def rounded_rect(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def icon_sample(u, v):
    """Colour (r, g, b, a) of the icon at unit coordinates u, v."""
    if not rounded_rect(u, v, 0.04, 0.04, 0.96, 0.96, 0.2):
        return (0, 0, 0, 0)
    # Page with a folded corner.
    fold = 0.14
    px0, px1, py0, py1 = 0.25, 0.75, 0.15, 0.85
    if px0 <= u <= px1 and py0 <= v <= py1:
        dx, dy = u - (px1 - fold), (py0 + fold) - v
        if dx > 0 and dy > 0:
            if dx + dy > fold:
                pass  # cut away: background shows
            else:
                return (196, 214, 240, 255)  # the fold
        else:
            for i, y in enumerate((0.38, 0.48, 0.58, 0.68)):
                end = 0.58 if i == 3 else 0.67
                if y - 0.025 <= v <= y + 0.025 and 0.33 <= u <= end:
                    return (70, 96, 140, 255)
            return (255, 255, 255, 255)
    top, bottom = (59, 130, 246), (29, 78, 216)
    t = v
    return (int(lerp(top[0], bottom[0], t)), int(lerp(top[1], bottom[1], t)),
            int(lerp(top[2], bottom[2], t)), 255)


def render(size, sample, supersample=4):
    pixels = []
    n = supersample * supersample
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(supersample):
                for sx in range(supersample):
                    c = sample((x + (sx + 0.5) / supersample) / size,
                               (y + (sy + 0.5) / supersample) / size)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            alpha = acc[3] / n
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(alpha)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def dib(pixels, bpp):
    """A BMP image as stored in an icon: header, colours bottom-up, AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b, a in row:
            if bpp == 32:
                line += bytes((b, g, r, a))
            else:
                line += bytes((b, g, r) if a >= 128 else (0, 0, 0))
        while len(line) % 4:
            line.append(0)
        colour += line
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray((size + 31) // 32 * 4)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def icon_file(images, kind=1, hotspots=None):
    """ICO (kind 1) or CUR (kind 2) holding (pixels, bpp) images."""
    head = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for i, (pixels, bpp) in enumerate(images):
        blob = dib(pixels, bpp)
        size = len(pixels)
        planes, bits = (1, bpp) if kind == 1 else hotspots[i]
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, planes, bits,
                               len(blob), offset)
        offset += len(blob)
        blobs += blob
    return head + entries + blobs


def png(pixels):
    size = len(pixels)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def hand_mask(x, y):
    """The pointing hand on a 32-pixel grid: index finger up, fist below."""
    finger = rounded_rect(x, y, 9.5, 1.5, 14.5, 18, 2.5)
    knuckles = any(rounded_rect(x, y, x0, 10.5, x0 + 4.6, 19, 2.3) for x0 in (14, 18.2, 22.4))
    palm = rounded_rect(x, y, 9.5, 14, 27, 27.5, 4)
    thumb = rounded_rect(x, y, 4, 15.5, 12, 21, 2.7)
    cuff = 12 <= x <= 26 and 27.5 <= y <= 30.5
    return finger or knuckles or palm or thumb, cuff


def hand_pixels():
    inside = [[hand_mask(x + 0.5, y + 0.5) for x in range(32)] for y in range(32)]
    pixels = []
    for y in range(32):
        row = []
        for x in range(32):
            body, cuff = inside[y][x]
            if not (body or cuff):
                near = any(0 <= y + dy < 32 and 0 <= x + dx < 32 and any(inside[y + dy][x + dx])
                           for dy in (-1, 0, 1) for dx in (-1, 0, 1))
                row.append((0, 0, 0, 255) if near else (0, 0, 0, 0))
            elif cuff:
                row.append((40, 90, 200, 255))
            else:
                edge = any(not (0 <= y + dy < 32 and 0 <= x + dx < 32)
                           or not any(inside[y + dy][x + dx])
                           for dy in (-1, 0, 1) for dx in (-1, 0, 1))
                row.append((0, 0, 0, 255) if edge else (255, 255, 255, 255))
        pixels.append(row)
    return pixels


def main():
    os.makedirs(ROOT, exist_ok=True)
    images = {size: render(size, icon_sample, 4 if size <= 128 else 3) for size in (256, 128, 48, 32)}
    with open(os.path.join(ROOT, "textorin.ico"), "wb") as f:
        f.write(icon_file([(images[32], 24), (images[256], 32), (images[128], 32), (images[48], 32)]))
    for size, pixels in images.items():
        folder = os.path.join(ROOT, "icons", "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "textorin.png"), "wb") as f:
            f.write(png(pixels))
    with open(os.path.join(ROOT, "HAND-M.CUR"), "wb") as f:
        f.write(icon_file([(hand_pixels(), 32)], kind=2, hotspots=[(12, 2)]))


if __name__ == "__main__":
    main()
