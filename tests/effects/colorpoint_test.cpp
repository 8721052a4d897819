// Colour point operations: contrast, gamma, lightness, saturation, sepia,
// grey and two-level conversions, posterizing, inversion, solarizing, split
// light and channel offsets.
#include "effects/colorpoint.h"

#include <cmath>

#include "tests/effects/effecttest.h"

namespace {

// Every value 0..255 in every channel: one grey row, one mixed row.
std::unique_ptr<TBitmap> AllValues() {
  std::vector<TColor> colors;
  for (int v = 0; v < 256; ++v) colors.push_back(RGB(v, v, v));
  for (int v = 0; v < 256; ++v) colors.push_back(RGB(v, 255 - v, (v * 7) % 256));
  return MakeColorBitmap(256, colors);
}

int Clamp(int v) { return std::clamp(v, 0, 255); }

// Runs the effect on AllValues() and checks every pixel against what
// `expected` gives for the pixel before.
void ExpectPixelMap(const Effect& effect, const std::function<TColor(TColor)>& expected) {
  auto before = AllValues(), after = AllValues();
  effect(*after);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 256; ++x)
      ASSERT_EQ(PixelAt(*after, x, y), expected(PixelAt(*before, x, y))) << "at " << x << "," << y;
}
// The same for an effect that maps each channel value on its own.
void ExpectChannelMap(const Effect& effect, const std::function<int(int)>& channel) {
  ExpectPixelMap(effect, [&](TColor c) {
    return RGB(channel(GetRValue(c)), channel(GetGValue(c)), channel(GetBValue(c)));
  });
}

}  // namespace

TEST(ColorPoint, WorkedExamples) {
  struct Case {
    const char* name;
    Effect effect;
    TColor in, out;
  };
  const TColor grey128 = RGB(128, 128, 128);
  const Case cases[] = {
      {"contrast 200", [](TBitmap& b) { ApplyContrast(b, 200); }, RGB(0, 64, 192), RGB(0, 0, 255)},
      {"contrast 0", [](TBitmap& b) { ApplyContrast(b, 0); }, RGB(0, 77, 255), grey128},
      {"contrast max", [](TBitmap& b) { ApplyContrast(b, 1 << 30); }, RGB(127, 128, 129), RGB(0, 128, 255)},
      {"greyscale red", ApplyGreyscale, RGB(255, 0, 0), RGB(77, 77, 77)},
      {"monochrome", ApplyMonochrome, RGB(31, 20, 10), RGB(20, 20, 20)},
      {"lightness 255", [](TBitmap& b) { ApplyLightness(b, 255); }, RGB(0, 1, 200), clWhite},
      {"saturation 0", [](TBitmap& b) { ApplySaturation(b, 0); }, RGB(200, 100, 30), RGB(110, 110, 110)},
      {"sepia 0", [](TBitmap& b) { ApplySepia(b, 0); }, RGB(9, 9, 3), RGB(7, 7, 7)},
      {"sepia huge", [](TBitmap& b) { ApplySepia(b, 2147483647); }, RGB(255, 128, 0), RGB(255, 255, 127)},
      {"solorized above", [](TBitmap& b) { ApplySolorized(b, 100); }, RGB(100, 150, 200), RGB(155, 105, 55)},
      {"threshold at", [](TBitmap& b) { ApplyThreshold(b, 128); }, grey128, clBlack},
      {"threshold 300", [](TBitmap& b) { ApplyThreshold(b, 300); }, clWhite, clBlack},
      {"threshold -5", [](TBitmap& b) { ApplyThreshold(b, -5); }, RGB(0, 2, 0), clWhite},
      {"rgb extremes", [](TBitmap& b) { ApplyRGB(b, -255, 2147483647, -2147483647 - 1); }, grey128,
       RGB(0, 255, 0)},
      {"gamma 0 darkens", [](TBitmap& b) { ApplyGamma(b, 0); }, grey128, RGB(8, 8, 8)},
      {"gamma 48 lightens", [](TBitmap& b) { ApplyGamma(b, 48); }, grey128, RGB(222, 222, 222)},
  };
  for (const Case& c : cases) {
    auto picture = MakeFlatBitmap(1, 1, c.in);
    c.effect(*picture);
    EXPECT_EQ(PixelAt(*picture, 0, 0), c.out) << c.name;
  }
}

