// Bicubic B-spline resampling and the resize helpers.
#include "effects/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "tests/support/testsupport.h"

namespace {

// A 24-bit picture whose pixel (x, y) has the colour colorAt(x, y).
std::unique_ptr<TBitmap> Picture(int width, int height, const std::function<TColor(int, int)>& colorAt) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b->Canvas()->SetPixel(x, y, colorAt(x, y));
  return b;
}

std::unique_ptr<TBitmap> Flat(int width, int height, TColor color) {
  return Picture(width, height, [color](int, int) { return color; });
}

// Scattered channel values, so that a wrong tap or weight shows.
TColor Scattered(int x, int y) {
  return RGB((x * 37 + y * 91) % 256, (x * 113 + y * 29 + 7) % 256, (x * y * 61 + 200) % 256);
}

// Six times the cubic B-spline, written interval by interval.
double Spline6(double t) {
  t = std::fabs(t);
  if (t < 1) return 4 - 6 * t * t + 3 * t * t * t;
  if (t < 2) return (2 - t) * (2 - t) * (2 - t);
  return 0;
}

int Channel(TColor color, int channel) { return (color >> (8 * channel)) & 0xFF; }

// The exact value taken to the nearest integer; either neighbour near a tie,
// where single precision may fall on either side.
void ExpectRounded(int got, double exact) {
  double fromTie = std::fabs(exact - std::floor(exact) - 0.5);
  EXPECT_LE(std::abs(got - static_cast<int>(exact + 0.5)), fromTie < 0.01 ? 1 : 0) << exact;
}

}  // namespace

TEST(BSplineWeight, KnotValuesAndPartitionOfUnity) {
  for (auto [x, weight] : {std::pair{0.0f, 4.0},
                           {1.0f, 1.0},
                           {-1.0f, 1.0},
                           {2.0f, 0.0},
                           {-2.0f, 0.0},
                           {0.5f, 2.875},
                           {-1.5f, 0.125}})
    EXPECT_EQ(BSplineWeight(x), weight) << x;
  for (float x = -2.0f; x <= 2.0f; x += 0.0625f) EXPECT_NEAR(BSplineWeight(x), Spline6(x), 1e-5) << x;
  for (float f : {0.0f, 0.1f, 0.25f, 0.5f, 0.9f, 0.999f}) {
    double sum = BSplineWeight(-1 - f) + BSplineWeight(-f) + BSplineWeight(1 - f) + BSplineWeight(2 - f);
    EXPECT_NEAR(sum, 6.0, 1e-5) << f;
  }
}

TEST(StretchBicubic, SameSizeIsBSplineSmoothing) {
  const int w = 7, h = 6;
  auto source = Picture(w, h, Scattered);
  auto target = Flat(w, h, clWhite);
  StretchBicubic(*target, *source);
  // Interior pixels weigh their neighbours 1, 4, 1 per axis; the borders are
  // filtered about pixel 1 and pixel size - 3.
  auto centre = [](int i, int size) { return std::clamp(i, 1, size - 3); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int channel = 0; channel < 3; ++channel) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            sum += (dy ? 1 : 4) * (dx ? 1 : 4) *
                   Channel(PixelAt(*source, centre(x, w) + dx, centre(y, h) + dy), channel);
        ExpectRounded(Channel(PixelAt(*target, x, y), channel), sum / 36.0);
      }
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(PixelAt(*target, x, 0), PixelAt(*target, x, 1));
    EXPECT_EQ(PixelAt(*target, x, h - 3), PixelAt(*target, x, h - 2));
    EXPECT_EQ(PixelAt(*target, x, h - 3), PixelAt(*target, x, h - 1));
  }
  for (int y = 0; y < h; ++y) {
    EXPECT_EQ(PixelAt(*target, 0, y), PixelAt(*target, 1, y));
    EXPECT_EQ(PixelAt(*target, w - 3, y), PixelAt(*target, w - 1, y));
  }
  // "Resize" by 100 % is this smoothing.
  ResizeByPercent(*source, 100);
  EXPECT_TRUE(SameColors(*source, *target));
}

