// Colour point operations: each pixel is changed from its own three channels
// (Contrast (auto) also from the picture's channel ranges). All work in place
// on a 24-bit picture and return at once for a picture without pixels.
#pragma once

#include "platform/graphics/graphics.h"

// Each channel 128 + (c - 128) * percent / 100, clamped; 100 changes nothing.
void ApplyContrast(TBitmap& picture, int percent);
// Stretches each channel from its own minimum and maximum to 0..255.
void ApplyContrastAuto(TBitmap& picture);
// gamma = (value + 2) * 0.1; each channel 255 * (c / 255)^(1 / gamma),
// nearest; 8 changes nothing, -2 raises EZeroDivide.
void ApplyGamma(TBitmap& picture, int value);
// Grey (77 R + 150 G + 29 B + 128) / 256 in all channels.
void ApplyGreyscale(TBitmap& picture);
// Black and white by an 8 x 8 ordered dither of the grey.
void ApplyHalftone(TBitmap& picture);
// Every channel becomes 255 - c.
void ApplyInverse(TBitmap& picture);
// Each channel c + (255 - c) * amount / 255, clamped; 0 changes nothing.
void ApplyLightness(TBitmap& picture, int amount);
// The mean of the three channels in all of them.
void ApplyMonochrome(TBitmap& picture);
// Each channel (c / step) * step; a step of 0 raises EDivByZero.
void ApplyPosterized(TBitmap& picture, int step);
// Each channel moved toward the pixel's mean: mean + (c - mean) * amount / 255.
void ApplySaturation(TBitmap& picture, int amount);
// Grey mean g; red g + 2 * depth, green g + depth, blue g, each clamped.
void ApplySepia(TBitmap& picture, int depth);
// Inverts the pixels whose channel mean exceeds the threshold.
void ApplySolorized(TBitmap& picture, int threshold);
// passes times each channel 255 * sin(c / 255 * pi / 2), truncated.
void ApplySplitLight(TBitmap& picture, int passes);
// White where the grey (30 R + 59 G + 11 B) / 100 exceeds the level (limited
// to 0..255), else black.
void ApplyThreshold(TBitmap& picture, int level);
// Adds the signed offsets to the channels, each clamped.
void ApplyRGB(TBitmap& picture, int red, int green, int blue);