TEST(ColorPoint, NeutralParametersChangeNothing) {
  const Effect neutral[] = {
      [](TBitmap& b) { ApplyContrast(b, 100); },   [](TBitmap& b) { ApplyGamma(b, 8); },
      [](TBitmap& b) { ApplyLightness(b, 0); },    [](TBitmap& b) { ApplyPosterized(b, 1); },
      [](TBitmap& b) { ApplySaturation(b, 255); }, [](TBitmap& b) { ApplySolorized(b, 255); },
      [](TBitmap& b) { ApplyRGB(b, 0, 0, 0); },    [](TBitmap& b) { ApplySplitLight(b, 0); },
      [](TBitmap& b) { ApplyContrastAuto(b); },
  };
  for (const Effect& effect : neutral) ExpectChannelMap(effect, [](int c) { return c; });
}

// The per-value tables give what the formulas give pixel by pixel.
TEST(ColorPoint, TablesMatchTheFormulas) {
  const double gamma = (13 + 2) * 0.1;
  const double halfPi = static_cast<float>(M_PI / 2);  // a little more than pi / 2: 255 gives 254
  auto splitLight = [halfPi](int c, int passes) {
    for (int i = 0; i < passes; ++i) c = static_cast<int>(std::sin(c * (1.0 / 255) * halfPi) * 255);
    return c;
  };
  const std::pair<Effect, std::function<int(int)>> channelMaps[] = {
      {[](TBitmap& b) { ApplyContrast(b, 37); }, [](int c) { return Clamp(128 + (c - 128) * 37 / 100); }},
      {[](TBitmap& b) { ApplyLightness(b, -50); }, [](int c) { return Clamp(c + (255 - c) * -50 / 255); }},
      {[](TBitmap& b) { ApplyPosterized(b, -7); }, [](int c) { return (c / -7 * -7) & 0xFF; }},
      {[](TBitmap& b) { ApplyGamma(b, 13); },
       [gamma](int c) { return static_cast<int>(std::pow(c * (1.0 / 255), 1 / gamma) * 255 + 0.5); }},
      {[](TBitmap& b) { ApplySplitLight(b, 3); }, [&](int c) { return splitLight(c, 3); }},
      // A huge count ends where the curve stops moving.
      {[](TBitmap& b) { ApplySplitLight(b, 2147483647); }, [&](int c) { return splitLight(c, 500); }},
  };
  for (const auto& [effect, channel] : channelMaps) ExpectChannelMap(effect, channel);
  ExpectPixelMap([](TBitmap& b) { ApplyRGB(b, 20, -100, 255); }, [](TColor c) {
    return RGB(Clamp(GetRValue(c) + 20), Clamp(GetGValue(c) - 100), Clamp(GetBValue(c) + 255));
  });
  ExpectPixelMap([](TBitmap& b) { ApplySaturation(b, -300); }, [](TColor c) {
    int mean = (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
    auto channel = [&](int v) { return Clamp(mean + (v - mean) * -300 / 255); };
    return RGB(channel(GetRValue(c)), channel(GetGValue(c)), channel(GetBValue(c)));
  });
}

TEST(ColorPoint, ContrastAutoStretchesEachChannelFromItsOwnRange) {
  // Blue spans 10..20, green holds 77 throughout, red spans 0..255 already.
  auto picture = MakeColorBitmap(3, {RGB(0, 77, 10), RGB(255, 77, 15), RGB(40, 77, 20)});
  ApplyContrastAuto(*picture);
  EXPECT_TRUE(
      SameColors(*picture, *MakeColorBitmap(3, {RGB(0, 77, 0), RGB(255, 77, 127), RGB(40, 77, 255)})));
}

TEST(ColorPoint, HalftoneDithersByTheEightByEightMatrix) {
  // White (t = 63): one black pixel per block, where the matrix holds 63
  // (row 7, column 0). Grey 128 (t = 32): white where the matrix is below
  // 32.
  auto white = MakeFlatBitmap(19, 17, clWhite), grey = MakeFlatBitmap(16, 16, RGB(128, 128, 128));
  ApplyHalftone(*white);
  ApplyHalftone(*grey);
  int blacks = 0;
  for (int i = 0; i < 16 * 16; ++i) blacks += PixelAt(*white, i % 16, i / 16) == clBlack;
  EXPECT_EQ(blacks, 4);
  EXPECT_EQ(PixelAt(*white, 0, 7), clBlack);
  // Matrix row 0 holds 0, 32, 8, 40, 2, 34, 10, 42.
  EXPECT_EQ(PixelTable(*grey, 1).substr(0, 30), "255 0 255 0 255 0 255 0 255 0 ");
}

TEST(ColorPoint, MathsErrorsComeBeforeAnyPixelChanges) {
  ExpectRefused<EZeroDivide>(9, 4, [](TBitmap& b) { ApplyGamma(b, -2); });
  ExpectRefused<EDivByZero>(9, 4, [](TBitmap& b) { ApplyPosterized(b, 0); });
}
