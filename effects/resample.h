// Bicubic B-spline resampling and the resize helpers built on it.
#pragma once

#include "platform/graphics/graphics.h"

// Fills the whole target, at its own size, with the bicubic B-spline
// resampling of the whole source (two different 24-bit bitmaps). Target
// pixel x samples source position x * sourceWidth / targetWidth (no
// half-pixel offset). An empty source leaves the target as it is; an empty
// target raises EZeroDivide.
void StretchBicubic(TBitmap& target, const TBitmap& source);

// Six times the cubic B-spline at x: 4 at 0, 1 at +-1, 0 beyond +-2.
double BSplineWeight(float x);

// The four resize helpers below return at once for a picture without pixels.
// A size of 0, given or computed, raises EZeroDivide and leaves the picture
// as it was.

// The picture becomes newWidth wide, its height in proportion.
void ResizeToWidth(TBitmap& picture, int newWidth);
// The picture becomes newHeight high, its width in proportion; width is not
// used.
void ResizeToHeight(TBitmap& picture, int width, int newHeight);
// Both sides scaled by percent / 100.
void ResizeByPercent(TBitmap& picture, int percent);
// Scales the picture, proportions kept, to the largest size that fits the box
// (it also enlarges a smaller picture).
void ScaleBitmapToFit(TBitmap& picture, int boxWidth, int boxHeight);
