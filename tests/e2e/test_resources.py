#!/usr/bin/env python3
"""Reads the resource section of quorlane.exe back and checks every entry:
the menu, the About dialog and its controls, the icon group and its image,
the dialog-include record and the version information, all language-neutral.

    test_resources.py quorlane.exe
"""
import struct
import sys

RT_ICON, RT_MENU, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_DLGINCLUDE = 3, 4, 5, 14, 16, 17

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00C00000, 0x00080000, 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
BS_DEFPUSHBUTTON, SS_LEFT, SS_CENTER, SS_ICON = 1, 0, 1, 3
BUTTON, STATIC = 0x80, 0x82
STATIC_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP

# id, class, style, x, y, cx, cy, text (None: any text)
CONTROLS = [
    (1, BUTTON, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 51, 85, 40, 14, "&OK"),
    (204, STATIC, STATIC_STYLE | SS_LEFT, 39, 10, 80, 8, "Quorlane"),
    (205, STATIC, STATIC_STYLE | SS_LEFT, 39, 21, 89, 8, None),
    (206, STATIC, STATIC_STYLE | SS_CENTER, 25, 48, 98, 8, None),
    (207, STATIC, STATIC_STYLE | SS_CENTER, 9, 58, 127, 8, None),
    (208, STATIC, STATIC_STYLE | SS_CENTER, 21, 68, 99, 8, None),
    (209, STATIC, WS_CHILD | WS_VISIBLE | SS_ICON, 11, 11, 16, 16, "QuorlaneIcon"),
]

PALETTE = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
           0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]

failures = []


def expect(cond, what):
    if not cond:
        failures.append(what)


# ------------------------------------------------------------ PE reading

