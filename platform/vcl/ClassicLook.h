// The classic look shared by the standard and common controls: 3-D edges in the
// system colours (clBtnHighlight, cl3DLight, clBtnShadow, cl3DDkShadow), button
// faces, focus rectangles, check marks, radio circles, arrows and captions embossed
// when disabled. Everything draws through the canvas given; nothing is kept.
#pragma once

#include "platform/vcl/Graphics.h"

// Which way an arrow points.
enum class TArrowDirection : Byte { adUp, adDown, adLeft, adRight };
using enum TArrowDirection;

// The frames of the classic look.
enum class TClassicFrame : Byte {
  cfRaised,       // a button or a raised panel: light outside top-left, dark bottom-right
  cfSunken,       // an edit field or a list: two lines sunk
  cfRaisedInner,  // one raised line (a panel's bevel)
  cfSunkenOuter,  // one sunk line (a status panel, a bevel)
  cfEtched,       // a group box's line: sunk then raised
  cfBump,         // raised then sunk
  cfFlat,         // one line in clBtnShadow
};
using enum TClassicFrame;

namespace classic {

// The size of a check box's square and of a radio button's circle.
inline constexpr Integer kCheckSize = 13;
inline constexpr Integer kRadioSize = 12;

// Draws a frame on the rectangle's edge; answers the rectangle inside it.
TRect DrawFrame(TCanvas* canvas, const TRect& rect, TClassicFrame frame);
// A frame of width lines: topLeft on the top and left sides, bottomRight on the
// others (the framework's Frame3D); rect shrinks by width.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topLeft, TColor bottomRight, Integer width);
// A push button's face filled with clBtnFace: raised when up, pushed in (a dark frame
// and a shadow line) when down; a default button has a dark frame around it first.
// Answers the area for the content (moved one pixel right and down when pressed).
TRect DrawButtonFace(TCanvas* canvas, const TRect& rect, bool down, bool isDefault);
// A flat tool button's face: nothing when up and not hot, one raised line when hot,
// one sunk line when down. Answers the area for the content.
TRect DrawFlatButtonFace(TCanvas* canvas, const TRect& rect, bool down, bool hot);
// The dotted focus rectangle (inverting; drawing it twice removes it).
void DrawFocusRect(TCanvas* canvas, const TRect& rect);
// A check box's square with its top-left corner at (x, y): state 0 unchecked, 1
// checked, 2 grayed. A pressed or disabled box has a clBtnFace field.
void DrawCheckBox(TCanvas* canvas, Integer x, Integer y, Integer state, bool enabled, bool pressed);
// A radio button's circle with its top-left corner at (x, y).
void DrawRadioButton(TCanvas* canvas, Integer x, Integer y, bool checked, bool enabled, bool pressed);
// A solid triangle centred in rect, in color.
void DrawArrow(TCanvas* canvas, const TRect& rect, TArrowDirection direction, TColor color);
// A scroll bar's or up-down's arrow button: a raised face (pushed when down) with an
// arrow, embossed when disabled.
void DrawArrowButton(TCanvas* canvas, const TRect& rect, TArrowDirection direction, bool down,
                     bool enabled);
// Text laid out in rect by DrawText with format (DT_ flags; '&' marks the mnemonic
// unless DT_NOPREFIX), in color on no background; disabled text is embossed
// (clBtnHighlight one pixel right and down, then clBtnShadow). Uses the canvas's font.
void DrawCaption(TCanvas* canvas, const TRect& rect, const AnsiString& text, UINT format,
                 TColor color, bool enabled);
// The size DrawCaption would take with format (DT_CALCRECT in rect's width).
TSize MeasureCaption(TCanvas* canvas, const TRect& rect, const AnsiString& text, UINT format);
// The pattern of the scroll bar's track: clBtnFace and clBtnHighlight on alternate pixels.
void FillTrack(TCanvas* canvas, const TRect& rect);

}  // namespace classic
