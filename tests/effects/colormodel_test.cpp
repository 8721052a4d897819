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

// Colour tone of one pixel straight from its channels (the effect works
// from a table by luminance).
TColor DirectTone(TColor pixel, int tone) {
  double hue = 0, tr = tone & 0xFF, tg = (tone >> 8) & 0xFF, tb = (tone >> 16) & 0xFF;
  double tmx = std::max({tr, tg, tb}), tmn = std::min({tr, tg, tb}), d = tmx / 255 - tmn / 255;
  if (tmx != tmn) {
    hue = (tr == tmx   ? (tg / 255 - tb / 255) / d
           : tg == tmx ? (tb / 255 - tr / 255) / d + 2
                       : (tr / 255 - tg / 255) / d + 4) /
          6;
    hue += hue < 0 ? 1 : 0;
  }
  double y = (30 * GetRValue(pixel) + 59 * GetGValue(pixel) + 11 * GetBValue(pixel)) / 100 * (1.0 / 255);
  int c[3] = {static_cast<uint8_t>(std::pow(y, 0.8) * 255), static_cast<uint8_t>(y * 255),
              static_cast<uint8_t>(std::pow(y, 1.2) * 255)};
  int mx = *std::max_element(c, c + 3), mn = *std::min_element(c, c + 3);
  double l = (mx + mn) * 0.5 * (1.0 / 255), s = 0, mxf = mx / 255.0, mnf = mn / 255.0, rgb[3];
  if (mx != mn) s = (mxf - mnf) / (l < 0.5 ? mxf + mnf : 2 - mxf - mnf);
  s = s * 150 * 0.01;
  double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
  for (int i = 0; i < 3; ++i) {
    double k = 6 * hue + 2 - 2 * i;
    k = k > 6 ? k - 6 : k < 0 ? k + 6 : k;
    rgb[i] = s < FLT_EPSILON ? l
             : k < 1         ? m1 + (m2 - m1) * k
             : k < 3         ? m2
             : k < 4         ? m1 + (m2 - m1) * (4 - k)
                             : m1;
  }
  return ToColor(MakeRGBColor(rgb[0], rgb[1], rgb[2]));
}

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
  EXPECT_EQ(HueToChannel(210, 1, 0), 127);
  EXPECT_EQ(HueToChannel(360, 0.8, 0.2), 51);
}

TEST(ColorModelConversions, RoundTripsLoseOnlyTheTruncations) {
  // HSV there and back, and HLS with zero steps (indices 15, 10, 10): a
  // channel drops by one where the conversion's products fall just below it.
  auto before = MakeNoiseBitmap(64, 32, 3), after = MakeNoiseBitmap(64, 32, 3);
  ApplyHLS(*after, 15, 10, 10);
  auto atMostOneBelow = [](TColor before, TColor after) {
    for (int shift : {0, 8, 16}) {
      const int drop = ((before >> shift) & 0xFF) - ((after >> shift) & 0xFF);
      if (drop != 0 && drop != 1) return false;
    }
    return true;
  };
  for (int i = 0; i < 64 * 32; ++i) {
    const TColor color = PixelAt(*before, i % 64, i / 64);
    double h, s, v;
    ConvertRGBToHSV(ToTriple(color), h, s, v);
    ASSERT_TRUE(atMostOneBelow(color, ToColor(ConvertHSVToRGB(h, s, v)))) << std::hex << color;
    ASSERT_TRUE(atMostOneBelow(color, PixelAt(*after, i % 64, i / 64))) << std::hex << color;
  }
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
  EXPECT_EQ(HLSOf(RGB(255, 0, 0), 0, 10, 10), RGB(255, 0, 0));         // hue 0 - 150 stays 0
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

TEST(ApplyColorTone, WorkedExamplesAndTheTableAgainstDirectEvaluation) {
  // Luminance 128 spreads into c = (146, 128, 111): L = 0.5039, S' = 0.2075,
  // so m2 = 154.75 / 255 and m1 = 102.25 / 255. Black and white stay.
  const TColor tones[][2] = {{0x808080, RGB(154, 102, 102)},
                             {0x0000FF, RGB(154, 102, 102)},
                             {0x00FF00, RGB(102, 154, 102)},
                             {0xFF0000, RGB(102, 102, 154)}};
  for (auto [tone, tinted] : tones) {
    auto b = MakeColorBitmap(4, {clBlack, clWhite, RGB(128, 128, 128), RGB(110, 140, 120)});
    ApplyColorTone(*b, static_cast<int>(tone));
    EXPECT_TRUE(SameColors(*b, *MakeColorBitmap(4, {clBlack, clWhite, tinted, tinted}))) << std::hex << tone;
  }
  // Hues from the green, the blue and (below 0, wrapped) the red maximum.
  for (int tone : {0x10F0E0, 0x3399CC, 0xE010F0}) {
    auto picture = MakeNoiseBitmap(16, 16, tone), before = MakeNoiseBitmap(16, 16, tone);
    ApplyColorTone(*picture, tone);
    for (int i = 0; i < 256; ++i)
      ASSERT_EQ(PixelAt(*picture, i % 16, i / 16), DirectTone(PixelAt(*before, i % 16, i / 16), tone)) << i;
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

  // Against both passes evaluated pixel by pixel with the conversions, on
  // pairs of colours that differ only in their grey part.
  std::vector<TColor> colors;
  for (uint32_t i = 0; i < 128; ++i) {
    colors.push_back((i * 2654435761u) & 0xDFDFDF);
    colors.push_back(colors.back() + 0x202020);
  }
  auto picture = MakeColorBitmap(16, colors);
  ApplyAutoColor(*picture);
  auto reducedHSV = [&](int i, int& k, double& h, double& s, double& v) {
    TColor c = 0xFFFFFF - colors[i];
    k = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    ConvertRGBToHSV(ToTriple(c - k * 0x010101), h, s, v);
  };
  double maxV = 0, minV = 1, h, s, v;
  int k;
  for (int i = 0; i < 256; ++i) {
    reducedHSV(i, k, h, s, v);
    maxV = std::max(maxV, v);
    minV = std::min(minV, v);
  }
  for (int i = 0; i < 256; ++i) {
    reducedHSV(i, k, h, s, v);
    RGBTRIPLE t = ConvertHSVToRGB(h, s, (v - minV) / (maxV - minV));
    ASSERT_EQ(PixelAt(*picture, i % 16, i / 16),
              RGB(255 - std::min(t.rgbtRed + k, 255), 255 - std::min(t.rgbtGreen + k, 255),
                  255 - std::min(t.rgbtBlue + k, 255)));
  }
}
