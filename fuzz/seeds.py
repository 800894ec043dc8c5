#!/usr/bin/env python3
"""Builds seed inputs for the fuzz targets into OUT/<target>/: small real files from the test
data, and layer files, bitmaps and profiles made here to reach every record kind.
Usage: fuzz/seeds.py OUT DATA_DIR..."""
import os
import struct
import sys

MAX_SEED = 64 * 1024


def small_files(dirs, exts):
    for d in dirs:
        for root, _, files in os.walk(d):
            for f in sorted(files):
                p = os.path.join(root, f)
                if os.path.splitext(f)[1].lower() in exts and os.path.getsize(p) <= MAX_SEED:
                    yield p


def companion(path, ext):
    stem = os.path.splitext(path)[0]
    for e in (ext, ext.upper()):
        if os.path.exists(stem + e):
            return stem + e
    return None


def read(p):
    with open(p, 'rb') as f:
        return f.read()


def sstr(s):
    b = s.encode('latin-1')[:255]
    return bytes([len(b)]) + b


def font(color=0, unit=15, size=10, angle=0, style=0, name='Arial'):
    return struct.pack('<iBhhB', color, unit, size, angle, style) + sstr(name)


def pen(color=0, style=0, width=1):
    return struct.pack('<iBB', color, style, width)


def brush(color=0xFFFFFF, style=0):
    return struct.pack('<iB', color, style)


def presenter_base(fid, name, align=0):
    return struct.pack('<i', fid) + sstr(name) + bytes([align]) + font()


def block(cls, records):
    return struct.pack('<i', len(records)) + sstr(cls) + b''.join(records)


def header(flags, fid, title='', ident=0, zoom=(0, 0)):
    b = struct.pack('<H', flags)
    if flags & 0x01:
        b += sstr(title)
    if flags & 0x02:
        b += struct.pack('<i', ident)
    if flags & 0x80:
        b += struct.pack('<ii', *zoom)
    return b + struct.pack('<h', fid)


def layer(blocks, extent=(0, 0, 0, 0)):
    return struct.pack('<hiiii', 0x0300, *extent) + b''.join(blocks) + struct.pack('<i', 0)


def layer_seeds():
    pts = presenter_base(1, 'Towns', 3) + bytes([1, 15]) + struct.pack('<i', -4) + struct.pack('<i', 12) + \
        struct.pack('<h', 65) + sstr('') + pen() + brush() + font(name='WingDings')
    lines = presenter_base(2, 'Roads') + pen(0xFF, 2, 3)
    areas = presenter_base(3, 'Lakes', 1) + pen() + brush(0xFF0000, 1)
    presenters = [block('TPointPresenter', [pts]), block('TPolygonPresenter', [areas]),
                  block('TPolylinePresenter', [lines])]
    # Whole-minute chain with deltas and an escape, a plain 32-bit chain with altitude, a single
    # point with title, ID and zoom range, a long count in 32 bits.
    minute = header(0x18, 2) + struct.pack('<H', 4) + struct.pack('<hh', 0, 0) + \
        struct.pack('<bb', 1, 1) + struct.pack('<bb', 1, -1) + struct.pack('<b', 127) + struct.pack('<hh', 600, -300)
    plain = header(0x04, 3) + struct.pack('<H', 3) + struct.pack('<iii', 1, 2, 3) + \
        struct.pack('<iii', -971999999, 486000000, 7) + struct.pack('<iii', 971999999, -486000000, -7)
    delta32 = header(0x14, 3) + struct.pack('<H', 3) + struct.pack('<iii', 10, 20, 30) + \
        struct.pack('<hhh', 5, -5, 1) + struct.pack('<h', 32767) + struct.pack('<iii', 100000, 200000, 0)
    single = header(0xA3, 1, 'Berlin', 42, (10, 1000)) + struct.pack('<hh', 810, 3150)
    long_count = header(0x08, 0) + struct.pack('<H', 0) + struct.pack('<i', 3) + \
        struct.pack('<hhhhhh', 1, 2, 3, 4, 5, 6)
    bitmap = header(0x08, 0) + struct.pack('<hh', -60, 60) + struct.pack('<ii', 90000, -1) + sstr('picture.bmp')
    objects = [block('TBitmapObject', [bitmap]),
               block('TGeoDataObject', [minute, plain, delta32, single, long_count])]
    return {
        'empty.lyr': layer([]),
        'full.lyr': layer(presenters + objects, (-90000, -90000, 1800000, 1800000)),
        'objects.lyr': layer(objects),
        'wrong-version.lyr': struct.pack('<h', 0x0200) + bytes(20),
        'unknown-class.lyr': layer([block('TNoSuchClass', [b'\0' * 8])]),
    }


