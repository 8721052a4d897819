// Periodic pattern effects: the bevelled grid, blocks, the tiled watermark
// and the shadow mask. The expected tables were worked out by hand from the
// effects' rules.
#include "effects/periodic.h"

#include <algorithm>
#include <climits>
#include <tuple>

#include "tests/effects/effecttest.h"

namespace {

// The blue channel of a grey picture after the effect.
std::string GreyAfter(int width, int height, int value, const Effect& effect) {
  auto picture = MakeFlatBitmap(width, height, RGB(value, value, value));
  effect(*picture);
  return PixelTable(*picture, 1);
}

// Each Video type's mask, one text per mask row: the digit names the channel
// a pixel brightens (0 red, 1 green, 2 blue).
const std::vector<std::vector<std::string>> kVideoMasks = {
    {"01", "02", "12", "10", "20", "21"},
    {"0", "1", "2"},
    {"012", "201", "120"},
    {"01200", "11120", "01222", "00120", "01112", "20122", "00012", "20111", "22012", "20001", "12011", "22201",
     "12000", "11201", "12220"}};

int Clamp(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 0, 255)); }

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
  const auto& masks = kVideoMasks;
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

// Every parameter at the job's default and at another value (the others at
// their defaults), on pixels whose three channels all differ.
TEST(PeriodicPatterns, ColourParametersAtTheirDefaultsAndOthers) {
  auto grid = [](int step, int depth) {
    return [=](TPixels& p) {
      const int s = std::max(std::min(step, std::max(p.Width, p.Height)), 1);
      auto inside = [s](int i) { return i % s != 0 && i % s != s - 1; };
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) {
          const int d = y % s == 1 && inside(x)         ? -depth
                        : (y + 2) % s == 0 && inside(x) ? depth
                        : x % s == 1 && inside(y)       ? depth
                        : (x + 2) % s == 0 && inside(y) ? -depth
                                                        : 0;
          for (int& c : p(x, y)) c = Clamp(c + d);
        }
    };
  };
  for (auto [step, depth] : {std::pair{32, 60}, {5, 60}, {32, 200}})
    EXPECT_TRUE(GivesPixels([=](TBitmap& b) { Apply3DGrid(b, step, depth); }, MakeChannelBitmap(40, 36),
                            grid(step, depth)))
        << "3D grid " << step << ", " << depth;

  // The pattern's colour counts by its sum: clGreen, the job's pattern
  // without a pattern file, has 128 and lightens by 70 * 256 / 765 = 23;
  // the other colour (sum 520) darkens. The tiles are smaller than the
  // picture.
  auto pressed = [](TColor pattern, int level, bool inverse) {
    return EachPixel([=](const TRGB& c) {
      const int sum = GetRValue(pattern) + GetGValue(pattern) + GetBValue(pattern);
      const int d = (sum - 384) * level / 765 * (inverse ? -1 : 1);
      return TRGB{Clamp(c[0] - d), Clamp(c[1] - d), Clamp(c[2] - d)};
    });
  };
  const std::tuple<TColor, int, bool> watermarks[] = {
      {0x008000, 70, false}, {RGB(250, 210, 60), 70, false}, {0x008000, 200, false}, {0x008000, 70, true}};
  for (auto [colour, level, inverse] : watermarks) {
    auto pattern = MakeFlatBitmap(7, 5, colour);
    EXPECT_TRUE(GivesPixels([&](TBitmap& b) { ApplyWatermark(b, *pattern, level, inverse); },
                            MakeChannelBitmap(32, 20), pressed(colour, level, inverse)))
        << "Watermark " << std::hex << colour << std::dec << ", " << level << ", " << inverse;
  }

  auto video = [](int lightness, int type) {
    return [=](TPixels& p) {
      const auto& mask = kVideoMasks[type];
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) {
          const std::string& row = mask[y % mask.size()];
          int& c = p(x, y)[row[x % row.size()] - '0'];
          c = Clamp(2 * c + lightness);
        }
    };
  };
  for (auto [lightness, type] : {std::pair{40, 0}, {100, 0}, {40, 3}})
    EXPECT_TRUE(GivesPixels([=](TBitmap& b) { ApplyVideo(b, lightness, type); }, MakeChannelBitmap(32, 20),
                            video(lightness, type)))
        << "Video " << lightness << ", " << type;
}
