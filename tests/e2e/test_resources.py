#!/usr/bin/env python3
"""Reads the resource section of quorlane.exe back and checks every entry, all language-neutral:
    test_resources.py quorlane.exe"""
import struct
import sys

CHILD, STATIC = 0x50000000, 0x50020000  # WS_CHILD | WS_VISIBLE, and | WS_GROUP
# The About box's controls: id, class ordinal (button, static), style, x, y, cx, cy, text or None
CONTROLS = [
    (1, 0x80, CHILD | 0x10000 | 1, 51, 85, 40, 14, "&OK"),
    (204, 0x82, STATIC, 39, 10, 80, 8, "Quorlane"),
    (205, 0x82, STATIC, 39, 21, 89, 8, None),
    (206, 0x82, STATIC | 1, 25, 48, 98, 8, None),
    (207, 0x82, STATIC | 1, 9, 58, 127, 8, None),
    (208, 0x82, STATIC | 1, 21, 68, 99, 8, None),
    (209, 0x82, CHILD | 3, 11, 11, 16, 16, "QuorlaneIcon"),
]
# The standard 16-colour palette, 0xRRGGBB.
PALETTE = [int(c, 16) for c in "000000 800000 008000 808000 000080 800080 008080 C0C0C0".split()]
PALETTE += [int(c, 16) for c in "808080 FF0000 00FF00 FFFF00 0000FF FF00FF 00FFFF FFFFFF".split()]
failures = []


def expect(got, want, what):
    if got != want:
        failures.append("%s: %r, wanted %r" % (what, got, want))


def resources(data):
    """{(type, name, language): bytes} of every resource of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    nsect, optsize = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    dirs = opt + (112 if data[opt : opt + 2] == b"\x0b\x02" else 96)  # the data directories
    rsrc = struct.unpack_from("<I", data, dirs + 16)[0]
    sections = [struct.unpack_from("<IIII", data, opt + optsize + 40 * k + 8) for k in range(nsect)]

    def at(rva):  # file offset of a virtual address
        return next(r + rva - va for vs, va, size, r in sections if va <= rva < va + max(vs, size))

    base, out = at(rsrc), {}

    def walk(offset, key):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        entries = data[base + offset + 16 : base + offset + 16 + 8 * (named + ids)]
        for field, target in struct.iter_unpack("<II", entries):
            name, o = field, base + (field & 0x7FFFFFFF)
            if field >> 31:
                name = data[o + 2 : o + 2 + 2 * int.from_bytes(data[o : o + 2], "little")]
                name = name.decode("utf-16-le")
            if target >> 31:
                walk(target & 0x7FFFFFFF, key + (name,))
            else:
                rva, size = struct.unpack_from("<II", data, base + target)
                out[key + (name,)] = data[at(rva) : at(rva) + size]

    walk(0, ())
    return out


def names(b, p, n):
    """n names or ordinals of a template from offset p: ([values], the offset after them)."""
    out = []
    for _ in range(n):
        if b[p : p + 2] == b"\xff\xff":
            out, p = out + [struct.unpack_from("<H", b, p + 2)[0]], p + 4
        else:
            end = next(e for e in range(p, len(b), 2) if b[e : e + 2] == b"\0\0")
            out, p = out + [b[p:end].decode("utf-16-le")], end + 2
    return out, p


def check_dialog(b):
    # Popup, visible, caption, system menu, modal frame, font; no extended style; controls; rect.
    head = struct.unpack_from("<IIH4h", b)
    expect(head, (0x90C800C0, 0, len(CONTROLS), 6, 21, 144, 106), "dialog header")
    (menu, cls, title), p = names(b, 18, 3)
    points, ((font,), p) = struct.unpack_from("<H", b, p)[0], names(b, p + 2, 1)
    want = ("", "", "About Quorlane", 10, "MS Sans Serif")
    expect((menu, cls, title, points, font), want, "dialog names, font")
    for want in CONTROLS:
        style, ex, x, y, cx, cy, cid = struct.unpack_from("<II4hH", b, (p + 3) & ~3)
        (cls, text), p = names(b, ((p + 3) & ~3) + 18, 2)
        extra = struct.unpack_from("<H", b, p)[0]
        p += 2 + extra
        got = (cid, cls, style, x, y, cx, cy, text if want[7] else None)
        named = isinstance(text, str) and text != ""
        expect((got, ex, extra, named), (want, 0, 0, True), "control %d" % want[0])
    expect(p, len(b), "the dialog template's end")


def check_icon(group, image):
    entry = struct.pack("<3H4B2HIH", 0, 1, 1, 32, 32, 16, 0, 1, 4, 744, 1)
    expect(group, entry, "icon group (one 32x32x16 entry)")
    head = (len(image),) + struct.unpack_from("<IiiHHII", image)
    expect(head, (744, 40, 32, 64, 1, 4, 0, 640), "icon header")
    palette = [int.from_bytes(image[40 + 4 * k : 43 + 4 * k], "little") for k in range(16)]
    expect(palette, PALETTE, "icon palette")
    # Top-down, None where transparent.
    px = [
        None
        if image[616 + 4 * (31 - y) + x // 8] & 0x80 >> x % 8
        else image[104 + 16 * (31 - y) + x // 2] >> 4 * (1 - x % 2) & 15
        for y in range(32)
        for x in range(32)
    ]
    yellow = [k // 32 for k, c in enumerate(px) if c == 11]
    got = ([px[k] for k in (0, 31, 992, 1023, 48)], sum(yellow) > 16 * len(yellow) > 0)
    what = "icon corners (transparent), rim (blue), yellow core below the centre"
    expect(got, ([None] * 4 + [12], True), what)


def main():
    res = resources(open(sys.argv[1], "rb").read())
    expect({lang for _, _, lang in res}, {0}, "languages")
    kinds = {(3, 1), (4, "QUORLANEMENU"), (5, "ABOUTDLG"), (5, "GOTOSTEPDLG"), (14, "QUORLANEICON")}
    kinds |= {(16, 1), (17, 1)}
    what = "resources: icon, menu, two dialogs, icon group, version, dialog include"
    expect({(t, n) for t, n, _ in res}, kinds, what)
    get, w = lambda t, n: res.get((t, n, 0), b""), lambda s: (s + "\0").encode("utf-16-le")
    menu = struct.pack("<3H", 0, 0, 0x90) + w("&Help")
    menu += struct.pack("<HH", 0x80, 1000) + w("&About...")
    expect(get(4, "QUORLANEMENU"), menu, "menu template")
    check_dialog(get(5, "ABOUTDLG"))
    check_icon(get(14, "QUORLANEICON"), get(3, 1))
    expect(get(17, 1), b"quorlane.h\0", "dialog include record")
    v = get(16, 1)
    got, want = (len(v),) + struct.unpack_from("<HH2x32s2xI", v), (len(v), len(v), 52)
    what = "version resource (length, fixed part's length, key, fixed part's signature)"
    expect(got, want + (w("VS_VERSION_INFO"), 0xFEEF04BD), what)
    print("\n".join("FAIL: " + f for f in failures) or "all %d resources as expected" % len(res))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
