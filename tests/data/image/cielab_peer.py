#!/usr/bin/python3
"""Independent reference for the image library's CIELAB conversions.

Computes both directions of the library's byte scaling of CIELAB in decimal
arithmetic with 40 significant digits, so that each truncation to a byte is exact.

  cielab_peer.py to-lab STEP
      One line "R G B L A B" per colour whose channels run over 0, STEP, 2 STEP, ...
      and 255.
  cielab_peer.py to-rgb LSTEP ABSTEP
      One line "L A B R G B" per (L, a, b) with L over 0, LSTEP, ... and 255 and a, b
      over -128, -128 + ABSTEP, ... and 127.

Run it with Debian's /usr/bin/python3.
"""
import sys
from decimal import Decimal, getcontext

getcontext().prec = 40
D = Decimal
THIRD = D(1) / D(3)


def channel_values(step, low, high):
    values = list(range(low, high + 1, step))
    if values[-1] != high:
        values.append(high)
    return values


def linear(c):
    # sRGB component 0..1 to linear light 0..100.
    if c > D("0.03928"):
        v = ((c + D("0.055")) / D("1.055")) ** D("2.4")
    else:
        v = c / D("12.92")
    return v * 100


def lab_f(v):
    if v > D("0.008856"):
        return v ** THIRD
    return D("7.787") * v + D(16) / D(116)


def clamp_signed(v):
    if v < -128:
        return -128
    if v > 127:
        return 127
    return int(v)  # towards zero


def to_lab(r, g, b):
    lr, lg, lb = (linear(D(c) / 255) for c in (r, g, b))
    x = D("0.4124") * lr + D("0.3576") * lg + D("0.1805") * lb
    y = D("0.2126") * lr + D("0.7152") * lg + D("0.0722") * lb
    z = D("0.0193") * lr + D("0.1192") * lg + D("0.9505") * lb
    fx, fy, fz = lab_f(x), lab_f(y), lab_f(z)
    l = (116 * fy - 16) / 550 * 255
    l = 0 if l < 0 else (255 if l > 255 else int(l))
    a = clamp_signed((fx - fy) * 500 / 200 * 128)
    bb = clamp_signed((fy - fz) * 200 / 500 * 128)
    return l, a, bb


def byte_channel(v):
    if v <= 0:
        return 0
    if v >= 1:
        return 255
    return int(256 * v.sqrt())


def to_rgb(l, a, b):
    lp = D(l) / 255 * 100
    ap = D(128 if a == -128 else a)
    bp = D(128 if b == -128 else b)
    a2 = (ap + 127) / 255 * 200 - 100
    b2 = (bp + 127) / 255 * 200 - 100
    fy = (lp + 16) / 116
    if lp >= D("7.9996"):
        x = (a2 / 500 + fy) ** 3
        y = fy ** 3
        z = (fy - b2 / 200) ** 3
    else:
        y = lp / D("903.3")
        x = a2 / D("3893.5") + y
        z = y - b2 / D("1557.4")
    r = D("2.69") * x - D("1.276") * y - D("0.414") * z
    g = D("-1.022") * x + D("1.978") * y + D("0.044") * z
    bl = D("0.061") * x - D("0.224") * y + D("1.163") * z
    return byte_channel(r), byte_channel(g), byte_channel(bl)


def main(argv):
    out = []
    if len(argv) == 3 and argv[1] == "to-lab":
        values = channel_values(int(argv[2]), 0, 255)
        for r in values:
            for g in values:
                for b in values:
                    out.append("%d %d %d %d %d %d" % ((r, g, b) + to_lab(r, g, b)))
    elif len(argv) == 4 and argv[1] == "to-rgb":
        ls = channel_values(int(argv[2]), 0, 255)
        abs_ = channel_values(int(argv[3]), -128, 127)
        for l in ls:
            for a in abs_:
                for b in abs_:
                    out.append("%d %d %d %d %d %d" % ((l, a, b) + to_rgb(l, a, b)))
    else:
        sys.stderr.write(__doc__)
        return 2
    sys.stdout.write("\n".join(out) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
