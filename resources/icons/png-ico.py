#!/usr/bin/env python3
"""Stores the images of .ico files PNG-compressed, without changing a pixel.

    png-ico.py FILE.ico...    rewrites each file in place and prints its size before and after

Windows Vista and later read a PNG image in an icon at any size. Each 32-bit BMP image is written as
an RGBA PNG, and the PNG is decoded again and compared with the BMP's pixels before it is used. An
image that would be larger as PNG stays BMP; an image that is PNG already is kept as it is.
A PNG image carries no AND mask: the loader makes it from the alpha channel (transparent where alpha
is 0). So only images whose mask is exactly that are taken; any other is refused, among them those
whose alpha is all 0, which keep their transparency in the mask alone.
"""
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class Refused(Exception):
    pass


def bmp_to_rgba(image):
    """The image's rows top-down as RGBA bytes, and its side; refuses what a PNG could not say."""
    if len(image) < 40:
        raise Refused("truncated image header")
    size, width, height, planes, bpp, compression = struct.unpack_from("<IiiHHI", image)
    if size != 40 or bpp != 32 or planes != 1 or compression != 0:
        raise Refused(f"not a plain 32-bit BMP image (header {size}, {bpp} bpp, compression {compression})")
    if width <= 0 or height != 2 * width:
        raise Refused(f"unexpected size {width} x {height // 2}")
    colour_size = width * width * 4
    mask_stride = (width + 31) // 32 * 4
    if len(image) < 40 + colour_size + mask_stride * width:
        raise Refused("truncated image")
    colour = image[40 : 40 + colour_size]
    mask = image[40 + colour_size :]
    if not any(colour[3::4]):
        raise Refused("its alpha is all 0: the AND mask alone tells what is transparent")
    rows = []
    for y in range(width):  # bottom-up in the BMP
        bgra = colour[(width - 1 - y) * width * 4 : (width - y) * width * 4]
        mask_row = mask[(width - 1 - y) * mask_stride :]
        for x in range(width):
            transparent = (mask_row[x // 8] >> (7 - x % 8)) & 1
            if transparent != (bgra[x * 4 + 3] == 0):
                raise Refused(f"its AND mask differs from its alpha at ({x}, {y})")
        rgba = bytearray(bgra)
        rgba[0::4], rgba[2::4] = bgra[2::4], bgra[0::4]
        rows.append(bytes(rgba))
    return rows, width


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, prior):
    if kind == 0:
        return row
    out = bytearray(len(row))
    for i, value in enumerate(row):
        a = row[i - 4] if i >= 4 else 0
        b = prior[i]
        c = prior[i - 4] if i >= 4 else 0
        predicted = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out[i] = (value - predicted) & 0xFF
    return bytes(out)


def unfilter(data, width, height):
    """The rows of a decompressed RGBA PNG stream, for the check after encoding."""
    stride = width * 4
    rows, prior, pos = [], bytes(stride), 0
    for _ in range(height):
        kind, filtered = data[pos], data[pos + 1 : pos + 1 + stride]
        pos += 1 + stride
        row = bytearray(stride)
        for i in range(stride):
            a = row[i - 4] if i >= 4 else 0
            b = prior[i]
            c = prior[i - 4] if i >= 4 else 0
            predicted = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
            row[i] = (filtered[i] + predicted) & 0xFF
        rows.append(bytes(row))
        prior = row
    if pos != len(data):
        raise Refused("PNG stream longer than its image")
    return rows


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def rgba_to_png(rows, width):
    """The smallest PNG found over every filter for the whole image and the per-row choice."""
    zero = bytes(width * 4)
    by_kind = [[filter_row(kind, row, rows[y - 1] if y else zero) for y, row in enumerate(rows)] for kind in range(5)]
    candidates = [[(kind, by_kind[kind][y]) for y in range(width)] for kind in range(5)]
    # The usual heuristic: per row, the filter whose bytes, read as signed, sum smallest.
    candidates.append([min(((k, by_kind[k][y]) for k in range(5)), key=lambda c: sum(min(v, 256 - v) for v in c[1])) for y in range(width)])
    best = None
    for choice in candidates:
        raw = b"".join(bytes([kind]) + data for kind, data in choice)
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
            packer = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
            stream = packer.compress(raw) + packer.flush()
            if best is None or len(stream) < len(best):
                best = stream
    header = struct.pack(">IIBBBBB", width, width, 8, 6, 0, 0, 0)  # 8-bit RGBA, not interlaced
    png = PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", best) + chunk(b"IEND", b"")
    if unfilter(zlib.decompress(best), width, width) != rows:
        raise Refused("the PNG does not decode to the BMP's pixels")
    return png


def repack(data):
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        raise Refused("not an icon file")
    images = []
    for i in range(count):
        width, height, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        image = data[offset : offset + size]
        if len(image) != size:
            raise Refused(f"image {i} runs past the end of the file")
        if not image.startswith(PNG_SIGNATURE):
            try:
                rows, side = bmp_to_rgba(image)
                if side != (width or 256) or side != (height or 256):
                    raise Refused(f"the image is {side} x {side}")
                png = rgba_to_png(rows, side)
            except Refused as reason:
                raise Refused(f"image {i} ({width or 256} x {height or 256}): {reason}") from None
            if len(png) < len(image):
                image = png
        images.append((width, height, image))
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for width, height, image in images:
        out += struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for _, _, image in images:
        out += image
    return bytes(out)


def main(paths):
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for path in paths:
        with open(path, "rb") as f:
            before = f.read()
        try:
            after = repack(before)
        except Refused as reason:
            print(f"png-ico: {path}: {reason}; left as it was", file=sys.stderr)
            return 1
        with open(path, "wb") as f:
            f.write(after)
        print(f"png-ico: {path}: {len(before)} -> {len(after)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
