// The effects' random generators and the effects driven by them. Every test
// starts from ResetEffectRandomGenerators(), so the sequences below pin the
// results; the expected pictures were worked out from the effects'
// definitions with an independent calculator.
#include "effects/random.h"

#include <climits>
#include <cmath>
#include <map>

#include "tests/effects/effecttest.h"

namespace {

// The n-th rand value after a reset (n from 1).
int NthRand(int n) {
  ResetEffectRandomGenerators();
  int value = 0;
  for (int i = 0; i < n; ++i) value = EffectRandom::rand();
  return value;
}

}  // namespace

TEST(EffectRandomGenerators, SequencesAfterReset) {
  // srand(1) at start leaves S = 1 * 22695477 + 1 = 22695478. rand steps
  // S, the low half of the 64-bit L, and answers bits 16..30; lrand steps all
  // of L and answers bits 32..62.
  ResetEffectRandomGenerators();
  EXPECT_EQ(EffectRandom::rand(), 130);
  uint64_t l = 22695478u * 22695477u + 1u;
  for (int i = 0; i < 100; ++i)
    if (i % 3) {
      l = (l & ~0xFFFFFFFFull) | static_cast<uint32_t>(static_cast<uint32_t>(l) * 22695477u + 1u);
      ASSERT_EQ(EffectRandom::rand(), static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0x7FFF)) << i;
    } else {
      l = l * 1486058704437ull + 1;  // 346 * 2^32 + 20021
      ASSERT_EQ(EffectRandom::lrand(), static_cast<int>((l >> 32) & 0x7FFFFFFF)) << i;
    }
  // srand clears the high half.
  EffectRandom::srand(12345);
  EXPECT_EQ(EffectRandom::rand(), 24996);

  // The subtractive generator from seed 161803398; rand does not touch it.
  ResetEffectRandomGenerators();
  EffectRandom::rand();
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(1), 0);
  EXPECT_THROW(EffectRandom::RandomShuffleGenerator(0), EDivByZero);
  // Shuffle: for k = 1..4 swap entries k and draw(k + 1).
  ResetEffectRandomGenerators();
  std::vector<int> list = {0, 1, 2, 3, 4};
  EffectRandom::Shuffle(list);
  EXPECT_EQ(list, (std::vector<int>{3, 0, 4, 2, 1}));
}

TEST(RandomDrivenEffects, Noise) {
  ResetEffectRandomGenerators();
  EXPECT_EQ(SourcesAfter(4, 3, [](TBitmap& b) { ApplyNoise(b, 5, 0); }),
            "0,0 1,0 2,0 1,1\n0,1 2,1 2,1 1,1\n0,2 1,2 1,2 1,2");
  // Colour grain: red, then green, then blue, each its own offset -2..2.
  // Grey grain: one offset -2..1 for all three channels.
  ResetEffectRandomGenerators();
  auto colour = MakeColorBitmap(2, {RGB(200, 150, 100), RGB(10, 255, 0)});
  ApplyNoise(*colour, 5, 1);
  EXPECT_TRUE(SameColors(*colour, *MakeColorBitmap(2, {RGB(202, 152, 99), RGB(12, 255, 1)})));
  ResetEffectRandomGenerators();
  auto grey = MakeColorBitmap(3, {RGB(200, 150, 100), RGB(10, 255, 0), RGB(1, 2, 3)});
  ApplyNoise(*grey, 4, 2);
  EXPECT_TRUE(SameColors(*grey, *MakeColorBitmap(3, {RGB(199, 149, 99), RGB(8, 253, 0), RGB(1, 2, 3)})));

  // Degree 1 changes nothing but still draws: 2, 3 or 1 per pixel.
  for (int type : {0, 1, 2}) {
    ResetEffectRandomGenerators();
    EXPECT_TRUE(LeavesUnchanged(3, 2, [type](TBitmap& b) { ApplyNoise(b, 1, type); }));
    int next = EffectRandom::rand();
    ResetEffectRandomGenerators();
    for (int i = 0; i < 6 * (type == 0 ? 2 : type == 1 ? 3 : 1); ++i)
      type == 0 ? EffectRandom::rand() : EffectRandom::lrand();
    EXPECT_EQ(next, EffectRandom::rand()) << type;
  }
  // Degree 0 and other types change nothing and draw nothing.
  for (auto [degree, type] : {std::pair{0, 1}, {5, 3}}) {
    ResetEffectRandomGenerators();
    EXPECT_TRUE(LeavesUnchanged(3, 2, [=](TBitmap& b) { ApplyNoise(b, degree, type); }));
    EXPECT_EQ(EffectRandom::rand(), 130);
  }
}

