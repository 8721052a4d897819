// Flip, rotate and increase; white shows as 255,255 in a table of sources.
#include "effects/fliprotate.h"

#include <algorithm>
#include <cstdlib>

#include "effects/neighbourhood.h"
#include "effects/resample.h"
#include "tests/effects/effecttest.h"

namespace {

std::unique_ptr<TBitmap> Rotated(int width, int height, int degrees, int smooth = 0) {
  auto picture = MakeTestBitmap(width, height);
  ApplyRotate(*picture, degrees, smooth);
  return picture;
}

}  // namespace

TEST(FlipRotateIncrease, FlipMirrorsEachWay) {
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 0); }), "2,0 1,0 0,0\n2,1 1,1 0,1");
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 1); }), "0,1 1,1 2,1\n0,0 1,0 2,0");
  // Mode 2 and any other mode mirror both ways.
  EXPECT_EQ(SourcesAfter(3, 2, [](TBitmap& b) { ApplyFlip(b, 7); }), "2,1 1,1 0,1\n2,0 1,0 0,0");
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
  // Flag 1, and only 1, smooths the turned picture once.
  for (int degrees : {0, 45}) {
    auto expected = Rotated(8, 6, degrees);
    ApplyAntialias(*expected, 1);
    EXPECT_TRUE(SameColors(*Rotated(8, 6, degrees, 1), *expected)) << degrees;
    EXPECT_TRUE(SameColors(*Rotated(8, 6, degrees, 2), *Rotated(8, 6, degrees))) << degrees;
  }
}

TEST(FlipRotateIncrease, TurnedPicturesHaveZeroRowPadding) {
  // The turned picture's memory starts without a value; what lies past the
  // pixels of a row reaches BMP files, so it must be zero whatever the memory
  // held before (here, most likely, the poisoned block just freed).
  for (int degrees : {45, 90, 180}) {
    auto picture = MakeTestBitmap(31, 17);
    void* poison = std::malloc(8192);
    void* guard = std::malloc(64);  // keeps the freed block from the heap's top
    // Through volatile: a plain store before free may be left out.
    std::fill_n(static_cast<volatile uint8_t*>(poison), 8192, uint8_t(0xAB));
    std::free(poison);
    ApplyRotate(*picture, degrees, 0);
    std::free(guard);
    const size_t pixels = 3 * static_cast<size_t>(picture->Width());
    const size_t row = static_cast<size_t>(BytesPerScanLine(picture->Width(), 24));
    ASSERT_GT(row, pixels) << degrees;
    for (int y = 0; y < picture->Height(); ++y)
      for (size_t i = pixels; i < row; ++i) ASSERT_EQ(picture->ScanLine(y)[i], 0) << degrees << " row " << y;
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

  // A zoom above a side (or below 0) leaves no pixel to enlarge: nothing
  // changes. Zoom 0 divides by zero before any change.
  for (int type : {0, 1}) {
    EXPECT_TRUE(LeavesUnchanged(9, 2, [type](TBitmap& b) { ApplyIncrease(b, 3, type); }));
    EXPECT_TRUE(LeavesUnchanged(5, 5, [type](TBitmap& b) { ApplyIncrease(b, -1, type); }));
    ExpectRefused<EDivByZero>(4, 4, [type](TBitmap& b) { ApplyIncrease(b, 0, type); });
  }
}
