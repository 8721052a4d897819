// Lens fire. The fixed rows were worked out with an independent calculator
// from the effect's definition.
#include "effects/lensfire.h"

#include <climits>

#include "tests/effects/effecttest.h"

namespace {

std::unique_ptr<TBitmap> Flared(std::unique_ptr<TBitmap> picture, int x, int y) {
  ApplyLensFire(*picture, x, y);
  return picture;
}

std::unique_ptr<TBitmap> Grey(int width, int height, int level) {
  return MakeFlatBitmap(width, height, RGB(level, level, level));
}

// Pixels first..last of row y, as PixelTable writes them.
std::string Row(TBitmap& picture, int y, int first, int last) {
  std::string text;
  for (int x = first; x <= last; ++x) {
    TColor c = PixelAt(picture, x, y);
    text += (x > first ? " " : "") + std::to_string(GetBValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
            std::to_string(GetRValue(c));
  }
  return text;
}

}  // namespace

TEST(LensFire, WorkedValues) {
  // At the flare centre core, glow, inner and outer glow weigh 1 and the
  // halo nothing; on a one-pixel picture every spot sits there too (type 2
  // capped at 1, type 3 weighing 0, type 4 missing).
  EXPECT_EQ(PixelAt(*Flared(Grey(1, 1, 0), 0, 0), 0, 0), RGB(255, 254, 254));
  // Along a row from the flare centre: the glows fade and the halo ring
  // (radius 16.875, band 1.18) lights columns 16 to 18.
  EXPECT_EQ(Row(*Flared(Grey(200, 1, 100), 0, 0), 0, 10, 21),
            "156,154,205 151,149,199 146,144,193 142,140,186 138,136,180 136,134,175 136,135,177 135,138,192 "
            "133,131,165 132,130,160 131,129,156 130,129,152");
  // Spot 14 (type 3, radius 10) at (98, 55): dark centre, bright rim at
  // distance 9 (column 89), nothing from distance 10 on.
  EXPECT_EQ(Row(*Flared(Grey(100, 60, 100), 2, 5), 55, 86, 99),
            "100,100,100 100,100,100 100,100,100 100,113,107 100,112,106 100,111,105 100,109,105 101,112,115 "
            "111,109,109 100,104,102 100,103,101 100,101,100 100,100,100 100,101,100");
  // One pixel wide: every radius is below 1, so only the pixels at distance
  // 0 from the flare centre or a spot change.
  EXPECT_EQ(PixelTable(*Flared(Grey(1, 9, 100), 0, 2)),
            "100,100,100\n100,104,110\n254,254,255\n173,192,153\n186,214,171\n174,124,105\n100,100,100\n"
            "100,100,100\n100,100,100");
}

TEST(LensFire, OnlyLightensAndFarCentresChangeNothing) {
  EXPECT_TRUE(SameColors(*Flared(Grey(50, 40, 255), 25, 20), *Grey(50, 40, 255)));
  for (auto [x, y] : {std::pair{INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, 10}})
    EXPECT_TRUE(LeavesUnchanged(300, 20, [x, y](TBitmap& b) { ApplyLensFire(b, x, y); }));
}
