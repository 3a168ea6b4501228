// The image views' 18 cursors, 32 x 32 monochrome, registered with Screen's cursors
// under the numbers 1778 to 1795.
#pragma once

#include "platform/rtl/Types.h"
#include "platform/vcl/Controls.h"

inline constexpr TCursor crIEZoomOut = 1778;       // "ZOOMMENO"
inline constexpr TCursor crIEZoomIn = 1779;        // "ZOOMPIU"
inline constexpr TCursor crIECross = 1780;         // "CROCE"
inline constexpr TCursor crIEEraser = 1781;        // "GOMMA"
inline constexpr TCursor crIEHand = 1782;          // "MANO": scrolling by drag
inline constexpr TCursor crIEPen = 1783;           // "PENNA"
inline constexpr TCursor crIECross1 = 1784;        // "CROCE1"
inline constexpr TCursor crIECross3 = 1785;        // "CROCE3": the views' default
inline constexpr TCursor crIEMoveAll = 1786;       // "MOVE2"
inline constexpr TCursor crIEMoveVertical = 1787;  // "MOVEY"
inline constexpr TCursor crIEMoveDiagonal = 1788;  // "MOVE1"
inline constexpr TCursor crIEMoveHorizontal = 1789;  // "MOVEX"
inline constexpr TCursor crIEMove = 1790;          // "MOVE"
inline constexpr TCursor crIECross3Add = 1791;     // "CROCE3+": the default with Shift
inline constexpr TCursor crIECross3Sub = 1792;     // "CROCE3-"
inline constexpr TCursor crIECross2 = 1793;        // "CROCE2"
inline constexpr TCursor crIECross2Add = 1794;     // "CROCE2+"
inline constexpr TCursor crIECross2Sub = 1795;     // "CROCE2-"

struct TIEViewCursorInfo {
  TCursor number;
  const char* name;
  Integer hotX, hotY;
};
// The 18 cursors in number order.
extern const TIEViewCursorInfo kIEViewCursors[18];

// Makes the cursors (once per process) and registers them with Screen's cursors;
// every view does it when made, so a cursor replaced meanwhile is put back.
void IERegisterViewCursors();
