// Effects that remap the picture by patterns of angle and distance: sectors
// about the centre (illusion), sine waves of the distance (moire) and the
// quadratic complex iteration (fractal), with the fractal's helpers. Every
// effect changes the 24-bit working bitmap in place and reads only inside
// the picture, whatever its arguments.
#pragma once

#include "platform/graphics/graphics.h"

// Splits the plane about the centre into sectors wedges and blends each pixel
// with the copy shifted along its wedge's middle direction, in proportion to
// its distance from the centre. Sectors 0, and a single-pixel picture (whose
// half diagonal truncates to 0), raise EZeroDivide before any pixel changes.
void ApplyIllusion(TBitmap& picture, int sectors);
// Reads each pixel from the absolute position given by two sine waves of its
// distance from the centre; positions outside the picture (or 0) keep the
// pixel's own column or row.
void ApplyMoire(TBitmap& picture, int degree);
// Sends each pixel through iterations steps of z -> z^2 + c and samples the
// picture bilinearly where it lands. On a picture one pixel wide (or high)
// the missing neighbour column (row) is the picture's own, with weight 0.
void ApplyFractal(TBitmap& picture, int iterations);

struct TComplexPoint {
  double Re, Im;
};

// Source position (fx, fy) in pixels of pixel (x, y) for ApplyFractal: the
// picture covers real parts -1..0.5 and imaginary parts -1..1; a position
// outside the picture is folded back by the remainder. A width or height of
// 0 raises EZeroDivide. Always returns true.
bool MapFractalPoint(int x, int y, double& fx, double& fy, int width, int height, int iterations);
// z after n steps of z -> z^2 + c from z = c, without an escape test.
void IterateFractalPoint(const TComplexPoint& c, TComplexPoint& z, int n);
// Bilinear blend at fractions (fx, fy) of the pixels p00 (ix, iy), p10
// (ix + 1, iy), p01 (ix, iy + 1) and p11 (ix + 1, iy + 1), each three bytes
// blue, green, red. Four equal neighbours give p00 at any fractions;
// otherwise a fraction outside the open range (-2^-23, 1) gives white.
RGBTRIPLE InterpolateBilinear(double fx, double fy, const uint8_t* p00, const uint8_t* p10,
                              const uint8_t* p01, const uint8_t* p11);