TEST(RandomDrivenEffects, RainDrops) {
  // After srand(13) the first drop is 18 across (R = 9) at (16, 12); on a
  // flat picture only the rim shading shows: darker along the top, lighter
  // on a ring above the centre and at the lower left. The centre and the
  // pixel at 0.95 R and angle 0.95 (whose band has no window there) keep
  // their colour.
  ResetEffectRandomGenerators();
  EffectRandom::srand(13);
  auto flat = MakeFlatBitmap(40, 40, RGB(100, 100, 100));
  ApplyRainDrops(*flat, 1, 20);
  EXPECT_EQ(EffectRandom::rand(), 7374);  // three draws: size, row, column
  std::map<int, int> changes;
  for (int i = 0; i < 1600; ++i) ++changes[GetRValue(PixelAt(*flat, i % 40, i / 40)) - 100];
  EXPECT_EQ(changes,
            (std::map<int, int>{
                {-80, 14}, {-40, 8}, {-30, 14}, {-20, 18}, {0, 1522}, {20, 5}, {30, 9}, {40, 6}, {60, 4}}));

  // The lens magnifies: target offsets (7, 2) and (6, 6) read source
  // offsets (5, 1) and (5, 5); the centre stays.
  ResetEffectRandomGenerators();
  EffectRandom::srand(13);
  auto picture = MakeTestBitmap(40, 40);
  ApplyRainDrops(*picture, 1, 20);
  EXPECT_EQ(PixelAt(*picture, 16, 12), RGB(28, 12, 16));
  EXPECT_EQ(PixelAt(*picture, 23, 14), RGB(34, 13, 21));

  // Count 0 draws nothing.
  ResetEffectRandomGenerators();
  EXPECT_TRUE(LeavesUnchanged(5, 4, [](TBitmap& b) { ApplyRainDrops(b, 0, 20); }));
  EXPECT_EQ(EffectRandom::rand(), 130);
  // A 3 x 3 picture holds one drop of 5 (size 5 always gives 5); the second
  // fails 10,000 tries and the effect stops: 1 + 2 + 1 + 20,000 draws.
  ResetEffectRandomGenerators();
  auto crowded = MakeTestBitmap(3, 3);
  ApplyRainDrops(*crowded, 5, 5);
  int next = EffectRandom::rand();
  EXPECT_EQ(next, NthRand(20005));
}

TEST(RandomDrivenEffects, Puzzle) {
  // 10 x 2 in 4 x 2 pieces: pw = 2, ph = 1, five blocks a row; the nine
  // entries (3,0) (0,0) (2,1) (1,0) (0,1) (2,0) (1,1) (3,1) (0,0) run out
  // before the last block, which takes pixel (0, 0).
  ResetEffectRandomGenerators();
  EXPECT_EQ(SourcesAfter(10, 2, [](TBitmap& b) { ApplyPuzzle(b, 4, 2); }),
            "6,0 7,0 0,0 1,0 4,1 5,1 2,0 3,0 0,1 1,1\n4,0 5,0 2,1 3,1 6,1 7,1 0,0 1,0 0,0 0,0");
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1892955745);  // eight draws
  // An even division: the last entry (1,1) lands below the picture, so that
  // piece is missing and (0,0) shows twice.
  ResetEffectRandomGenerators();
  EXPECT_EQ(
      SourcesAfter(6, 4, [](TBitmap& b) { ApplyPuzzle(b, 3, 2); }),
      "0,0 1,0 0,0 1,0 4,2 5,2\n0,1 1,1 0,1 1,1 4,3 5,3\n2,0 3,0 0,2 1,2 4,0 5,0\n2,1 3,1 0,3 1,3 4,1 5,1");

  // One piece: two equal entries, one draw, no change. No pieces: no draw.
  ResetEffectRandomGenerators();
  EXPECT_TRUE(LeavesUnchanged(3, 2, [](TBitmap& b) { ApplyPuzzle(b, 1, 1); }));
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 2014058232);
  ResetEffectRandomGenerators();
  for (auto [across, down] : {std::pair{0, 2}, {2, 0}, {-1, 3}})
    EXPECT_TRUE(LeavesUnchanged(3, 2, [=](TBitmap& b) { ApplyPuzzle(b, across, down); }));
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);
}

