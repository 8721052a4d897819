// Effects that move pixels about a centre in polar coordinates: every
// target pixel takes the colour of a source pixel found from its distance and
// angle to the centre. Every function changes the 24-bit working bitmap in
// place and reads only inside the picture, whatever its arguments.
#pragma once

#include "platform/graphics/graphics.h"

// Wraps the columns round a horizontal cylinder of radius
// width / (stretch * 0.2); the dialogs pass 1..10. Stretch 0 raises
// EZeroDivide; a stretch beyond 10 or below 0 that would need the arc cosine
// of a value outside -1..1 raises EInvalidOp. Both before any pixel changes.
void ApplyCylinder(TBitmap& picture, int stretch);
// Magnifying sphere about (centreX, centreY), each limited to the picture's
// size; sources outside the picture (or on column 0 or row 0) take the
// top-left pixel. A larger centre value of 0 raises EZeroDivide (EInvalidOp
// when both are 0) before any pixel changes.
void ApplySpheric(TBitmap& picture, int centreX, int centreY);
// Rotation about the picture centre that grows with the distance by degrees
// per pixel of radius / 180 * pi.
void ApplySwirl(TBitmap& picture, int degrees);
// Twist about the exact picture centre with bilinear sampling, in place (a
// sample may read a pixel this pass has already written). The last row and
// column keep their pixels. Amount 0 raises EZeroDivide before any pixel
// changes (a picture of one row or column has nothing to twist and stays).
void ApplyTwist(TBitmap& picture, int amount);
// Radial warp by the square root of the distance times factor; sources
// outside the picture fall back to column 0 or row 0.
void ApplyWarp(TBitmap& picture, int factor);
// Logarithmic lens inside the circle of radius min(radius, min(W, H) div 2)
// about the picture centre: a bulge, or a pinch with inversion.
// Nothing changes when that radius is below 4 or zoom is 0 (the lens then
// is the identity). A negative zoom so large that the lens has no logarithm
// raises EInvalidOp (EZeroDivide at exactly 0) before any pixel changes.
void ApplyFishEye(TBitmap& picture, int zoom, int radius, bool inversion);
