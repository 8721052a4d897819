// Lens fire. The fixed rows were worked out with an independent calculator
// from the effect's definition.
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
    text += std::string(x > first ? " " : "") + std::to_string(GetBValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
            std::to_string(GetRValue(c));
  }
  return text;
}

// The flare's parts as defined: the five components (radius factor of the
// width, colour, weight rule) and the 19 spots (type, size factor, position
// factor, colour); spot 10 sits where this program puts it.
enum Rule { Squared, Linear, Halo };
struct ComponentDef {
  double Factor;
  int Red, Green, Blue;
  Rule Weighting;
};
const ComponentDef kComponentDefs[] = {{0.0375, 239, 239, 239, Squared},
                                       {0.078125, 245, 245, 245, Squared},
                                       {0.1796875, 255, 38, 43, Squared},
                                       {0.3359375, 69, 59, 64, Linear},
                                       {0.084375, 80, 15, 4, Halo}};
struct SpotDef {
  int Type;
  double Size, Position;
  int Red, Green, Blue;
};
const SpotDef kSpotDefs[] = {
    {1, 0.027, 0.6699, 0, 14, 113},  {1, 0.01, 0.2692, 90, 181, 142}, {1, 0.005, -0.0112, 56, 140, 106},
    {2, 0.031, 0.649, 9, 29, 19},    {2, 0.015, 0.4696, 24, 14, 0},   {2, 0.037, 0.4087, 24, 14, 0},
    {2, 0.022, -0.2003, 42, 19, 0},  {2, 0.025, -0.4103, 0, 9, 17},   {2, 0.058, -0.4503, 0, 4, 10},
    {2, 0.017, -0.5112, 5, 5, 14},   {2, 0.2, -1.496, 9, 4, 0},       {2, 0.5, -1.496, 9, 4, 0},
    {3, 0.075, 0.4487, 34, 19, 0},   {3, 0.1, 1.0, 14, 26, 0},        {3, 0.039, -1.301, 10, 25, 13},
    {4, 0.19, 1.309, 9, 0, 17},      {4, 0.195, 1.309, 9, 16, 5},     {4, 0.2, 1.309, 17, 4, 0},
    {4, 0.038, -1.301, 17, 4, 0}};

// The flare worked out pixel by pixel straight from that definition, each
// part after the other.
void ReferenceFlare(TBitmap& picture, int fx, int fy) {
  const int w = picture.Width(), h = picture.Height(), cx = w / 2, cy = h / 2;
  const double dx = cx - fx, dy = cy - fy;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = picture.ScanLine(y) + 3 * x;
      auto blend = [p](double weight, int red, int green, int blue) {
        p[2] = static_cast<uint8_t>(std::trunc(p[2] + (255 - p[2]) * weight * (red / 255.0)));
        p[1] = static_cast<uint8_t>(std::trunc(p[1] + (255 - p[1]) * weight * (green / 255.0)));
        p[0] = static_cast<uint8_t>(std::trunc(p[0] + (255 - p[0]) * weight * (blue / 255.0)));
      };
      const double d = std::trunc(std::hypot(double(x - fx), double(y - fy)));
      for (const ComponentDef& c : kComponentDefs) {
        const double r = w * c.Factor;
        if (c.Weighting == Halo) {
          const double v = std::fabs(d - r) / (0.07 * r);
          if (v < 1) blend(1 - v, c.Red, c.Green, c.Blue);
        } else if ((r - d) / r > 0) {
          const double v = (r - d) / r;
          blend(c.Weighting == Squared ? v * v : v, c.Red, c.Green, c.Blue);
        }
      }
      for (const SpotDef& spot : kSpotDefs) {
        const double s = w * spot.Size;
        const double ds = std::trunc(std::hypot(std::trunc(cx + dx * spot.Position) - x,
                                                std::trunc(cy + dy * spot.Position) - y));
        double v = spot.Type == 1 ? (s - ds) / s
                   : spot.Type == 2 ? (s - ds) / (0.15 * s)
                   : spot.Type == 3 ? (s - ds) / (0.12 * s)
                                    : std::fabs(ds - s) / (0.04 * s);
        if (spot.Type == 4) {
          if (v < 1) blend(1 - v, spot.Red, spot.Green, spot.Blue);
        } else if (v > 0) {
          blend(spot.Type == 1 ? v * v : spot.Type == 2 ? std::min(v, 1.0) : v <= 1 ? v : 1 - 0.12 * v, spot.Red,
                spot.Green, spot.Blue);
        }
      }
    }
}

}  // namespace

