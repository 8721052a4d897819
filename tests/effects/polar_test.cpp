// Polar and lens remaps. The expected tables were worked out with an
// independent calculator from the effects' definitions. On a MakeTestBitmap
// picture (blue = x, green = y) a pure remap's pixel names its source.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "effects/polar.h"
#include "tests/support/testsupport.h"

namespace {

// Blue 10 + 40x, green 20 + 45y, red 250 - 25(x + y): blends show.
std::unique_ptr<TBitmap> Spread(int width, int height) {
  auto picture = MakeTestBitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture->Canvas()->SetPixel(x, y, RGB(250 - 25 * (x + y), 20 + 45 * y, 10 + 40 * x));
  return picture;
}

// Runs the effect and expects the given exception and an unchanged picture.
template <typename Error>
void ExpectRefused(int width, int height, const std::function<void(TBitmap&)>& effect) {
  auto picture = MakeTestBitmap(width, height);
  EXPECT_THROW(effect(*picture), Error);
  EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(width, height)));
}

}  // namespace

TEST(PolarLensRemaps, Cylinder) {
  // R = 4: column trunc(acos((4 - x) / 4) * 8 / pi). Column 4 lands on 4
  // only because the product is stored as a double before the truncation.
  auto picture = MakeTestBitmap(8, 2);
  ApplyCylinder(*picture, 10);
  EXPECT_EQ(PixelTable(*picture, 2), "0,0 1,0 2,0 3,0 4,0 4,0 5,0 6,0\n0,1 1,1 2,1 3,1 4,1 4,1 5,1 6,1");
  // Stretch 1 spreads the left 0.2048 of the width over all of it.
  auto wide = MakeTestBitmap(100, 1);
  ApplyCylinder(*wide, 1);
  EXPECT_EQ(GetBValue(PixelAt(*wide, 99, 0)), 20);

  ExpectRefused<EZeroDivide>(12, 3, [](TBitmap& b) { ApplyCylinder(b, 0); });
  ExpectRefused<EInvalidOp>(12, 3, [](TBitmap& b) { ApplyCylinder(b, -1); });
  ExpectRefused<EInvalidOp>(12, 3, [](TBitmap& b) { ApplyCylinder(b, 12); });  // column 11 lies beyond
  // Stretch 20 on two columns reaches angle pi (column 2): the last column
  // stands in.
  auto narrow = MakeTestBitmap(2, 1);
  ApplyCylinder(*narrow, 20);
  EXPECT_EQ(PixelTable(*narrow, 2), "0,0 1,0");
}

TEST(PolarLensRemaps, Spheric) {
  // Row 2 takes its angles from atan2(-1, dx - 1); sources on column 0, row
  // 0 or outside take the top-left pixel.
  auto picture = MakeTestBitmap(6, 5);
  ApplySpheric(*picture, 3, 2);
  EXPECT_EQ(PixelTable(*picture, 2),
            "0,0 0,0 0,0 0,0 0,0 0,0\n0,0 1,1 2,1 3,1 3,1 4,1\n0,0 1,1 2,1 3,2 3,1 3,1\n"
            "0,0 1,2 2,2 3,2 3,2 4,2\n0,0 1,3 2,3 3,3 3,3 4,3");
  // A centre beyond the picture is limited to (W, H).
  auto corner = MakeTestBitmap(4, 3);
  ApplySpheric(*corner, 50, 50);
  EXPECT_EQ(PixelTable(*corner, 2), "0,0 0,0 0,0 0,0\n0,0 1,1 2,1 3,1\n0,0 1,2 2,2 3,2");

  ExpectRefused<EInvalidOp>(5, 4, [](TBitmap& b) { ApplySpheric(b, 0, 0); });    // 0 / 0 at (0, 0)
  ExpectRefused<EZeroDivide>(5, 4, [](TBitmap& b) { ApplySpheric(b, 0, -3); });  // the larger is 0
}

TEST(PolarLensRemaps, SwirlAndWarp) {
  // Degrees 0 still moves pixels: the centre-row angle is not the true one,
  // and cos(pi / 4) * sqrt(2) truncates either way of 1.
  auto still = MakeTestBitmap(5, 5);
  ApplySwirl(*still, 0);
  EXPECT_EQ(PixelTable(*still, 2),
            "0,0 1,0 2,0 3,0 4,0\n0,0 1,0 2,1 3,1 4,1\n0,1 1,1 2,2 2,1 3,0\n"
            "0,3 1,3 2,3 3,3 4,3\n0,4 1,4 2,4 3,4 4,4");
  // Coordinates not strictly inside keep the pixel's own, each on its own.
  auto turned = MakeTestBitmap(5, 4);
  ApplySwirl(*turned, 90);
  EXPECT_EQ(PixelTable(*turned, 2),
            "0,0 2,0 2,0 0,3 4,0\n3,3 3,1 3,2 2,3 4,2\n3,2 2,1 2,2 3,2 0,3\n4,1 1,0 1,2 0,2 0,0");

  // Warp sources outside 1..W-1 (1..H-1) fall back to column (row) 0.
  auto warped = MakeTestBitmap(6, 4);
  ApplyWarp(*warped, 2);
  EXPECT_EQ(PixelTable(*warped, 2),
            "0,0 1,0 2,0 3,0 4,0 5,0\n0,1 1,1 2,1 3,0 4,1 5,1\n0,2 1,2 2,2 3,2 3,0 5,0\n"
            "0,3 1,3 2,3 3,0 4,3 5,3");
  // Factor 0 paints everything with pixel (W div 2, H div 2).
  auto centre = MakeTestBitmap(3, 2);
  ApplyWarp(*centre, 0);
  EXPECT_EQ(PixelTable(*centre, 2), "1,1 1,1 1,1\n1,1 1,1 1,1");
}

