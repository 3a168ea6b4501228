#!/usr/bin/python3
"""Independent BMP and ICO peer for the graphics tests, built on Pillow.

  bmp_peer.py read FILE
      Prints the picture as Pillow reads it: "W H" on the first line, then one line
      per row (top row first) of space-separated RRGGBB values (RRGGBBAA for .ico
      files, whose mask becomes the alpha channel).
  bmp_peer.py write MODE FILE W H
      Writes a W x H test pattern with Pillow as FILE in Pillow mode MODE ("1", "L",
      "P", "RGB" or "RGBA"; the format follows FILE's extension: .bmp, .png, .ppm),
      then prints it as `read` does.

Run it with Debian's /usr/bin/python3, which has Pillow (python3-pil).
"""
import sys

from PIL import Image


def dump(image, alpha):
    image = image.convert("RGBA" if alpha else "RGB")
    width, height = image.size
    lines = ["%d %d" % (width, height)]
    pixels = image.load()
    for y in range(height):
        row = []
        for x in range(width):
            p = pixels[x, y]
            row.append("".join("%02X" % c for c in p))
        lines.append(" ".join(row))
    print("\n".join(lines))


def pattern(mode, width, height):
    """Distinct values everywhere, so that a swapped row, column or channel shows."""
    image = Image.new(mode, (width, height))
    pixels = image.load()
    if mode == "P":
        palette = []
        for i in range(256):
            palette += [(i * 37) & 255, (i * 101 + 17) & 255, 255 - i]
        image.putpalette(palette)
    for y in range(height):
        for x in range(width):
            if mode == "1":
                pixels[x, y] = 255 if (x * 3 + y * 5) % 7 < 3 else 0
            elif mode in ("L", "P"):
                pixels[x, y] = (x * 29 + y * 71) & 255
            elif mode == "RGB":
                pixels[x, y] = ((x * 40 + 7) & 255, (y * 50 + 3) & 255, (x * y * 13 + 90) & 255)
            else:
                pixels[x, y] = ((x * 40 + 7) & 255, (y * 50 + 3) & 255, (x * y * 13 + 90) & 255,
                                (x * 60 + y * 20) & 255)
    return image


def main(argv):
    if len(argv) >= 3 and argv[1] == "read":
        image = Image.open(argv[2])
        image.load()
        dump(image, argv[2].lower().endswith(".ico"))
        return 0
    if len(argv) == 6 and argv[1] == "write":
        mode, path, width, height = argv[2], argv[3], int(argv[4]), int(argv[5])
        image = pattern(mode, width, height)
        image.save(path)
        dump(Image.open(path), False)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
