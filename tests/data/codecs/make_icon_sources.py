#!/usr/bin/python3
# Writes the source PNGs of the icon tests into the folder given: for each size
# (16, 32, 48) an image of `colours` flat colours (2, 16, 200) with a transparent
# border and corner, and a 32 x 32 image with graded alpha.
import sys
from PIL import Image

out = sys.argv[1]
palette = [(0, 0, 0), (255, 255, 255), (200, 30, 30), (30, 200, 30), (30, 30, 200), (200, 200, 30),
           (200, 30, 200), (30, 200, 200), (128, 128, 128), (64, 0, 0), (0, 64, 0), (0, 0, 64),
           (255, 128, 0), (128, 0, 255), (0, 255, 128), (90, 90, 90)]
for size in (16, 32, 48):
    for colours in (2, 16, 200):
        im = Image.new("RGBA", (size, size))
        for y in range(size):
            for x in range(size):
                if colours == 200:
                    c = ((x * 13 + y * 7) % 256, (x * y) % 256, (x * 5 + 100) % 256)
                else:
                    c = palette[(x // 3 + y // 2) % colours]
                transparent = x == 0 or y == size - 1 or (x > size - 4 and y < 3)
                im.putpixel((x, y), c + ((0,) if transparent else (255,)))
        im.save("%s/s%d_c%d.png" % (out, size, colours))
im = Image.new("RGBA", (32, 32))
for y in range(32):
    for x in range(32):
        im.putpixel((x, y), (x * 8, y * 8, 128, (x * 8 + y) % 256))
im.save("%s/alpha32.png" % out)
