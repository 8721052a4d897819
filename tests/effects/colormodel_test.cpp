// Colour-model effects: the HSV and HLS conversions, the HLS step tables,
// HLS, colour tone and automatic colour enhancement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "effects/colormodel.h"
#include "tests/support/testsupport.h"

namespace {

// A picture one row high holding the colours (0x00BBGGRR) left to right.
std::unique_ptr<TBitmap> Row(const std::vector<TColor>& colors) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(static_cast<int>(colors.size()), 1);
  for (size_t x = 0; x < colors.size(); ++x) b->Canvas()->SetPixel(static_cast<int>(x), 0, colors[x]);
  return b;
}

// All greys, then colours spread over the whole cube.
std::vector<TColor> SampleColors() {
  std::vector<TColor> colors;
  for (int g = 0; g < 256; ++g) colors.push_back(RGB(g, g, g));
  for (TColor c = 0; c < 0x1000000; c += 7919) colors.push_back(c);
  return colors;
}

TColor ToColor(RGBTRIPLE c) { return RGB(c.rgbtRed, c.rgbtGreen, c.rgbtBlue); }
RGBTRIPLE ToTriple(TColor c) { return {GetBValue(c), GetGValue(c), GetRValue(c)}; }

// Every channel of after equals that of before or is one less.
bool AtMostOneBelow(TColor before, TColor after) {
  int d[3] = {GetRValue(before) - GetRValue(after), GetGValue(before) - GetGValue(after),
              GetBValue(before) - GetBValue(after)};
  return std::all_of(d, d + 3, [](int x) { return x == 0 || x == 1; });
}

// Colour tone of one pixel evaluated straight from its channels (the effect
// works from a table by luminance).
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

TEST(ColorModelConversions, KnownColoursAndBoundaries) {
  EXPECT_EQ(ToColor(MakeRGBColor(1.5, 0.5, -0.2)), RGB(255, 127, 0));
  // Colour, then h, s, v; red is tested first for the maximum.
  const std::pair<TColor, std::vector<double>> cases[] = {
      {RGB(90, 90, 90), {0, 0, 90 / 255.0}}, {RGB(0, 255, 0), {1 / 3.0, 1, 1}},
      {RGB(0, 0, 255), {2 / 3.0, 1, 1}},     {RGB(255, 0, 255), {5 / 6.0, 1, 1}},
      {RGB(255, 255, 0), {1 / 6.0, 1, 1}},   {RGB(200, 100, 50), {1 / 18.0, 0.75, 200 / 255.0}}};
  for (const auto& [color, hsv] : cases) {
    double h, s, v;
    ConvertRGBToHSV(ToTriple(color), h, s, v);
    EXPECT_TRUE(std::abs(h - hsv[0]) < 1e-12 && std::abs(s - hsv[1]) < 1e-12 && std::abs(v - hsv[2]) < 1e-12)
        << std::hex << color;
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
  std::vector<TColor> colors = SampleColors();
  auto row = Row(colors);
  ApplyHLS(*row, 15, 10, 10);
  for (size_t i = 0; i < colors.size(); ++i) {
    double h, s, v;
    ConvertRGBToHSV(ToTriple(colors[i]), h, s, v);
    ASSERT_TRUE(AtMostOneBelow(colors[i], ToColor(ConvertHSVToRGB(h, s, v)))) << std::hex << colors[i];
    ASSERT_TRUE(AtMostOneBelow(colors[i], PixelAt(*row, static_cast<int>(i), 0))) << std::hex << colors[i];
  }
  // 33 * (1/255) * 255 and 33 * (1/510) * 2 * 255 fall just below 33.
  auto dark = Row({RGB(32, 32, 32), RGB(33, 33, 33), RGB(0, 0, 33)});
  ApplyHLS(*dark, 15, 10, 10);
  EXPECT_EQ(PixelAt(*dark, 0, 0), RGB(32, 32, 32));
  EXPECT_EQ(PixelAt(*dark, 1, 0), RGB(32, 32, 32));
  EXPECT_EQ(PixelAt(*dark, 2, 0), RGB(0, 0, 32));
  double h, s, v;
  ConvertRGBToHSV(ToTriple(RGB(0, 0, 33)), h, s, v);
  EXPECT_EQ(ToColor(ConvertHSVToRGB(h, s, v)), RGB(0, 0, 32));
}

TEST(ApplyHLS, StepTablesAndWorkedExamples) {
  for (int i = 0; i < 31; ++i) EXPECT_EQ(HLSHueSteps[i], -150 + 10 * i);
  for (int i = 0; i < 21; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "%.1f", (i - 10) / 10.0);
    EXPECT_EQ(HLSLightnessSteps[i], std::strtod(text, nullptr)) << text;
    EXPECT_EQ(HLSSaturationSteps[i], HLSLightnessSteps[i]);
  }
  auto expect = [](TColor color, int hue, int light, int sat, TColor result) {
    auto b = Row({color});
    ApplyHLS(*b, hue, light, sat);
    EXPECT_EQ(PixelAt(*b, 0, 0), result) << std::hex << color << std::dec << " " << hue << " " << light;
  };
  expect(RGB(255, 0, 255), 30, 10, 10, RGB(255, 0, 0));      // hue 300 + 150 stays 360, which is hue 0
  expect(RGB(255, 0, 0), 27, 10, 10, RGB(0, 255, 0));        // +120 degrees
  expect(RGB(255, 0, 0), 0, 10, 10, RGB(255, 0, 0));         // hue 0 - 150 stays 0
  expect(RGB(201, 100, 50), 15, 10, 0, RGB(125, 125, 125));  // grey at lightness 251 / 510
  expect(RGB(201, 100, 50), 15, 0, 10, RGB(0, 0, 0));
  // Lightness 1 gives m2 = (1 + S') - S', which for this S' rounds just below 1.
  expect(RGB(201, 100, 50), 15, 20, 10, RGB(254, 255, 255));
  // Indices outside the tables are limited to them.
  auto limited = MakeTestBitmap(16, 16), inRange = MakeTestBitmap(16, 16);
  ApplyHLS(*limited, -5, 99, 21);
  ApplyHLS(*inRange, 0, 20, 20);
  EXPECT_TRUE(SameColors(*limited, *inRange));
}