TEST(StretchBicubic, FourByFourSourceUsesAllSixteenTapsWithItsOwnFractions) {
  auto source = Picture(4, 4, Scattered);
  // Sizes whose steps never put a sample just below a whole source position.
  for (auto [tw, th] : {std::pair{7, 5}, {8, 3}, {3, 8}}) {
    auto target = Flat(tw, th, clWhite);
    StretchBicubic(*target, *source);
    for (int y = 0; y < th; ++y) {
      double fy = y * 4.0 / th - std::floor(y * 4.0 / th);
      for (int x = 0; x < tw; ++x) {
        double fx = x * 4.0 / tw - std::floor(x * 4.0 / tw);
        for (int channel = 0; channel < 3; ++channel) {
          double value = 0;
          for (int k = 0; k < 4; ++k)
            for (int m = 0; m < 4; ++m)
              value +=
                  Spline6(1 + fx - m) * Spline6(1 + fy - k) / 36 * Channel(PixelAt(*source, m, k), channel);
          ExpectRounded(Channel(PixelAt(*target, x, y), channel), value);
        }
      }
    }
  }
}

TEST(StretchBicubic, FlatPicturesStayFlatAtAnySize) {
  for (TColor color : {clBlack, clWhite, RGB(255, 200, 17)})
    for (auto [sw, sh] : {std::pair{1, 1}, {1, 5}, {5, 1}, {2, 3}, {3, 3}, {4, 4}, {9, 7}})
      for (auto [tw, th] : {std::pair{1, 1}, {3, 2}, {13, 11}, {2, 17}, {40, 1}}) {
        auto source = Flat(sw, sh, color);
        auto target = Flat(tw, th, clWhite);
        StretchBicubic(*target, *source);
        for (int y = 0; y < th; ++y)
          for (int x = 0; x < tw; ++x)
            ASSERT_EQ(PixelAt(*target, x, y), color) << sw << "x" << sh << " -> " << tw << "x" << th;
      }
}

TEST(StretchBicubic, SourcesUnderFourPixelsClampEveryTapAndKeepTheirOrder) {
  // Red rises left to right, green top to bottom; both axes under 4 pixels
  // on one picture, one axis on the others.
  for (auto [sw, sh] : {std::pair{3, 1}, {2, 2}, {3, 8}, {8, 3}, {1, 6}}) {
    auto source = Picture(sw, sh, [w = sw, h = sh](int x, int y) {
      return RGB(x * 255 / w, y * 255 / h, 90);
    });
    const int tw = 3 * sw, th = 3 * sh;
    auto target = Flat(tw, th, clWhite);
    StretchBicubic(*target, *source);
    for (int y = 0; y < th; ++y)
      for (int x = 0; x < tw; ++x) {
        TColor c = PixelAt(*target, x, y);
        EXPECT_EQ(GetBValue(c), 90);
        if (sw < 4 && x > 0) {
          EXPECT_GE(GetRValue(c), GetRValue(PixelAt(*target, x - 1, y)));
        }
        if (sh < 4 && y > 0) {
          EXPECT_GE(GetGValue(c), GetGValue(PixelAt(*target, x, y - 1)));
        }
      }
    if (sw > 1 && sw < 4) {
      EXPECT_GT(GetRValue(PixelAt(*target, tw - 1, 0)), GetRValue(PixelAt(*target, 0, 0)) + 60);
    }
  }
}

