// Row and tile redraw effects: the ribbon wave, wind, texturing and the
// figure outlines. The expected tables were worked out by hand from the
// effects' rules.
#include "effects/rowtile.h"

#include <climits>

#include "tests/effects/effecttest.h"

namespace {

// The expected sources of a test picture whose row y shows the source
// columns rows[y] (-1 for white), each pixel from its own row.
std::string Rows(const std::vector<std::vector<int>>& rows) {
  std::string text;
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      int c = rows[y][x];
      text += x ? " " : (y ? "\n" : "");
      text += c < 0 ? "255,255" : std::to_string(c) + "," + std::to_string(y);
    }
  return text;
}

// The same source table in every row.
std::string Repeated(const std::string& row, int times) {
  std::string text = row;
  for (int i = 1; i < times; ++i) text += "\n" + row;
  return text;
}

}  // namespace

TEST(RowTileRedraw, RibbonMovesColumnsAlongTheWave) {
  // W 4, H 8, width 100: a = 6; frequency 20 gives k = pi / 2, so the
  // offsets are 0, 3, 6, 3 and the columns move up 6, 3, 0, 3 rows.
  EXPECT_EQ(SourcesAfter(4, 8, [](TBitmap& b) { ApplyRibbon(b, 100, 20); }),
            "0,6 1,0 2,0 3,0\n0,7 1,1 2,1 3,1\n0,2 1,2 2,2 3,2\n0,3 1,6 2,3 3,6\n"
            "0,4 1,7 2,4 3,7\n0,5 1,5 2,5 3,5\n0,6 1,6 2,6 3,6\n0,7 1,7 2,7 3,7");
  // Frequency 0 (also a negative one, with a width above 100 acting as
  // 100): everything moves up by a, the bottom a rows keep their colours.
  EXPECT_EQ(SourcesAfter(1, 8, [](TBitmap& b) { ApplyRibbon(b, INT_MAX, INT_MIN); }),
            "0,6\n0,7\n0,2\n0,3\n0,4\n0,5\n0,6\n0,7");
  for (int width : {INT_MIN, 0})
    EXPECT_TRUE(LeavesUnchanged(5, 9, [width](TBitmap& b) { ApplyRibbon(b, width, 50); }));
}

TEST(RowTileRedraw, WindSmearsRuns) {
  // Level 5: period 5. Row 1 re-samples where x mod 5 = 0 or x mod 3 = 1,
  // row 3 where x mod 2 = 0 or x mod 3 = 1; rows with step 1 stay.
  auto five = MakeTestBitmap(12, 5);
  ApplyWind(*five, 5);
  EXPECT_EQ(PixelTable(*five, 1),
            "0 1 2 3 4 5 6 7 8 9 10 11\n0 1 1 1 4 5 5 7 7 7 10 10\n0 1 2 3 4 5 6 7 8 9 10 11\n"
            "0 1 2 2 4 4 6 7 8 8 10 10\n0 1 2 3 4 5 6 7 8 9 10 11");
  // Level 6 acts as 7, period 7: steps 7, 1, 2, 3, 2, 1 on rows 1 to 6 with
  // second periods 5, 4, 3, 4, 5, 6.
  auto six = MakeTestBitmap(12, 7);
  ApplyWind(*six, 6);
  EXPECT_EQ(PixelTable(*six, 1),
            "0 1 2 3 4 5 6 7 8 9 10 11\n0 1 1 1 1 1 6 7 7 7 7 11\n0 1 2 3 4 5 6 7 8 9 10 11\n"
            "0 1 2 2 4 4 6 7 8 8 10 10\n0 1 1 3 3 5 6 6 6 9 9 9\n0 1 2 2 4 4 6 6 8 8 10 11\n"
            "0 1 2 3 4 5 6 7 8 9 10 11");
  for (int level : {INT_MIN, 0, 4})
    EXPECT_TRUE(LeavesUnchanged(12, 8, [level](TBitmap& b) { ApplyWind(b, level); }));
}

