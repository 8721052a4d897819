// Tile and displacement remaps. The expected tables were worked out by hand
// or with an independent calculator from the effects' definitions.
#include "effects/tile.h"

#include <atomic>
#include <climits>
#include <set>
#include <thread>

#include "effects/random.h"
#include "effects/resample.h"
#include "tests/effects/effecttest.h"

namespace {

bool SameResult(const Effect& a, const Effect& b) {
  auto first = MakeTestBitmap(9, 7), second = MakeTestBitmap(9, 7);
  a(*first);
  b(*second);
  return SameColors(*first, *second);
}

}  // namespace

TEST(TileDisplacementRemaps, Glasstile) {
  // Tile 4: 0, 2, 0, 2, 4, 6, ...; tile 5: 0, 2, 0, 1, 3, 5, 7, 4, 6, 8
  // (-1 clamps to 0). Rows run the same sequence with the tile height.
  EXPECT_EQ(SourcesAfter(12, 1, [](TBitmap& b) { ApplyGlasstile(b, 4, 2); }),
            "0,0 2,0 0,0 2,0 4,0 6,0 4,0 6,0 8,0 10,0 8,0 10,0");
  EXPECT_EQ(SourcesAfter(10, 1, [](TBitmap& b) { ApplyGlasstile(b, 5, 2); }),
            "0,0 2,0 0,0 1,0 3,0 5,0 7,0 4,0 6,0 8,0");
  // A tile at least twice the picture: half scale, then the last index.
  EXPECT_EQ(SourcesAfter(6, 3, [](TBitmap& b) { ApplyGlasstile(b, 100, 100); }),
            "0,0 2,0 4,0 5,0 5,0 5,0\n0,2 2,2 4,2 5,2 5,2 5,2\n0,2 2,2 4,2 5,2 5,2 5,2");
}

TEST(TileDisplacementRemaps, Tile) {
  // Count 1 smooths the picture at its own size and draws it once.
  auto once = MakeTestBitmap(9, 7), smoothed = MakeTestBitmap(9, 7);
  ApplyTile(*once, 1);
  StretchBicubic(*smoothed, *MakeTestBitmap(9, 7));
  EXPECT_TRUE(SameColors(*once, *smoothed));
  // 13 x 11 in 2 x 2 tiles of 6 x 5; column 12 and row 10 keep the picture.
  auto picture = MakeTestBitmap(13, 11), tile = MakeTestBitmap(6, 5);
  ApplyTile(*picture, 2);
  StretchBicubic(*tile, *MakeTestBitmap(13, 11));
  for (int i = 0; i < 13 * 11; ++i) {
    const int x = i % 13, y = i / 13;
    ASSERT_EQ(PixelAt(*picture, x, y), x == 12 || y == 10 ? RGB(x + y, y, x) : PixelAt(*tile, x % 6, y % 5));
  }
  // Tiles below 5 pixels, or no count, change nothing.
  EXPECT_TRUE(LeavesUnchanged(24, 100, [](TBitmap& b) { ApplyTile(b, 5); }));
  EXPECT_TRUE(LeavesUnchanged(30, 30, [](TBitmap& b) { ApplyTile(b, 0); }));
}

TEST(TileDisplacementRemaps, TileReflection) {
  // Angle 45 (no turn), period 200, curvature 20 (bent as 21, k = 0.1) on
  // one row: pixel x takes 17 samples from columns x - 1 and x (x < 4) or x
  // alone; the sample in column x - 1 reads the value just written there.
  auto MakeRow = [] {
    std::vector<TColor> colors;
    for (int x = 0; x < 8; ++x) colors.push_back(RGB(7, 200 - 20 * x, 10 * x + 5));
    return MakeColorBitmap(8, colors);
  };
  auto gentle = MakeRow();
  ApplyTileReflection(*gentle, 45, 200, 20);
  EXPECT_EQ(PixelTable(*gentle, 2), "5,200 14,181 24,161 34,141 45,120 55,100 65,80 75,60");
  // Period 4 and curvature 40 (k = 40): samples meet the tangent's poles and
  // are clamped into the picture.
  auto steep = MakeRow();
  ApplyTileReflection(*steep, 45, 4, 40);
  EXPECT_EQ(PixelTable(*steep, 2), "63,82 75,60 63,82 63,82 72,65 75,60 63,80 63,80");

  // Angle and curvature are limited (0..90, 0..40); curvature 20 bends as
  // 21.
  auto run = [](int a, int s, int c) { return [=](TBitmap& b) { ApplyTileReflection(b, a, s, c); }; };
  EXPECT_TRUE(SameResult(run(0, 6, 16), run(-100, 6, 16)));
  EXPECT_TRUE(SameResult(run(10, 6, 40), run(10, 6, 1000)));
  EXPECT_TRUE(SameResult(run(10, 6, 20), run(10, 6, 21)));
  EXPECT_FALSE(SameResult(run(10, 6, 20), run(10, 6, 19)));
}

