#!/usr/bin/python3
# Writes the PNG reader's fixtures into the folder given as argv[1]: for each case
# <name>.png (made by Pillow or ImageMagick) and <name>.rgba (the expected pixels, 8
# bits a channel, top row first). Prints one line per case:
#   name bit_depth colour_type interlace
# read from the file's own IHDR, so the test can check the peer made what was asked.
import struct
import subprocess
import sys

from PIL import Image

out = sys.argv[1].rstrip('/') + '/'
W, H = 13, 7
IM = '/usr/bin/convert-im6.q16'
cases = []


def save_expected(name, rgba):
    with open(out + name + '.rgba', 'wb') as f:
        f.write(bytes(c for px in rgba for c in px))
    cases.append(name)


def grid(fn):
    return [fn(x, y) for y in range(H) for x in range(W)]


def grey_rgba(vals):
    return [(v, v, v, 255) for v in vals]


def write_pgm(path, vals, maxval=255):
    with open(path, 'wb') as f:
        f.write(b'P5 %d %d %d\n' % (W, H, maxval))
        f.write(bytes(vals) if maxval < 256 else b''.join(struct.pack('>H', v) for v in vals))


def magick(src, name, *opts):
    subprocess.run([IM, src, *opts, 'PNG:' + out + name + '.png'], check=True)


# Grey 1 bit (Pillow mode 1).
g1 = grid(lambda x, y: 255 if (x * 3 + y) % 5 < 2 else 0)
im = Image.new('1', (W, H)); im.putdata(g1); im.save(out + 'grey1.png')
save_expected('grey1', grey_rgba(g1))

# Grey 2 and 4 bits (ImageMagick).
for bits, fn in ((2, lambda x, y: (x + y) % 4 * 85), (4, lambda x, y: (x * 5 + y * 3) % 16 * 17)):
    vals = grid(fn)
    write_pgm(out + 'in.pgm', vals)
    name = 'grey%d' % bits
    magick(out + 'in.pgm', name, '-define', 'png:bit-depth=%d' % bits, '-define', 'png:color-type=0')
    save_expected(name, grey_rgba(vals))

# Grey 8 and 16 bits (Pillow).
g8 = grid(lambda x, y: (x * 19 + y * 37) % 256)
im = Image.new('L', (W, H)); im.putdata(g8); im.save(out + 'grey8.png')
save_expected('grey8', grey_rgba(g8))
g16 = grid(lambda x, y: (x * 4099 + y * 9001 + 77) % 65536)
im = Image.frombytes('I;16', (W, H), b''.join(struct.pack('<H', v) for v in g16))
im.save(out + 'grey16.png')
save_expected('grey16', grey_rgba([v >> 8 for v in g16]))

# Palettes of 1, 2, 4 and 8 bits (Pillow).
def palette_case(name, bits, colours, trns=None):
    n = len(colours)
    idx = grid(lambda x, y: (x * 7 + y * 3) % n)
    im = Image.new('P', (W, H)); im.putdata(idx)
    im.putpalette([c for rgb in colours for c in rgb])
    kw = {'bits': bits, 'optimize': False}
    if trns is not None:
        kw['transparency'] = bytes(trns)
    im.save(out + name + '.png', **kw)
    alpha = trns if trns is not None else [255] * n
    save_expected(name, [colours[i] + (alpha[i],) for i in idx])


palette_case('pal1_bw', 1, [(0, 0, 0), (255, 255, 255)])
palette_case('pal1_wb', 1, [(255, 255, 255), (0, 0, 0)])
palette_case('pal1_rb', 1, [(255, 0, 0), (0, 0, 255)])
palette_case('pal2', 2, [(200, 10, 30), (5, 250, 60), (70, 80, 240), (250, 250, 0)])
pal16 = [((i * 53) % 256, (i * 97 + 11) % 256, (255 - i * 13) % 256) for i in range(16)]
palette_case('pal4', 4, pal16)
pal256 = [((i * 53) % 256, (i * 97 + 11) % 256, (i * 29 + 101) % 256) for i in range(256)]
palette_case('pal8', 8, pal256)
palette_case('pal4_trns', 4, pal16, [0, 128] + [255] * 13 + [40])

# RGB 8 bits, grey + alpha, RGBA (Pillow).
rgb = grid(lambda x, y: ((x * 20) % 256, (y * 36) % 256, (x * y * 5 + 3) % 256))
im = Image.new('RGB', (W, H)); im.putdata(rgb); im.save(out + 'rgb8.png')
save_expected('rgb8', [p + (255,) for p in rgb])
la = grid(lambda x, y: ((x * 19 + y * 37) % 256, (x * 40 + y) % 256))
im = Image.new('LA', (W, H)); im.putdata(la); im.save(out + 'la8.png')
save_expected('la8', [(v, v, v, a) for v, a in la])
rgba = grid(lambda x, y: ((x * 20) % 256, (y * 36) % 256, (x * y * 5 + 3) % 256, (x * 17 + y * 29) % 256))
im = Image.new('RGBA', (W, H)); im.putdata(rgba); im.save(out + 'rgba8.png')
save_expected('rgba8', rgba)

# tRNS on RGB and grey (Pillow).
im = Image.new('RGB', (W, H)); im.putdata(rgb); im.save(out + 'rgb8_trns.png', transparency=rgb[5])
save_expected('rgb8_trns', [p + ((0 if p == rgb[5] else 255),) for p in rgb])
im = Image.new('L', (W, H)); im.putdata(g8); im.save(out + 'grey8_trns.png', transparency=g8[3])
save_expected('grey8_trns', [(v, v, v, 0 if v == g8[3] else 255) for v in g8])

# RGB 16 bits (ImageMagick from a 16-bit PPM).
r16 = grid(lambda x, y: ((x * 5003 + 1) % 65536, (y * 9001 + 300) % 65536, (x * y * 777) % 65536))
with open(out + 'in.ppm', 'wb') as f:
    f.write(b'P6 %d %d 65535\n' % (W, H))
    f.write(b''.join(struct.pack('>HHH', *p) for p in r16))
magick(out + 'in.ppm', 'rgb16', '-depth', '16', '-define', 'png:color-type=2')
save_expected('rgb16', [(r >> 8, g >> 8, b >> 8, 255) for r, g, b in r16])

# Adam7 interlaced copies (ImageMagick).
for src, depth, ctype in (('rgb8', 8, 2), ('rgba8', 8, 6), ('grey1', 1, 0), ('grey4', 4, 0)):
    magick(out + src + '.png', src + '_i', '-interlace', 'PNG',
           '-define', 'png:bit-depth=%d' % depth, '-define', 'png:color-type=%d' % ctype)
    with open(out + src + '.rgba', 'rb') as f:
        data = f.read()
    with open(out + src + '_i.rgba', 'wb') as f:
        f.write(data)
    cases.append(src + '_i')

for name in cases:
    with open(out + name + '.png', 'rb') as f:
        head = f.read(33)
    print(name, head[24], head[25], head[28])
