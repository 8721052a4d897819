// Effects that move the whole picture with block copies and pixel moves:
// mirroring, turning about the centre and enlarging the central part. Every
// function changes the 24-bit working bitmap in place.
#pragma once

#include "platform/graphics/graphics.h"

// Mode 0 mirrors left to right, 1 top to bottom; 2 (and any other mode)
// mirrors both ways.
void ApplyFlip(TBitmap& picture, int mode);
// Turns the picture by degrees, clockwise on screen for positive angles; the
// picture takes the turned picture's bounding size and corners without a
// source pixel are white. 90 is an exact quarter turn to the left and 180 an
// exact half turn; 360 changes nothing. Smooth 1 then runs one
// ApplyAntialias pass.
void ApplyRotate(TBitmap& picture, int degrees, int smooth);
// The size ApplyRotate gives a width x height picture, known before it
// turns it.
struct TRotatedSize {
  int Width = 0, Height = 0;
};
TRotatedSize RotatedSize(int width, int height, int degrees);
// Enlarges the central (W div zoom) x (H div zoom) part over the whole
// picture: type 0 repeats pixels into blocks, any other type resamples
// bicubically. Zoom 0 raises EDivByZero before any pixel changes; a zoom
// that leaves no central pixel (larger than a side, or negative) changes
// nothing.
void ApplyIncrease(TBitmap& picture, int zoom, int type);
