#!/bin/sh
# Photographs for the quantizer tests, as binary PPM (P6, 8 bits per channel).
#   jackal.ppm   a photograph shipped by Debian's python3-httpbin (239 x 178)
#   rose.ppm     ImageMagick's built-in photograph "rose:" (70 x 46)
#   plasma.ppm   a fractal plasma with a fixed seed (128 x 96)
#   cloud.ppm    a softer plasma, blurred like an out-of-focus photograph (128 x 96)
# jackal.jpg is public domain (WPClipart), as its own comment says.
# Run from this folder; needs imagemagick and python3-httpbin.
set -e
IM=convert-im6.q16
$IM /usr/lib/python3/dist-packages/httpbin/templates/images/jackal.jpg -strip -depth 8 jackal.ppm
$IM rose: -strip -depth 8 rose.ppm
$IM -seed 7 -size 128x96 plasma:fractal -strip -depth 8 plasma.ppm
$IM -seed 11 -size 128x96 plasma:fractal -blur 0x2 -strip -depth 8 cloud.ppm