TEST(LensFire, EveryPartAsDefined) {
  // Whole pictures against the definition worked out pixel by pixel: a
  // black one (every share of every colour shows), one of noise with the
  // flare on the picture centre (every spot concentric with it), and one
  // with the flare off the picture, and one with the job's default centre
  // (2, 2). 400 pixels wide, the halo ring is wider than a pixel.
  for (auto [x, y, seed] : {std::tuple{130, 100, -1}, {200, 150, 4}, {-60, 350, 9}, {2, 2, 6}}) {
    auto picture = seed < 0 ? Grey(400, 300, 0) : MakeNoiseBitmap(400, 300, seed);
    auto expected = seed < 0 ? Grey(400, 300, 0) : MakeNoiseBitmap(400, 300, seed);
    ApplyLensFire(*picture, x, y);
    ReferenceFlare(*expected, x, y);
    EXPECT_TRUE(SameColors(*picture, *expected)) << x << ", " << y;
  }
}

TEST(LensFire, ReflectionTableRows) {
  // Offsets of 100000 and -30000 from the flare centre to the picture
  // centre (500, 300) show every digit of the position factors; the size
  // base 1000 those of the size factors.
  FlareReflectionTable table;
  InitFlareReflections(-99500, 30300, 1000, 601, 1000, table);
  for (int i = 0; i < FlareReflectionCount; ++i) {
    const SpotDef& def = kSpotDefs[i];
    const FlareReflectionSpot& spot = table[i];
    SCOPED_TRACE("spot " + std::to_string(i + 1));
    EXPECT_EQ(spot.Type, def.Type);
    EXPECT_DOUBLE_EQ(spot.Size, 1000 * def.Size);
    EXPECT_EQ(spot.X, static_cast<int>(std::trunc(500 + 100000 * def.Position)));
    EXPECT_EQ(spot.Y, static_cast<int>(std::trunc(300 - 30000 * def.Position)));
    EXPECT_EQ(spot.Red, def.Red / 255.0);
    EXPECT_EQ(spot.Green, def.Green / 255.0);
    EXPECT_EQ(spot.Blue, def.Blue / 255.0);
  }
  // Spot 14 sits on the mirror image of the flare centre; with the flare on
  // the picture centre every spot sits there.
  EXPECT_EQ(std::pair(table[13].X, table[13].Y), std::pair(100500, -29700));
  InitFlareReflections(20, 7, 41, 15, 41, table);
  for (const FlareReflectionSpot& spot : table) EXPECT_EQ(std::pair(spot.X, spot.Y), std::pair(20, 7));
}

TEST(LensFire, PaintersFollowTheirRules) {
  // One pixel of grey 55 (200 to go) painted in full blue by each painter
  // at a few distances: the blue byte shows 200 times the weight, truncated.
  auto blue = [](auto paint) {
    uint8_t pixel[3] = {55, 55, 55};
    paint(pixel);
    EXPECT_EQ(pixel[1], 55);
    return pixel[0] - 55;
  };
  auto component = [&](auto painter, double d) {
    return blue([&](uint8_t* p) { painter(p, d, 10, 0, 0, 1); });
  };
  for (auto painter : {FlareColor, FlareGlow, FlareInner})
    EXPECT_EQ(std::vector({component(painter, 0), component(painter, 5), component(painter, 10)}),
              std::vector({200, 50, 0}));
  EXPECT_EQ(std::vector({component(FlareOuter, 0), component(FlareOuter, 5), component(FlareOuter, 10)}),
            std::vector({200, 100, 0}));
  // The halo: a ring 0.7 wide on either side of radius 10.
  EXPECT_EQ(std::vector({component(FlareHalo, 0), component(FlareHalo, 10), component(FlareHalo, 10.35),
                         component(FlareHalo, 10.7)}),
            std::vector({0, 200, 100, 0}));

  // Spots of size 10 centred at (3, 4), painted at distances 0, 5, 9 and 10.
  auto spot = [&](auto painter, int x) {
    FlareReflectionSpot s{0, 0, 1, 10, 3, 4, 0};
    return blue([&](uint8_t* p) { painter(p, s, x, 4); });
  };
  auto rings = [&](auto painter) { return std::vector({spot(painter, 3), spot(painter, 8), spot(painter, 12), spot(painter, 13)}); };
  EXPECT_EQ(rings(FlareReflection1), std::vector({200, 50, 2, 0}));
  EXPECT_EQ(rings(FlareReflection2), std::vector({200, 200, 133, 0}));
  EXPECT_EQ(rings(FlareReflection3), std::vector({0, 100, 166, 0}));
  EXPECT_EQ(rings(FlareReflection4), std::vector({0, 0, 0, 200}));

  // Blending truncates each channel on its own.
  uint8_t pixel[3] = {0, 100, 254};
  BlendFlarePixel(pixel, 0.5, 1.0, 0.5, 0.999);
  EXPECT_EQ(std::vector<int>(pixel, pixel + 3), std::vector({127, 138, 254}));
}

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
