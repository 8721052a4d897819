// The "Resize..." step: the one computation the batch run gives every picture
// and the resize dialog shows as its preview, so the preview is the picture
// the run writes.
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"

struct TJobValues;

// The values the step works with (the job's Resize members, or the ones the
// resize dialog is editing).
struct TResizeValues {
  bool PreserveAspect = true;
  int ScaleType = 0;  // with the aspect kept: 0 fix width, 1 fix height, 2 scale by percent
  int Width = 0;
  int Height = 0;
  int Percent = 100;
};

TResizeValues ResizeValuesOf(const TJobValues& job);

struct TResizedSize {
  int64_t Width = 0;
  int64_t Height = 0;
};

// The size the step gives a width x height picture, worked out as the
// resize functions do (the ratio in single precision, the division in
// double), in 64 bits so that no size overflows. A side of 0 or less means
// the step cannot make that picture; an unknown ScaleType leaves the size.
TResizedSize ResizedSize(int width, int height, const TResizeValues& values);

// Resizes source into result and answers result. With the aspect kept the
// result is a copy of the source resized in place (result may be the source
// itself: the run then needs no second picture); otherwise result is a
// separate bitmap of Width x Height onto which the whole source is
// stretched by a plain copying stretch (each target pixel takes one source
// pixel), smoothed by one antialias pass. Raises as the resize functions
// do (EZeroDivide for a size of 0, EOutOfMemory past the bitmap cap).
TBitmap& ResizePicture(TBitmap& source, TBitmap& result, const TResizeValues& values);
