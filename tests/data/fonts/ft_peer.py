#!/usr/bin/python3
"""An independent reading of a font file for the FreeType text tests.

Metrics come from fontTools (the file's own tables); advances and pictures from
Pillow's FreeType binding (ImageFont.truetype, basic layout) at the same pixel size.
Advances are taken one character at a time, since GDI's text calls do not kern.

  ft_peer.py metrics FILE           units per em and the OS/2, hhea and post values
  ft_peer.py advances FILE PPEM TEXT...   the sum of the characters' advances, one line each
  ft_peer.py wrap FILE PPEM WIDTH TEXT    greedy breaking at spaces: line count, widest line
  ft_peer.py render FILE PPEM OUT W H X BASELINE TEXT
                                    TEXT in black on white, each character at the pen
                                    position, as a binary PGM
"""
import sys

from PIL import Image, ImageDraw, ImageFont


def font(path, ppem):
    return ImageFont.truetype(path, int(ppem), layout_engine=ImageFont.Layout.BASIC)


def width(f, text):
    return int(round(sum(f.getlength(c) for c in text)))


def main(argv):
    cmd = argv[1]
    if cmd == "metrics":
        from fontTools.ttLib import TTFont
        t = TTFont(argv[2])
        os2, hhea, post = t["OS/2"], t["hhea"], t["post"]
        print(t["head"].unitsPerEm, os2.usWinAscent, os2.usWinDescent, os2.xAvgCharWidth,
              hhea.ascent, hhea.descent, hhea.lineGap, post.underlinePosition,
              post.underlineThickness, os2.yStrikeoutPosition, os2.yStrikeoutSize)
    elif cmd == "advances":
        f = font(argv[2], argv[3])
        for text in argv[4:]:
            print(width(f, text))
    elif cmd == "wrap":
        f = font(argv[2], argv[3])
        limit = int(argv[4])
        lines, line = [], ""
        for word in argv[5].split(" "):
            candidate = word if not line else line + " " + word
            if line and width(f, candidate) > limit:
                lines.append(line)
                line = word
            else:
                line = candidate
        lines.append(line)
        print(len(lines), max(width(f, l) for l in lines))
    elif cmd == "render":
        f = font(argv[2], argv[3])
        w, h, x, baseline = (int(v) for v in argv[5:9])
        image = Image.new("L", (w, h), 255)
        draw = ImageDraw.Draw(image)
        for c in argv[9]:
            draw.text((x, baseline), c, font=f, fill=0, anchor="ls")
            x += int(round(f.getlength(c)))
        image.save(argv[4])
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
