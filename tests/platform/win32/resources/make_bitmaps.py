#!/usr/bin/env python3
"""Writes the bitmap files of the resource tests: one per pixel format, with row padding,
bit packing and both row orders. The pictures are the ones tests/platform/win32/gdi_test.cpp
expects, letter for letter."""
import struct

COLORS = {'K': (0, 0, 0), 'W': (255, 255, 255), 'R': (255, 0, 0), 'G': (0, 255, 0),
          'B': (0, 0, 255), 'Y': (255, 255, 0), 'C': (0, 255, 255)}


def bmp(name, rows, bpp, palette=None, top_down=False, clr_used=0):
    height, width = len(rows), len(rows[0])
    stride = (width * bpp + 31) // 32 * 4
    stored = rows if top_down else list(reversed(rows))
    bits = b''
    for row in stored:
        line = bytearray()
        if bpp >= 24:
            for ch in row:
                r, g, b = COLORS[ch]
                line += bytes([b, g, r] + ([0x7F] if bpp == 32 else []))
        else:
            acc, n = 0, 0
            for ch in row:
                acc = (acc << bpp) | palette.index(ch)
                n += bpp
                if n == 8:
                    line.append(acc)
                    acc, n = 0, 0
            if n:
                line.append(acc << (8 - n))
        bits += bytes(line) + b'\0' * (stride - len(line))
    pal = b''.join(bytes([COLORS[c][2], COLORS[c][1], COLORS[c][0], 0]) for c in (palette or []))
    info = struct.pack('<IiiHHIIiiII', 40, width, -height if top_down else height, 1, bpp, 0,
                       len(bits), 2835, 2835, clr_used, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset)
    with open(name, 'wb') as f:
        f.write(head + info + pal + bits)


bmp('mono.bmp', ['KWKWKWKWW', 'WWKKWWKKK'], 1, palette=['K', 'W'])
bmp('four.bmp', ['RGBYC', 'KWRGB', 'CYBGR'], 4,
    palette=['K', 'R', 'G', 'B', 'Y', 'C', 'W'] + ['K'] * 9)
bmp('eight.bmp', ['RGB', 'BGR'], 8, palette=['R', 'G', 'B'], clr_used=3)
bmp('rgb.bmp', ['RGB', 'YCW'], 24)
bmp('top_down.bmp', ['RG', 'BY'], 32, top_down=True)
# Claims 64 x 64 pixels but holds two rows.
bmp('short.bmp', ['RG', 'BY'], 24)
with open('short.bmp', 'r+b') as f:
    f.seek(18)
    f.write(struct.pack('<ii', 64, 64))
