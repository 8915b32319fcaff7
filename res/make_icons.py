#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files (32-bit images with masks).

vpetest.ico (icon group 107, the large class icon and the About box icon): 32x32 and 16x16.
small.ico (icon group 108, the small class icon): 16x16.
Run from this folder: python3 make_icons.py
"""
import struct


def draw(size):
    """A dark blue rounded square with a white V and a green dot: RGBA rows, top row first."""
    pixels = []
    r = size / 5.0
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # Rounded square: outside the corner circles is transparent.
            dx = max(r - cx, 0, cx - (size - r))
            dy = max(r - cy, 0, cy - (size - r))
            if dx * dx + dy * dy > r * r:
                row.append((0, 0, 0, 0))
                continue
            colour = (24, 52, 120, 255)
            # The V: two strokes from the top corners to the bottom middle.
            u = cx / size
            v = cy / size
            if 0.18 <= v <= 0.82:
                t = (v - 0.18) / 0.64
                left = 0.2 + 0.3 * t
                right = 0.8 - 0.3 * t
                width = 0.09
                if abs(u - left) < width or abs(u - right) < width:
                    colour = (255, 255, 255, 255)
            # The dot: a green point at the top right.
            if (u - 0.80) ** 2 + (v - 0.20) ** 2 < 0.012:
                colour = (60, 200, 90, 255)
            row.append(colour)
        pixels.append(row)
    return pixels


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, bottom-up AND mask."""
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(pixels):
        bits = bytearray(mask_row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + xor + mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    write_ico('vpetest.ico', [32, 16])
    write_ico('small.ico', [16])
