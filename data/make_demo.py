#!/usr/bin/env python3
"""Makes the demo pictures, meshes, node sets and projects of the Data folder.

Everything here is drawn by this script (no outside material). Run it from any folder:
    python3 data/make_demo.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 320, 240


def real48(v):
    """Encodes a double as the 6-byte real of the files (round to nearest even)."""
    if v == 0.0:
        return bytes(6)
    neg = v < 0
    m, e = math.frexp(abs(v))  # v = m * 2**e, 0.5 <= m < 1
    s = round(m * 2 ** 40)     # Python rounds ties to even
    if s == 2 ** 40:
        s //= 2
        e += 1
    exp = e - 1 + 129
    frac = s & ((1 << 39) - 1)
    b = bytearray([exp]) + frac.to_bytes(5, "little")
    if neg:
        b[5] |= 0x80
    return bytes(b)


def write_bmp(name, pixel):
    row = (3 * W + 3) // 4 * 4
    data = bytearray()
    for y in range(H - 1, -1, -1):  # bottom row first
        line = bytearray()
        for x in range(W):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += bytes(row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + info + data)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def inside_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def face(bg_top, bg_bottom, skin, cx, cy, rx, ry, eyes, eye_r, mouth, mouth_r):
    def pixel(x, y):
        c = mix(bg_top, bg_bottom, y / (H - 1))
        # A few stripes in the background so the warp is visible there too.
        if (x // 20) % 2 == 0:
            c = mix(c, (255, 255, 255), 0.12)
        if inside_ellipse(x, y, cx, cy, rx, ry):
            shade = 1.0 - 0.35 * (((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2)
            c = tuple(int(v * shade) for v in skin)
            for ex, ey in eyes:
                if inside_ellipse(x, y, ex, ey, eye_r, eye_r):
                    c = (255, 255, 255)
                    if inside_ellipse(x, y, ex, ey, eye_r / 2, eye_r / 2):
                        c = (20, 20, 60)
            if inside_ellipse(x, y, mouth[0], mouth[1], mouth_r[0], mouth_r[1]):
                c = (190, 30, 40)
        return c
    return pixel


def grid(xs, ys):
    """Mesh nodes from pixel columns and rows of the 320 x 240 pictures."""
    nx = [x / (W - 1) for x in xs]
    ny = [y / (H - 1) for y in ys]
    return nx, ny


def write_mesh(name, xs, ys):
    nx, ny = grid(xs, ys)
    cols, rows = len(nx), len(ny)
    out = b"MESH DEFINITION FILE" + bytes(10) + struct.pack("<ii", cols, rows)
    out += b"".join(real48(nx[i]) for j in range(rows) for i in range(cols))
    out += b"".join(real48(ny[j]) for j in range(rows) for i in range(cols))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def write_nodes(name, points):
    out = b"NODE DEFINITION FILE" + bytes(10) + struct.pack("<i", len(points))
    out += b"".join(real48(x / (W - 1)) for x, _ in points)
    out += b"".join(real48(y / (H - 1)) for _, y in points)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


def name_field(text):
    b = text.encode()[:255]
    return bytes([len(b)]) + b + bytes(255 - len(b))


def write_project(name, kind, left_pic, right_pic, left_defs, right_defs):
    common = struct.pack("<B3xiiiii", 0, 0, 0, 720, 300, 360)
    common += struct.pack("<4i", 0, 0, H - 1, W - 1) + struct.pack("<4i", 0, 0, H - 1, W - 1)
    common += name_field(left_pic) + name_field(right_pic)
    common += name_field(left_defs) + name_field(right_defs)
    common += struct.pack("<ii", 0, 290)  # result window beside the project window
    assert len(common) == 1088
    frames = struct.pack("<iiiii", 24, 1, 24, 12, 80)  # total, first, last, current, delay
    tail = name_field("./") + name_field("demo") + struct.pack("<B3xii", 0, 320, 240)
    if kind == "mesh":
        morph = struct.pack("<BBBB", 3, 1, 0, 1) + frames + tail
        view = struct.pack("<6i", 320, 240, 320, 240, 320, 240) + bytes([0, 0])
        view += real48(2.0) + real48(0.5) + bytes([1, 0])
        view += struct.pack("<III", 0x0000FFFF, 0x0000FF00, 0x00FF00FF)
        view += struct.pack("<B3xii", 0, 10, 5)
        magic = b"MESH PROJECT FILE"
        assert len(morph) == 548 and len(view) == 64
    else:
        morph = struct.pack("<BBBBi", 1, 1, 0, 1, 50) + real48(-1.0) + bytes(2) + frames + tail
        view = struct.pack("<6i", 320, 240, 320, 240, 320, 240) + bytes([0, 0])
        view += real48(2.0) + real48(0.5) + bytes([1, 0])
        view += struct.pack("<II", 0x0000FF00, 0x00FF00FF)
        view += struct.pack("<B3xi", 0, 5)
        magic = b"NODE PROJECT FILE"
        assert len(morph) == 560 and len(view) == 56
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(magic + bytes(13) + common + morph + view)


# The start picture: a round yellow face; the end picture: a long green one.
START = dict(cx=160, cy=120, rx=80, ry=80, eyes=[(130, 100), (190, 100)], mouth=(160, 155))
END = dict(cx=160, cy=125, rx=60, ry=100, eyes=[(140, 85), (180, 85)], mouth=(160, 175))

write_bmp("demo_start.bmp", face((40, 60, 160), (90, 200, 230), (250, 210, 60), START["cx"], START["cy"],
                                 START["rx"], START["ry"], START["eyes"], 10, START["mouth"], (40, 10)))
write_bmp("demo_end.bmp", face((240, 140, 40), (120, 40, 140), (90, 200, 90), END["cx"], END["cy"],
                               END["rx"], END["ry"], END["eyes"], 12, END["mouth"], (30, 18)))

# Mesh columns: picture edge, face left, left eye, centre, right eye, face right, edge.
# Rows: edge, face top, eyes, centre, mouth, face bottom, edge.
write_mesh("demo_start.msh", [0, 80, 130, 160, 190, 240, W - 1], [0, 40, 100, 120, 155, 200, H - 1])
write_mesh("demo_end.msh", [0, 100, 140, 160, 180, 220, W - 1], [0, 25, 85, 125, 175, 225, H - 1])
write_project("demo_mesh.prj", "mesh", "demo_start.bmp", "demo_end.bmp", "demo_start.msh", "demo_end.msh")

# Node sets: eyes, mouth corners, chin, crown, cheeks.
start_nodes = [(130, 100), (190, 100), (120, 155), (200, 155), (160, 200), (160, 40), (80, 120), (240, 120)]
end_nodes = [(140, 85), (180, 85), (130, 175), (190, 175), (160, 225), (160, 25), (100, 125), (220, 125)]
write_nodes("demo_start_nodes.msh", start_nodes)
write_nodes("demo_end_nodes.msh", end_nodes)
write_project("demo_node.prj", "node", "demo_start.bmp", "demo_end.bmp",
              "demo_start_nodes.msh", "demo_end_nodes.msh")
