#!/usr/bin/env python3
"""Writes the .bmp files of the graphics test program's resources, byte by
byte from the published BMP layout. The pixel patterns are restated in
gdi_resource_test.cpp, which checks what the library reads against them.
Run from this folder: python3 make_bitmaps.py"""
import struct


def bmp(name, width, height, bits, pixel_rows, table=b"", compression=0,
        clr_used=0, header_size=40, extra_header=b"", masks_after=b""):
    """pixel_rows: the rows in file order, each unpadded."""
    stride = (width * bits + 31) // 32 * 4
    data = b"".join(r + b"\0" * (stride - len(r)) for r in pixel_rows)
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits,
                         compression, len(data), 2835, 2835, clr_used, 0)
    header += extra_header
    assert len(header) == header_size
    dib = header + masks_after + table + data
    offset = 14 + len(header) + len(masks_after) + len(table)
    with open(name, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, offset) + dib)


def rows_bottom_up(height, row_of):
    return [row_of(y) for y in reversed(range(height))]


# 4 bits, 5 x 3, full table: entry i is red 16i, green 255 - 16i, blue 8i;
# pixel (x, y), y from the top, has index (x + 2y) % 16.
table4 = b"".join(bytes([8 * i, 255 - 16 * i, 16 * i, 0]) for i in range(16))
def row4(y):
    idx = [(x + 2 * y) % 16 for x in range(5)] + [0]
    return bytes((idx[i] << 4) | idx[i + 1] for i in range(0, 6, 2))
bmp("checker4.bmp", 5, 3, 4, rows_bottom_up(3, row4), table4)

# 24 bits, 3 x 2: pixel (x, y) is red 40x + 10, green 100y + 5, blue xy + 7.
def row24(y):
    return b"".join(bytes([x * y + 7, 100 * y + 5, 40 * x + 10]) for x in range(3))
bmp("rgb24.bmp", 3, 2, 24, rows_bottom_up(2, row24))

# 8 bits, 4 x 3, top-down, a table of 5 entries: entry i is red 50i,
# green 40i, blue 30i; pixel (x, y) has index (x + y) % 5.
table8 = b"".join(bytes([30 * i, 40 * i, 50 * i, 0]) for i in range(5))
bmp("topdown8.bmp", 4, -3, 8, [bytes((x + y) % 5 for x in range(4)) for y in range(3)],
    table8, clr_used=5)

# 16 bits 5-6-5 with masks behind the 40-byte header, 3 x 2: pixel (x, y)
# has red 10x + 3y, green 20x + y, blue 15y + x (in 5, 6, 5 bits).
def row565(y):
    return b"".join(struct.pack("<H", (10 * x + 3 * y) << 11 | (20 * x + y) << 5 | (15 * y + x))
                    for x in range(3))
bmp("masks565.bmp", 3, 2, 16, rows_bottom_up(2, row565), compression=3,
    masks_after=struct.pack("<III", 0xF800, 0x07E0, 0x001F))

# 32 bits with a 124-byte header holding 8-8-8 masks and an alpha mask,
# 2 x 2: pixel (x, y) is 0xAARRGGBB with alpha 0x40 + x, red 0x10 * (y + 1),
# green 0x80 + x, blue 0xF0 - y.
v5 = struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000) + b"\0" * 68
def row32(y):
    return b"".join(struct.pack("<I", (0x40 + x) << 24 | (0x10 * (y + 1)) << 16 |
                                (0x80 + x) << 8 | (0xF0 - y)) for x in range(2))
bmp("v5argb.bmp", 2, 2, 32, rows_bottom_up(2, row32), compression=3, header_size=124,
    extra_header=v5)

# A 24-bit header for 10 x 10 pixels with only one row of them.
with open("rgb24.bmp", "rb") as f:
    whole = f.read()
header = bytearray(whole[14:54])
struct.pack_into("<ii", header, 4, 10, 10)
with open("broken.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + 32, 0, 0, 54) + bytes(header) + b"\x55" * 32)

# 8 bits, run-length encoded (BI_RLE8): two pixels of index 1, end of bitmap.
# The stand-in does not decode compressed bitmaps.
rle = b"\x02\x01\x00\x01"
header = struct.pack("<IiiHHIIiiII", 40, 2, 1, 1, 8, 1, len(rle), 0, 0, 2, 0)
table = bytes([0, 0, 0, 0, 255, 255, 255, 0])
with open("rle8.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + 8 + 4, 0, 0, 14 + 48) + header + table + rle)
