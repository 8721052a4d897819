// Flip, rotate and increase. On a MakeTestBitmap picture (blue = x,
// green = y) a moved pixel names its source; white shows as 255,255.
#include "effects/fliprotate.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <tuple>

#include "effects/neighbourhood.h"
#include "effects/resample.h"
#include "tests/support/testsupport.h"

namespace {

// Source of pixel (x, y) on a MakeTestBitmap picture.
TPoint SourceOf(TBitmap& picture, int x, int y) {
  TColor color = PixelAt(picture, x, y);
  return {GetBValue(color), GetGValue(color)};
}

std::unique_ptr<TBitmap> Flipped(int width, int height, int mode) {
  auto picture = MakeTestBitmap(width, height);
  ApplyFlip(*picture, mode);
  return picture;
}

// The turn by any angle as first written: column by column, every pixel
// read and written through the canvases.
std::unique_ptr<TBitmap> CanvasTurn(TBitmap& picture, int degrees) {
  const int w = picture.Width(), h = picture.Height();
  const auto t = static_cast<double>(1.0L * degrees * 2 * std::numbers::pi_v<long double> * (1.0L / 360));
  const double c = std::cos(t), s = std::sin(t);
  const double minX = std::min({0.0, -h * s, w * c, w * c - h * s});
  const double maxX = std::max({0.0, -h * s, w * c, w * c - h * s});
  const double minY = std::min({0.0, h * c, w * s, h * c + w * s});
  const double maxY = std::max({0.0, h * c, w * s, h * c + w * s});
  auto turned = std::make_unique<TBitmap>();
  turned->SetPixelFormat(pf24bit);
  turned->SetHeight(static_cast<int>(std::ceil(maxY - minY)));
  turned->SetWidth(static_cast<int>(std::ceil(maxX - minX)));
  for (int x = 0; x < turned->Width(); ++x)
    for (int y = 0; y < turned->Height(); ++y) {
      double u = x + minX, v = y + minY;
      auto sx = static_cast<int>(u * c + v * s), sy = static_cast<int>(v * c - u * s);
      if (sx >= 0 && sx < w && sy >= 0 && sy < h)
        turned->Canvas()->SetPixel(x, y, picture.Canvas()->GetPixel(sx, sy));
    }
  return turned;
}

std::unique_ptr<TBitmap> Rotated(int width, int height, int degrees, int smooth = 0) {
  auto picture = MakeTestBitmap(width, height);
  ApplyRotate(*picture, degrees, smooth);
  return picture;
}

std::unique_ptr<TBitmap> Increased(int width, int height, int zoom, int type) {
  auto picture = MakeTestBitmap(width, height);
  ApplyIncrease(*picture, zoom, type);
  return picture;
}

}  // namespace

TEST(FlipRotateIncrease, FlipMirrorsEachWay) {
  for (auto [w, h] : {std::pair{5, 3}, {1, 1}, {1, 6}, {6, 1}}) {
    auto horizontal = Flipped(w, h, 0), vertical = Flipped(w, h, 1), both = Flipped(w, h, 2);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(SourceOf(*horizontal, x, y), Point(w - 1 - x, y));
        EXPECT_EQ(SourceOf(*vertical, x, y), Point(x, h - 1 - y));
        EXPECT_EQ(SourceOf(*both, x, y), Point(w - 1 - x, h - 1 - y));
      }
    ApplyFlip(*horizontal, 1);
    EXPECT_TRUE(SameColors(*horizontal, *both));
    EXPECT_TRUE(SameColors(*Flipped(w, h, 7), *both));  // other modes mirror both ways
  }
  TBitmap empty;
  empty.SetPixelFormat(pf24bit);
  empty.SetSize(0, 4);
  ApplyFlip(empty, 2);
  EXPECT_EQ(empty.Height(), 4);
}

TEST(FlipRotateIncrease, RotateByRightAngles) {
  // 90: an exact quarter turn to the left; 180: a half turn.
  auto quarter = Rotated(5, 3, 90), half = Rotated(5, 3, 180);
  ASSERT_EQ(quarter->Width(), 3);
  ASSERT_EQ(quarter->Height(), 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(SourceOf(*quarter, y, 4 - x), Point(x, y));
      EXPECT_EQ(SourceOf(*half, 4 - x, 2 - y), Point(x, y));
    }
  // 270 goes through the general turn: the truncated mapping leaves a white
  // row and repeats a column inside a box one pixel larger each way.
  EXPECT_EQ(
      PixelTable(*Rotated(4, 3, 270), 2),
      "255,255 255,255 255,255 255,255\n3,0 3,0 3,1 3,2\n2,0 2,0 2,1 2,2\n1,0 1,0 1,1 1,2\n0,0 0,0 0,1 0,2");
  // 0 also goes through it and maps every pixel to itself.
  EXPECT_TRUE(SameColors(*Rotated(6, 4, 0), *MakeTestBitmap(6, 4)));
  // 360 changes nothing, not even with smoothing.
  EXPECT_TRUE(SameColors(*Rotated(6, 4, 360, 1), *MakeTestBitmap(6, 4)));
}

