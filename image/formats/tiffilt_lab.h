// TIFF 8-bit CIE L*a*b* samples (Photometric 8), shared by the reader and the
// writer so that one is the inverse of the other: sRGB with the D65 white, L* from
// 0..100 scaled to 0..255, a* and b* as signed bytes.
#pragma once

#include "image/model/iedefs.h"

// Writes the three samples of c into d[0..2].
void TIFFRGBToCIELab(TRGB c, Byte* d);
// The colour of the three samples s[0..2].
TRGB TIFFCIELabToRGB(const Byte* s);