def resources(path):
    """{(type, name, language): bytes} of every resource in the image."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    nsect, optsize = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (112 if magic == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from("<II", data, dirs + 2 * 8)
    sections = []
    for k in range(nsect):
        s = opt + optsize + 40 * k
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def at(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    base = at(rsrc_rva)

    def name_of(field):
        if field & 0x80000000:
            o = base + (field & 0x7FFFFFFF)
            n = struct.unpack_from("<H", data, o)[0]
            return data[o + 2:o + 2 + 2 * n].decode("utf-16-le")
        return field

    def walk(offset, path, out):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for k in range(named + ids):
            field, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * k)
            key = path + (name_of(field),)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, key, out)
            else:
                rva, size = struct.unpack_from("<II", data, base + target)
                out[key] = data[at(rva):at(rva) + size]
        return out

    return walk(0, (), {})


# ------------------------------------------------------- template reading

class Reader:
    def __init__(self, blob):
        self.b, self.p = blob, 0

    def u16(self):
        v = struct.unpack_from("<H", self.b, self.p)[0]
        self.p += 2
        return v

    def s16(self):
        v = struct.unpack_from("<h", self.b, self.p)[0]
        self.p += 2
        return v

    def u32(self):
        v = struct.unpack_from("<I", self.b, self.p)[0]
        self.p += 4
        return v

    def wstr(self):
        end = self.p
        while self.b[end:end + 2] != b"\0\0":
            end += 2
        s = self.b[self.p:end].decode("utf-16-le")
        self.p = end + 2
        return s

    def sz_or_ord(self):
        first = struct.unpack_from("<H", self.b, self.p)[0]
        if first == 0:
            self.p += 2
            return ""
        if first == 0xFFFF:
            self.p += 2
            return self.u16()
        return self.wstr()

    def align4(self):
        self.p = (self.p + 3) & ~3


def check_menu(blob):
    def w(s):
        return (s + "\0").encode("utf-16-le")
    want = (struct.pack("<HH", 0, 0) + struct.pack("<H", 0x10 | 0x80) + w("&Help")
            + struct.pack("<HH", 0x80, 1000) + w("&About..."))
    expect(blob == want, "menu template %r, wanted %r" % (blob, want))


def check_dialog(blob):
    r = Reader(blob)
    style, exstyle, count = r.u32(), r.u32(), r.u16()
    rect = (r.s16(), r.s16(), r.s16(), r.s16())
    want_style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    expect(style == want_style, "dialog style %#x, wanted %#x" % (style, want_style))
    expect(exstyle == 0, "dialog extended style %#x" % exstyle)
    expect(rect == (6, 21, 144, 106), "dialog rectangle %r" % (rect,))
    menu, cls, title = r.sz_or_ord(), r.sz_or_ord(), r.sz_or_ord()
    expect((menu, cls, title) == ("", "", "About Quorlane"), "dialog menu, class, caption %r" % ((menu, cls, title),))
    font = (r.u16(), r.wstr())
    expect(font == (10, "MS Sans Serif"), "dialog font %r" % (font,))
    expect(count == len(CONTROLS), "%d controls" % count)
    for k in range(count):
        r.align4()
        style, exstyle = r.u32(), r.u32()
        x, y, cx, cy = r.s16(), r.s16(), r.s16(), r.s16()
        cid = r.u16()
        cls, text = r.sz_or_ord(), r.sz_or_ord()
        extra = r.u16()
        r.p += extra
        if k >= len(CONTROLS):
            continue
        wid, wcls, wstyle, wx, wy, wcx, wcy, wtext = CONTROLS[k]
        where = "control %d (id %d)" % (k + 1, cid)
        expect(cid == wid, "%s: id, wanted %d" % (where, wid))
        expect(cls == wcls, "%s: class %r, wanted ordinal %#x" % (where, cls, wcls))
        expect(style == wstyle, "%s: style %#x, wanted %#x" % (where, style, wstyle))
        expect(exstyle == 0, "%s: extended style %#x" % (where, exstyle))
        expect((x, y, cx, cy) == (wx, wy, wcx, wcy), "%s: rectangle %r" % (where, (x, y, cx, cy)))
        expect(isinstance(text, str) and text != "", "%s: text %r" % (where, text))
        expect(wtext is None or text == wtext, "%s: text %r, wanted %r" % (where, text, wtext))
        expect(extra == 0, "%s: %d bytes of creation data" % (where, extra))
    expect(r.p == len(blob), "dialog template has %d bytes after its controls" % (len(blob) - r.p))


def check_group(blob):
    head = struct.unpack_from("<HHH", blob, 0)
    expect(head == (0, 1, 1), "icon group header %r" % (head,))
    expect(len(blob) == 6 + 14, "icon group of %d bytes" % len(blob))
    entry = struct.unpack_from("<BBBBHHIH", blob, 6)
    expect(entry == (32, 32, 16, 0, 1, 4, 744, 1),
           "icon group entry (w, h, colours, reserved, planes, bits, bytes, id) = %r" % (entry,))


def check_icon(blob):
    expect(len(blob) == 744, "icon image of %d bytes" % len(blob))
    hdr = struct.unpack_from("<IiiHHIIiiII", blob, 0)
    expect(hdr == (40, 32, 64, 1, 4, 0, 640, 0, 0, 0, 0) or hdr[:7] == (40, 32, 64, 1, 4, 0, 640),
           "icon image header %r" % (hdr,))
    pal = [(blob[40 + 4 * k + 2] << 16) | (blob[40 + 4 * k + 1] << 8) | blob[40 + 4 * k] for k in range(16)]
    expect(pal == PALETTE, "icon palette %s" % ["%06X" % c for c in pal])
    colour, mask = blob[104:616], blob[616:744]

    def at(x, y):  # top-down; None where transparent
        row = 31 - y
        if mask[4 * row + x // 8] & (0x80 >> (x % 8)):
            return None
        b = colour[16 * row + x // 2]
        return b >> 4 if x % 2 == 0 else b & 15
    # Transparent corners, blue rim, yellow core below the centre.
    expect(all(at(x, y) is None for x, y in ((0, 0), (31, 0), (0, 31), (31, 31))), "icon corners not transparent")
    expect(at(16, 1) == 12, "icon rim is not blue")
    yellow = [(x, y) for y in range(32) for x in range(32) if at(x, y) == 11]
    expect(bool(yellow) and sum(y for _, y in yellow) / len(yellow) > 16, "icon core not yellow below the centre")


def check_version(blob):
    length, vlen, vtype = struct.unpack_from("<HHH", blob, 0)
    key = blob[6:6 + 32].decode("utf-16-le")
    expect(length == len(blob) and key == "VS_VERSION_INFO\0", "version resource header %r" % ((length, key),))
    expect(vlen == 52 and struct.unpack_from("<I", blob, 40)[0] == 0xFEEF04BD, "no fixed file information")


def main():
    res = resources(sys.argv[1])
    expect(all(lang == 0 for _, _, lang in res), "languages %r" % sorted({k[2] for k in res}))
    kinds = sorted(((t, n) for t, n, _ in res), key=repr)
    want = sorted([(RT_ICON, 1), (RT_MENU, "QUORLANEMENU"), (RT_DIALOG, "ABOUTDLG"),
                   (RT_GROUP_ICON, "QUORLANEICON"), (RT_VERSION, 1), (RT_DLGINCLUDE, 1)], key=repr)
    expect(kinds == want, "resources %r, wanted %r" % (kinds, want))
    get = lambda t, n: res.get((t, n, 0), b"")
    check_menu(get(RT_MENU, "QUORLANEMENU"))
    check_dialog(get(RT_DIALOG, "ABOUTDLG"))
    check_group(get(RT_GROUP_ICON, "QUORLANEICON"))
    check_icon(get(RT_ICON, 1))
    inc = get(RT_DLGINCLUDE, 1)
    expect(inc == b"quorlane.h\0", "dialog include record %r" % inc)
    check_version(get(RT_VERSION, 1))
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("all %d resources as expected" % len(res))


if __name__ == "__main__":
    main()
