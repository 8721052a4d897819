// Polar and lens remaps. The expected tables were worked out with an
// independent calculator from the effects' definitions.
#include "effects/polar.h"

#include "tests/effects/effecttest.h"

TEST(PolarLensRemaps, Cylinder) {
  // R = 4: column trunc(acos((4 - x) / 4) * 8 / pi). Column 4 lands on 4
  // only because the product is stored as a double before the truncation.
  EXPECT_EQ(SourcesAfter(8, 2, [](TBitmap& b) { ApplyCylinder(b, 10); }),
            "0,0 1,0 2,0 3,0 4,0 4,0 5,0 6,0\n0,1 1,1 2,1 3,1 4,1 4,1 5,1 6,1");
  // Stretch 1 spreads the left 0.2048 of the width over all of it.
  auto wide = MakeTestBitmap(100, 1);
  ApplyCylinder(*wide, 1);
  EXPECT_EQ(GetBValue(PixelAt(*wide, 99, 0)), 20);
  // Stretch 20 on two columns reaches angle pi (column 2): the last column
  // stands in.
  EXPECT_EQ(SourcesAfter(2, 1, [](TBitmap& b) { ApplyCylinder(b, 20); }), "0,0 1,0");

  ExpectRefused<EZeroDivide>(12, 3, [](TBitmap& b) { ApplyCylinder(b, 0); });
  ExpectRefused<EInvalidOp>(12, 3, [](TBitmap& b) { ApplyCylinder(b, -1); });
  ExpectRefused<EInvalidOp>(12, 3, [](TBitmap& b) { ApplyCylinder(b, 12); });  // column 11 lies beyond
}

TEST(PolarLensRemaps, Spheric) {
  // Row 2 takes its angles from atan2(-1, dx - 1); sources on column 0, row
  // 0 or outside take the top-left pixel.
  EXPECT_EQ(SourcesAfter(6, 5, [](TBitmap& b) { ApplySpheric(b, 3, 2); }),
            "0,0 0,0 0,0 0,0 0,0 0,0\n0,0 1,1 2,1 3,1 3,1 4,1\n0,0 1,1 2,1 3,2 3,1 3,1\n"
            "0,0 1,2 2,2 3,2 3,2 4,2\n0,0 1,3 2,3 3,3 3,3 4,3");

  ExpectRefused<EInvalidOp>(5, 4, [](TBitmap& b) { ApplySpheric(b, 0, 0); });    // 0 / 0 at (0, 0)
  ExpectRefused<EZeroDivide>(5, 4, [](TBitmap& b) { ApplySpheric(b, 0, -3); });  // the larger is 0
}

TEST(PolarLensRemaps, SwirlAndWarp) {
  // Degrees 0 still moves pixels: the centre-row angle is not the true one,
  // and cos(pi / 4) * sqrt(2) truncates either way of 1.
  EXPECT_EQ(SourcesAfter(5, 5, [](TBitmap& b) { ApplySwirl(b, 0); }),
            "0,0 1,0 2,0 3,0 4,0\n0,0 1,0 2,1 3,1 4,1\n0,1 1,1 2,2 2,1 3,0\n"
            "0,3 1,3 2,3 3,3 4,3\n0,4 1,4 2,4 3,4 4,4");
  // Coordinates not strictly inside keep the pixel's own, each on its own.
  EXPECT_EQ(SourcesAfter(5, 4, [](TBitmap& b) { ApplySwirl(b, 90); }),
            "0,0 2,0 2,0 0,3 4,0\n3,3 3,1 3,2 2,3 4,2\n3,2 2,1 2,2 3,2 0,3\n4,1 1,0 1,2 0,2 0,0");

  // Warp sources outside 1..W-1 (1..H-1) fall back to column (row) 0.
  EXPECT_EQ(SourcesAfter(6, 4, [](TBitmap& b) { ApplyWarp(b, 2); }),
            "0,0 1,0 2,0 3,0 4,0 5,0\n0,1 1,1 2,1 3,0 4,1 5,1\n0,2 1,2 2,2 3,2 3,0 5,0\n"
            "0,3 1,3 2,3 3,0 4,3 5,3");
}

TEST(PolarLensRemaps, Twist) {
  // In place: samples may read pixels already twisted. The last row and
  // column keep their pixels.
  auto picture = MakeSpreadBitmap(4, 3);
  ApplyTwist(*picture, 1);
  EXPECT_EQ(PixelTable(*picture),
            "17,54,226 43,30,222 25,65,215 130,20,175\n53,58,201 72,64,185 68,75,181 130,65,150\n"
            "10,110,200 50,110,175 90,110,150 130,110,125");
  ExpectRefused<EZeroDivide>(3, 3, [](TBitmap& b) { ApplyTwist(b, 0); });
  // One row or one column has nothing to twist, not even by amount 0.
  EXPECT_TRUE(LeavesUnchanged(1, 6, [](TBitmap& b) { ApplyTwist(b, 0); }));
}

TEST(PolarLensRemaps, FishEye) {
  // The radius is cut to 4.
  EXPECT_EQ(SourcesAfter(9, 9, [](TBitmap& b) { ApplyFishEye(b, 70, 40, false); }),
            "0,0 1,0 2,0 3,0 4,0 5,0 6,0 7,0 8,0\n0,1 1,1 3,2 4,2 4,2 4,2 5,2 7,1 8,1\n"
            "0,2 2,3 3,3 4,3 4,3 4,3 5,3 6,3 8,2\n0,3 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,3\n"
            "0,4 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,4\n0,5 2,4 3,4 4,4 4,4 4,4 5,4 6,4 8,5\n"
            "0,6 2,5 3,5 4,5 4,5 4,5 5,5 6,5 8,6\n0,7 1,7 3,6 4,6 4,6 4,6 5,6 7,7 8,7\n"
            "0,8 1,8 2,8 3,8 4,8 5,8 6,8 7,8 8,8");

  // No lens: min(W, H) div 2 or the radius below 4, or zoom 0 (the identity).
  EXPECT_TRUE(LeavesUnchanged(7, 30, [](TBitmap& b) { ApplyFishEye(b, 70, 40, true); }));
  EXPECT_TRUE(LeavesUnchanged(30, 30, [](TBitmap& b) { ApplyFishEye(b, 0, 10, true); }));
  ExpectRefused<EInvalidOp>(30, 30, [](TBitmap& b) { ApplyFishEye(b, -1000, 10, false); });  // no logarithm
}
