// Lens fire. The fixed rows were worked out with an independent calculator
// from the effect's definition; the whole-picture checks compare with the
// definition followed pixel by pixel.
#include "effects/lensfire.h"

#include <climits>
#include <cmath>

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

// The flare as defined: every pixel in turn through the five components and
// the 19 spots (type, size factor, position factor, colour).
struct TPart {
  int Type;  // 1..4 spots; 5 core/glow/inner, 6 outer, 7 halo
  double Size, Position;
  int R, G, B;
};
const TPart kParts[] = {
    {5, 0.0375, 0, 239, 239, 239},   {5, 0.078125, 0, 245, 245, 245},   {5, 0.1796875, 0, 255, 38, 43},
    {6, 0.3359375, 0, 69, 59, 64},   {7, 0.084375, 0, 80, 15, 4},       {1, 0.027, 0.6699, 0, 14, 113},
    {1, 0.01, 0.2692, 90, 181, 142}, {1, 0.005, -0.0112, 56, 140, 106}, {2, 0.031, 0.649, 9, 29, 19},
    {2, 0.015, 0.4696, 24, 14, 0},   {2, 0.037, 0.4087, 24, 14, 0},     {2, 0.022, -0.2003, 42, 19, 0},
    {2, 0.025, -0.4103, 0, 9, 17},   {2, 0.058, -0.4503, 0, 4, 10},     {2, 0.017, -0.5112, 5, 5, 14},
    {2, 0.2, -1.496, 9, 4, 0},       {2, 0.5, -1.496, 9, 4, 0},         {3, 0.075, 0.4487, 34, 19, 0},
    {3, 0.1, 1.0, 14, 26, 0},        {3, 0.039, -1.301, 10, 25, 13},    {4, 0.19, 1.309, 9, 0, 17},
    {4, 0.195, 1.309, 9, 16, 5},     {4, 0.2, 1.309, 17, 4, 0},         {4, 0.038, -1.301, 17, 4, 0}};

std::unique_ptr<TBitmap> DefinedFlare(std::unique_ptr<TBitmap> picture, int fx, int fy) {
  const int w = picture->Width(), h = picture->Height(), cx = w / 2, cy = h / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = picture->ScanLine(y) + 3 * x;
      for (const TPart& part : kParts) {
        double px = fx, py = fy, s = w * part.Size, weight = -1;
        if (part.Type <= 4) {
          px = static_cast<int>(cx + (cx - fx) * part.Position);
          py = static_cast<int>(cy + (cy - fy) * part.Position);
        }
        double d = static_cast<int>(std::sqrt((px - x) * (px - x) + (py - y) * (py - y)));
        double v = (s - d) / s;
        if (part.Type == 1 || part.Type == 5) weight = v > 0 ? v * v : -1;
        if (part.Type == 6) weight = v > 0 ? v : -1;
        if (part.Type == 7 || part.Type == 4) {
          v = std::fabs(d - s) / ((part.Type == 7 ? 0.07 : 0.04) * s);
          weight = v < 1 ? 1 - v : -1;
        }
        if (part.Type == 2) weight = v > 0 ? std::min((s - d) / (0.15 * s), 1.0) : -1;
        if (part.Type == 3) {
          v = (s - d) / (0.12 * s);
          weight = v <= 0 ? -1 : v <= 1 ? v : 1 - 0.12 * v;
        }
        if (weight < 0) continue;
        p[2] = static_cast<uint8_t>(p[2] + (255 - p[2]) * weight * (part.R / 255.0));
        p[1] = static_cast<uint8_t>(p[1] + (255 - p[1]) * weight * (part.G / 255.0));
        p[0] = static_cast<uint8_t>(p[0] + (255 - p[0]) * weight * (part.B / 255.0));
      }
    }
  return picture;
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

TEST(LensFire, FollowsTheDefinitionAnywhere) {
  // Centres inside, on the picture centre, on the far corner and outside.
  for (auto [w, h] : {std::pair{40, 30}, {23, 9}})
    for (auto [x, y] : {std::pair{2, 2}, {w / 2, h / 2}, {w, h}, {-15, 50}, {100, -40}}) {
      auto expected = DefinedFlare(MakeTestBitmap(w, h, 40), x, y);
      EXPECT_TRUE(SameColors(*Flared(MakeTestBitmap(w, h, 40), x, y), *expected))
          << w << "x" << h << " at " << x << "," << y;
    }
  // Only lightening: white stays white (no channel wraps past 255).
  EXPECT_TRUE(SameColors(*Flared(Grey(50, 40, 255), 25, 20), *Grey(50, 40, 255)));
  // Far centres put every part outside the picture; nothing overflows.
  for (auto [x, y] : {std::pair{INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, 10}})
    EXPECT_TRUE(LeavesUnchanged(300, 20, [x, y](TBitmap& b) { ApplyLensFire(b, x, y); }));
}
