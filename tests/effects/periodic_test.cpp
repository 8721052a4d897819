// Periodic pattern effects: the bevelled grid, blocks, the tiled watermark
// and the shadow mask. The expected tables were worked out by hand from the
// effects' rules.
#include "effects/periodic.h"

#include <climits>

#include "tests/effects/effecttest.h"

namespace {

// The blue channel of a grey picture after the effect.
std::string GreyAfter(int width, int height, int value, const Effect& effect) {
  auto picture = MakeFlatBitmap(width, height, RGB(value, value, value));
  effect(*picture);
  return PixelTable(*picture, 1);
}

}  // namespace

TEST(PeriodicPatterns, GridEdgesAroundEveryCell) {
  // Step 5 on 7 x 7: lines at index mod 5 = 0 or 4; top edges on rows 1 and
  // 6, bottom edge on row 3, left edges on columns 1 and 6, right edge on
  // column 3; the row edges win at the corners.
  EXPECT_EQ(GreyAfter(7, 7, 128, [](TBitmap& b) { Apply3DGrid(b, 5, 50); }),
            "128 128 128 128 128 128 128\n128 78 78 78 128 128 78\n128 178 128 78 128 128 178\n"
            "128 178 178 178 128 128 178\n128 128 128 128 128 128 128\n128 128 128 128 128 128 128\n"
            "128 78 78 78 128 128 78");
  // A step beyond both sides is cut to max(W, H) = 4: one cell. A huge
  // negative depth saturates the other way round.
  EXPECT_EQ(GreyAfter(4, 3, 128, [](TBitmap& b) { Apply3DGrid(b, 100, 50); }),
            "128 128 128 128\n128 78 78 128\n128 178 178 128");
  EXPECT_EQ(GreyAfter(4, 3, 128, [](TBitmap& b) { Apply3DGrid(b, 4, INT_MIN); }),
            "128 128 128 128\n128 255 255 128\n128 0 0 128");

  for (int step : {INT_MIN, 0, 1, 2})
    EXPECT_TRUE(LeavesUnchanged(9, 7, [step](TBitmap& b) { Apply3DGrid(b, step, 60); }));
  EXPECT_TRUE(LeavesUnchanged(9, 7, [](TBitmap& b) { Apply3DGrid(b, 3, 0); }));
}

TEST(PeriodicPatterns, PixelateTakesTheNextBlocksCorner) {
  // Size 1 moves the picture up and left; the last column reads the row
  // below, the last row the column to the right, the corner stays.
  EXPECT_EQ(SourcesAfter(3, 3, [](TBitmap& b) { ApplyPixelate(b, 1); }),
            "1,1 2,1 2,1\n1,2 2,2 2,2\n1,2 2,2 2,2");
  // A size of W or more pixelates only down; the last band stays.
  EXPECT_EQ(SourcesAfter(3, 5, [](TBitmap& b) { ApplyPixelate(b, 3); }),
            "0,3 1,3 2,3\n0,3 1,3 2,3\n0,3 1,3 2,3\n0,3 1,3 2,3\n0,4 1,4 2,4");
  for (int size : {INT_MIN, 0, INT_MAX})
    EXPECT_TRUE(LeavesUnchanged(6, 5, [size](TBitmap& b) { ApplyPixelate(b, size); }));
}