TEST(FlipRotateIncrease, RotateByAnyAngle) {
  // 45 degrees: about (W + H) / sqrt(2) each way, white corners.
  EXPECT_EQ(PixelTable(*Rotated(4, 3, 45), 2),
            "255,255 0,0 0,0 0,0 255,255\n0,2 0,1 0,0 1,0 2,0\n0,2 0,2 1,1 2,0 2,0\n"
            "255,255 1,2 2,2 2,1 3,0\n255,255 255,255 2,2 3,2 255,255");
  auto wide = Rotated(40, 20, 45);
  EXPECT_EQ(wide->Width(), 43);
  EXPECT_EQ(wide->Height(), 43);
  for (auto [x, y] : {std::pair{0, 0}, {42, 0}, {0, 42}, {42, 42}}) EXPECT_EQ(PixelAt(*wide, x, y), clWhite);
  // Row by row from the scan lines gives what the canvas walk gives.
  const int angles[] = {INT_MIN, -90, -30, 0,   1,   30,  45,  89,  91,  135,    179,
                        181,     225, 269, 270, 271, 300, 359, 361, 450, INT_MAX};
  for (auto [w, h] : {std::pair{9, 6}, {1, 1}, {1, 5}, {5, 1}})
    for (int degrees : angles) {
      auto picture = MakeTestBitmap(w, h);
      EXPECT_TRUE(SameColors(*Rotated(w, h, degrees), *CanvasTurn(*picture, degrees)))
          << w << "x" << h << " " << degrees;
    }
}

TEST(FlipRotateIncrease, RotateSmoothsOnceWithFlagOne) {
  for (auto [w, h] : {std::pair{8, 6}, {1, 1}, {1, 4}, {4, 1}})
    for (int degrees : {0, 45, 90, 180, 270}) {
      auto expected = Rotated(w, h, degrees);
      ApplyAntialias(*expected, 1);
      EXPECT_TRUE(SameColors(*Rotated(w, h, degrees, 1), *expected)) << degrees;
      EXPECT_TRUE(SameColors(*Rotated(w, h, degrees, 2), *Rotated(w, h, degrees))) << degrees;
    }
}

TEST(FlipRotateIncrease, IncreaseEnlargesTheCentre) {
  // Zoom 1: type 0 copies, the other type resamples at the same size.
  for (auto [w, h] : {std::pair{7, 5}, {1, 1}, {1, 6}, {6, 1}}) {
    EXPECT_TRUE(SameColors(*Increased(w, h, 1, 0), *MakeTestBitmap(w, h)));
    auto source = MakeTestBitmap(w, h), smoothed = MakeTestBitmap(w, h);
    StretchBicubic(*smoothed, *source);
    EXPECT_TRUE(SameColors(*Increased(w, h, 1, 1), *smoothed));
  }
  // Zoom 2 on 8 x 6: the 4 x 3 block at (2, 1), each pixel repeated.
  auto blocks = Increased(8, 6, 2, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(SourceOf(*blocks, x, y), Point(2 + x / 2, 1 + y / 2));
  // Zoom 3, resampled: the 3 x 3 centre of 9 x 9, bicubically.
  auto crop = std::make_unique<TBitmap>();
  crop->SetPixelFormat(pf24bit);
  crop->SetSize(3, 3);
  auto expected = MakeTestBitmap(9, 9);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) crop->Canvas()->SetPixel(x, y, PixelAt(*expected, 3 + x, 3 + y));
  StretchBicubic(*expected, *crop);
  EXPECT_TRUE(SameColors(*Increased(9, 9, 3, 1), *expected));
}

TEST(FlipRotateIncrease, IncreaseWithoutCentre) {
  for (int type : {0, 1}) {
    // A zoom above a side (or below 0) leaves no pixel to enlarge: nothing
    // changes.
    for (auto [w, h, zoom] : {std::tuple{9, 2, 3}, {1, 6, 2}, {6, 1, 2}, {1, 1, 2}, {5, 5, -1}})
      EXPECT_TRUE(SameColors(*Increased(w, h, zoom, type), *MakeTestBitmap(w, h))) << w << "x" << h;
    auto picture = MakeTestBitmap(4, 4);
    EXPECT_THROW(ApplyIncrease(*picture, 0, type), EDivByZero);
    EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(4, 4)));
  }
}
