#!/usr/bin/env python3
"""Pads each PE file given to a multiple of 8 bytes and writes its checksum into its header: the form
that osslsigncode gives a file back in when it removes a signature. makensis leaves both undone, so
without this a signed setup less its signature would not be the unsigned setup."""
import struct
import sys

for path in sys.argv[1:]:
    with open(path, "rb") as file:
        image = bytearray(file.read())
    image += bytes(-len(image) % 8)
    # The optional header follows the "PE\0\0" signature and the 20-byte file header; its CheckSum
    # field is at offset 64 in both the 32-bit and the 64-bit layout.
    field = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
    struct.pack_into("<I", image, field, 0)
    total = 0
    for (word,) in struct.iter_unpack("<H", image):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", image, field, total + len(image))
    with open(path, "wb") as file:
        file.write(image)
