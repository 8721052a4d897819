// Colour point operations: contrast, gamma, lightness, saturation, sepia,
// grey and two-level conversions, posterizing, inversion, solarizing, split
// light and channel offsets.
#include "effects/colorpoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

using Effect = std::function<void(TBitmap&)>;

// A picture `width` pixels wide holding the colours (0x00BBGGRR) row by row.
std::unique_ptr<TBitmap> Pixels(int width, const std::vector<TColor>& colors) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  int height = static_cast<int>(colors.size()) / width;
  b->SetSize(width, height);
  for (int i = 0; i < width * height; ++i) b->Canvas()->SetPixel(i % width, i / width, colors[i]);
  return b;
}

std::unique_ptr<TBitmap> Flat(int width, int height, TColor color) {
  return Pixels(width, std::vector<TColor>(width * height, color));
}

// Every value 0..255 in every channel: one grey row, one mixed row.
std::unique_ptr<TBitmap> AllValues() {
  std::vector<TColor> colors;
  for (int v = 0; v < 256; ++v) colors.push_back(RGB(v, v, v));
  for (int v = 0; v < 256; ++v) colors.push_back(RGB(v, 255 - v, (v * 7) % 256));
  return Pixels(256, colors);
}

// All colours whose channels are multiples of 15, in one row.
std::unique_ptr<TBitmap> Grid() {
  std::vector<TColor> colors;
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) colors.push_back(RGB(r, g, b));
  return Pixels(static_cast<int>(colors.size()), colors);
}

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Runs the effect on `make()` and checks every pixel against what `expected`
// gives for the pixel before.
void ExpectPixelMap(const std::function<std::unique_ptr<TBitmap>()>& make, const Effect& effect,
                    const std::function<TColor(TColor)>& expected) {
  auto before = make(), after = make();
  effect(*after);
  for (int y = 0; y < before->Height(); ++y)
    for (int x = 0; x < before->Width(); ++x)
      ASSERT_EQ(PixelAt(*after, x, y), expected(PixelAt(*before, x, y))) << "at " << x << "," << y;
}
// The same for an effect that maps each channel value on its own.
void ExpectChannelMap(const Effect& effect, const std::function<int(int)>& channel) {
  ExpectPixelMap(AllValues, effect, [&](TColor c) {
    return RGB(channel(GetRValue(c)), channel(GetGValue(c)), channel(GetBValue(c)));
  });
}

// Every effect of the group, with one parameter where it takes any.
std::vector<Effect> AllEffects(int p) {
  return {
      [=](TBitmap& b) { ApplyContrast(b, p); },   [](TBitmap& b) { ApplyContrastAuto(b); },
      [=](TBitmap& b) { ApplyGamma(b, p); },      [](TBitmap& b) { ApplyGreyscale(b); },
      [](TBitmap& b) { ApplyHalftone(b); },       [](TBitmap& b) { ApplyInverse(b); },
      [=](TBitmap& b) { ApplyLightness(b, p); },  [](TBitmap& b) { ApplyMonochrome(b); },
      [=](TBitmap& b) { ApplyPosterized(b, p); }, [=](TBitmap& b) { ApplySaturation(b, p); },
      [=](TBitmap& b) { ApplySepia(b, p); },      [=](TBitmap& b) { ApplySolorized(b, p); },
      [=](TBitmap& b) { ApplySplitLight(b, p); }, [=](TBitmap& b) { ApplyThreshold(b, p); },
      [=](TBitmap& b) { ApplyRGB(b, p, -p, p); },
  };
}
const size_t HalftoneIndex = 4;

}  // namespace

