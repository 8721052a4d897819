// Colour point operations: contrast, gamma, lightness, saturation, sepia,
// grey and two-level conversions, posterizing, inversion, solarizing, split
// light and channel offsets.
#include "effects/colorpoint.h"

#include <algorithm>
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

namespace {

struct TChannelCase {
  std::string Name;
  Effect Run;
  PictureRule Expected;
  std::function<std::unique_ptr<TBitmap>()> Picture = [] { return MakeChannelBitmap(32, 20); };
};

// The rule for every channel alike.
PictureRule EachChannel(const std::function<int(int)>& rule) {
  return EachPixel([rule](const TRGB& c) { return TRGB{rule(c[0]), rule(c[1]), rule(c[2])}; });
}
int Mean(const TRGB& c) { return (c[0] + c[1] + c[2]) / 3; }
TRGB Grey(int g) { return {g, g, g}; }

}  // namespace

// Every parameter at the job's default and at another value (the others at
// their defaults), on pixels whose three channels all differ.
TEST(ColorPoint, EveryParameterAtItsDefaultAndAnother) {
  auto contrast = [](int percent) {
    return EachChannel([=](int c) { return Clamp(128 + (c - 128) * percent / 100); });
  };
  auto gamma = [](int value) {
    const double g = (value + 2) * 0.1;
    return EachChannel([=](int c) { return Clamp(static_cast<int>(std::pow(c * (1.0 / 255), 1 / g) * 255 + 0.5)); });
  };
  auto lightness = [](int amount) { return EachChannel([=](int c) { return Clamp(c + (255 - c) * amount / 255); }); };
  auto posterized = [](int step) { return EachChannel([=](int c) { return c / step * step; }); };
  auto saturation = [](int amount) {
    return EachPixel([=](const TRGB& c) {
      const int a = Mean(c);
      return TRGB{Clamp(a + (c[0] - a) * amount / 255), Clamp(a + (c[1] - a) * amount / 255),
                  Clamp(a + (c[2] - a) * amount / 255)};
    });
  };
  auto sepia = [](int depth) {
    return EachPixel([=](const TRGB& c) {
      const int g = Mean(c);
      return TRGB{std::min(g + 2 * depth, 255), std::min(g + depth, 255), g};
    });
  };
  auto solorized = [](int threshold) {
    return EachPixel([=](const TRGB& c) {
      return Mean(c) > threshold ? TRGB{255 - c[0], 255 - c[1], 255 - c[2]} : c;
    });
  };
  auto splitLight = [](int passes) {
    const double h = static_cast<float>(M_PI / 2);
    return EachChannel([=](int c) {
      for (int i = 0; i < passes; ++i) c = static_cast<int>(std::sin(c * (1.0 / 255) * h) * 255);
      return c;
    });
  };
  auto threshold = [](int level) {
    return EachPixel([=](const TRGB& c) { return Grey((30 * c[0] + 59 * c[1] + 11 * c[2]) / 100 > level ? 255 : 0); });
  };
  auto rgb = [](int red, int green, int blue) {
    return EachPixel([=](const TRGB& c) { return TRGB{Clamp(c[0] + red), Clamp(c[1] + green), Clamp(c[2] + blue)}; });
  };
  // Each channel's own range, none of them 0..255: red 20..219, green
  // 5..60, blue 100..250.
  auto squeezed = [] {
    auto picture = MakeChannelBitmap(32, 20);
    for (int y = 0; y < 20; ++y)
      for (uint8_t* p = picture->ScanLine(y); p < picture->ScanLine(y) + 3 * 32; p += 3) {
        p[0] = static_cast<uint8_t>(100 + p[0] * 151 / 256);
        p[1] = static_cast<uint8_t>(5 + p[1] * 56 / 256);
        p[2] = static_cast<uint8_t>(20 + p[2] * 200 / 256);
      }
    return picture;
  };
  const PictureRule stretch = [](TPixels& pixels) {
    for (int i = 0; i < 3; ++i) {
      int least = 255, most = 0;
      for (const TRGB& c : pixels.Colors) least = std::min(least, c[i]), most = std::max(most, c[i]);
      for (TRGB& c : pixels.Colors) c[i] = (c[i] - least) * 255 / (most - least);
    }
  };

  std::vector<TChannelCase> cases = {
      {"Contrast (auto)", ApplyContrastAuto, stretch, squeezed},
      {"Greyscale", ApplyGreyscale,
       EachPixel([](const TRGB& c) { return Grey((77 * c[0] + 150 * c[1] + 29 * c[2] + 128) >> 8); })},
      {"Inverse", ApplyInverse, EachChannel([](int c) { return 255 - c; })},
      {"Monochrome", ApplyMonochrome, EachPixel([](const TRGB& c) { return Grey(Mean(c)); })},
  };
  // An effect of one parameter at the default and at the other value.
  auto both = [&cases](const std::string& name, void (*effect)(TBitmap&, int), int byDefault, int other,
                       const std::function<PictureRule(int)>& rule) {
    for (int v : {byDefault, other})
      cases.push_back({name + " " + std::to_string(v), [=](TBitmap& b) { effect(b, v); }, rule(v)});
  };
  both("Contrast", ApplyContrast, 100, 160, contrast);
  both("Gamma", ApplyGamma, 8, 3, gamma);
  both("Lightness", ApplyLightness, 100, 37, lightness);
  both("Posterized", ApplyPosterized, 1, 40, posterized);
  both("Saturation", ApplySaturation, 100, 180, saturation);
  both("Sepia", ApplySepia, 35, 100, sepia);
  both("Solorized", ApplySolorized, 255, 120, solorized);
  both("Split light", ApplySplitLight, 3, 1, splitLight);
  both("Threshold", ApplyThreshold, 128, 60, threshold);
  // One channel at a time away from its default: a swapped order shows.
  for (TRGB offsets : {TRGB{0, 0, 0}, TRGB{70, 0, 0}, TRGB{0, -45, 0}, TRGB{0, 0, 200}}) {
    auto [red, green, blue] = offsets;
    cases.push_back({"RGB " + std::to_string(red) + " " + std::to_string(green) + " " + std::to_string(blue),
                     [=](TBitmap& b) { ApplyRGB(b, red, green, blue); }, rgb(red, green, blue)});
  }
  for (const TChannelCase& c : cases) EXPECT_TRUE(GivesPixels(c.Run, c.Picture(), c.Expected)) << c.Name;

  // Halftone dithers the weighted grey: the picture gives what a picture of
  // that grey gives (the matrix itself: effecttables_test.cpp).
  auto greys = MakeChannelBitmap(32, 20);
  for (int y = 0; y < 20; ++y)
    for (uint8_t* p = greys->ScanLine(y); p < greys->ScanLine(y) + 3 * 32; p += 3)
      p[0] = p[1] = p[2] = static_cast<uint8_t>((30 * p[2] + 59 * p[1] + 11 * p[0]) / 100);
  ApplyHalftone(*greys);
  const TPixels dithered = ReadPixels(*greys);
  EXPECT_TRUE(GivesPixels(ApplyHalftone, MakeChannelBitmap(32, 20), [&](TPixels& p) { p = dithered; }));
}
