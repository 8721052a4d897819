// The effect library's constant tables row by row, each through the effect
// that reads it: the halftone matrix, the kernels of the kernel filters,
// the HLS steps, the HSV sectors, the outlines of Figure and the offsets of
// Ripple's regular types.
#include <cmath>
#include <tuple>

#include "effects/colormodel.h"
#include "effects/colorpoint.h"
#include "effects/neighbourhood.h"
#include "effects/rowtile.h"
#include "effects/tile.h"
#include "platform/graphics/gdi.h"
#include "tests/effects/effecttest.h"

TEST(EffectTables, HalftoneMatrixEntryByEntry) {
  // Block k (rows 8k..8k+7) is grey 4k, so t = k: a pixel is white in the
  // blocks where its entry is below k, that is in 63 - M of the 64 blocks.
  const int expected[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
      {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
  };
  auto picture = MakeFlatBitmap(8, 8 * 64, clBlack);
  for (int y = 0; y < 8 * 64; ++y)
    for (int x = 0; x < 8; ++x) picture->Canvas()->SetPixel(x, y, RGB(4 * (y / 8), 4 * (y / 8), 4 * (y / 8)));
  ApplyHalftone(*picture);
  for (int row = 0; row < 8; ++row)
    for (int column = 0; column < 8; ++column) {
      int whites = 0;
      for (int k = 0; k < 64; ++k) whites += PixelAt(*picture, column, 8 * k + row) == clWhite;
      EXPECT_EQ(63 - whites, expected[row][column]) << "row " << row << ", column " << column;
    }
}

namespace {

// A very dark picture of varied pixels: even the integer kernels with
// the largest weights stay below white on much of it.
std::unique_ptr<TBitmap> DarkNoise() {
  auto picture = MakeFlatBitmap(24, 20, clBlack);
  unsigned state = 7;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) {
      int c[3];
      for (int& v : c) v = int((state = state * 1103515245u + 12345u) >> 16) % 13;
      picture->Canvas()->SetPixel(x, y, RGB(c[0], c[1], c[2]));
    }
  return picture;
}

struct KernelRow {
  void (*Effect)(TBitmap&, int, int);
  int Type, Level;
  std::vector<float> Kernel;  // empty for the large Laplacian
  int Divisor;                // 0 for a float kernel, whose bias is the level
};

// The row's kernel run through the shared convolutions directly.
std::unique_ptr<TBitmap> Convolved(const KernelRow& row, const std::vector<float>& kernel, int divisor) {
  auto picture = DarkNoise();
  if (kernel.empty()) {
    DetectEdgeLaplace(*picture, divisor);
  } else if (row.Divisor) {
    TIntKernel k;
    for (int i = 0; i < 9; ++i) k[i] = int(kernel[i]);
    Convolve3x3Int(k, divisor, *picture);
  } else {
    TFloatKernel k;
    for (int i = 0; i < 9; ++i) k[i] = kernel[i];
    Convolve3x3Float(*picture, row.Level, k);
  }
  return picture;
}

}  // namespace

