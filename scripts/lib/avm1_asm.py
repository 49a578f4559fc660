"""An assembler for ActionScript 1/2 action records, for test and
benchmark movies (no AS1/AS2 compiler is packaged for Debian).

One statement a line; `#` starts a comment. Action names are those of the
SWF format without the "Action" prefix, in any case (`add2`, `getMember`,
`callMethod`, ...). Operands:

    push "text", 12, 1.5, true, false, null, undefined, r:1, c:0
    constants "a", "b"            ConstantPool
    storeRegister 1
    jump LABEL / if LABEL         LABEL: on a line of its own marks a place
    gotoFrame 3 / gotoLabel "x" / setTarget "/clip"
    getUrl "url" "target" / getUrl2 FLAGS / gotoFrame2 FLAGS [BIAS]
    waitForFrame FRAME SKIP / waitForFrame2 SKIP
    function NAME (a, b) {        DefineFunction; NAME may be ""
    function2 NAME (r1:a, b) regs=N flags=N {   DefineFunction2
    with {                        a block, closed by } on its own line
    try catch=r:1|catch="e" [finally] {  ... } catch { ... } finally { ... }

assemble(text, version=10) returns the bytes of the records (no End).
"""
import re
import struct

_CODES = {
    "end": 0x00, "nextframe": 0x04, "prevframe": 0x05, "play": 0x06, "stop": 0x07,
    "togglequality": 0x08, "stopsounds": 0x09, "add": 0x0A, "subtract": 0x0B,
    "multiply": 0x0C, "divide": 0x0D, "equals": 0x0E, "less": 0x0F, "and": 0x10,
    "or": 0x11, "not": 0x12, "stringequals": 0x13, "stringlength": 0x14,
    "stringextract": 0x15, "pop": 0x17, "tointeger": 0x18, "getvariable": 0x1C,
    "setvariable": 0x1D, "settarget2": 0x20, "stringadd": 0x21, "getproperty": 0x22,
    "setproperty": 0x23, "clonesprite": 0x24, "removesprite": 0x25, "trace": 0x26,
    "startdrag": 0x27, "enddrag": 0x28, "stringless": 0x29, "throw": 0x2A,
    "castop": 0x2B, "implementsop": 0x2C, "randomnumber": 0x30, "mbstringlength": 0x31,
    "chartoascii": 0x32, "asciitochar": 0x33, "gettime": 0x34, "mbstringextract": 0x35,
    "mbchartoascii": 0x36, "mbasciitochar": 0x37, "delete": 0x3A, "delete2": 0x3B,
    "definelocal": 0x3C, "callfunction": 0x3D, "return": 0x3E, "modulo": 0x3F,
    "newobject": 0x40, "definelocal2": 0x41, "initarray": 0x42, "initobject": 0x43,
    "typeof": 0x44, "targetpath": 0x45, "enumerate": 0x46, "add2": 0x47, "less2": 0x48,
    "equals2": 0x49, "tonumber": 0x4A, "tostring": 0x4B, "pushduplicate": 0x4C,
    "stackswap": 0x4D, "getmember": 0x4E, "setmember": 0x4F, "increment": 0x50,
    "decrement": 0x51, "callmethod": 0x52, "newmethod": 0x53, "instanceof": 0x54,
    "enumerate2": 0x55, "bitand": 0x60, "bitor": 0x61, "bitxor": 0x62, "bitlshift": 0x63,
    "bitrshift": 0x64, "biturshift": 0x65, "strictequals": 0x66, "greater": 0x67,
    "stringgreater": 0x68, "extends": 0x69, "call": 0x9E,
}

_TOKEN = re.compile(r'\s*("(?:[^"\\]|\\.)*"|[^,\s()]+|[(),])')


def _string(text, version):
    body = bytes(text, "utf-8" if version >= 6 else "cp1252")
    return body + b"\0"


def _unquote(token):
    if not (token.startswith('"') and token.endswith('"')):
        raise ValueError("not a string: %s" % token)
    return bytes(token[1:-1], "utf-8").decode("unicode_escape")


def _record(code, payload=b""):
    if code < 0x80:
        return bytes([code])
    return bytes([code]) + struct.pack("<H", len(payload)) + payload


def _tokens(text):
    return [t for t in _TOKEN.findall(text) if t != ","]


def _push_item(token, version):
    if token.startswith('"'):
        return b"\x00" + _string(_unquote(token), version)
    low = token.lower()
    if low in ("true", "false"):
        return b"\x05" + bytes([low == "true"])
    if low == "null":
        return b"\x02"
    if low == "undefined":
        return b"\x03"
    if low.startswith("r:"):
        return b"\x04" + bytes([int(low[2:])])
    if low.startswith("c:"):
        index = int(low[2:])
        return b"\x08" + bytes([index]) if index < 256 else b"\x09" + struct.pack("<H", index)
    value = float(token) if any(ch in low for ch in ".e") or low in ("nan", "inf", "-inf") else int(token, 0)
    if isinstance(value, int) and -2 ** 31 <= value < 2 ** 31:
        return b"\x07" + struct.pack("<i", value)
    raw = struct.pack("<d", float(value))
    return b"\x06" + raw[4:] + raw[:4]  # the high word first


