// Effects that pass each pixel through a hue-based colour model: colour
// tone, automatic colour enhancement and HLS steps, with the HSV and HLS
// conversions they share. Every effect changes the 24-bit working bitmap in
// place.
#pragma once

#include "platform/graphics/graphics.h"

// Steps of the HLS effect, indexed by its settings: hue in degrees (index 15
// is 0), lightness and saturation (index 10 is 0.0).
inline constexpr double HLSHueSteps[31] = {-150, -140, -130, -120, -110, -100, -90, -80, -70, -60, -50, -40,
                                           -30, -20, -10, 0, 10, 20, 30, 40, 50, 60, 70, 80,
                                           90, 100, 110, 120, 130, 140, 150};
inline constexpr double HLSLightnessSteps[21] = {-1.0, -0.9, -0.8, -0.7, -0.6, -0.5, -0.4,
                                                 -0.3, -0.2, -0.1, 0.0,  0.1,  0.2,  0.3,
                                                 0.4,  0.5,  0.6,  0.7,  0.8,  0.9,  1.0};
inline constexpr const double (&HLSSaturationSteps)[21] = HLSLightnessSteps;

// A pixel colour from channel values in 0..1: each channel is
// clamp(trunc(value * 255)).
RGBTRIPLE MakeRGBColor(double r, double g, double b);
// Hue, saturation and value of a pixel colour, each in 0..1 (a grey has hue
// and saturation 0).
void ConvertRGBToHSV(RGBTRIPLE color, double& h, double& s, double& v);
// The pixel colour of an HSV triple; a saturation below FLT_EPSILON gives a
// grey, a hue of exactly 1 counts as 0.
RGBTRIPLE ConvertHSVToRGB(double h, double s, double v);
// One channel of the HLS model for a hue in degrees (wrapped once into
// 0..360) between the levels m1 and m2: trunc(value * 255).
int HueToChannel(double hue, double m2, double m1);

// Tints the picture's luminance with the hue of the tone colour (red in the
// low byte, green in the next, blue in the third).
void ApplyColorTone(TBitmap& picture, int tone);
// Stretches the colour intensity of the picture over its full range; a
// picture of greys stays as it is.
void ApplyAutoColor(TBitmap& picture);
// Shifts hue, lightness and saturation by the steps the indices choose in
// the tables above; indices outside a table are limited to it.
void ApplyHLS(TBitmap& picture, int hueIndex, int lightnessIndex, int saturationIndex);