namespace {

// The rim shading of rain drops: a pixel at least Factor x R from the centre
// whose angle lies in (Low, High] changes by Change, from the first band the
// distance reaches.
struct RimShade {
  double Factor, Low, High;
  int Change;
};
const RimShade kRimShades[] = {
    {0.9, -2.25, 0.0, -80},  {0.9, -2.5, -2.25, -40}, {0.9, 0.0, 0.25, -40},   {0.8, -1.5, -0.75, -40},
    {0.8, -0.75, 0.1, -30},  {0.8, -2.35, -1.5, -30}, {0.7, -2.0, -0.1, -20},  {0.7, 1.9, 2.5, 60},
    {0.6, -1.75, -0.5, -20}, {0.6, -0.25, 0.0, 20},   {0.6, -2.25, -2.0, 20},  {0.5, -0.5, -0.25, 30},
    {0.5, -2.0, -1.75, 30},  {0.4, -1.75, -0.5, 40},  {0.3, -2.25, 0.0, 30},   {0.2, -1.75, -0.5, 20},
};

}  // namespace

TEST(RandomDrivenEffects, RainDropRimShadingOfEveryWindow) {
  // Single drops 301, 293 and 289 across, each wholly inside a 400 x 400
  // flat picture (where the lens moves grey onto grey): every pixel of a
  // drop shows the shading of its distance and angle. Drops this large put
  // pixels next to every bound of every window.
  const struct {
    uint32_t Seed;
    int Size, X, Y;
  } drops[] = {{1255, 301, 193, 249}, {1258, 293, 231, 247}, {500, 289, 159, 235}};
  std::map<size_t, int> windows;  // pixels per window
  for (const auto& drop : drops) {
    // The drop's diameter, row and column from the draws.
    ResetEffectRandomGenerators();
    EffectRandom::srand(drop.Seed);
    ASSERT_EQ(static_cast<int>(EffectRandom::rand() * 395.0 * (1.0 / 32767) + 5), drop.Size);
    ASSERT_EQ(static_cast<int>(EffectRandom::rand() * 399.0 * (1.0 / 32767)), drop.Y);
    ASSERT_EQ(static_cast<int>(EffectRandom::rand() * 399.0 * (1.0 / 32767)), drop.X);
    ResetEffectRandomGenerators();
    EffectRandom::srand(drop.Seed);
    auto picture = MakeFlatBitmap(400, 400, RGB(100, 100, 100));
    ApplyRainDrops(*picture, 1, 400);
    const int radius = drop.Size / 2;
    int wrong = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x) {
        const int i = y - drop.Y, j = x - drop.X;
        const double dist = std::sqrt(double(i * i + j * j)), angle = std::atan2(double(i), double(j));
        int change = 0;
        if (dist <= radius) {
          double band = -1;
          for (size_t k = 0; k < std::size(kRimShades); ++k) {
            const RimShade& s = kRimShades[k];
            if (band < 0 && radius * s.Factor <= dist) band = s.Factor;
            if (s.Factor == band && s.Low < angle && angle <= s.High) {
              change = s.Change;
              ++windows[k];
              break;
            }
          }
        }
        wrong += PixelAt(*picture, x, y) != RGB(100 + change, 100 + change, 100 + change);
      }
    EXPECT_EQ(wrong, 0) << drop.Seed;
  }
  EXPECT_EQ(windows.size(), std::size(kRimShades));  // every window holds pixels
}
