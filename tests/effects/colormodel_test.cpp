// Colour-model effects: the HSV and HLS conversions, the HLS step tables,
// HLS, colour tone and automatic colour enhancement.
#include "effects/colormodel.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <tuple>

#include "tests/effects/effecttest.h"

namespace {

TColor ToColor(RGBTRIPLE c) { return RGB(c.rgbtRed, c.rgbtGreen, c.rgbtBlue); }
RGBTRIPLE ToTriple(TColor c) { return {GetBValue(c), GetGValue(c), GetRValue(c)}; }

TColor HLSOf(TColor color, int hue, int lightness, int saturation) {
  auto b = MakeColorBitmap(1, {color});
  ApplyHLS(*b, hue, lightness, saturation);
  return PixelAt(*b, 0, 0);
}

}  // namespace

TEST(ColorModelConversions, KnownColoursAndBoundaries) {
  EXPECT_EQ(ToColor(MakeRGBColor(1.5, 0.5, -0.2)), RGB(255, 127, 0));
  // Colour, then h, s, v; red is tested first for the maximum.
  for (auto [color, hsv] : {std::pair{RGB(90, 90, 90), std::array{0.0, 0.0, 90 / 255.0}},
                            {RGB(255, 255, 0), {1 / 6.0, 1, 1}},
                            {RGB(200, 100, 50), {1 / 18.0, 0.75, 200 / 255.0}}}) {
    double h, s, v;
    ConvertRGBToHSV(ToTriple(color), h, s, v);
    EXPECT_TRUE(std::abs(h - hsv[0]) < 1e-12 && std::abs(s - hsv[1]) < 1e-12 && std::abs(v - hsv[2]) < 1e-12);
  }
  // Grey below FLT_EPSILON; at it the (1 - s) channel truncates to 254.
  EXPECT_EQ(ToColor(ConvertHSVToRGB(0.5, std::nextafter(double(FLT_EPSILON), 0.0), 1)), RGB(255, 255, 255));
  EXPECT_EQ(ToColor(ConvertHSVToRGB(0.5, FLT_EPSILON, 1)), RGB(254, 255, 255));
  EXPECT_EQ(ToColor(ConvertHSVToRGB(1.0, 1, 1)), RGB(255, 0, 0));  // hue 1 is 0, not sector 6's black
  // HueToChannel wraps once: -30 is 330, 390 is 30, 480 is 120, 360 is 0.
  EXPECT_EQ(HueToChannel(-30, 1, 0), 0);
  EXPECT_EQ(HueToChannel(390, 1, 0), 127);
  EXPECT_EQ(HueToChannel(480, 1, 0), 255);
}

TEST(ColorModelConversions, ZeroStepsLoseOnlyTheTruncations) {
  // HLS with zero steps (indices 15, 10, 10): a channel drops by one where
  // the conversion's products fall just below it.
  // 33 * (1/255) * 255 and 33 * (1/510) * 2 * 255 fall just below 33.
  EXPECT_EQ(HLSOf(RGB(32, 32, 32), 15, 10, 10), RGB(32, 32, 32));
  EXPECT_EQ(HLSOf(RGB(33, 33, 33), 15, 10, 10), RGB(32, 32, 32));
  EXPECT_EQ(HLSOf(RGB(0, 0, 33), 15, 10, 10), RGB(0, 0, 32));
}

TEST(ApplyHLS, StepTablesAndWorkedExamples) {
  // The steps are the doubles nearest their one-decimal values.
  EXPECT_EQ(HLSHueSteps[29], 140);
  EXPECT_EQ(HLSLightnessSteps[13], 0.3);
  EXPECT_EQ(HLSSaturationSteps[3], -0.7);
  EXPECT_EQ(HLSOf(RGB(255, 0, 255), 30, 10, 10), RGB(255, 0, 0));      // hue 300 + 150 stays 360, hue 0
  EXPECT_EQ(HLSOf(RGB(255, 0, 0), 27, 10, 10), RGB(0, 255, 0));        // +120 degrees
  EXPECT_EQ(HLSOf(RGB(201, 100, 50), 15, 10, 0), RGB(125, 125, 125));  // grey at lightness 251 / 510
  EXPECT_EQ(HLSOf(RGB(201, 100, 50), 15, 0, 10), RGB(0, 0, 0));
  // Lightness 1 gives m2 = (1 + S') - S', which for this S' rounds just below 1.
  EXPECT_EQ(HLSOf(RGB(201, 100, 50), 15, 20, 10), RGB(254, 255, 255));
  // Indices outside the tables are limited to them.
  auto limited = MakeTestBitmap(16, 16), inRange = MakeTestBitmap(16, 16);
  ApplyHLS(*limited, -5, 99, 21);
  ApplyHLS(*inRange, 0, 20, 20);
  EXPECT_TRUE(SameColors(*limited, *inRange));
}