TEST(PeriodicPatterns, WatermarkPressesTheTiledPattern) {
  // Pattern 2 x 2: white (d = 381 * 70 / 765 = 34), black (d = -35, the
  // division truncates toward zero), the neutral sum 384 and pure red (sum
  // 255, d = -11), repeated from the top-left corner.
  auto pattern = MakeColorBitmap(2, {clWhite, clBlack, RGB(128, 128, 128), RGB(255, 0, 0)});
  EXPECT_EQ(GreyAfter(5, 3, 100, [&](TBitmap& b) { ApplyWatermark(b, *pattern, 70, false); }),
            "66 135 66 135 66\n100 111 100 111 100\n66 135 66 135 66");
  // The product does not overflow; the channels saturate.
  EXPECT_EQ(GreyAfter(3, 1, 100, [&](TBitmap& b) { ApplyWatermark(b, *pattern, INT_MAX, false); }),
            "0 255 0");
  // A pattern larger than the picture, in another pixel format.
  auto large = MakeFlatBitmap(9, 9, clWhite, pf8bit);
  EXPECT_EQ(GreyAfter(2, 1, 200, [&](TBitmap& b) { ApplyWatermark(b, *large, 70, false); }), "166 166");

  EXPECT_TRUE(LeavesUnchanged(5, 4, [&](TBitmap& b) { ApplyWatermark(b, *pattern, 0, true); }));
  auto noColumns = MakeFlatBitmap(0, 3, clBlack);
  EXPECT_TRUE(LeavesUnchanged(5, 4, [&](TBitmap& b) { ApplyWatermark(b, *noColumns, 70, false); }));
}

TEST(PeriodicPatterns, VideoBrightensTheMasksChannel) {
  // Type 1 whole rows: red, green, blue, red ...; lightness 0 still doubles.
  auto rows = MakeFlatBitmap(1, 4, RGB(30, 20, 10));
  ApplyVideo(*rows, 0, 1);
  EXPECT_EQ(PixelTable(*rows), "10,20,60\n10,40,30\n20,20,30\n10,20,60");
  // Type 0 (2 x 6: 01 02 12 10 20 21) repeated both ways: blue 240 marks
  // cell 2, green 240 cell 1.
  auto mask = MakeFlatBitmap(3, 7, RGB(100, 100, 100));
  ApplyVideo(*mask, 40, 0);
  EXPECT_EQ(PixelTable(*mask, 2),
            "100,100 100,240 100,100\n100,100 240,100 100,100\n100,240 240,100 100,240\n"
            "100,240 100,100 100,240\n240,100 100,100 240,100\n240,100 100,240 240,100\n"
            "100,100 100,240 100,100");
  // Saturation at both ends, without overflow.
  auto ends = MakeFlatBitmap(1, 1, RGB(100, 0, 0));
  ApplyVideo(*ends, 56, 1);
  EXPECT_EQ(PixelAt(*ends, 0, 0), RGB(255, 0, 0));
  ApplyVideo(*ends, INT_MIN, 1);
  EXPECT_EQ(PixelAt(*ends, 0, 0), RGB(0, 0, 0));

  for (int type : {-1, 4})
    EXPECT_TRUE(LeavesUnchanged(4, 4, [type](TBitmap& p) { ApplyVideo(p, 40, type); }));
}

TEST(PeriodicPatterns, VideoMasksOfEveryType) {
  // Each type's mask, one text per mask row, repeated across and down a
  // picture larger than every mask: the digit names the channel that came
  // out doubled (0 red, 1 green, 2 blue).
  const std::vector<std::vector<std::string>> masks = {
      {"01", "02", "12", "10", "20", "21"},
      {"0", "1", "2"},
      {"012", "201", "120"},
      {"01200", "11120", "01222", "00120", "01112", "20122", "00012", "20111", "22012", "20001", "12011", "22201",
       "12000", "11201", "12220"}};
  for (int type = 0; type < 4; ++type) {
    auto picture = MakeFlatBitmap(7, 17, RGB(100, 100, 100));
    ApplyVideo(*picture, 40, type);
    std::string shown, expected;
    for (int y = 0; y < 17; ++y) {
      const std::string& maskRow = masks[type][y % masks[type].size()];
      for (int x = 0; x < 7; ++x) {
        TColor c = PixelAt(*picture, x, y);
        const int channels[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
        for (int i = 0; i < 3; ++i)
          if (channels[i] == 240) shown += char('0' + i);
        expected += maskRow[x % maskRow.size()];
      }
    }
    EXPECT_EQ(shown, expected) << "type " << type;
  }
}
