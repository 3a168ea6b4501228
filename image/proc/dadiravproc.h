// Unit dadiravproc: the processing worker functions of the image library.
//
// Conventions shared by every worker here:
// - The pixel store comes first, then the operation's arguments, then the rectangle
//   x1, y1, x2, y2 (right and bottom ends exclusive), then the progress event with its
//   sender or a TProgressRec. Rectangles are clipped to the store; an empty result
//   does nothing.
// - A missing store, an empty one (width or height 0) or a pixel format the worker
//   does not handle makes it return without effect; workers do not raise for an
//   unsuitable image.
// - Progress is reported once per row and only when the event is assigned; reports
//   are limited to 0..100.
// - Stores and framework bitmaps that a worker returns belong to the caller.
#pragma once

// The unit's topics, each in a header of its own.
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_colour.h"
#include "image/proc/dadiravproc_resample.h"
#include "image/proc/dadiravproc_rotate.h"
#include "image/proc/dadiravproc_filters.h"
#include "image/proc/dadiravproc_component.h"