TEST(PolarLensRemaps, Twist) {
  // In place: samples may read pixels already twisted. The last row and
  // column keep their pixels.
  auto picture = Spread(4, 3);
  ApplyTwist(*picture, 1);
  EXPECT_EQ(PixelTable(*picture, 3),
            "17,54,226 43,30,222 25,65,215 130,20,175\n53,58,201 72,64,185 68,75,181 130,65,150\n"
            "10,110,200 50,110,175 90,110,150 130,110,125");
  ExpectRefused<EZeroDivide>(3, 3, [](TBitmap& b) { ApplyTwist(b, 0); });
  // One row or one column has nothing to twist, not even by amount 0.
  for (auto [w, h] : std::vector<std::pair<int, int>>{{1, 6}, {6, 1}}) {
    auto thin = MakeTestBitmap(w, h);
    ApplyTwist(*thin, 0);
    EXPECT_TRUE(SameColors(*thin, *MakeTestBitmap(w, h)));
  }
}

TEST(PolarLensRemaps, FishEye) {
  auto bulge = MakeTestBitmap(9, 9);
  ApplyFishEye(*bulge, 70, 40, false);  // the radius is cut to 4
  EXPECT_EQ(PixelTable(*bulge, 2),
            "0,0 1,0 2,0 3,0 4,0 5,0 6,0 7,0 8,0\n0,1 1,1 3,2 4,2 4,2 4,2 5,2 7,1 8,1\n"
            "0,2 2,3 3,3 4,3 4,3 4,3 5,3 6,3 8,2\n0,3 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,3\n"
            "0,4 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,4\n0,5 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,5\n"
            "0,6 2,5 3,5 4,5 4,5 4,5 5,5 6,5 8,6\n0,7 1,7 3,6 4,6 4,6 4,6 5,6 7,7 8,7\n"
            "0,8 1,8 2,8 3,8 4,8 5,8 6,8 7,8 8,8");
  // Here the lens maps distance 4 to just under 4: the four pixels at
  // exactly the radius are remapped, everything else stays.
  auto pinch = MakeTestBitmap(9, 9);
  ApplyFishEye(*pinch, 7, 4, true);
  auto expected = MakeTestBitmap(9, 9);
  for (auto [x, y, sx, sy] :
       std::vector<std::array<int, 4>>{{4, 0, 4, 1}, {0, 4, 1, 4}, {8, 4, 7, 4}, {4, 8, 4, 7}})
    expected->Canvas()->SetPixel(x, y, PixelAt(*expected, sx, sy));
  EXPECT_TRUE(SameColors(*pinch, *expected));

  // No lens: min(W, H) div 2 or the radius below 4, or zoom 0 (the identity).
  for (auto [w, h, zoom, radius] :
       std::vector<std::array<int, 4>>{{7, 30, 70, 40}, {30, 7, 70, 40}, {30, 30, 70, 3}, {30, 30, 0, 10}}) {
    auto picture = MakeTestBitmap(w, h);
    ApplyFishEye(*picture, zoom, radius, true);
    EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(w, h)));
  }
  ExpectRefused<EInvalidOp>(30, 30, [](TBitmap& b) { ApplyFishEye(b, -1000, 10, false); });  // no logarithm
}

TEST(PolarLensRemaps, AnyPictureAnyArguments) {
  std::vector<std::function<void(TBitmap&)>> effects;
  for (int v : {0, 1, 10, 50, 180, -7, INT_MAX, INT_MIN}) {
    effects.push_back([v](TBitmap& b) { ApplyCylinder(b, v); });
    effects.push_back([v](TBitmap& b) { ApplySpheric(b, v, 50); });
    effects.push_back([v](TBitmap& b) { ApplySpheric(b, 3, v); });
    effects.push_back([v](TBitmap& b) { ApplySwirl(b, v); });
    effects.push_back([v](TBitmap& b) { ApplyTwist(b, v); });
    effects.push_back([v](TBitmap& b) { ApplyWarp(b, v); });
    effects.push_back([v](TBitmap& b) { ApplyFishEye(b, v, 40, false); });
    effects.push_back([v](TBitmap& b) { ApplyFishEye(b, 200, v, true); });
  }
  // A maths error is fine for arguments the dialogs never pass; anything
  // else, or an access outside the picture (sanitizer build), is not.
  for (const auto& effect : effects)
    for (auto [w, h] :
         std::vector<std::pair<int, int>>{{0, 5}, {5, 0}, {1, 1}, {1, 9}, {9, 1}, {2, 2}, {17, 9}}) {
      auto picture = MakeTestBitmap(w, h);
      try {
        effect(*picture);
      } catch (const EMathError&) {
      }
      EXPECT_EQ(picture->Width(), w);
      EXPECT_EQ(picture->Height(), h);
    }
  // Pure remaps keep a flat picture flat (the twist blends).
  effects = {[](TBitmap& b) { ApplyCylinder(b, 10); },
             [](TBitmap& b) { ApplySpheric(b, 50, 50); },
             [](TBitmap& b) { ApplySwirl(b, 3); },
             [](TBitmap& b) { ApplyWarp(b, 5); },
             [](TBitmap& b) { ApplyFishEye(b, 70, 40, false); },
             [](TBitmap& b) { ApplyFishEye(b, 200, 40, true); }};
  for (const auto& effect : effects) {
    auto picture = MakeTestBitmap(33, 21), flat = MakeTestBitmap(33, 21);
    for (TBitmap* b : {picture.get(), flat.get()}) {
      b->Canvas()->Brush.Color = RGB(90, 160, 230);
      b->Canvas()->FillRect(Rect(0, 0, 33, 21));
    }
    effect(*picture);
    EXPECT_TRUE(SameColors(*picture, *flat));
  }
}