TEST(TileDisplacementRemaps, Shake) {
  // Value 50 on an odd width: s = 3 = (7 - 1) / 2. Even rows move left, odd
  // rows right; the uncovered pixels keep theirs.
  EXPECT_EQ(SourcesAfter(7, 2, [](TBitmap& b) { ApplyShake(b, 50, 0); }),
            "3,0 4,0 5,0 6,0 4,0 5,0 6,0\n0,1 1,1 2,1 0,1 1,1 2,1 3,1");
  // Columns: s = floor(0.4 * 7) = 2; even columns up, odd ones down.
  EXPECT_EQ(SourcesAfter(3, 7, [](TBitmap& b) { ApplyShake(b, 40, 1); }),
            "0,2 1,0 2,2\n0,3 1,1 2,3\n0,4 1,0 2,4\n0,5 1,1 2,5\n0,6 1,2 2,6\n0,5 1,3 2,5\n0,6 1,4 2,6");
  // 29 * 0.01 * 100 is 29 with 0.01 taken in extended precision (a double
  // product would floor to 28).
  auto exact = MakeTestBitmap(100, 1);
  ApplyShake(*exact, 29, 0);
  EXPECT_EQ(GetBValue(PixelAt(*exact, 0, 0)), 29);
  // A shift of 0, of more than half the side, or negative changes nothing.
  EXPECT_TRUE(LeavesUnchanged(7, 4, [](TBitmap& b) { ApplyShake(b, 0, 0); }));
  EXPECT_TRUE(LeavesUnchanged(5, 4, [](TBitmap& b) { ApplyShake(b, 10, 0); }));
  EXPECT_TRUE(LeavesUnchanged(7, 7, [](TBitmap& b) { ApplyShake(b, -30, 1); }));
}

TEST(TileDisplacementRemaps, Ripple) {
  // Tooth, value 2: offsets 0, 1, 2, 0 along each source row 2, then 1.
  EXPECT_EQ(SourcesAfter(4, 5, [](TBitmap& b) { ApplyRipple(b, 2, 0); }),
            "0,0 1,0 2,0 3,0\n0,1 1,1 2,1 3,1\n0,2 1,1 2,2 3,2\n0,3 1,2 2,1 3,3\n0,4 1,4 2,2 3,4");
  // Type 3, value 9 limited to 5 div 2 = 2: lrand mod 2 for each of the ten
  // pixels of rows 2 and 1, continuing the sequence.
  ResetEffectRandomGenerators();
  EXPECT_EQ(SourcesAfter(5, 5, [](TBitmap& b) { ApplyRipple(b, 9, 3); }),
            "0,0 1,0 2,0 3,0 4,0\n0,1 1,1 2,1 3,1 4,1\n0,2 1,1 2,2 3,2 4,2\n0,3 1,2 2,3 3,3 4,3\n"
            "0,4 1,4 2,4 3,4 4,4");
  EXPECT_EQ(EffectRandom::rand(), 31500);
  // Values above half the height act as half the height (7 div 2).
  EXPECT_TRUE(
      SameResult([](TBitmap& b) { ApplyRipple(b, 3, 0); }, [](TBitmap& b) { ApplyRipple(b, 50, 0); }));

  // Value 0 and a one-row picture change nothing and draw nothing.
  ResetEffectRandomGenerators();
  for (int type : {0, 1, 2, 3}) {
    EXPECT_TRUE(LeavesUnchanged(6, 5, [type](TBitmap& b) { ApplyRipple(b, 0, type); }));
    EXPECT_TRUE(LeavesUnchanged(6, 1, [type](TBitmap& b) { ApplyRipple(b, 20, type); }));
    }
  EXPECT_EQ(EffectRandom::rand(), 130);
}

TEST(TileDisplacementRemaps, RippleHoldsTheRandomSequenceWhileItDraws) {
  // Every type that draws holds the sequence for all its draws: another
  // thread that reads the generators (SaveEffectRandomState holds the
  // sequence too) while Ripple works sees them as they were before it or as
  // it leaves them, never part-way. Tooth and triangle draw nothing.
  for (int type : {2, 3, 4, -1}) {
    ResetEffectRandomGenerators();
    const uint64_t before = SaveEffectRandomState().Rand;
    auto picture = MakeNoiseBitmap(3000, 600, 3);
    std::atomic<bool> started{false}, done{false};
    std::thread ripple([&] {
      started = true;
      ApplyRipple(*picture, 50, type);
      done = true;
    });
    while (!started) std::this_thread::yield();
    std::set<uint64_t> seen;
    while (!done) seen.insert(SaveEffectRandomState().Rand);
    ripple.join();
    const uint64_t after = SaveEffectRandomState().Rand;
    EXPECT_NE(after, before) << type;
    seen.erase(before);
    seen.erase(after);
    EXPECT_EQ(seen.size(), 0u) << "type " << type << ": states seen part-way";
  }
  for (int type : {0, 1}) {
    ResetEffectRandomGenerators();
    ApplyRipple(*MakeNoiseBitmap(30, 20, 3), 5, type);
    EXPECT_EQ(EffectRandom::rand(), 130) << type;
  }
}
