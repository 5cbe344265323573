"""Writes RGBA pictures as PNG files for the artwork scripts, with zlib alone, so the pictures can be
made again anywhere without an imaging library."""
import struct
import zlib


def png(width, height, pixel):
    """PNG bytes of a width x height picture whose pixel(x, y) gives (r, g, b, a) bytes."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