TEST(ColorPoint, WorkedExamples) {
  struct Case {
    const char* name;
    Effect effect;
    TColor in, out;
  };
  const TColor grey128 = RGB(128, 128, 128), mixed = RGB(200, 100, 30);  // mixed has mean 110
  const Case cases[] = {
      {"contrast 200", [](TBitmap& b) { ApplyContrast(b, 200); }, RGB(0, 64, 192), RGB(0, 0, 255)},
      {"contrast 200", [](TBitmap& b) { ApplyContrast(b, 200); }, RGB(130, 127, 100), RGB(132, 126, 72)},
      {"contrast max", [](TBitmap& b) { ApplyContrast(b, 1 << 30); }, RGB(127, 128, 129), RGB(0, 128, 255)},
      {"greyscale red", ApplyGreyscale, RGB(255, 0, 0), RGB(77, 77, 77)},
      {"greyscale green", ApplyGreyscale, RGB(0, 255, 0), RGB(149, 149, 149)},
      {"greyscale blue", ApplyGreyscale, RGB(0, 0, 255), RGB(29, 29, 29)},
      {"greyscale white", ApplyGreyscale, clWhite, clWhite},
      {"monochrome", ApplyMonochrome, RGB(31, 20, 10), RGB(20, 20, 20)},
      {"lightness 255", [](TBitmap& b) { ApplyLightness(b, 255); }, RGB(0, 1, 200), clWhite},
      {"saturation 0", [](TBitmap& b) { ApplySaturation(b, 0); }, mixed, RGB(110, 110, 110)},
      {"saturation 100", [](TBitmap& b) { ApplySaturation(b, 100); }, mixed, RGB(145, 107, 79)},
      {"saturation 1000", [](TBitmap& b) { ApplySaturation(b, 1000); }, mixed, RGB(255, 71, 0)},
      {"sepia 35", [](TBitmap& b) { ApplySepia(b, 35); }, RGB(200, 100, 0), RGB(170, 135, 100)},
      {"sepia 0", [](TBitmap& b) { ApplySepia(b, 0); }, RGB(9, 9, 3), RGB(7, 7, 7)},
      {"sepia 128", [](TBitmap& b) { ApplySepia(b, 128); }, clBlack, RGB(255, 128, 0)},
      {"sepia huge", [](TBitmap& b) { ApplySepia(b, 2147483647); }, RGB(255, 128, 0), RGB(255, 255, 127)},
      {"solorized above", [](TBitmap& b) { ApplySolorized(b, 100); }, RGB(100, 150, 200), RGB(155, 105, 55)},
      {"solorized at", [](TBitmap& b) { ApplySolorized(b, 100); }, RGB(50, 100, 150), RGB(50, 100, 150)},
      {"threshold at", [](TBitmap& b) { ApplyThreshold(b, 128); }, grey128, clBlack},
      {"threshold above", [](TBitmap& b) { ApplyThreshold(b, 128); }, RGB(129, 129, 129), clWhite},
      {"threshold 300", [](TBitmap& b) { ApplyThreshold(b, 300); }, clWhite, clBlack},
      {"threshold -5", [](TBitmap& b) { ApplyThreshold(b, -5); }, RGB(0, 2, 0), clWhite},
      {"threshold -5", [](TBitmap& b) { ApplyThreshold(b, -5); }, clBlack, clBlack},
      {"rgb", [](TBitmap& b) { ApplyRGB(b, 60, -50, 10); }, RGB(200, 30, 250), RGB(255, 0, 255)},
      {"rgb extremes", [](TBitmap& b) { ApplyRGB(b, -255, 2147483647, -2147483647 - 1); }, grey128,
       RGB(0, 255, 0)},
      {"gamma 0 darkens", [](TBitmap& b) { ApplyGamma(b, 0); }, grey128, RGB(8, 8, 8)},
      {"gamma 48 lightens", [](TBitmap& b) { ApplyGamma(b, 48); }, grey128, RGB(222, 222, 222)},
  };
  for (const Case& c : cases) {
    auto picture = Flat(1, 1, c.in);
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
      [](TBitmap& b) { ApplySplitLight(b, -4); },  ApplyContrastAuto,
  };
  for (const Effect& effect : neutral) ExpectChannelMap(effect, [](int c) { return c; });
}

