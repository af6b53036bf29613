#!/usr/bin/env python3
"""Writes app/resources/arkiva.ico: a 16x16, 16-colour icon of a closed archive box."""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# '.' transparent, K black, O olive (dark yellow), Y yellow, G grey, W white
PIXELS = [
    "................",
    "................",
    ".KKKKKKKKKKKKKK.",
    ".KOOOOOOOOOOOOK.",
    ".KOOOOOKKOOOOOK.",
    ".KKKKKKKKKKKKKK.",
    "..KYYYYKKYYYYK..",
    "..KYYYYKGKYYYK..",
    "..KYYYYKKYYYYK..",
    "..KYYYYKGKYYYK..",
    "..KYYYYKKYYYYK..",
    "..KYYYYYYYYYYK..",
    "..KYYWWWWWWYYK..",
    "..KYYYYYYYYYYK..",
    "..KKKKKKKKKKKK..",
    "................",
]
INDEX = {".": 0, "K": 0, "O": 3, "Y": 11, "G": 8, "W": 15}


def main(out_path):
    xor = b""
    mask = b""
    for row in reversed(PIXELS):  # bitmaps run bottom-up
        nibbles = [INDEX[c] for c in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, 16, 2))
        bits = 0
        for c in row:
            bits = (bits << 1) | (c == ".")
        mask += struct.pack(">H", bits) + b"\0\0"
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(image), 6 + 16)
    with open(out_path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/resources/arkiva.ico")
