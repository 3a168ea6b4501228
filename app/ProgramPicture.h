// The program's picture: the channel image of a feed that has none, the About box's
// picture, and (small) the icon in the notification area and the status bar.
#pragma once

#include "platform/rtl/Types.h"
#include "platform/win/WinTypes.h"

class TBitmap;

// Makes bitmap a 24-bit size x size picture: a round blue badge with a white
// feed sign (a dot and two arcs).
void MakeProgramPicture(TBitmap* bitmap, Integer size);
// The picture as an icon of size x size whose corners outside the badge are
// transparent; the caller destroys it.
HICON MakeProgramIcon(Integer size);
