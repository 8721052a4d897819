// Periodic pattern effects: the bevelled grid, blocks, the tiled watermark
// and the shadow mask. The expected tables were worked out by hand from the
// effects' rules. On a MakeTestBitmap picture (blue = x, green = y) a pixel
// that only moves names its source.
#include "effects/periodic.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "tests/support/testsupport.h"

namespace {

using Effect = std::function<void(TBitmap&)>;

std::unique_ptr<TBitmap> Flat(int width, int height, TColor color, TPixelFormat format = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(width, height);
  b->Canvas()->Brush.Color = color;
  b->Canvas()->FillRect(Rect(0, 0, width, height));
  return b;
}

void ExpectUnchanged(int width, int height, const Effect& effect) {
  auto picture = MakeTestBitmap(width, height);
  effect(*picture);
  EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(width, height))) << width << " x " << height;
}

// The blue channel of a grey picture after the effect.
std::string Grey(int width, int height, int value, const Effect& effect) {
  auto picture = Flat(width, height, RGB(value, value, value));
  effect(*picture);
  return PixelTable(*picture, 1);
}

}  // namespace

TEST(PeriodicPatterns, GridEdgesAroundEveryCell) {
  // Step 5 on 7 x 7: lines at index mod 5 = 0 or 4; top edges on rows 1 and
  // 6, bottom edge on row 3, left edges on columns 1 and 6, right edge on
  // column 3; the row edges win at the corners.
  EXPECT_EQ(Grey(7, 7, 128, [](TBitmap& b) { Apply3DGrid(b, 5, 50); }),
            "128 128 128 128 128 128 128\n128 78 78 78 128 128 78\n128 178 128 78 128 128 178\n"
            "128 178 178 178 128 128 178\n128 128 128 128 128 128 128\n128 128 128 128 128 128 128\n"
            "128 78 78 78 128 128 78");
  // Step 3: every cell is one pixel and gets -depth.
  EXPECT_EQ(
      Grey(5, 5, 100, [](TBitmap& b) { Apply3DGrid(b, 3, 60); }),
      "100 100 100 100 100\n100 40 100 100 40\n100 100 100 100 100\n100 100 100 100 100\n100 40 100 100 40");
  // A step beyond both sides is cut to max(W, H) = 4: one cell. A huge
  // negative depth saturates the other way round.
  EXPECT_EQ(Grey(4, 3, 128, [](TBitmap& b) { Apply3DGrid(b, 100, 50); }),
            "128 128 128 128\n128 78 78 128\n128 178 178 128");
  EXPECT_EQ(Grey(4, 3, 128, [](TBitmap& b) { Apply3DGrid(b, 4, INT_MIN); }),
            "128 128 128 128\n128 255 255 128\n128 0 0 128");

  for (int step : {INT_MIN, 0, 1, 2}) ExpectUnchanged(9, 7, [step](TBitmap& b) { Apply3DGrid(b, step, 60); });
  ExpectUnchanged(9, 7, [](TBitmap& b) { Apply3DGrid(b, 3, 0); });
}

TEST(PeriodicPatterns, PixelateTakesTheNextBlocksCorner) {
  // Size 1 moves the picture up and left; the last column reads the row
  // below, the last row the column to the right, the corner stays.
  auto one = MakeTestBitmap(3, 3);
  ApplyPixelate(*one, 1);
  EXPECT_EQ(PixelTable(*one, 2), "1,1 2,1 2,1\n1,2 2,2 2,2\n1,2 2,2 2,2");
  auto two = MakeTestBitmap(5, 5);
  ApplyPixelate(*two, 2);
  EXPECT_EQ(PixelTable(*two, 2),
            "2,2 2,2 4,2 4,2 4,2\n2,2 2,2 4,2 4,2 4,2\n2,4 2,4 4,4 4,4 4,4\n"
            "2,4 2,4 4,4 4,4 4,4\n2,4 2,4 4,4 4,4 4,4");
  // A size of W or more pixelates only down; the last band stays.
  auto tall = MakeTestBitmap(3, 5);
  ApplyPixelate(*tall, 3);
  EXPECT_EQ(PixelTable(*tall, 2), "0,3 1,3 2,3\n0,3 1,3 2,3\n0,3 1,3 2,3\n0,3 1,3 2,3\n0,4 1,4 2,4");

  for (int size : {INT_MIN, 0, INT_MAX})
    ExpectUnchanged(6, 5, [size](TBitmap& b) { ApplyPixelate(b, size); });
}

TEST(PeriodicPatterns, WatermarkPressesTheTiledPattern) {
  // Pattern 2 x 2: white (d = 381 * 70 / 765 = 34), black (d = -35, the
  // division truncates toward zero), the neutral sum 384 and pure red (sum
  // 255, d = -11), repeated from the top-left corner.
  auto pattern = Flat(2, 2, clWhite);
  pattern->Canvas()->SetPixel(1, 0, clBlack);
  pattern->Canvas()->SetPixel(0, 1, RGB(128, 128, 128));
  pattern->Canvas()->SetPixel(1, 1, RGB(255, 0, 0));
  EXPECT_EQ(Grey(5, 3, 100, [&](TBitmap& b) { ApplyWatermark(b, *pattern, 70, false); }),
            "66 135 66 135 66\n100 111 100 111 100\n66 135 66 135 66");
  EXPECT_EQ(Grey(5, 3, 100, [&](TBitmap& b) { ApplyWatermark(b, *pattern, 70, true); }),
            "134 65 134 65 134\n100 89 100 89 100\n134 65 134 65 134");
  // The product does not overflow; the channels saturate.
  EXPECT_EQ(Grey(3, 1, 100, [&](TBitmap& b) { ApplyWatermark(b, *pattern, INT_MAX, false); }), "0 255 0");
  // A pattern larger than the picture, in another pixel format.
  auto large = Flat(9, 9, clWhite, pf8bit);
  EXPECT_EQ(Grey(2, 1, 200, [&](TBitmap& b) { ApplyWatermark(b, *large, 70, false); }), "166 166");

  ExpectUnchanged(5, 4, [&](TBitmap& b) { ApplyWatermark(b, *pattern, 0, true); });
  TBitmap empty;
  ExpectUnchanged(5, 4, [&](TBitmap& b) { ApplyWatermark(b, empty, 70, false); });
  auto noColumns = Flat(0, 3, clBlack);
  ExpectUnchanged(5, 4, [&](TBitmap& b) { ApplyWatermark(b, *noColumns, 70, false); });
}

