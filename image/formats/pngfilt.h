// Unit pngfilt: the PNG reader and detector, and the zlib layer (pngfilt_zlib.h).
#pragma once

#include "image/formats/pngfilt_zlib.h"