TEST(EffectTables, EveryKernelFilterTypeRunsItsOwnKernel) {
  const float e = -0.125f, b = 0.111f;
  // The levels of the integer kernels tell the divisor in the middle
  // weight from its neighbours (240 / 15 = 16, 240 / 14 = 17, 240 / 16 = 15).
  const KernelRow rows[] = {
      {ApplySoftened, 0, 240, {2, 2, 2, 2, 240 / 15 - 1, 2, 2, 2, 2}, 16},
      {ApplySoftened, 1, 30, {3, 3, 3, 3, 30 / 5 + 7, 3, 3, 3, 3}, 32},
      {ApplySoftened, 2, 240, {0, 1, 0, 1, 240 / 15 + 1, 1, 0, 1, 0}, 6},
      {ApplySoftened, 3, 9, {5, 0, 0, 0, 0, 0, 0, 0, 5}, 0},
      {ApplySoftened, 4, 9, {b, b, b, b, b, b, b, b, b}, 0},
      {ApplySoftened, 5, 9, {0.0625f, 0.125f, 0.0625f, 0.125f, 0.25f, 0.125f, 0.0625f, 0.125f, 0.0625f}, 0},
      {ApplySharpness, 0, 110, {-1, -1, -1, -1, 110 / 10 + 15, -1, -1, -1, -1}, 8},
      {ApplySharpness, 1, 420, {0, -1, 0, -1, 420 / 20 + 5, -1, 0, -1, 0}, 1},
      {ApplySharpness, 2, 9, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 0},
      {ApplySharpness, 3, 9, {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 0},
      {ApplyEmboss, 0, 930, {1, 0, 1, 0, 930 / 30 - 1, 0, 1, 0, -2}, 1},
      {ApplyEmboss, 1, 650, {1, 1, 1, 1, 650 / 25 - 3, 1, -1, -1, -1}, 1},
      {ApplyEmboss, 2, 128, {1, 2, 1, 0, 0, 0, -1, -2, -1}, 0},
      {ApplyEmboss, 3, 128, {1, 0, -1, 2, 0, -2, 1, 0, -1}, 0},
      {ApplyEmboss, 4, 128, {1, 1, 1, 0, 0, 0, -1, -1, -1}, 0},
      {ApplyEmboss, 5, 128, {1, 0, -1, 1, 0, -1, 1, 0, -1}, 0},
      {ApplyDetectEdge, 0, 90, {}, 90 / 10},  // the Laplacian's radius
      {ApplyDetectEdge, 1, 60, {-1, -1, -1, -1, 8, -1, -1, -1, -1}, 0},
      {ApplyDetectEdge, 2, 60, {-5, -5, -5, -5, 39, -5, -5, -5, -5}, 0},
      {ApplyDetectEdge, 3, 60, {e, e, e, e, 1, e, e, e, e}, 0},
  };
  for (const KernelRow& row : rows) {
    SCOPED_TRACE("type " + std::to_string(row.Type) + ", level " + std::to_string(row.Level));
    auto picture = DarkNoise();
    row.Effect(*picture, row.Level, row.Type);
    auto expected = Convolved(row, row.Kernel, row.Divisor);
    EXPECT_TRUE(SameColors(*picture, *expected));
    // The picture tells every weight and the divisor (or radius) apart: a
    // kernel one off in any of them, up or down, gives another picture.
    for (size_t i = 0; i < row.Kernel.size(); ++i) {
      for (int off : {-1, 1}) {
        std::vector<float> other = row.Kernel;
        other[i] += float(off);
        EXPECT_FALSE(SameColors(*Convolved(row, other, row.Divisor), *expected)) << "weight " << i << off;
      }
    }
    if (row.Divisor) {
      for (int other : {row.Divisor - 1, row.Divisor + 1}) {
        if (other > 0) {
          EXPECT_FALSE(SameColors(*Convolved(row, row.Kernel, other), *expected)) << "divisor " << other;
        }
      }
    }
  }
}

namespace {

TColor HLSOf(TColor color, int hue, int lightness, int saturation) {
  auto b = MakeColorBitmap(1, {color});
  ApplyHLS(*b, hue, lightness, saturation);
  return PixelAt(*b, 0, 0);
}

// A colour of the HLS model back in RGB: grey at no saturation, else the
// channels of the hue through m1 and m2.
TColor FromHLS(double h, double l, double s) {
  if (s <= 0) {
    int grey = int(l * 255);
    return RGB(grey, grey, grey);
  }
  double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
  return RGB(HueToChannel(h + 120, m2, m1) & 0xFF, HueToChannel(h, m2, m1) & 0xFF,
             HueToChannel(h - 120, m2, m1) & 0xFF);
}

}  // namespace

TEST(EffectTables, EveryHLSStepShiftsByItsOwnAmount) {
  // Cyan has hue 180 at lightness 0.5 and full saturation; greys and pure
  // red show the lightness and saturation steps on both sides of 0.
  const double cyanL = 255 * (1.0 / 510);
  for (int i = 0; i <= 30; ++i)
    EXPECT_EQ(HLSOf(RGB(0, 255, 255), i, 10, 10), FromHLS(std::clamp(180.0 + (-150 + 10 * i), 0.0, 360.0), cyanL, 1))
        << "hue " << i;
  for (int j = 0; j <= 20; ++j)
    for (int g : {0, 128, 255})
      EXPECT_EQ(HLSOf(RGB(g, g, g), 15, j, 10), FromHLS(0, std::clamp(g * (1.0 / 255) + (j - 10) / 10.0, 0.0, 1.0), 0))
          << "lightness " << j << ", grey " << g;
  for (int k = 0; k <= 20; ++k) {
    const double step = (k - 10) / 10.0;
    EXPECT_EQ(HLSOf(RGB(100, 100, 100), 15, 10, k), FromHLS(0, 100 * (1.0 / 255), std::max(step, 0.0)))
        << "saturation " << k;
    EXPECT_EQ(HLSOf(RGB(255, 0, 0), 15, 10, k), FromHLS(0, cyanL, std::clamp(1 + step, 0.0, 1.0)))
        << "saturation " << k;
  }
}

TEST(EffectTables, EveryHSVSectorTakesItsOwnChannels) {
  // A quarter into each sector at saturation 0.5 and value 1: v = 255,
  // q = 0.875 (223), t = 0.625 (159), p = 0.5 (127).
  const int v = 255, q = 223, t = 159, p = 127;
  const TColor sectors[6] = {RGB(v, t, p), RGB(q, v, p), RGB(p, v, t), RGB(p, q, v), RGB(t, p, v), RGB(v, p, q)};
  for (int i = 0; i < 6; ++i) {
    RGBTRIPLE c = ConvertHSVToRGB((i + 0.25) / 6, 0.5, 1);
    EXPECT_EQ(RGB(c.rgbtRed, c.rgbtGreen, c.rgbtBlue), sectors[i]) << "sector " << i;
  }
}

TEST(EffectTables, EveryFigureTypeDrawsItsOwnOutline) {
  // Each row is drawn into its span [left, right), as a stretch of the row
  // with COLORONCOLOR draws it there; the rest stays white. Insets within
  // the picture, a negative one that widens the span past both sides, and
  // spans of odd and even widths.
  const double pi = M_PI;
  for (auto [w, h, v] : {std::tuple{41, 11, 13}, {40, 9, 7}, {17, 6, -9}, {64, 5, 31}}) {
    const int c = w / 2;
    auto margins = [&](int type, int y) -> std::pair<int, int> {
      auto inset = [&](int a) { return std::pair{a, w - a}; };
      auto lens = [&](int a) { return std::pair{c - a, c + a}; };
      switch (type) {
        case 0: return inset(v);
        case 1: return inset(int(double(h - 1 - y) / h * v));
        case 2: return inset(int(double(y) / h * v));
        case 3: return inset(std::abs(int(std::cos(pi * y / (h - 1)) * v)));
        case 4: return inset(std::abs(int(std::sin(pi * y / (h - 1)) * v)));
        case 5: return lens(std::abs(int(std::sin(pi * y / (h - 1)) * v)));
        default: return lens(std::abs(int(std::sin(2 * pi * y / (h - 1)) * v)));
      }
    };
    for (int type = 0; type <= 6; ++type) {
      auto picture = MakeSpreadBitmap(w, h);
      auto expected = MakeFlatBitmap(w, h, clWhite);
      SetStretchBltMode(expected->Canvas()->Handle(), COLORONCOLOR);
      for (int y = 0; y < h; ++y) {
        auto [left, right] = margins(type, y);
        if (right > left)
          StretchBlt(expected->Canvas()->Handle(), left, y, right - left, 1, picture->Canvas()->Handle(), 0, y, w, 1,
                     SRCCOPY);
      }
      ApplyFigure(*picture, v, type);
      for (int y = 0; y < h; ++y) {
        auto [left, right] = margins(type, y);
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(PixelAt(*picture, x, y) == clWhite, x < left || x >= right)
              << w << " x " << h << ", type " << type << ", row " << y << ", column " << x;
      }
      EXPECT_TRUE(SameColors(*picture, *expected)) << w << " x " << h << ", value " << v << ", type " << type;
    }
  }
}

TEST(EffectTables, RippleToothAndTriangleOffsets) {
  // Value 3 on 12 x 7: source rows 3, 2 and 1, upward, each copied down by
  // its column's offset (the upper row's copy last).
  const int w = 12, h = 7, value = 3;
  const int offsets[2][w] = {{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}, {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1}};
  for (int type = 0; type < 2; ++type) {
    std::vector<std::vector<int>> sourceRow(h, std::vector<int>(w));
    for (int y = 0; y < h; ++y) std::fill(sourceRow[y].begin(), sourceRow[y].end(), y);
    for (int y = h - 1 - value; y >= 1; --y)
      for (int x = 0; x < w; ++x) sourceRow[y + offsets[type][x]][x] = sourceRow[y][x];
    std::string expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        expected += std::string(x ? " " : y ? "\n" : "") + std::to_string(x) + "," + std::to_string(sourceRow[y][x]);
    EXPECT_EQ(SourcesAfter(w, h, [=](TBitmap& b) { ApplyRipple(b, value, type); }), expected) << "type " << type;
  }
}