TEST(PeriodicPatterns, VideoBrightensTheMasksChannel) {
  // Type 1 whole rows: red, green, blue, red ...; lightness 0 still doubles.
  auto rows = Flat(2, 4, RGB(30, 20, 10));
  ApplyVideo(*rows, 0, 1);
  EXPECT_EQ(PixelTable(*rows), "10,20,60 10,20,60\n10,40,30 10,40,30\n20,20,30 20,20,30\n10,20,60 10,20,60");
  // Type 2 (012 201 120), channels 2 c + 5.
  auto diagonal = Flat(3, 3, RGB(1, 2, 3));
  ApplyVideo(*diagonal, 5, 2);
  EXPECT_EQ(PixelTable(*diagonal), "3,2,7 3,9,1 11,2,1\n11,2,1 3,2,7 3,9,1\n3,9,1 11,2,1 3,2,7");
  // Type 0 (2 x 6: 01 02 12 10 20 21) repeated both ways: the channel that
  // became 240 at each pixel.
  auto mask = Flat(3, 7, RGB(100, 100, 100));
  ApplyVideo(*mask, 40, 0);
  std::string named;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 3; ++x) {
      TColor c = PixelAt(*mask, x, y);
      if (x == 0 && y > 0) named += '\n';
      named += GetRValue(c) == 240 ? '0' : GetGValue(c) == 240 ? '1' : '2';
    }
  EXPECT_EQ(named, "010\n020\n121\n101\n202\n212\n010");
  // Type 3 (5 x 15): row 14 "12220", row 1 "11120", row 11 "22201".
  auto wide = Flat(8, 17, RGB(50, 50, 50));
  ApplyVideo(*wide, 0, 3);
  EXPECT_EQ(PixelAt(*wide, 4, 14), RGB(100, 50, 50));
  EXPECT_EQ(PixelAt(*wide, 7, 16), RGB(50, 100, 50));
  EXPECT_EQ(PixelAt(*wide, 6, 11), RGB(50, 50, 100));
  // Saturation at both ends, without overflow.
  auto ends = Flat(1, 1, RGB(100, 0, 0));
  ApplyVideo(*ends, 56, 1);
  EXPECT_EQ(PixelAt(*ends, 0, 0), RGB(255, 0, 0));
  ApplyVideo(*ends, -300, 1);
  EXPECT_EQ(PixelAt(*ends, 0, 0), RGB(210, 0, 0));
  ApplyVideo(*ends, INT_MIN, 1);
  EXPECT_EQ(PixelAt(*ends, 0, 0), RGB(0, 0, 0));

  for (int type : {-1, 4}) ExpectUnchanged(4, 4, [type](TBitmap& p) { ApplyVideo(p, 40, type); });
}

TEST(PeriodicPatterns, TinyAndEmptyPictures) {
  // The job's default pattern: a square of 0x008000 (sum 128, d = -23).
  auto green = Flat(60, 60, 0x008000);
  const std::vector<Effect> effects = {
      [](TBitmap& b) { Apply3DGrid(b, 32, 60); }, [](TBitmap& b) { Apply3DGrid(b, 3, 60); },
      [](TBitmap& b) { ApplyPixelate(b, 3); },    [&](TBitmap& b) { ApplyWatermark(b, *green, 70, false); },
      [](TBitmap& b) { ApplyVideo(b, 40, 0); },   [](TBitmap& b) { ApplyVideo(b, 40, 3); }};
  for (const Effect& effect : effects)
    for (auto [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}, {1, 1}, {1, 7}, {7, 1}}) {
      auto picture = MakeTestBitmap(w, h);
      effect(*picture);
      EXPECT_EQ(picture->Width() * 100 + picture->Height(), w * 100 + h);
    }

  ExpectUnchanged(1, 1, [](TBitmap& b) { Apply3DGrid(b, 32, 60); });
  ExpectUnchanged(1, 7, [](TBitmap& b) { Apply3DGrid(b, 32, 60); });
  ExpectUnchanged(1, 1, [](TBitmap& b) { ApplyPixelate(b, 3); });
  // Blocks of 3 along 7: index 0..2 take 3, 3..5 take 6, 6 stays.
  auto column = MakeTestBitmap(1, 7), row = MakeTestBitmap(7, 1);
  ApplyPixelate(*column, 3);
  ApplyPixelate(*row, 3);
  EXPECT_EQ(PixelTable(*column, 2), "0,3\n0,3\n0,3\n0,6\n0,6\n0,6\n0,6");
  EXPECT_EQ(PixelTable(*row, 2), "3,0 3,0 3,0 6,0 6,0 6,0 6,0");
  auto dot = Flat(1, 1, RGB(10, 250, 100));
  ApplyWatermark(*dot, *green, 70, false);
  EXPECT_EQ(PixelAt(*dot, 0, 0), RGB(33, 255, 123));
  ApplyVideo(*dot, 40, 0);
  EXPECT_EQ(PixelAt(*dot, 0, 0), RGB(106, 255, 123));
}
