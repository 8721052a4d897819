// Colour-model effects: the HSV and HLS conversions, the HLS step tables,
// HLS, colour tone and automatic colour enhancement.
#include "effects/colormodel.h"

#include <array>
#include <cfloat>
#include <cmath>

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
