#!/usr/bin/python3
"""BMP files written by Pillow and ImageMagick, each with the pixels it must read as.

Usage: make_fixtures.py OUTDIR
Writes NAME.bmp and NAME.rgb (width x height x 3 bytes R,G,B, top row first) for
every case, and manifest.txt with one line per case: NAME WIDTH HEIGHT BITS
COMPRESSION HEADERSIZE. The reference pixels are Pillow's decoding, except for
16-bit files, worked out here from the stored words (channel bits shifted to the
top of the byte, without filling the low bits).
"""
import os
import struct
import subprocess
import sys

from PIL import Image

out = sys.argv[1]
W, H = 13, 7  # odd width: every depth has row padding


def pattern():
    im = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            im.putpixel((x, y), ((x * 19 + y * 7) % 256, (y * 37 + 5) % 256, (x * y * 11 + 90) % 256))
    return im


src = os.path.join(out, "src.png")
pattern().save(src)
rgba = pattern().convert("RGBA")
rgba.putalpha(Image.new("L", (W, H), 128))
src_alpha = os.path.join(out, "src_alpha.png")
rgba.save(src_alpha)

cases = []


def pil(name, im):
    im.save(os.path.join(out, name + ".bmp"))
    cases.append((name, None))


def magick(name, args, fmt="BMP3", source=src, computed=False):
    dest = os.path.join(out, name + ".bmp")
    subprocess.run(["convert-im6.q16", source] + args + [fmt + ":" + dest], check=True)
    cases.append((name, computed))


pil("pil_1bit", pattern().convert("L").point(lambda v: 255 if v > 110 else 0).convert("1"))
pil("pil_8bit_grey", pattern().convert("L"))
pil("pil_8bit_palette", pattern().convert("P", palette=Image.ADAPTIVE, colors=200))
pil("pil_24bit", pattern())
pil("pil_32bit", rgba)
magick("im_1bit_red_blue", ["-monochrome", "-fill", "red", "-opaque", "black", "-fill", "blue",
                            "-opaque", "white", "-type", "Palette", "-compress", "None"])
magick("im_4bit", ["-colors", "16", "-type", "Palette", "-compress", "None"])
magick("im_8bit", ["-colors", "200", "-type", "Palette", "-compress", "None"])
magick("im_v5_8bit", ["-colors", "200", "-type", "Palette", "-compress", "None"], fmt="BMP")
magick("im_rle8", ["-colors", "40", "-type", "Palette", "-compress", "RLE"])
magick("im_24bit", ["-type", "TrueColor"])
magick("im_32bit", ["-type", "TrueColorAlpha"], fmt="BMP", source=src_alpha)
magick("im_os2_8bit", ["-colors", "100", "-type", "Palette"], fmt="BMP2")
magick("im_os2_24bit", ["-type", "TrueColor"], fmt="BMP2")
magick("im_565", ["-define", "bmp:subtype=RGB565"], fmt="BMP", computed=True)
magick("im_555", ["-define", "bmp:subtype=RGB555"], fmt="BMP", computed=True)


def computed16(data):
    offset = struct.unpack_from("<I", data, 10)[0]
    hsize, width, height, _, bits, comp = struct.unpack_from("<IiiHHI", data, 14)
    if comp == 3:
        masks = struct.unpack_from("<III", data, 54)  # after a 40-byte header, or inside a longer one
    else:
        masks = (0x7C00, 0x03E0, 0x001F)

    def chan(v, m):
        shift = (m & -m).bit_length() - 1
        n = bin(m).count("1")
        c = (v & m) >> shift
        return (c >> (n - 8)) if n >= 8 else (c << (8 - n)) & 255

    row_len = (width * 16 + 31) // 32 * 4
    rows = []
    for n in range(abs(height)):
        base = offset + n * row_len
        row = bytearray()
        for x in range(width):
            v = struct.unpack_from("<H", data, base + 2 * x)[0]
            row += bytes(chan(v, m) for m in masks)
        rows.append(bytes(row))
    if height > 0:
        rows.reverse()
    return b"".join(rows)


with open(os.path.join(out, "manifest.txt"), "w") as manifest:
    for name, computed in cases:
        path = os.path.join(out, name + ".bmp")
        data = open(path, "rb").read()
        hsize = struct.unpack_from("<I", data, 14)[0]
        if hsize == 12:
            width, height, _, bits = struct.unpack_from("<HHHH", data, 18)
            comp = 0
        else:
            width, height, _, bits, comp = struct.unpack_from("<iiHHI", data, 18)
        if computed:
            ref = computed16(data)
        else:
            ref = Image.open(path).convert("RGB").tobytes()
        open(os.path.join(out, name + ".rgb"), "wb").write(ref)
        manifest.write("%s %d %d %d %d %d\n" % (name, width, abs(height), bits, comp, hsize))
