// Effects that compute each pixel from a neighbourhood of pixels: the blurs
// (Gauss, antialias, radial), oil paint, and the 3 x 3 kernel filters
// (softened, sharpness, emboss, detect edge) with their shared convolutions.
// Every function changes the 24-bit working bitmap in place.
#pragma once

#include <array>

#include "platform/graphics/graphics.h"

// passes times BlurCorners(picture, 3); 0 or fewer passes change nothing.
void ApplyGauss(TBitmap& picture, int passes);
// passes times, in place: every interior pixel becomes the mean of its four
// direct neighbours (the left one and the one above already smoothed). The
// outermost rows and columns never change.
void ApplyAntialias(TBitmap& picture, int passes);
// Rotational blur about the centre over angle degrees. An angle that leaves
// a single sample angle (only negative ones do) raises EZeroDivide; one so
// large that its sample tables would pass 1 GiB raises EOutOfMemory.
void ApplyBlurRadial(TBitmap& picture, int angle);
// Each pixel takes the mean colour of the most common intensity band (of
// levels + 1) in the window of the given radius.
void ApplyOilPaint(TBitmap& picture, int levels, int radius);
// 3 x 3 smoothing, type 0..5; any other type changes nothing.
void ApplySoftened(TBitmap& picture, int level, int type);
// 3 x 3 sharpening, type 0..3; any other type changes nothing.
void ApplySharpness(TBitmap& picture, int level, int type);
// 3 x 3 relief, type 0..5; any other type changes nothing.
void ApplyEmboss(TBitmap& picture, int level, int type);
// Edge filter: type 0 the large Laplacian of radius level / 10, types 1..3
// 3 x 3 kernels; any other type changes nothing.
void ApplyDetectEdge(TBitmap& picture, int level, int type);

// One in-place blur pass: each channel becomes the mean of the four pixels
// at distance d diagonally (a partner outside the picture is replaced by
// the pixel's own row or column). d = 0 does nothing.
void BlurCorners(TBitmap& picture, int d);

// Kernels are row-major, row 0 above the pixel, column 0 left of it.
using TIntKernel = std::array<int, 9>;
using TFloatKernel = std::array<float, 9>;

// Convolves every pixel, the picture's edge replicated one pixel outwards;
// each channel becomes clamp(sum / divisor). A divisor of 0 raises
// EDivByZero before any pixel changes.
void Convolve3x3Int(const TIntKernel& kernel, int divisor, TBitmap& picture);
// Convolves the interior pixels: each channel becomes clamp(trunc(sum / s +
// bias)), s the kernel's sum (1 when that is 0 or less). The outermost rows
// and columns keep their values.
void Convolve3x3Float(TBitmap& picture, int bias, const TFloatKernel& kernel);
// Laplacian edge filter over the (2r + 1)-square window whose top-left
// corner is the pixel (r limited to 1..10); the last row and column keep
// their values.
void DetectEdgeLaplace(TBitmap& picture, int radius);
