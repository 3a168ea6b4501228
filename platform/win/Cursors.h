// Cursors made by a program from two bit planes, as icons without colour (see the
// icon functions in Gdi.h): what SetCursor shows and DrawIconEx draws.
#pragma once

#include "platform/win/WinTypes.h"

// A monochrome cursor of width x height (1 to 256 each) from two planes of 1 bit
// per pixel, rows of whole 16-bit words, top row first: AND 0 / XOR 0 black, 0 / 1
// white, 1 / 0 the screen, 1 / 1 the screen inverted. The hot spot is kept inside
// the cursor. instance is not used. 0 for a bad size or a missing plane.
HCURSOR CreateCursor(HINSTANCE instance, Integer xHotSpot, Integer yHotSpot, Integer width,
                     Integer height, const void* andPlane, const void* xorPlane);
BOOL DestroyCursor(HCURSOR cursor);