TEST(ApplyColorTone, WorkedExamplesAndTheTableAgainstDirectEvaluation) {
  // Luminance 128 spreads into c = (146, 128, 111): L = 0.5039, S' = 0.2075,
  // so m2 = 154.75 / 255 and m1 = 102.25 / 255.
  const TColor tones[][2] = {{0x808080, RGB(154, 102, 102)},
                             {0x0000FF, RGB(154, 102, 102)},
                             {0x00FF00, RGB(102, 154, 102)},
                             {0xFF0000, RGB(102, 102, 154)}};
  for (auto [tone, tinted] : tones) {
    auto b = Row({RGB(0, 0, 0), RGB(255, 255, 255), RGB(128, 128, 128), RGB(110, 140, 120)});
    ApplyColorTone(*b, static_cast<int>(tone));
    EXPECT_EQ(PixelAt(*b, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(*b, 1, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(*b, 2, 0), tinted);
    EXPECT_EQ(PixelAt(*b, 3, 0), tinted);
  }
  std::vector<TColor> colors = SampleColors();
  for (int tone : {0x808080, 0x3399CC, 0x10F0E0, 0xE010F0, 0x00FF01}) {
    auto row = Row(colors);
    ApplyColorTone(*row, tone);
    for (size_t i = 0; i < colors.size(); ++i)
      ASSERT_EQ(PixelAt(*row, static_cast<int>(i), 0), DirectTone(colors[i], tone)) << tone << " " << i;
  }
}

TEST(ApplyAutoColor, StretchesIntensityAndKeepsGreys) {
  std::vector<TColor> colors = SampleColors(), greys(colors.begin(), colors.begin() + 256);
  auto row = Row(greys), greysBefore = Row(greys);
  ApplyAutoColor(*row);
  EXPECT_TRUE(SameColors(*row, *greysBefore));
  // Intensities (max - min) 255, 100 and 127 stretch to 255, 0 and 27 / 155 of 255.
  auto b = Row({RGB(255, 0, 0), RGB(200, 100, 100), RGB(255, 128, 128)});
  ApplyAutoColor(*b);
  EXPECT_EQ(PixelAt(*b, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(PixelAt(*b, 1, 0), RGB(200, 200, 200));
  EXPECT_EQ(PixelAt(*b, 2, 0), RGB(255, 211, 211));
  // Against both passes evaluated pixel by pixel with the conversions.
  auto picture = Row(colors);
  ApplyAutoColor(*picture);
  auto reducedHSV = [](TColor pixel, int& k, double& h, double& s, double& v) {
    TColor c = 0xFFFFFF - pixel;
    k = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    ConvertRGBToHSV(ToTriple(c - k * 0x010101), h, s, v);
  };
  double maxV = 0, minV = 1, h, s, v;
  int k;
  for (TColor c : colors) {
    reducedHSV(c, k, h, s, v);
    maxV = std::max(maxV, v);
    minV = std::min(minV, v);
  }
  for (size_t i = 0; i < colors.size(); ++i) {
    reducedHSV(colors[i], k, h, s, v);
    RGBTRIPLE t = ConvertHSVToRGB(h, s, (v - minV) / (maxV - minV));
    ASSERT_EQ(PixelAt(*picture, static_cast<int>(i), 0),
              RGB(255 - std::min(t.rgbtRed + k, 255), 255 - std::min(t.rgbtGreen + k, 255),
                  255 - std::min(t.rgbtBlue + k, 255)));
  }
}

TEST(ColorModelEffects, EmptyAndThinPictures) {
  const std::pair<int, int> sizes[] = {{0, 5}, {5, 0}, {1, 1}, {1, 9}, {9, 1}};
  for (auto [w, h] : sizes) {
    auto original = MakeTestBitmap(w, h), tone = MakeTestBitmap(w, h), hls = MakeTestBitmap(w, h),
         autoColor = MakeTestBitmap(w, h);
    ApplyColorTone(*tone, 0x808080);
    ApplyHLS(*hls, 20, 13, 8);
    ApplyAutoColor(*autoColor);
    EXPECT_TRUE(autoColor->Width() == w && autoColor->Height() == h);
    for (int y = 0; y < h; ++y)  // tone and HLS treat every pixel on its own
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(PixelAt(*tone, x, y), DirectTone(PixelAt(*original, x, y), 0x808080));
        auto one = Row({PixelAt(*original, x, y)});
        ApplyHLS(*one, 20, 13, 8);
        EXPECT_EQ(PixelAt(*hls, x, y), PixelAt(*one, 0, 0));
      }
  }
  // A single pixel has one intensity, so automatic colour only round-trips it.
  auto one = Row({RGB(0, 0, 255)});
  ApplyAutoColor(*one);
  EXPECT_EQ(PixelAt(*one, 0, 0), RGB(0, 0, 255));
}

}  // namespace