class _Block:
    """Records with labels, resolved when the block is closed."""

    def __init__(self):
        self.parts = []  # bytes, or (kind, label) for a branch
        self.labels = {}

    def size(self):
        return sum(len(p) if isinstance(p, bytes) else 5 for p in self.parts)

    def data(self):
        offsets, at = [], 0
        for p in self.parts:
            offsets.append(at)
            at += len(p) if isinstance(p, bytes) else 5
        out = b""
        for p, start in zip(self.parts, offsets):
            if isinstance(p, bytes):
                out += p
                continue
            code, label = p
            if label not in self.labels:
                raise ValueError("no label %s" % label)
            out += _record(code, struct.pack("<h", self.labels[label] - (start + 5)))
        return out


def _strip_comment(line):
    quoted = False
    for i, ch in enumerate(line):
        if ch == '"' and (i == 0 or line[i - 1] != "\\"):
            quoted = not quoted
        elif ch == "#" and not quoted:
            return line[:i].strip()
    return line.strip()


def assemble(text, version=10):
    lines = [_strip_comment(line) for line in text.splitlines()]
    pos = [0]

    def block(closers=("}",)):
        b = _Block()
        while pos[0] < len(lines):
            line = lines[pos[0]]
            pos[0] += 1
            if not line:
                continue
            if line.startswith("}"):
                return b, line
            if line.endswith(":") and " " not in line:
                b.labels[line[:-1]] = b.size()
                continue
            statement(b, line)
        return b, None

    def statement(b, line):
        word, _, rest = line.partition(" ")
        op = word.lower()
        toks = _tokens(rest)
        if op == "push":
            b.parts.append(_record(0x96, b"".join(_push_item(t, version) for t in toks)))
        elif op in ("constants", "constantpool"):
            items = [_string(_unquote(t), version) for t in toks]
            b.parts.append(_record(0x88, struct.pack("<H", len(items)) + b"".join(items)))
        elif op in ("jump", "if"):
            b.parts.append((0x99 if op == "jump" else 0x9D, toks[0]))
        elif op == "storeregister":
            b.parts.append(_record(0x87, bytes([int(toks[0])])))
        elif op == "gotoframe":
            b.parts.append(_record(0x81, struct.pack("<H", int(toks[0]))))
        elif op in ("gotolabel", "settarget"):
            b.parts.append(_record(0x8C if op == "gotolabel" else 0x8B, _string(_unquote(toks[0]), version)))
        elif op == "geturl":
            b.parts.append(_record(0x83, _string(_unquote(toks[0]), version) + _string(_unquote(toks[1]), version)))
        elif op == "geturl2":
            b.parts.append(_record(0x9A, bytes([int(toks[0], 0)])))
        elif op == "gotoframe2":
            flags = int(toks[0], 0)
            payload = bytes([flags]) + (struct.pack("<H", int(toks[1])) if len(toks) > 1 else b"")
            b.parts.append(_record(0x9F, payload))
        elif op == "waitforframe":
            b.parts.append(_record(0x8A, struct.pack("<HB", int(toks[0]), int(toks[1]))))
        elif op == "waitforframe2":
            b.parts.append(_record(0x8D, bytes([int(toks[0])])))
        elif op in ("function", "function2"):
            name = _unquote(toks[0])
            close = toks.index(")")
            params = toks[toks.index("(") + 1:close]
            options = dict(t.split("=", 1) for t in toks[close + 1:] if "=" in t)
            body, _ = block()
            code = body.data()
            if op == "function":
                payload = _string(name, version) + struct.pack("<H", len(params))
                payload += b"".join(_string(p, version) for p in params)
            else:
                payload = _string(name, version) + struct.pack("<HBH", len(params), int(options.get("regs", "0")),
                                                               int(options.get("flags", "0"), 0))
                for p in params:
                    reg, _, pname = p.rpartition(":")
                    payload += bytes([int(reg[1:]) if reg else 0]) + _string(pname, version)
            b.parts.append(_record(0x9B if op == "function" else 0x8E, payload + struct.pack("<H", len(code))))
            b.parts.append(code)
        elif op == "with":
            body, _ = block()
            code = body.data()
            b.parts.append(_record(0x94, struct.pack("<H", len(code))))
            b.parts.append(code)
        elif op == "try":
            options = dict(t.split("=", 1) for t in toks if "=" in t)
            tried, closer = block()
            caught = finished = b""
            has_catch = has_finally = False
            while closer and closer != "}":
                kind = closer.strip("} {").strip()
                part, closer = block()
                if kind == "catch":
                    caught, has_catch = part.data(), True
                elif kind == "finally":
                    finished, has_finally = part.data(), True
            target = options.get("catch", '"e"')
            in_register = target.startswith("r:")
            flags = (1 if has_catch else 0) | (2 if has_finally else 0) | (4 if in_register else 0)
            code = tried.data()
            payload = struct.pack("<BHHH", flags, len(code), len(caught), len(finished))
            payload += bytes([int(target[2:])]) if in_register else _string(_unquote(target), version)
            b.parts.append(_record(0x8F, payload))
            b.parts += [code, caught, finished]
        elif op in _CODES:
            b.parts.append(_record(_CODES[op]))
        else:
            raise ValueError("unknown action: %s" % word)

    top, closer = block()
    if closer is not None:
        raise ValueError("unbalanced }")
    return top.data()