TEST(ApplyColorTone, WorkedExamples) {
  // Luminance 128 spreads into c = (146, 128, 111): L = 0.5039, S' = 0.2075,
  // so m2 = 154.75 / 255 and m1 = 102.25 / 255. Black and white stay.
  const TColor tones[][2] = {{0x808080, RGB(154, 102, 102)},
                             {0x00FF00, RGB(102, 154, 102)},
                             {0xFF0000, RGB(102, 102, 154)}};
  for (auto [tone, tinted] : tones) {
    auto b = MakeColorBitmap(4, {clBlack, clWhite, RGB(128, 128, 128), RGB(110, 140, 120)});
    ApplyColorTone(*b, static_cast<int>(tone));
    EXPECT_TRUE(SameColors(*b, *MakeColorBitmap(4, {clBlack, clWhite, tinted, tinted}))) << std::hex << tone;
  }
}

TEST(ApplyAutoColor, StretchesIntensityAndKeepsGreys) {
  std::vector<TColor> greys;
  for (int g = 0; g < 256; g += 5) greys.push_back(RGB(g, g, g));
  auto grey = MakeColorBitmap(static_cast<int>(greys.size()), greys);
  ApplyAutoColor(*grey);
  EXPECT_TRUE(SameColors(*grey, *MakeColorBitmap(static_cast<int>(greys.size()), greys)));
  // Intensities (max - min) 255, 100 and 127 stretch to 255, 0 and 27 / 155 of 255.
  auto b = MakeColorBitmap(3, {RGB(255, 0, 0), RGB(200, 100, 100), RGB(255, 128, 128)});
  ApplyAutoColor(*b);
  EXPECT_TRUE(SameColors(*b, *MakeColorBitmap(3, {RGB(255, 0, 0), RGB(200, 200, 200), RGB(255, 211, 211)})));
}

namespace {

// The colour models worked out again from their definitions, on red, green,
// blue values.

int ToByte(double value) { return std::clamp(static_cast<int>(value * 255), 0, 255); }

// Hue, saturation and value, each 0..1.
std::array<double, 3> HSVOf(const TRGB& c) {
  const int mx = std::max({c[0], c[1], c[2]}), mn = std::min({c[0], c[1], c[2]});
  if (mx == mn) return {0, 0, mx * (1.0 / 255)};
  const double f[3] = {c[0] * (1.0 / 255), c[1] * (1.0 / 255), c[2] * (1.0 / 255)}, d = (mx - mn) * (1.0 / 255);
  // Two sixths of the circle per channel from red, the largest channel
  // taken in the order red, green, blue.
  const int top = c[0] == mx ? 0 : c[1] == mx ? 1 : 2;
  double h = ((f[(top + 1) % 3] - f[(top + 2) % 3]) / d + 2 * top) * (1.0 / 6);
  h = h < 0 ? h + 1 : h > 1 ? h - 1 : h;
  return {h, static_cast<double>(mx - mn) / mx, mx * (1.0 / 255)};
}

TRGB HSVToRGB(double h, double s, double v) {
  if (s < FLT_EPSILON) return {ToByte(v), ToByte(v), ToByte(v)};
  if (h == 1.0) h = 0;
  const int i = static_cast<int>(6 * h);
  const double f = 6 * h - i, p = (1 - s) * v, q = (1 - s * f) * v, t = (1 - (1 - f) * s) * v;
  const double rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
  if (i < 0 || i > 5) return {0, 0, 0};
  return {ToByte(rgb[i][0]), ToByte(rgb[i][1]), ToByte(rgb[i][2])};
}

// One channel at the hue (degrees) between m1 and m2, as the low byte.
int HueChannel(double hue, double m2, double m1) {
  if (hue >= 360)
    hue -= 360;
  else if (hue < 0)
    hue += 360;
  const double value = hue < 60    ? m1 + (m2 - m1) * hue * (1.0 / 60)
                       : hue < 180 ? m2
                       : hue < 240 ? m1 + (m2 - m1) * (240 - hue) * (1.0 / 60)
                                   : m1;
  return static_cast<int>(value * 255) & 0xFF;
}

PictureRule Toned(int red, int green, int blue) {
  double hue = 0;
  const int mx = std::max({red, green, blue}), mn = std::min({red, green, blue});
  if (mx != mn) {
    const double r = red / 255.0, g = green / 255.0, b = blue / 255.0, d = mx / 255.0 - mn / 255.0;
    hue = red == mx ? (g - b) / d : green == mx ? (b - r) / d + 2 : (r - g) / d + 4;
    hue /= 6;
    if (hue < 0) hue += 1;
  }
  return EachPixel([hue](const TRGB& c) {
    const double y = (30 * c[0] + 59 * c[1] + 11 * c[2]) / 100 * (1.0 / 255);
    auto spread = [y](double power) { return static_cast<int>(std::pow(y, power) * 255) & 0xFF; };
    const int c0 = spread(0.8), c1 = spread(1.0), c2 = spread(1.2);
    const int mx = std::max({c0, c1, c2}), mn = std::min({c0, c1, c2});
    const double l = (mx + mn) * 0.5 * (1.0 / 255);
    double s = 0;
    if (mx != mn) {
      const double mxf = mx / 255.0, mnf = mn / 255.0;
      s = l < 0.5 ? (mxf - mnf) / (mxf + mnf) : (mxf - mnf) / (2 - mxf - mnf);
    }
    s = s * 150 * 0.01;
    if (s < FLT_EPSILON) return TRGB{ToByte(l), ToByte(l), ToByte(l)};
    const double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
    auto channel = [&](double k) {
      k = k > 6 ? k - 6 : k < 0 ? k + 6 : k;
      return ToByte(k < 1 ? m1 + (m2 - m1) * k : k < 3 ? m2 : k < 4 ? m1 + (m2 - m1) * (4 - k) : m1);
    };
    return TRGB{channel(6 * hue + 2), channel(6 * hue), channel(6 * hue - 2)};
  });
}

PictureRule ShiftedHLS(int hueIndex, int lightnessIndex, int saturationIndex) {
  const double dH = -150 + 10 * hueIndex, dL = (lightnessIndex - 10) / 10.0, dS = (saturationIndex - 10) / 10.0;
  return EachPixel([=](const TRGB& c) {
    const int r = c[0], g = c[1], b = c[2];
    int mx = r, mn = g, top = 0;
    if (g > r) mx = g, mn = r, top = 1;
    if (b < mn)
      mn = b;
    else if (b > mx)
      mx = b, top = 2;
    double h = 0, l = mx * (1.0 / 255), s = 0;
    if (mx != mn) {
      l = (mx + mn) * (1.0 / 510);
      s = l <= 0.5 ? static_cast<double>(mx - mn) / (mx + mn) : static_cast<double>(mx - mn) / (510 - mx - mn);
      const int difference[3] = {g - b, b - r, r - g};
      h = 60 * difference[top] / static_cast<double>(mx - mn) + 120 * top + (top == 0 ? 360 : 0);
      if (h >= 360) h -= 360;
    }
    h = std::clamp(h + dH, 0.0, 360.0);
    l = std::clamp(l + dL, 0.0, 1.0);
    s = std::clamp(s + dS, 0.0, 1.0);
    if (s <= 0) return TRGB{static_cast<int>(l * 255), static_cast<int>(l * 255), static_cast<int>(l * 255)};
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
    return TRGB{HueChannel(h + 120, m2, m1), HueChannel(h, m2, m1), HueChannel(h - 120, m2, m1)};
  });
}

void AutoColored(TPixels& pixels) {
  // The complement less its grey part K, as red, green, blue.
  auto reduced = [](const TRGB& c, int& k) {
    k = std::min({255 - c[0], 255 - c[1], 255 - c[2]});
    return TRGB{255 - c[0] - k, 255 - c[1] - k, 255 - c[2] - k};
  };
  double maxV = 0.0, minV = 1.0;
  int k;
  for (const TRGB& c : pixels.Colors) {
    const double v = HSVOf(reduced(c, k))[2];
    if (v > maxV) maxV = v;
    if (v < minV) minV = v;
  }
  for (TRGB& c : pixels.Colors) {
    auto [h, s, v] = HSVOf(reduced(c, k));
    if (maxV != minV) v = (v - minV) / (maxV - minV);
    const TRGB t = HSVToRGB(h, s, v);
    for (int i = 0; i < 3; ++i) c[i] = 255 - std::min(t[i] + k, 255);
  }
}

}  // namespace

