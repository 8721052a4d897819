// Flip, rotate and increase; white shows as 255,255 in a table of sources.
#include "effects/fliprotate.h"

#include <cmath>
#include <numbers>

#include "effects/neighbourhood.h"
#include "effects/resample.h"
#include "tests/effects/effecttest.h"

namespace {

// The turn by any angle done the plain way: column by column, every pixel
// read and written through the canvases.
std::unique_ptr<TBitmap> CanvasTurn(TBitmap& picture, int degrees) {
  const int w = picture.Width(), h = picture.Height();
  const auto t = static_cast<double>(1.0L * degrees * 2 * std::numbers::pi_v<long double> * (1.0L / 360));
  const double c = std::cos(t), s = std::sin(t);
  const double minX = std::min({0.0, -h * s, w * c, w * c - h * s});
  const double maxX = std::max({0.0, -h * s, w * c, w * c - h * s});
  const double minY = std::min({0.0, h * c, w * s, h * c + w * s});
  const double maxY = std::max({0.0, h * c, w * s, h * c + w * s});
  auto turned = MakeFlatBitmap(static_cast<int>(std::ceil(maxX - minX)),
                               static_cast<int>(std::ceil(maxY - minY)), clWhite);
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

}  // namespace

TEST(FlipRotateIncrease, FlipMirrorsEachWay) {
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 0); }), "2,0 1,0 0,0\n2,1 1,1 0,1");
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 1); }), "0,1 1,1 2,1\n0,0 1,0 2,0");
  const std::string both = SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 2); });
  EXPECT_EQ(both, "2,1 1,1 0,1\n2,0 1,0 0,0");
  auto twice = MakeTestBitmap(3, 2);
  ApplyFlip(*twice, 0);
  ApplyFlip(*twice, 1);
  EXPECT_EQ(PixelTable(*twice, 2), both);
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 7); }), both);  // other modes mirror both ways
}

TEST(FlipRotateIncrease, RotateByRightAngles) {
  // 90: an exact quarter turn to the left; 180: a half turn.
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyRotate(b, 90, 0); }), "2,0 2,1\n1,0 1,1\n0,0 0,1");
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyRotate(b, 180, 0); }), "2,1 1,1 0,1\n2,0 1,0 0,0");
  // 270 goes through the general turn: the truncated mapping leaves a white
  // row and repeats a column inside a box one pixel larger each way.
  EXPECT_EQ(
      PixelTable(*Rotated(4, 3, 270), 2),
      "255,255 255,255 255,255 255,255\n3,0 3,0 3,1 3,2\n2,0 2,0 2,1 2,2\n1,0 1,0 1,1 1,2\n0,0 0,0 0,1 0,2");
  // 0 also goes through it and maps every pixel to itself; 360 changes
  // nothing, not even with smoothing.
  EXPECT_TRUE(LeavesUnchanged(6, 4, [](TBitmap& b) { ApplyRotate(b, 0, 0); }));
  EXPECT_TRUE(LeavesUnchanged(6, 4, [](TBitmap& b) { ApplyRotate(b, 360, 1); }));
}

TEST(FlipRotateIncrease, RotateByAnyAngle) {
  // 45 degrees: about (W + H) / sqrt(2) each way, white corners.
  auto wide = Rotated(40, 20, 45);
  EXPECT_EQ(wide->Width(), 43);
  EXPECT_EQ(wide->Height(), 43);
  for (auto [x, y] : {std::pair{0, 0}, {42, 0}, {0, 42}, {42, 42}}) EXPECT_EQ(PixelAt(*wide, x, y), clWhite);
  // Row by row from the scan lines gives what the canvas walk gives.
  for (int degrees : {-90, 1, 30, 45, 91, 135, 225, 269, 271, 300, 359}) {
    auto picture = MakeNoiseBitmap(9, 6, 1), turned = MakeNoiseBitmap(9, 6, 1);
    ApplyRotate(*turned, degrees, 0);
    EXPECT_TRUE(SameColors(*turned, *CanvasTurn(*picture, degrees))) << degrees;
  }
  // Flag 1, and only 1, smooths the turned picture once.
  for (int degrees : {0, 45, 90}) {
    auto expected = Rotated(8, 6, degrees);
    ApplyAntialias(*expected, 1);
    EXPECT_TRUE(SameColors(*Rotated(8, 6, degrees, 1), *expected)) << degrees;
    EXPECT_TRUE(SameColors(*Rotated(8, 6, degrees, 2), *Rotated(8, 6, degrees))) << degrees;
  }
}

TEST(FlipRotateIncrease, IncreaseEnlargesTheCentre) {
  // Zoom 1: type 0 copies, the other type resamples at the same size.
  EXPECT_TRUE(LeavesUnchanged(7, 5, [](TBitmap& b) { ApplyIncrease(b, 1, 0); }));
  auto smoothed = MakeTestBitmap(7, 5), increased = MakeTestBitmap(7, 5);
  StretchBicubic(*smoothed, *MakeTestBitmap(7, 5));
  ApplyIncrease(*increased, 1, 1);
  EXPECT_TRUE(SameColors(*increased, *smoothed));
  // Zoom 2 on 4 x 4: the 2 x 2 block at (1, 1), each pixel repeated.
  EXPECT_EQ(SourcesAfter(4, 4, [](TBitmap& b) { ApplyIncrease(b, 2, 0); }),
            "1,1 1,1 2,1 2,1\n1,1 1,1 2,1 2,1\n1,2 1,2 2,2 2,2\n1,2 1,2 2,2 2,2");
  // Zoom 3, resampled: the 3 x 3 centre of 9 x 9, bicubically.
  auto expected = MakeTestBitmap(9, 9), crop = MakeTestBitmap(3, 3);
  for (int i = 0; i < 9; ++i)
    crop->Canvas()->SetPixel(i % 3, i / 3, PixelAt(*expected, 3 + i % 3, 3 + i / 3));
  StretchBicubic(*expected, *crop);
  auto picture = MakeTestBitmap(9, 9);
  ApplyIncrease(*picture, 3, 1);
  EXPECT_TRUE(SameColors(*picture, *expected));

  // A zoom above a side (or below 0) leaves no pixel to enlarge: nothing
  // changes. Zoom 0 divides by zero before any change.
  for (int type : {0, 1}) {
    EXPECT_TRUE(LeavesUnchanged(9, 2, [type](TBitmap& b) { ApplyIncrease(b, 3, type); }));
    EXPECT_TRUE(LeavesUnchanged(5, 5, [type](TBitmap& b) { ApplyIncrease(b, -1, type); }));
    ExpectRefused<EDivByZero>(4, 4, [type](TBitmap& b) { ApplyIncrease(b, 0, type); });
  }
}
