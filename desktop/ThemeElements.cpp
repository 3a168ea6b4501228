#include "desktop/ThemeElements.h"

namespace {

// The part number of each value of an enumeration, in the enumeration's order; the
// state is the value's distance from the first value of its part, plus 1.
template <class E, size_t N>
TThemedElementDetails Details(TThemedElement element, const Byte (&parts)[N], E value) {
  const auto index = static_cast<size_t>(value);
  TThemedElementDetails d;
  d.Element = element;
  if (index >= N) return d;
  d.Part = parts[index];
  size_t first = index;
  while (first > 0 && parts[first - 1] == parts[index]) --first;
  d.State = static_cast<Integer>(index - first + 1);
  return d;
}

constexpr Byte kButtonParts[] = {0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2,
                                 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 5};
constexpr Byte kClockParts[] = {0, 0, 1};
constexpr Byte kComboBoxParts[] = {0, 0, 1, 1, 1, 1};
constexpr Byte kEditParts[] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 2};
constexpr Byte kExplorerBarParts[] = {0, 0, 1, 1, 1, 2, 2, 2, 3, 3,  3,  3,  3,  3,  4,  4, 4,
                                      5, 6, 6, 6, 7, 7, 7, 8, 9, 10, 10, 10, 11, 11, 11, 12};
constexpr Byte kHeaderParts[] = {0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr Byte kListviewParts[] = {0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5};
constexpr Byte kMenuParts[] = {0, 0, 1, 1, 1, 2, 3, 4, 5, 6};
constexpr Byte kPageParts[] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
constexpr Byte kProgressParts[] = {0, 0, 1, 2, 3, 4};
constexpr Byte kRebarParts[] = {0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr Byte kScrollBarParts[] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  1, 1, 1,
                                    2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5,  5, 6, 6,
                                    6, 6, 7, 7, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9, 10, 10};
constexpr Byte kSpinParts[] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
constexpr Byte kStartPanelParts[] = {0, 0, 1, 2, 3, 3, 3, 4, 5, 6, 7, 8, 9, 9, 9, 10, 11};
constexpr Byte kStatusParts[] = {0, 0, 1, 2, 3};
constexpr Byte kTabParts[] = {0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4,
                              5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 9, 10};
constexpr Byte kTaskBandParts[] = {0, 0, 1, 2, 3};
constexpr Byte kTaskBarParts[] = {0, 0, 1};
constexpr Byte kToolBarParts[] = {0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3,
                                  3, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6};
constexpr Byte kToolTipParts[] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 5};
constexpr Byte kTrackBarParts[] = {0, 0, 1, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 5, 5, 5, 5,
                                   5, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 9, 10};
constexpr Byte kTrayNotifyParts[] = {0, 0, 1, 2};
constexpr Byte kTreeviewParts[] = {0, 0, 1, 1, 1, 1, 1, 2, 2, 3};
constexpr Byte kWindowParts[] = {
    0,  0,  1,  1,  1,  2,  2,  2,  3,  3,  3,  4,  4,  4,  5,  5,  5,  6,  6,  6,  7,  7,  8,  8,
    9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 13, 13, 13, 14, 14, 14, 14, 14, 15, 15, 15, 15, 15, 16,
    16, 16, 16, 16, 17, 17, 17, 17, 17, 18, 18, 18, 18, 18, 19, 19, 19, 19, 19, 20, 20, 20, 20, 20,
    21, 21, 21, 21, 21, 22, 22, 22, 22, 22, 23, 23, 23, 23, 23, 24, 24, 24, 24, 24, 25, 25, 25, 25,
    26, 26, 26, 26, 27, 27, 27, 27, 28, 28, 28, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37};

}  // namespace

TThemedElementDetails GetElementDetails(TThemedButton value) {
  return Details(teButton, kButtonParts, value);
}
TThemedElementDetails GetElementDetails(TThemedClock value) {
  return Details(teClock, kClockParts, value);
}
TThemedElementDetails GetElementDetails(TThemedComboBox value) {
  return Details(teComboBox, kComboBoxParts, value);
}
TThemedElementDetails GetElementDetails(TThemedEdit value) {
  return Details(teEdit, kEditParts, value);
}
TThemedElementDetails GetElementDetails(TThemedExplorerBar value) {
  return Details(teExplorerBar, kExplorerBarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedHeader value) {
  return Details(teHeader, kHeaderParts, value);
}
TThemedElementDetails GetElementDetails(TThemedListview value) {
  return Details(teListView, kListviewParts, value);
}
TThemedElementDetails GetElementDetails(TThemedMenu value) {
  return Details(teMenu, kMenuParts, value);
}
TThemedElementDetails GetElementDetails(TThemedPage value) {
  return Details(tePage, kPageParts, value);
}
TThemedElementDetails GetElementDetails(TThemedProgress value) {
  return Details(teProgress, kProgressParts, value);
}
TThemedElementDetails GetElementDetails(TThemedRebar value) {
  return Details(teRebar, kRebarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedScrollBar value) {
  return Details(teScrollBar, kScrollBarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedSpin value) {
  return Details(teSpin, kSpinParts, value);
}
TThemedElementDetails GetElementDetails(TThemedStartPanel value) {
  return Details(teStartPanel, kStartPanelParts, value);
}
TThemedElementDetails GetElementDetails(TThemedStatus value) {
  return Details(teStatus, kStatusParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTab value) {
  return Details(teTab, kTabParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTaskBand value) {
  return Details(teTaskBand, kTaskBandParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTaskBar value) {
  return Details(teTaskBar, kTaskBarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedToolBar value) {
  return Details(teToolBar, kToolBarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedToolTip value) {
  return Details(teToolTip, kToolTipParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTrackBar value) {
  return Details(teTrackBar, kTrackBarParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTrayNotify value) {
  return Details(teTrayNotify, kTrayNotifyParts, value);
}
TThemedElementDetails GetElementDetails(TThemedTreeview value) {
  return Details(teTreeview, kTreeviewParts, value);
}
TThemedElementDetails GetElementDetails(TThemedWindow value) {
  return Details(teWindow, kWindowParts, value);
}
