#!/usr/bin/python3
# Expected palettes for the quantizer tests, computed by a plain model of the
# quantizer's rules written apart from the library (slow, but easy to check by eye).
#   <photo>.neuquant<N>.txt   NeuQuant palette of N entries, Quality -1
#   <photo>.mediancut<N>.txt  median-cut palette (its box count of entries)
# One entry a line: "r g b". Run from this folder with Debian's /usr/bin/python3.
import sys


def load_ppm(name):
    data = open(name, 'rb').read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    assert fields[0] == b'P6' and fields[3] == b'255'
    w, h = int(fields[1]), int(fields[2])
    px = data[pos:pos + w * h * 3]
    # (r, g, b) tuples, top row first
    return w, h, [(px[i], px[i + 1], px[i + 2]) for i in range(0, w * h * 3, 3)]


def tdiv(a, b):
    """Integer division truncating toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def round_even(x):
    return int(round(x))  # Python rounds halves to even


def sample_factor(pixels):
    if pixels < 2000:
        return 1
    return min(30, max(1, round_even((pixels - 2000) * 13 / 148000 + 2)))


def neuquant(w, h, pixels, n):
    samplefac = sample_factor(w * h)
    net = [[(i << 12) // n] * 3 for i in range(n)]  # b, g, r
    freq = [65536 // n] * n
    bias = [0] * n
    lengthcount = w * h * 3
    alphadec = 30 + (samplefac - 1) // 3
    samplepixels = lengthcount // (3 * samplefac)
    delta = samplepixels // 100 or 1
    alpha = 1024
    radius = (n >> 3) << 6

    def radpowers(alpha, radius):
        rad = radius >> 6
        if rad <= 1:
            rad = 0
        return rad, [alpha * (((rad * rad - i * i) << 8) // (rad * rad)) for i in range(rad)]

    rad, radpower = radpowers(alpha, radius)
    step = 503
    for p in (499, 491, 487):
        if lengthcount % p != 0:
            step = p
            break
    pos = 0
    for i in range(1, samplepixels + 1):
        r, g, b = pixels[pos]
        x = (b << 4, g << 4, r << 4)
        bestd = bestbiasd = 1 << 31
        bestpos = bestbiaspos = 0
        for k in range(n):
            nb, ng, nr = net[k]
            dist = abs(nb - x[0]) + abs(ng - x[1]) + abs(nr - x[2])
            if dist < bestd:
                bestd, bestpos = dist, k
            biasdist = dist - ((bias[k] & 0xFFFFFFFF) >> 12)  # unsigned shift
            if biasdist < bestbiasd:
                bestbiasd, bestbiaspos = biasdist, k
            betafreq = freq[k] >> 10
            freq[k] -= betafreq
            bias[k] += betafreq << 10
        freq[bestpos] += 64
        bias[bestpos] -= 65536
        j = bestbiaspos
        net[j] = [c - tdiv((c - v) * alpha, 1024) for c, v in zip(net[j], x)]
        if rad > 0:
            hi = min(j + rad, n)
            lo = max(j - rad, -1)
            up, down, m = j + 1, j - 1, 1
            while up < hi or down > lo:
                a = radpower[m]
                m += 1
                if up < hi:
                    net[up] = [c - tdiv(a * (c - v), 262144) for c, v in zip(net[up], x)]
                    up += 1
                if down > lo:
                    net[down] = [c - tdiv(a * (c - v), 262144) for c, v in zip(net[down], x)]
                    down -= 1
        pos += step
        while pos >= w * h:
            pos -= w * h
        if i % delta == 0:
            alpha -= alpha // alphadec
            radius -= radius // 30
            rad, radpower = radpowers(alpha, radius)
    return [(nr >> 4, ng >> 4, nb >> 4) for nb, ng, nr in net]


def median_cut(w, h, pixels, ncol):
    total = w * h
    cube = {}
    for r, g, b in pixels:
        cell = (r >> 3, g >> 3, b >> 3)
        cube[cell] = cube.get(cell, 0) + 1

    def new_box(lower, upper):
        return {'lower': list(lower), 'upper': list(upper), 'count': 0, 'weight': 0.0,
                'mean': [0.0] * 3, 'hist': [[0] * 32 for _ in range(3)]}

    def stats(box):
        box['weight'] = 0.0
        if box['count'] == 0:
            return
        for c in range(3):
            h = box['hist'][c]
            s1 = sum(v * h[v] for v in range(box['lower'][c], box['upper'][c]))
            s2 = sum(v * v * h[v] for v in range(box['lower'][c], box['upper'][c]))
            mean = s1 / box['count']
            box['mean'][c] = mean
            box['weight'] += s2 - mean * mean * box['count']
        box['weight'] /= total

    def fill(box):
        """Histograms of the cells inside the box's bounds."""
        box['hist'] = [[0] * 32 for _ in range(3)]
        for cell, k in cube.items():
            if all(box['lower'][c] <= cell[c] < box['upper'][c] for c in range(3)):
                for c in range(3):
                    box['hist'][c][cell[c]] += k

    def shrink(box):
        for c in range(3):
            occupied = [v for v in range(32) if box['hist'][c][v]]
            box['lower'][c], box['upper'][c] = occupied[0], occupied[-1] + 1

    first = new_box((0, 0, 0), (32, 32, 32))
    first['count'] = total
    fill(first)
    stats(first)
    boxes = [first]

    def try_split(box, c):
        lower, upper = box['lower'][c], box['upper'][c]
        if upper == lower + 1:
            return None
        mean, count, h = box['mean'][c], box['count'], box['hist'][c]
        lo = round_even((lower + mean) * 0.5)
        hi = round_even((upper + mean) * 0.5)
        s = sum(h[lower:lo])
        split, count_a, best, t = lo, count, -1.0, 0.0
        for v in range(lo, hi + 1):
            s += h[v]
            if s == count:
                break
            t += h[v] * v / count
            score = s / (count - s) * (mean - t) ** 2
            if score > best:
                best, split, count_a = score, v, s
        a = new_box(box['lower'], box['upper'])
        b = new_box(box['lower'], box['upper'])
        a['upper'][c] = split + 1
        b['lower'][c] = split + 1
        a['count'], b['count'] = count_a, count - count_a
        if a['count'] == 0 or b['count'] == 0:
            return None
        fill(a)
        fill(b)
        shrink(a)
        shrink(b)
        stats(a)
        stats(b)
        return a, b

    while len(boxes) < ncol:
        weights = [bx['weight'] for bx in boxes]
        k = max(range(len(boxes)), key=lambda j: (weights[j], -j))
        if weights[k] <= 0:
            break
        box = boxes[k]
        halves = [try_split(box, c) for c in range(3)]
        score = [hv[0]['weight'] + hv[1]['weight'] if hv else 17523.6 for hv in halves]
        chosen = None
        if score[0] < 17523.6 and score[0] <= score[1] and score[0] <= score[2]:
            chosen = 0
        elif score[1] < 17523.6 and score[1] <= score[0] and score[1] <= score[2]:
            chosen = 1
        elif score[2] < 17523.6:
            chosen = 2
        if chosen is None:
            box['weight'] = 0.0
            continue
        boxes[k] = halves[chosen][0]
        boxes.append(halves[chosen][1])
    return [tuple(round_even(bx['mean'][c]) << 3 for c in range(3)) for bx in boxes]


def write(name, palette):
    with open(name, 'w') as f:
        for r, g, b in palette:
            f.write('%d %d %d\n' % (r, g, b))


if __name__ == '__main__':
    for photo, n in (('rose.ppm', 256), ('cloud.ppm', 128)):
        w, h, px = load_ppm(photo)
        write(photo.replace('.ppm', '.neuquant%d.txt' % n), neuquant(w, h, px, n))
    for photo, n in (('jackal.ppm', 16), ('plasma.ppm', 100)):
        w, h, px = load_ppm(photo)
        write(photo.replace('.ppm', '.mediancut%d.txt' % n), median_cut(w, h, px, n))
    sys.exit(0)
