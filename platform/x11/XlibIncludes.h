// The one way the display backend includes Xlib, beside our own headers.
//
// Xlib declares the type Time, which the runtime library's Time() (the time of day)
// would clash with in the global namespace: here Xlib's type is named XTime. Its
// type Screen would clash the same way with the framework's Screen object: here it
// is named XScreen. Its
// macros None, True, False, Bool, Status (and X.h's constants such as GrayScale)
// stay defined, as Xlib's own headers and code written against them expect; our
// headers use none of those names (scripts/check-headers compiles every header after
// this one to keep it so).
#pragma once

#define Time XTime
#define Screen XScreen
#include <X11/Xlib.h>
#undef Screen
#undef Time