// The per-value tables give what the formulas give pixel by pixel.
TEST(ColorPoint, TablesMatchTheFormulas) {
  for (int p : {-50, 0, 37, 200}) {
    ExpectChannelMap([p](TBitmap& b) { ApplyContrast(b, p); },
                     [p](int c) { return Clamp(128 + ((c - 128) * p) / 100); });
    ExpectChannelMap([p](TBitmap& b) { ApplyLightness(b, p); },
                     [p](int c) { return Clamp(c + ((255 - c) * p) / 255); });
  }
  for (int step : {3, 64, 255, -7})
    ExpectChannelMap([step](TBitmap& b) { ApplyPosterized(b, step); },
                     [step](int c) { return ((c / step) * step) & 0xFF; });
  for (int value : {0, 13, 48, -1, -30}) {
    double gamma = (value + 2) * 0.1;
    ExpectChannelMap([value](TBitmap& b) { ApplyGamma(b, value); },
                     [gamma](int c) {
                       return static_cast<int>(
                           std::min(std::floor(std::pow(c * (1.0 / 255), 1 / gamma) * 255 + 0.5), 255.0));
                     });
  }
  const double halfPi = static_cast<float>(M_PI / 2);
  auto pass = [halfPi](int c) { return static_cast<int>(std::sin(c * (1.0 / 255) * halfPi) * 255); };
  EXPECT_EQ(pass(255), 254);  // the rounded pi / 2 is a little too large
  for (int passes : {1, 3, 500})
    ExpectChannelMap([passes](TBitmap& b) { ApplySplitLight(b, passes); },
                     [&](int c) {
                       for (int i = 0; i < passes; ++i) c = pass(c);
                       return c;
                     });
  // A huge count ends where the curve stops moving.
  ExpectChannelMap([](TBitmap& b) { ApplySplitLight(b, 2147483647); },
                   [&](int c) {
                     for (int i = 0; i < 500; ++i) c = pass(c);
                     return c;
                   });
  ExpectPixelMap(
      Grid, [](TBitmap& b) { ApplyRGB(b, 20, -100, 255); },
      [](TColor c) {
        return RGB(Clamp(GetRValue(c) + 20), Clamp(GetGValue(c) - 100), Clamp(GetBValue(c) + 255));
      });
  for (int amount : {-300, 0, 100, 1000})
    ExpectPixelMap(
        Grid, [amount](TBitmap& b) { ApplySaturation(b, amount); },
        [amount](TColor c) {
          int mean = (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
          auto channel = [&](int v) { return Clamp(mean + ((v - mean) * amount) / 255); };
          return RGB(channel(GetRValue(c)), channel(GetGValue(c)), channel(GetBValue(c)));
        });
  ExpectChannelMap([](TBitmap& b) { ApplyPosterized(b, 64); },
                   [](int c) {
                     return c < 64 ? 0 : c < 128 ? 64 : c < 192 ? 128 : 192;
                   });
}

TEST(ColorPoint, ContrastAutoStretchesEachChannelFromItsOwnRange) {
  // Blue spans 10..20, green holds 77 throughout, red spans 0..255 already.
  auto picture = Pixels(3, {RGB(0, 77, 10), RGB(255, 77, 15), RGB(40, 77, 20)});
  ApplyContrastAuto(*picture);
  EXPECT_TRUE(SameColors(*picture, *Pixels(3, {RGB(0, 77, 0), RGB(255, 77, 127), RGB(40, 77, 255)})));
}

TEST(ColorPoint, HalftoneDithersByTheEightByEightMatrix) {
  // White (t = 63): one black pixel per block, where the matrix holds 63
  // (row 7, column 0).
  auto white = Flat(19, 17, clWhite);
  ApplyHalftone(*white);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 19; ++x)
      ASSERT_EQ(PixelAt(*white, x, y), (y % 8 == 7 && x % 8 == 0) ? clBlack : clWhite) << x << "," << y;
  // Grey 128 (t = 32): white where the matrix is below 32, half of each block.
  auto grey = Flat(16, 16, RGB(128, 128, 128));
  ApplyHalftone(*grey);
  const int firstRow[8] = {0, 32, 8, 40, 2, 34, 10, 42};
  for (int x = 0; x < 16; ++x) EXPECT_EQ(PixelAt(*grey, x, 8), firstRow[x % 8] < 32 ? clWhite : clBlack);
  int whites = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) whites += PixelAt(*grey, x + 8, y) == clWhite;
  EXPECT_EQ(whites, 32);
}

TEST(ColorPoint, InverseTwiceIsTheIdentity) {
  ExpectPixelMap(AllValues, ApplyInverse,
                 [](TColor c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); });
  auto picture = MakeTestBitmap(13, 7, 5);
  ApplyInverse(*picture);
  ApplyInverse(*picture);
  EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(13, 7, 5)));
}

TEST(ColorPoint, MathsErrorsComeBeforeAnyPixelChanges) {
  auto picture = AllValues();
  EXPECT_THROW(ApplyGamma(*picture, -2), EZeroDivide);
  EXPECT_THROW(ApplyPosterized(*picture, 0), EDivByZero);
  EXPECT_TRUE(SameColors(*picture, *AllValues()));
}

TEST(ColorPoint, EmptyAndTinyPictures) {
  // Without pixels nothing happens, not even the errors of bad parameters.
  for (auto [w, h] : {std::pair{0, 0}, {0, 4}, {4, 0}})
    for (int parameter : {-2, 0})
      for (const Effect& effect : AllEffects(parameter)) {
        auto picture = Flat(1, 1, clWhite);
        picture->SetSize(w, h);
        EXPECT_NO_THROW(effect(*picture));
        EXPECT_EQ(picture->Width(), w);
      }
  for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}})
    for (const Effect& effect : AllEffects(3)) {
      auto picture = MakeTestBitmap(w, h, 40);
      effect(*picture);
      EXPECT_EQ(picture->Width(), w);
      EXPECT_EQ(picture->Height(), h);
    }
}

TEST(ColorPoint, FlatPicturesStayFlat) {
  for (int parameter : {1, 35, 128, 255}) {
    std::vector<Effect> effects = AllEffects(parameter);
    for (size_t i = 0; i < effects.size(); ++i) {
      if (i == HalftoneIndex) continue;  // the one effect that looks at a pixel's place
      auto picture = Flat(5, 4, RGB(201, 64, 17));
      effects[i](*picture);
      EXPECT_TRUE(SameColors(*picture, *Flat(5, 4, PixelAt(*picture, 0, 0)))) << "effect " << i;
    }
  }
}