TEST(RowTileRedraw, TexturingTilesAShrunkCopy) {
  // Type 1 on 8 x 6, level 2: a 2 x 2 tile of the pixels (0 or 4, 0 or 3)
  // dropped from the picture, side by side.
  EXPECT_EQ(SourcesAfter(8, 6, [](TBitmap& b) { ApplyTexturing(b, 2, 1); }),
            Repeated("0,0 4,0 0,0 4,0 0,0 4,0 0,0 4,0\n0,3 4,3 0,3 4,3 0,3 4,3 0,3 4,3", 3));
  // Type 0 on 9 x 6, level 3: a 3 x 3 tile of columns 0, 3, 6 and rows 0,
  // 2, 4 drawn every 2 pixels; each tile hides the last third of the one
  // before, and the last ones are clipped.
  EXPECT_EQ(SourcesAfter(9, 6, [](TBitmap& b) { ApplyTexturing(b, 3, 0); }),
            Repeated("0,0 3,0 0,0 3,0 0,0 3,0 0,0 3,0 0,0\n0,2 3,2 0,2 3,2 0,2 3,2 0,2 3,2 0,2", 3));
  // No grid step: a tile below 2 pixels overlapping, or none at all.
  for (auto [level, type] : {std::pair{1, 0}, {10, 0}, {0, 1}, {INT_MIN, 1}})
    EXPECT_TRUE(LeavesUnchanged(3, 9, [=](TBitmap& b) { ApplyTexturing(b, level, type); }));
}

TEST(RowTileRedraw, FigureSqueezesRowsIntoTheOutline) {
  const std::vector<int> white8(8, -1), whole8 = {0, 1, 2, 3, 4, 5, 6, 7};
  // Type 0 with v = 0 redraws every row unscaled; v = W / 2 on an even
  // width leaves nothing; on an odd width the middle pixel shows the first.
  EXPECT_TRUE(LeavesUnchanged(6, 3, [](TBitmap& b) { ApplyFigure(b, 0, 0); }));
  EXPECT_EQ(SourcesAfter(8, 2, [](TBitmap& b) { ApplyFigure(b, 4, 0); }), Rows({white8, white8}));
  // [1, 5) of 6 takes the first pixel of each run: 0, 1, 3, 4.
  EXPECT_EQ(SourcesAfter(6, 1, [](TBitmap& b) { ApplyFigure(b, 1, 0); }), Rows({{-1, 0, 1, 3, 4, -1}}));
  // A negative inset widens the span: [-2, 6) of 4 repeats pixels.
  EXPECT_EQ(SourcesAfter(4, 1, [](TBitmap& b) { ApplyFigure(b, -2, 0); }), Rows({{1, 1, 2, 2}}));

  // Type 1 on H = 4, v = 2: insets trunc(3/4 * 2) = 1, 1, 0, 0 and
  // 0, 0, 1, 1; [1, 7) of 8 takes 0, 1, 2, 4, 5, 6.
  const std::vector<int> inset1 = {-1, 0, 1, 2, 4, 5, 6, -1}, inset2 = {-1, -1, 0, 2, 4, 6, -1, -1};
  EXPECT_EQ(SourcesAfter(8, 4, [](TBitmap& b) { ApplyFigure(b, 2, 1); }),
            Rows({inset1, inset1, whole8, whole8}));
  // Type 3 on H = 3, v = 2: the barrel's insets are 2, 0, 2; [2, 6) of 8
  // takes 0, 2, 4, 6.
  EXPECT_EQ(SourcesAfter(8, 3, [](TBitmap& b) { ApplyFigure(b, 2, 3); }), Rows({inset2, whole8, inset2}));
  // Type 5 grows from the centre: the first and last rows are white, the
  // middle one is [4 - 4, 4 + 4) with the value limited to W / 2.
  EXPECT_EQ(SourcesAfter(8, 3, [](TBitmap& b) { ApplyFigure(b, 40, 5); }), Rows({white8, whole8, white8}));
  // Type 6 on H = 5, v = 2: sin(2 pi y / 4) gives insets 0, 2, 0, 2, 0.
  EXPECT_EQ(SourcesAfter(8, 5, [](TBitmap& b) { ApplyFigure(b, 2, 6); }),
            Rows({white8, inset2, white8, inset2, white8}));

  // One row counts as its own first row (angle 0): the barrel takes the
  // full inset and the lens is empty.
  EXPECT_EQ(SourcesAfter(6, 1, [](TBitmap& b) { ApplyFigure(b, 1, 3); }), Rows({{-1, 0, 1, 3, 4, -1}}));
  EXPECT_EQ(SourcesAfter(6, 1, [](TBitmap& b) { ApplyFigure(b, 1, 5); }), Rows({std::vector<int>(6, -1)}));
  for (int type : {-1, 7})
    EXPECT_TRUE(LeavesUnchanged(6, 4, [type](TBitmap& b) { ApplyFigure(b, 2, type); }));
}