TEST(Resize, SizeRules) {
  struct Case {
    std::function<void(TBitmap&)> resize;
    int width, height, newWidth, newHeight;
  };
  const Case cases[] = {
      {[](TBitmap& b) { ResizeToWidth(b, 4); }, 10, 7, 4, 2},      // scale 2.5, 7 / 2.5 = 2.8
      {[](TBitmap& b) { ResizeToHeight(b, 0, 3); }, 10, 7, 4, 3},  // 10 / 2.3333333 = 4.29
      {[](TBitmap& b) { ResizeByPercent(b, 50); }, 10, 7, 5, 3},
      {[](TBitmap& b) { ResizeByPercent(b, 150); }, 10, 7, 15, 10},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 300, 300); }, 1000, 500, 300, 150},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 246, 246); }, 1000, 500, 246, 123},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 40, 40); }, 10, 5, 40, 20},  // enlarges too
      {[](TBitmap& b) { ScaleBitmapToFit(b, 40, 40); }, 5, 10, 20, 40},
  };
  for (const Case& c : cases) {
    auto picture = MakeTestBitmap(c.width, c.height);
    picture->SetPixelFormat(pfDevice);
    c.resize(*picture);
    EXPECT_EQ(picture->Width(), c.newWidth) << c.width << "x" << c.height;
    EXPECT_EQ(picture->Height(), c.newHeight) << c.width << "x" << c.height;
    EXPECT_EQ(picture->PixelFormat(), pf24bit);
  }
}

TEST(Resize, ResizeToHeightIgnoresItsWidth) {
  auto a = MakeTestBitmap(9, 6), b = MakeTestBitmap(9, 6), c = MakeTestBitmap(9, 6);
  ResizeToHeight(*a, 0, 4);
  ResizeToHeight(*b, 12345, 4);
  ResizeToHeight(*c, -7, 4);
  EXPECT_TRUE(SameColors(*a, *b));
  EXPECT_TRUE(SameColors(*a, *c));
}

TEST(Resize, BadSizesRaiseAndLeaveThePicture) {
  struct Case {
    std::function<void(TBitmap&)> resize;
    int width, height;
  };
  const Case zeroDivides[] = {
      {[](TBitmap& b) { ResizeToWidth(b, 0); }, 6, 5},
      {[](TBitmap& b) { ResizeToHeight(b, 5, 0); }, 6, 5},
      {[](TBitmap& b) { ResizeByPercent(b, 0); }, 6, 5},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 0, 10); }, 6, 5},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 10, 0); }, 6, 5},
      {[](TBitmap& b) { ResizeToWidth(b, 10); }, 1000, 1},  // the height comes out 0
      {[](TBitmap& b) { ResizeByPercent(b, 1); }, 10, 10},
  };
  for (const Case& c : zeroDivides) {
    auto picture = MakeTestBitmap(c.width, c.height), original = MakeTestBitmap(c.width, c.height);
    EXPECT_THROW(c.resize(*picture), EZeroDivide) << c.width << "x" << c.height;
    EXPECT_TRUE(SameColors(*picture, *original));
  }
  auto picture = MakeTestBitmap(10, 10), original = MakeTestBitmap(10, 10);
  EXPECT_THROW(ResizeByPercent(*picture, -50), EInvalidGraphicOperation);
  EXPECT_THROW(ResizeByPercent(*picture, 2000000000), EOutOfMemory);
  EXPECT_THROW(ResizeToWidth(*picture, 2000000000), EOutOfMemory);
  EXPECT_TRUE(SameColors(*picture, *original));
  auto noWidth = Flat(0, 4, clWhite), noHeight = Flat(4, 0, clWhite);
  EXPECT_THROW(StretchBicubic(*noWidth, *picture), EZeroDivide);
  EXPECT_THROW(StretchBicubic(*noHeight, *picture), EZeroDivide);
}

TEST(Resize, PicturesWithoutPixelsReturnAtOnce) {
  for (auto [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}}) {
    auto picture = Flat(w, h, clWhite);
    ResizeToWidth(*picture, 0);
    ResizeToHeight(*picture, 0, 0);
    ResizeByPercent(*picture, 0);
    ScaleBitmapToFit(*picture, 0, 0);
    EXPECT_EQ(picture->Width(), w);
    EXPECT_EQ(picture->Height(), h);
    // As a source it leaves the target as it is.
    auto target = Flat(2, 2, RGB(1, 2, 3));
    StretchBicubic(*target, *picture);
    EXPECT_EQ(PixelAt(*target, 1, 1), RGB(1, 2, 3));
  }
}
