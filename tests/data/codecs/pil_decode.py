#!/usr/bin/python3
# Decodes an image file with Pillow and writes to stdout "width height\n" followed
# by the pixels as red, green, blue, alpha bytes, rows from the top. With a second
# argument, the frame (or icon size index) of that number.
import sys
from PIL import Image

im = Image.open(sys.argv[1])
if len(sys.argv) > 2:
    im.seek(int(sys.argv[2]))
im = im.convert("RGBA")
sys.stdout.buffer.write(b"%d %d\n" % im.size)
sys.stdout.buffer.write(im.tobytes())