// Every parameter at the job's default and at another value (the others at
// their defaults), on pixels whose three channels all differ.
TEST(ColorModelEffects, EveryParameterAtItsDefaultAndAnother) {
  const std::tuple<int, int, int> tones[] = {{128, 128, 128}, {40, 128, 128}, {128, 200, 128},
                                             {128, 128, 30},  {230, 90, 20}};
  for (auto [red, green, blue] : tones)
    EXPECT_TRUE(GivesPixels([=](TBitmap& b) { ApplyColorTone(b, red + green * 256 + blue * 65536); },
                            MakeChannelBitmap(32, 20), Toned(red, green, blue)))
        << "tone " << red << ", " << green << ", " << blue;
  // Hue +120, lightness +0.4 and saturation +0.7 also reach the limits.
  const std::tuple<int, int, int> steps[] = {{15, 10, 10}, {27, 10, 10}, {15, 14, 10}, {15, 10, 17}, {4, 7, 8}};
  for (auto [hue, lightness, saturation] : steps)
    EXPECT_TRUE(GivesPixels([=](TBitmap& b) { ApplyHLS(b, hue, lightness, saturation); }, MakeChannelBitmap(32, 20),
                            ShiftedHLS(hue, lightness, saturation)))
        << "HLS " << hue << ", " << lightness << ", " << saturation;
  EXPECT_TRUE(GivesPixels(ApplyAutoColor, MakeChannelBitmap(32, 20), AutoColored));
  // A picture large enough that the colours are worked out for every
  // reduced complement ahead when several threads share the work.
  EXPECT_TRUE(GivesPixels(ApplyAutoColor, MakeChannelBitmap(1024, 800), AutoColored));
  // One in between, in bands: as many bands keep what they work out as the
  // picture's bytes hold tables for (one here); the others work out every
  // pixel.
  EXPECT_TRUE(GivesPixels(ApplyAutoColor, MakeChannelBitmap(700, 500), AutoColored));
}
