// Bicubic B-spline resampling and the resize helpers.
#include "effects/resample.h"

#include <cmath>

#include "tests/effects/effecttest.h"

namespace {

// Six times the cubic B-spline, written interval by interval.
double Spline6(double t) {
  t = std::fabs(t);
  return t < 1 ? 4 - 6 * t * t + 3 * t * t * t : t < 2 ? (2 - t) * (2 - t) * (2 - t) : 0;
}

int Channel(TBitmap& picture, int x, int y, int channel) {
  return (PixelAt(picture, x, y) >> (8 * channel)) & 0xFF;
}

// The exact value taken to the nearest integer; either neighbour near a tie,
// where single precision may fall on either side.
void ExpectRounded(int got, double exact) {
  double fromTie = std::fabs(exact - std::floor(exact) - 0.5);
  EXPECT_LE(std::abs(got - static_cast<int>(exact + 0.5)), fromTie < 0.01 ? 1 : 0) << exact;
}

}  // namespace

TEST(BSplineWeight, FollowsTheSplineAndSumsToSix) {
  for (float x = -2.0f; x <= 2.0f; x += 0.0625f) EXPECT_NEAR(BSplineWeight(x), Spline6(x), 1e-5) << x;
  for (float f : {0.1f, 0.25f, 0.9f, 0.999f})
    EXPECT_NEAR(BSplineWeight(-1 - f) + BSplineWeight(-f) + BSplineWeight(1 - f) + BSplineWeight(2 - f), 6.0,
                1e-5);
}

TEST(StretchBicubic, SameSizeIsBSplineSmoothing) {
  // The borders are filtered about pixel 1 and pixel size - 3, so rows 0 and
  // 1 come out equal, and so do the last three (columns alike).
  const int w = 7, h = 6;
  auto source = MakeNoiseBitmap(w, h, 1), target = MakeTestBitmap(w, h);
  StretchBicubic(*target, *source);
  EXPECT_EQ(PixelAt(*target, 0, 0), PixelAt(*target, 1, 1));
  EXPECT_EQ(PixelAt(*target, w - 1, h - 1), PixelAt(*target, w - 3, h - 3));
  // "Resize" by 100 % is this smoothing.
  ResizeByPercent(*source, 100);
  EXPECT_TRUE(SameColors(*source, *target));
}

TEST(StretchBicubic, FourByFourSourceUsesAllSixteenTapsWithItsOwnFractions) {
  auto source = MakeNoiseBitmap(4, 4, 2);
  // Sizes whose steps never put a sample just below a whole source position.
  for (auto [tw, th] : {std::pair{7, 5}, {3, 8}}) {
    auto target = MakeTestBitmap(tw, th);
    StretchBicubic(*target, *source);
    for (int i = 0; i < 3 * tw * th; ++i) {
      const int x = i / 3 % tw, y = i / 3 / tw, channel = i % 3;
      const double fx = x * 4.0 / tw - std::floor(x * 4.0 / tw), fy = y * 4.0 / th - std::floor(y * 4.0 / th);
      double value = 0;
      for (int k = 0; k < 16; ++k)
        value +=
            Spline6(1 + fx - k % 4) * Spline6(1 + fy - k / 4) / 36 * Channel(*source, k % 4, k / 4, channel);
      ExpectRounded(Channel(*target, x, y, channel), value);
    }
  }
}

TEST(StretchBicubic, FlatPicturesStayFlatAtAnySize) {
  // Sums a hair above 255 in single precision are still clamped.
  for (TColor color : {clWhite, RGB(255, 200, 17)})
    for (auto [sw, sh] : {std::pair{1, 1}, {2, 3}, {9, 7}})
      for (auto [tw, th] : {std::pair{1, 1}, {13, 11}, {40, 1}}) {
        auto target = MakeTestBitmap(tw, th);
        StretchBicubic(*target, *MakeFlatBitmap(sw, sh, color));
        EXPECT_TRUE(SameColors(*target, *MakeFlatBitmap(tw, th, color)))
            << sw << "x" << sh << " -> " << tw << "x" << th;
      }
}

TEST(Resize, SizeRules) {
  struct Case {
    Effect resize;
    int width, height, newWidth, newHeight;
  };
  const Case cases[] = {
      {[](TBitmap& b) { ResizeToWidth(b, 4); }, 10, 7, 4, 2},      // scale 2.5, 7 / 2.5 = 2.8
      {[](TBitmap& b) { ResizeToHeight(b, 0, 3); }, 10, 7, 4, 3},  // 10 / 2.3333333 = 4.29
      {[](TBitmap& b) { ResizeByPercent(b, 150); }, 10, 7, 15, 10},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 246, 246); }, 1000, 500, 246, 123},
      {[](TBitmap& b) { ScaleBitmapToFit(b, 40, 40); }, 5, 10, 20, 40},  // enlarges too
  };
  for (const Case& c : cases) {
    auto picture = MakeTestBitmap(c.width, c.height);
    picture->SetPixelFormat(pfDevice);
    c.resize(*picture);
    EXPECT_EQ(picture->Width(), c.newWidth) << c.width << "x" << c.height;
    EXPECT_EQ(picture->Height(), c.newHeight) << c.width << "x" << c.height;
    EXPECT_EQ(picture->PixelFormat(), pf24bit);
  }
  // ResizeToHeight ignores its width.
  auto a = MakeTestBitmap(9, 6), b = MakeTestBitmap(9, 6);
  ResizeToHeight(*a, 0, 4);
  ResizeToHeight(*b, 12345, 4);
  EXPECT_TRUE(SameColors(*a, *b));
}

TEST(Resize, BadSizesRaiseAndLeaveThePicture) {
  ExpectRefused<EZeroDivide>(6, 5, [](TBitmap& b) { ResizeToWidth(b, 0); });
  ExpectRefused<EZeroDivide>(6, 5, [](TBitmap& b) { ResizeToHeight(b, 5, 0); });
  ExpectRefused<EZeroDivide>(6, 5, [](TBitmap& b) { ResizeByPercent(b, 0); });
  ExpectRefused<EZeroDivide>(6, 5, [](TBitmap& b) { ScaleBitmapToFit(b, 10, 0); });
  ExpectRefused<EZeroDivide>(1000, 1, [](TBitmap& b) { ResizeToWidth(b, 10); });  // the height comes out 0
  ExpectRefused<EZeroDivide>(10, 10, [](TBitmap& b) { ResizeByPercent(b, 1); });
  ExpectRefused<EInvalidGraphicOperation>(10, 10, [](TBitmap& b) { ResizeByPercent(b, -50); });
  ExpectRefused<EOutOfMemory>(10, 10, [](TBitmap& b) { ResizeByPercent(b, 2000000000); });
  auto picture = MakeTestBitmap(10, 10);
  EXPECT_THROW(StretchBicubic(*MakeTestBitmap(0, 4), *picture), EZeroDivide);
  // An empty source leaves the target as it is.
  EXPECT_TRUE(LeavesUnchanged(2, 2, [](TBitmap& b) { StretchBicubic(b, *MakeTestBitmap(5, 0)); }));
}