def bmp(width, height, palette=256, clr_used=0, header_size=40, bits=8, compression=0):
    rows = abs(height)
    row_bytes = (width * 8 + 31) // 32 * 4
    pal_at = 14 + header_size
    pix_at = pal_at + 4 * palette
    size = pix_at + row_bytes * rows
    b = bytearray(size)
    struct.pack_into('<2sIHHI', b, 0, b'BM', size, 0, 0, pix_at)
    struct.pack_into('<IiiHHIIiiII', b, 14, header_size, width, height, 1, bits, compression,
                     row_bytes * rows, 2835, 2835, clr_used, 0)
    for i in range(palette):
        struct.pack_into('<BBBB', b, pal_at + 4 * i, i, 255 - i, (i * 37) & 255, 0)
    for r in range(rows):
        for c in range(width):
            b[pix_at + r * row_bytes + c] = (r * 16 + c) & 255
    return bytes(b)


def bitmap_seeds():
    return {
        'bottom-up.bmp': bmp(8, 4),
        'top-down.bmp': bmp(6, -3),
        'few-colours.bmp': bmp(5, 5, palette=16, clr_used=16),
        'v5-header.bmp': bmp(3, 2, header_size=124),
        'wide.bmp': bmp(64, 2, palette=2, clr_used=2),
    }


def ini_seeds():
    return {
        'profile.prf': b'[Global Settings]\r\nDataDirectory=/data\r\n\r\n[LayerList]\r\n0=world.lyr\r\n'
                       b'1=sub\\rivers.lyr\r\n\r\n[world.lyr]\r\nName=World\r\nVisible=0\r\nZoomUnits=km\r\n'
                       b'ZoomMin=-5\r\nZoomMax=0x7FFFFFFF\r\nMaxFontHeight=12\r\n',
        # The fuzz target's profile is input.prf: an entry naming it loads a file that is no layer.
        'self.prf': b'[LayerList]\n0=input.prf\n1=./input.prf\n2=missing.lyr\n',
        'odd.ini': b'\xef\xbb\xbfpreamble line\n; comment\n[ Open\nkey = value with \\ backslash\n=no key\n'
                   b'[open]\nKEY=2\n[Closed] trailing\nnum=+0x10\nbig=4294967296\n',
    }


def write(out, target, name, data):
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)


def main():
    out, dirs = sys.argv[1], sys.argv[2:]
    for p in small_files(dirs, {'.dbf'}):
        write(out, 'dbf', os.path.basename(p), read(p))
    for p in small_files(dirs, {'.shp'}):
        dbf = companion(p, '.dbf')
        table = read(dbf) if dbf and os.path.getsize(dbf) <= MAX_SEED else b''
        write(out, 'shp', os.path.basename(p), struct.pack('<I', len(table)) + table + read(p))
    for p in small_files(dirs, {'.mif'}):
        mid = companion(p, '.mid')
        write(out, 'mif', os.path.basename(p), read(p) + (b'\0' + read(mid) if mid else b''))
    for p in small_files(dirs, {'.e00'}):
        write(out, 'e00', os.path.basename(p), read(p))
    for p in small_files(dirs, {'.lyr'}):
        write(out, 'layer', os.path.basename(p), read(p))
    for name, data in layer_seeds().items():
        write(out, 'layer', name, data)
    for name, data in bitmap_seeds().items():
        write(out, 'bitmap', name, data)
    for name, data in ini_seeds().items():
        write(out, 'ini', name, data)


if __name__ == '__main__':
    main()
