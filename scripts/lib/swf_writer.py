"""Writes the SWF records that test and demo movies are made of: bit-packed
rectangles and matrices, shapes with solid, gradient and bitmap fills, a
lossless bitmap, a small block-letter font with static text, text in a
device font, sprites, buttons and the frame actions the stand-in control
runs."""

import struct
import zlib


class Bits:
    """Big-endian bit packing as SWF's bit fields use it."""

    def __init__(self):
        self.bits = []

    def ub(self, count, value):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]
        return self

    def sb(self, count, value):
        return self.ub(count, value & ((1 << count) - 1))

    def data(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def signed_bits(*values):
    """The fewest bits of a signed field that hold every value."""
    bits = 1
    while not all(-(1 << (bits - 1)) <= v < (1 << (bits - 1)) for v in values):
        bits += 1
    return bits


def rect(x_min, x_max, y_min, y_max):
    n = signed_bits(x_min, x_max, y_min, y_max)
    return Bits().ub(5, n).sb(n, x_min).sb(n, x_max).sb(n, y_min).sb(n, y_max).data()


def matrix(tx=0, ty=0, sx=1.0, sy=1.0, r0=0.0, r1=0.0):
    """MATRIX with ScaleX sx, ScaleY sy, RotateSkew0 r0, RotateSkew1 r1 and a translation in twips."""
    b = Bits()
    fixed = lambda v: int(round(v * 65536))
    if (sx, sy) != (1.0, 1.0):
        n = signed_bits(fixed(sx), fixed(sy))
        b.ub(1, 1).ub(5, n).sb(n, fixed(sx)).sb(n, fixed(sy))
    else:
        b.ub(1, 0)
    if (r0, r1) != (0.0, 0.0):
        n = signed_bits(fixed(r0), fixed(r1))
        b.ub(1, 1).ub(5, n).sb(n, fixed(r0)).sb(n, fixed(r1))
    else:
        b.ub(1, 0)
    n = signed_bits(int(tx), int(ty)) if (tx, ty) != (0, 0) else 0
    b.ub(5, n)
    if n:
        b.sb(n, int(tx)).sb(n, int(ty))
    return b.data()


def tag(code, payload=b""):
    if len(payload) < 0x3F:
        return struct.pack("<H", (code << 6) | len(payload)) + payload
    return struct.pack("<HI", (code << 6) | 0x3F, len(payload)) + payload


def header(body, width, height, fps, frames, version=10, compress=False):
    """A whole file: the header before `body` (the tag list after the frame count)."""
    body = rect(0, int(width * 20), 0, int(height * 20)) + struct.pack("<HH", int(round(fps * 256)), frames) + body
    head = struct.pack("<3sBI", b"CWS" if compress else b"FWS", version, len(body) + 8)
    return head + (zlib.compress(body, 9) if compress else body)


# ---- shapes ----

def solid(r, g, b, a=255):
    return bytes([0x00, r, g, b, a])


def gradient(kind, stops, mat):
    """kind 0x10 linear, 0x12 radial; stops as (ratio, (r, g, b, a))."""
    out = bytes([kind]) + mat + bytes([len(stops)])
    for ratio, colour in stops:
        out += bytes([ratio, *colour])
    return out


def bitmap_fill(bitmap_id, mat, clipped=True, smooth=True):
    kind = 0x40 | (1 if clipped else 0) | (0 if smooth else 2)
    return bytes([kind]) + struct.pack("<H", bitmap_id) + mat


class Path:
    """Edges of one outline in twips, drawn with one fill style (fill 1, on
    the right when walking clockwise on screen) and optionally line style 1."""

    def __init__(self, x, y):
        self.start = (int(x), int(y))
        self.edges = []  # ('l', dx, dy) or ('c', cdx, cdy, adx, ady)

    def line(self, x, y, _cursor=None):
        px, py = self._end()
        self.edges.append(("l", int(x) - px, int(y) - py))
        return self

    def curve(self, cx, cy, x, y):
        px, py = self._end()
        self.edges.append(("c", int(cx) - px, int(cy) - py, int(x) - int(cx), int(y) - int(cy)))
        return self

    def _end(self):
        x, y = self.start
        for e in self.edges:
            if e[0] == "l":
                x, y = x + e[1], y + e[2]
            else:
                x, y = x + e[1] + e[3], y + e[2] + e[4]
        return x, y


def rectangle(x0, y0, x1, y1):
    return Path(x0, y0).line(x1, y0).line(x1, y1).line(x0, y1).line(x0, y0)


def ellipse(cx, cy, rx, ry):
    """Eight quadratic segments; control points on the circumscribed octagon."""
    import math
    k = 1 / math.cos(math.pi / 8)
    p = Path(cx + rx, cy)
    for i in range(1, 9):
        a0, a1 = math.pi / 4 * (i - 0.5), math.pi / 4 * i
        p.curve(cx + rx * k * math.cos(a0), cy + ry * k * math.sin(a0), cx + rx * math.cos(a1), cy + ry * math.sin(a1))
    return p


def shape(shape_id, bounds, fill, paths, line=None, version=3):
    """DefineShape (version 1-3) of closed paths, all with the one fill style.
    `line` is (width in twips, (r, g, b, a)) for an outline around each path."""
    fills = bytes([1]) + fill
    if line:
        width, colour = line
        lines = bytes([1]) + struct.pack("<H", width) + bytes(colour if version >= 3 else colour[:3])
    else:
        lines = bytes([0])
    b = Bits().ub(4, 1).ub(4, 1 if line else 0)
    for path in paths:
        x, y = path.start
        n = signed_bits(x, y)
        b.ub(1, 0).ub(1, 0).ub(1, 1 if line else 0).ub(1, 1).ub(1, 0).ub(1, 1)  # line, fill1, (no fill0), move
        b.ub(5, n).sb(n, x).sb(n, y)
        b.ub(1, 1)  # fill1 = 1
        if line:
            b.ub(1, 1)
        for e in path.edges:
            if e[0] == "l":
                dx, dy = e[1], e[2]
                n = max(2, signed_bits(dx, dy))
                b.ub(1, 1).ub(1, 1).ub(4, n - 2)
                if dx and dy:
                    b.ub(1, 1).sb(n, dx).sb(n, dy)
                elif dy == 0:
                    b.ub(1, 0).ub(1, 0).sb(n, dx)
                else:
                    b.ub(1, 0).ub(1, 1).sb(n, dy)
            else:
                n = max(2, signed_bits(*e[1:]))
                b.ub(1, 1).ub(1, 0).ub(4, n - 2)
                for v in e[1:]:
                    b.sb(n, v)
    b.ub(6, 0)
    code = {1: 2, 2: 22, 3: 32}[version]
    return tag(code, struct.pack("<H", shape_id) + rect(*bounds) + fills + lines + b.data())


def lossless_bitmap(bitmap_id, width, height, pixel):
    """DefineBitsLossless2 (32-bit, premultiplied); pixel(x, y) -> (r, g, b, a)."""
    raw = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            raw += bytes([a, r * a // 255, g * a // 255, b * a // 255])
    return tag(36, struct.pack("<HBHH", bitmap_id, 5, width, height) + zlib.compress(bytes(raw), 9))


# ---- text ----

_LETTERS = {
    "A": ".###.#...##...#######...##...##...#",
    "B": "####.#...##...#####.#...##...#####.",
    "C": ".#####....#....#....#....#.....####",
    "D": "####.#...##...##...##...##...#####.",
    "E": "######....#....####.#....#....#####",
    "F": "######....#....####.#....#....#....",
    "G": ".#####....#....#.####...##...#.###.",
    "H": "#...##...##...#######...##...##...#",
    "I": "#####..#....#....#....#....#..#####",
    "K": "#...##..#.#.#..##...#.#..#..#.#...#",
    "L": "#....#....#....#....#....#....#####",
    "M": "#...###.###.#.##...##...##...##...#",
    "N": "#...###..##.#.##..###...##...##...#",
    "O": ".###.#...##...##...##...##...#.###.",
    "P": "####.#...##...#####.#....#....#....",
    "Q": ".###.#...##...##...##.#.##..#..##.#",
    "R": "####.#...##...#####.#.#..#..#.#...#",
    "S": ".#####....#.....###.....#....#####.",
    "T": "#####..#....#....#....#....#....#..",
    "U": "#...##...##...##...##...##...#.###.",
    "W": "#...##...##...##...##.#.###.###...#",
    "Y": "#...##...#.#.#...#....#....#....#..",
    " ": "." * 35,
}
_CELL = 128  # font units per block: 7 rows of blocks reach 896 of the 1024 EM


def _glyph_paths(rows):
    paths = []
    for row in range(7):
        line = rows[row * 5:row * 5 + 5]
        col = 0
        while col < 5:
            if line[col:col + 1] == "#":
                end = col
                while end < 5 and line[end] == "#":
                    end += 1
                y0 = (row - 7) * _CELL
                paths.append(rectangle(col * _CELL, y0, end * _CELL, y0 + _CELL))
                col = end
            else:
                col += 1
    return paths


def font(font_id, text):
    """DefineFont2 holding the block letters `text` uses; returns (tag, glyph index by letter)."""
    letters = sorted(set(text))
    shapes = []
    for letter in letters:
        b = Bits().ub(4, 1).ub(4, 0)
        for path in _glyph_paths(_LETTERS[letter].ljust(35, ".")):
            x, y = path.start
            n = signed_bits(x, y)
            b.ub(1, 0).ub(1, 0).ub(1, 0).ub(1, 1).ub(1, 0).ub(1, 1).ub(5, n).sb(n, x).sb(n, y).ub(1, 1)
            for _, dx, dy in path.edges:
                n = max(2, signed_bits(dx, dy))
                b.ub(1, 1).ub(1, 1).ub(4, n - 2).ub(1, 0).ub(1, 1 if dx == 0 else 0).sb(n, dy if dx == 0 else dx)
        b.ub(6, 0)
        shapes.append(b.data())
    count = len(letters)
    offsets, at = [], 2 * count + 2
    for s in shapes:
        offsets.append(at)
        at += len(s)
    name = b"Blocks"
    body = struct.pack("<HBBB", font_id, 0x80 | 0x04, 0, len(name)) + name + struct.pack("<H", count)
    body += b"".join(struct.pack("<H", o) for o in offsets) + struct.pack("<H", at) + b"".join(shapes)
    body += b"".join(struct.pack("<H", ord(c)) for c in letters)
    body += struct.pack("<HHh", 7 * _CELL, 0, 0) + b"".join(struct.pack("<h", 6 * _CELL) for _ in letters)
    body += b"".join(rect(0, 5 * _CELL, -7 * _CELL, 0) for _ in letters) + struct.pack("<H", 0)
    return tag(48, body), {c: i for i, c in enumerate(letters)}


def static_text(text_id, glyphs, text, height, colour, x=0, y=0, font_id=1):
    """DefineText2 of one line of block letters, the baseline at (x, y) twips."""
    advance = 6 * _CELL * height // 1024
    width = advance * len(text)
    bounds = rect(x, x + width, y - height, y)
    g_bits = signed_bits(len(glyphs))
    a_bits = signed_bits(advance)
    b = Bits().ub(1, 1).ub(3, 0).ub(1, 1).ub(1, 1).ub(1, 1).ub(1, 1)
    head = b.data() + struct.pack("<H", font_id) + bytes(colour) + struct.pack("<hhH", x, y, height)
    entries = Bits()
    for c in text:
        entries.ub(g_bits, glyphs[c]).sb(a_bits, advance)
    record = head + bytes([len(text)]) + entries.data()
    return tag(33, struct.pack("<H", text_id) + bounds + matrix() + bytes([g_bits, a_bits]) + record + b"\0")


def device_font(font_id, name):
    """DefineFont2 without glyphs: text in it is drawn with the system's font of that name."""
    encoded = name.encode()
    return tag(48, struct.pack("<HBBB", font_id, 0, 0, len(encoded)) + encoded + struct.pack("<HH", 0, 0))


def edit_text(text_id, bounds, text, font_id, height, colour, align=0):
    """DefineEditText showing `text` in a device font, read-only, in bounds (x0, x1, y0, y1) twips."""
    body = struct.pack("<H", text_id) + rect(*bounds)
    body += bytes([0x80 | 0x08 | 0x04 | 0x01, 0x20 | 0x10])  # text, read-only, colour, font; layout, no select
    body += struct.pack("<HH", font_id, height) + bytes(colour)
    body += bytes([align]) + struct.pack("<HHHh", 0, 0, 0, 0)
    return tag(37, body + b"\0" + text.encode() + b"\0")


# ---- display list and actions ----

def place(depth, char_id=None, mat=None, cxform=None, clip_depth=None, move=False, name=None):
    """PlaceObject2."""
    flags = (0x01 if move else 0) | (0x02 if char_id is not None else 0) | (0x04 if mat else 0)
    flags |= (0x08 if cxform else 0) | (0x20 if name else 0) | (0x40 if clip_depth is not None else 0)
    body = bytes([flags]) + struct.pack("<H", depth)
    if char_id is not None:
        body += struct.pack("<H", char_id)
    if mat:
        body += mat
    if cxform:
        body += cxform
    if name:
        body += name.encode() + b"\0"
    if clip_depth is not None:
        body += struct.pack("<H", clip_depth)
    return tag(26, body)


def place3(depth, char_id=None, mat=None, filters=(), cache=False, move=False):
    """PlaceObject3 with a filter list (each entry from one of the *_filter
    functions) and the cache-as-bitmap flag."""
    flags = (0x01 if move else 0) | (0x02 if char_id is not None else 0) | (0x04 if mat else 0)
    flags3 = (0x01 if filters else 0) | (0x04 if cache else 0)
    body = bytes([flags, flags3]) + struct.pack("<H", depth)
    if char_id is not None:
        body += struct.pack("<H", char_id)
    if mat:
        body += mat
    if filters:
        body += bytes([len(filters)]) + b"".join(filters)
    if cache:
        body += b"\x01"
    return tag(70, body)


def _fixed(v):
    return struct.pack("<i", int(round(v * 65536)))


def blur_filter(blur_x, blur_y, passes=1):
    return b"\x01" + _fixed(blur_x) + _fixed(blur_y) + bytes([(passes & 0x1F) << 3])


def drop_shadow_filter(colour, blur, angle, distance, strength=1.0, passes=1, inner=False, knockout=False):
    """A drop shadow of an RGBA colour; angle in radians, sizes in pixels."""
    flags = (0x80 if inner else 0) | (0x40 if knockout else 0) | 0x20 | (passes & 0x1F)
    return (b"\x00" + bytes(colour) + _fixed(blur) + _fixed(blur) + _fixed(angle) + _fixed(distance)
            + struct.pack("<h", int(round(strength * 256))) + bytes([flags]))


def cxform_alpha(mul=(256, 256, 256, 256), add=(0, 0, 0, 0)):
    values = list(mul) + list(add)
    n = signed_bits(*values)
    b = Bits().ub(1, 1).ub(1, 1).ub(4, n)
    for v in values:
        b.sb(n, v)
    return b.data()


def sprite(sprite_id, frames):
    """DefineSprite; `frames` is a list of tag strings, one per frame (ShowFrame added)."""
    body = b"".join(f + tag(1) for f in frames) + tag(0)
    return tag(39, struct.pack("<HH", sprite_id, len(frames)) + body)


ACTION_PLAY, ACTION_STOP = 0x06, 0x07


def actions(*codes):
    return bytes(codes) + b"\0"


def button(button_id, states, on_release):
    """DefineButton2: `states` as (flags, char_id, depth, matrix) with flags
    bits 1 up, 2 over, 4 down, 8 hit; `on_release` the action bytes."""
    records = b""
    for flags, char_id, depth, mat in states:
        records += bytes([flags]) + struct.pack("<HH", char_id, depth) + mat + cxform_alpha()
    records += b"\0"
    cond = struct.pack("<HH", 0, 0x0008) + on_release  # OverDownToOverUp: a click released on the button
    return tag(34, struct.pack("<HBH", button_id, 0, 2 + len(records)) + records + cond)
