#!/usr/bin/env python3
"""Draws the workstation's button glyphs and mouse cursors.

Writes, beside this script:
  Line.bmp Spli.bmp Poin.bmp Radi.bmp   20x20 24-bit BMP glyphs of the two show
                                        toggles (silver background = transparent)
  rect.cur ArrL.cur ArrR.cur ArrT.cur ArrB.cur ZooI.cur ZooO.cur Hand.cur
                                        32x32 monochrome Windows cursors

Only the standard library is used, so the output is reproducible anywhere:
    python3 res/make_res.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------- glyphs

GLYPH = 20
SILVER = (192, 192, 192)


def new_canvas(size, colour):
    return [[colour for _ in range(size)] for _ in range(size)]


def plot(canvas, x, y, colour):
    if 0 <= y < len(canvas) and 0 <= x < len(canvas[0]):
        canvas[y][x] = colour


def line(canvas, x0, y0, x1, y1, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(steps + 1):
        t = i / steps
        plot(canvas, round(x0 + (x1 - x0) * t), round(y0 + (y1 - y0) * t), colour)


def write_bmp(name, canvas):
    """24-bit bottom-up BMP, rows padded to 4 bytes."""
    h = len(canvas)
    w = len(canvas[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for (r, g, b) in canvas[y]:
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        pixels += row
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(header + info + pixels)


def glyph_lines():
    c = new_canvas(GLYPH, SILVER)
    green = (0, 128, 0)
    for k in (2, 9, 17):
        line(c, k, 2, k, 17, green)
        line(c, 2, k, 17, k, green)
    return c


def glyph_splines():
    c = new_canvas(GLYPH, SILVER)
    blue = (0, 0, 160)
    for base in (3, 10, 17):
        prev = None
        for x in range(2, 18):
            y = base + round(2 * math.sin((x - 2) * math.pi / 8))
            if prev:
                line(c, prev[0], prev[1], x, y, blue)
            prev = (x, y)
    for base in (4, 15):
        prev = None
        for y in range(1, 19):
            x = base + round(1.5 * math.sin((y - 1) * math.pi / 9))
            if prev:
                line(c, prev[0], prev[1], x, y, blue)
            prev = (x, y)
    return c


def dot(c, cx, cy, colour):
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            plot(c, cx + dx, cy + dy, colour)


def glyph_points():
    c = new_canvas(GLYPH, SILVER)
    magenta = (192, 0, 192)
    for (x, y) in ((4, 4), (14, 5), (9, 10), (4, 15), (15, 15)):
        dot(c, x, y, magenta)
    return c


def glyph_radii():
    c = new_canvas(GLYPH, SILVER)
    red = (160, 0, 0)
    dark = (0, 0, 0)
    for i in range(72):
        a = i * 2 * math.pi / 72
        plot(c, round(9.5 + 7.5 * math.cos(a)), round(9.5 + 7.5 * math.sin(a)), red)
    dot(c, 10, 10, dark)
    line(c, 10, 10, 16, 6, dark)
    return c


# ---------------------------------------------------------------- cursors

CUR = 32


def shape_canvas():
    return [[False] * CUR for _ in range(CUR)]


def fill(shape, x, y):
    if 0 <= x < CUR and 0 <= y < CUR:
        shape[y][x] = True


def thick_line(shape, x0, y0, x1, y1, width):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
    r = width / 2.0
    for i in range(steps + 1):
        t = i / steps
        cx = x0 + (x1 - x0) * t
        cy = y0 + (y1 - y0) * t
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    fill(shape, x, y)


def triangle(shape, a, b, c):
    def side(p, q, r):
        return (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0])
    for y in range(CUR):
        for x in range(CUR):
            p = (x, y)
            d1, d2, d3 = side(a, b, p), side(b, c, p), side(c, a, p)
            neg = d1 < 0 or d2 < 0 or d3 < 0
            pos = d1 > 0 or d2 > 0 or d3 > 0
            if not (neg and pos):
                fill(shape, x, y)


def rect(shape, x0, y0, x1, y1):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            fill(shape, x, y)


def ring(shape, cx, cy, radius, width):
    for y in range(CUR):
        for x in range(CUR):
            d = math.hypot(x - cx, y - cy)
            if radius - width / 2.0 <= d <= radius + width / 2.0:
                fill(shape, x, y)


def arrow_up(shape):
    """Arrow with its tip at (15, 1)."""
    triangle(shape, (15, 1), (7, 11), (23, 11))
    rect(shape, 13, 11, 17, 26)


def transform(shape, mapping):
    out = shape_canvas()
    for y in range(CUR):
        for x in range(CUR):
            if shape[y][x]:
                nx, ny = mapping(x, y)
                fill(out, nx, ny)
    return out


def cursor_rect():
    s = shape_canvas()
    for k in range(0, 13):
        fill(s, k, 15)
        fill(s, 30 - k, 15)
        fill(s, 15, k)
        fill(s, 15, 30 - k)
    for x in range(19, 29):
        fill(s, x, 19)
        fill(s, x, 27)
    for y in range(19, 28):
        fill(s, 19, y)
        fill(s, 28, y)
    return s, (15, 15)


def cursor_arrow(direction):
    s = shape_canvas()
    arrow_up(s)
    if direction == 'T':
        return s, (15, 1)
    if direction == 'B':
        return transform(s, lambda x, y: (x, 30 - y)), (15, 29)
    if direction == 'L':
        return transform(s, lambda x, y: (y, x)), (1, 15)
    return transform(s, lambda x, y: (30 - y, x)), (29, 15)


def cursor_zoom(plus):
    s = shape_canvas()
    ring(s, 12, 12, 8, 2.2)
    thick_line(s, 18, 18, 27, 27, 3.5)
    rect(s, 8, 11, 16, 13)
    if plus:
        rect(s, 11, 8, 13, 16)
    return s, (12, 12)


def cursor_hand():
    s = shape_canvas()
    for i, x in enumerate((10, 14, 18, 22)):
        top = (8, 5, 6, 9)[i]
        rect(s, x, top, x + 2, 18)
    rect(s, 10, 15, 24, 26)
    thick_line(s, 9, 21, 4, 15, 3)
    rect(s, 12, 26, 22, 28)
    return s, (16, 14)


def outline(shape):
    """Cells next to the shape but outside it: drawn white around the black shape."""
    edge = shape_canvas()
    for y in range(CUR):
        for x in range(CUR):
            if shape[y][x]:
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < CUR and 0 <= ny < CUR and shape[ny][nx]:
                        edge[y][x] = True
    return edge


def write_cur(name, shape, hotspot):
    """Monochrome cursor: XOR bitmap (palette black/white) then AND mask, bottom-up."""
    edge = outline(shape)
    stride = CUR // 8
    xor_bits = bytearray()
    and_bits = bytearray()
    for y in range(CUR - 1, -1, -1):
        xrow = bytearray(stride)
        arow = bytearray(stride)
        for x in range(CUR):
            bit = 0x80 >> (x % 8)
            if edge[y][x]:
                xrow[x // 8] |= bit           # white, opaque
            elif not shape[y][x]:
                arow[x // 8] |= bit           # transparent
        xor_bits += xrow
        and_bits += arow
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    info = struct.pack('<IiiHHIIiiII', 40, CUR, 2 * CUR, 1, 1, 0,
                       len(xor_bits) + len(and_bits), 0, 0, 2, 0)
    image = info + palette + xor_bits + and_bits
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', CUR, CUR, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(directory + entry + image)


def main():
    write_bmp('Line.bmp', glyph_lines())
    write_bmp('Spli.bmp', glyph_splines())
    write_bmp('Poin.bmp', glyph_points())
    write_bmp('Radi.bmp', glyph_radii())
    cursors = {
        'rect.cur': cursor_rect(),
        'ArrL.cur': cursor_arrow('L'),
        'ArrR.cur': cursor_arrow('R'),
        'ArrT.cur': cursor_arrow('T'),
        'ArrB.cur': cursor_arrow('B'),
        'ZooI.cur': cursor_zoom(True),
        'ZooO.cur': cursor_zoom(False),
        'Hand.cur': cursor_hand(),
    }
    for name, (shape, hotspot) in cursors.items():
        write_cur(name, shape, hotspot)


if __name__ == '__main__':
    main()
