// The effects' random generators and the effects driven by them. Every test
// starts from ResetEffectRandomGenerators(), so the sequences below pin the
// results; the expected pictures were worked out from the effects'
// definitions with an independent calculator. On a MakeTestBitmap picture
// (blue = x, green = y) a moved pixel names its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "effects/random.h"
#include "tests/support/testsupport.h"

namespace {

// Rows separated by newlines, pixels by blanks, each pixel its blue and
// green bytes joined by a comma.
std::string Table(TBitmap& picture) {
  std::string text;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const uint8_t* p = picture.ScanLine(y) + 3 * x;
      text += (x ? " " : (y ? "\n" : "")) + std::to_string(p[0]) + "," + std::to_string(p[1]);
    }
  return text;
}

// The n-th rand value after a reset (n from 1).
int NthRand(int n) {
  ResetEffectRandomGenerators();
  int value = 0;
  for (int i = 0; i < n; ++i) value = EffectRandom::rand();
  return value;
}

std::unique_ptr<TBitmap> Flat(int width, int height, uint8_t grey) {
  auto picture = MakeTestBitmap(width, height);
  for (int y = 0; y < height; ++y) std::fill_n(picture->ScanLine(y), 3 * width, grey);
  return picture;
}

}  // namespace

TEST(EffectRandomGenerators, SequencesAfterReset) {
  // srand(1) at start leaves S = 1 * 22695477 + 1 = 22695478; each rand
  // steps S and answers bits 16..30.
  ResetEffectRandomGenerators();
  uint32_t s = 22695478u;
  for (int i = 0; i < 100; ++i) {
    s = s * 22695477u + 1u;
    ASSERT_EQ(EffectRandom::rand(), static_cast<int>((s >> 16) & 0x7FFF)) << i;
  }

  // lrand steps all 64 bits of the same state and answers bits 32..62.
  ResetEffectRandomGenerators();
  uint64_t l = 22695478u;
  for (int i = 0; i < 100; ++i) {
    l = l * 1486058704437ull + 1;  // 346 * 2^32 + 20021
    ASSERT_EQ(EffectRandom::lrand(), static_cast<int>((l >> 32) & 0x7FFFFFFF)) << i;
  }

  // Both share one state: a rand in between changes the next lrand.
  ResetEffectRandomGenerators();
  EXPECT_EQ(EffectRandom::rand(), 130);
  EXPECT_EQ(EffectRandom::lrand(), 814966984);
  EXPECT_EQ(EffectRandom::rand(), 8068);

  // srand clears the high half and drops one draw.
  EffectRandom::srand(12345);
  EXPECT_EQ(EffectRandom::rand(), 24996);
  EffectRandom::lrand();
  EffectRandom::srand(7);
  EXPECT_EQ(EffectRandom::lrand(), 1281355180);

  // The subtractive generator from seed 161803398.
  ResetEffectRandomGenerators();
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 2014058232);
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(1000), 688);
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(1), 0);
  EXPECT_THROW(EffectRandom::RandomShuffleGenerator(0), EDivByZero);
  // rand does not touch it, and a reset restores it.
  ResetEffectRandomGenerators();
  EffectRandom::rand();
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);

  // Shuffle: for k = 1..4 swap entries k and draw(k + 1).
  ResetEffectRandomGenerators();
  std::vector<int> list = {0, 1, 2, 3, 4};
  EffectRandom::Shuffle(list);
  EXPECT_EQ(list, (std::vector<int>{3, 0, 4, 2, 1}));
  ResetEffectRandomGenerators();
  std::vector<int> single = {9};
  EffectRandom::Shuffle(single);  // draws nothing
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);
}

TEST(RandomDrivenEffects, Noise) {
  ResetEffectRandomGenerators();
  auto scatter = MakeTestBitmap(4, 3);
  ApplyNoise(*scatter, 5, 0);
  EXPECT_EQ(Table(*scatter), "0,0 1,0 2,0 1,1\n0,1 2,1 2,1 1,1\n0,2 1,2 1,2 1,2");

  // Colour grain: red, then green, then blue, each its own offset -2..2.
  ResetEffectRandomGenerators();
  auto colour = MakeTestBitmap(2, 1);
  colour->Canvas()->SetPixel(0, 0, RGB(200, 150, 100));
  colour->Canvas()->SetPixel(1, 0, RGB(10, 255, 0));
  ApplyNoise(*colour, 5, 1);
  EXPECT_EQ(PixelAt(*colour, 0, 0), RGB(202, 152, 99));
  EXPECT_EQ(PixelAt(*colour, 1, 0), RGB(12, 255, 1));
  // Grey grain: one offset -2..1 for all three channels.
  ResetEffectRandomGenerators();
  auto grey = MakeTestBitmap(3, 1);
  grey->Canvas()->SetPixel(0, 0, RGB(200, 150, 100));
  grey->Canvas()->SetPixel(1, 0, RGB(10, 255, 0));
  grey->Canvas()->SetPixel(2, 0, RGB(1, 2, 3));
  ApplyNoise(*grey, 4, 2);
  EXPECT_EQ(PixelAt(*grey, 0, 0), RGB(199, 149, 99));
  EXPECT_EQ(PixelAt(*grey, 1, 0), RGB(8, 253, 0));
  EXPECT_EQ(PixelAt(*grey, 2, 0), RGB(1, 2, 3));

  // Degree 1 changes nothing but still draws: 2, 3 or 1 per pixel.
  for (int type : {0, 1, 2}) {
    ResetEffectRandomGenerators();
    auto picture = MakeTestBitmap(3, 2);
    ApplyNoise(*picture, 1, type);
    EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(3, 2)));
    int next = EffectRandom::rand();
    ResetEffectRandomGenerators();
    for (int i = 0; i < 6 * (type == 0 ? 2 : type == 1 ? 3 : 1); ++i)
      type == 0 ? EffectRandom::rand() : EffectRandom::lrand();
    EXPECT_EQ(next, EffectRandom::rand()) << type;
  }
  // Degree 0 and other types change nothing and draw nothing.
  const std::pair<int, int> idle[] = {{0, 0}, {0, 1}, {5, 3}, {5, -1}};
  for (auto [degree, type] : idle) {
    ResetEffectRandomGenerators();
    auto picture = MakeTestBitmap(3, 2);
    ApplyNoise(*picture, degree, type);
    EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(3, 2)));
    EXPECT_EQ(EffectRandom::rand(), 130);
  }
}

TEST(RandomDrivenEffects, RainDrops) {
  // After srand(13) the first drop is 18 across (R = 9) at (16, 12); on a
  // flat picture only the rim shading shows. A = darken 80, B 40, C 30, D
  // 20; e = lighten 20, f 30, g 40, h 60. Rows 3..20 and columns 7..24 (the
  // even diameter leaves out row and column +9); the centre and (5, 7) at
  // 0.95 R and angle 0.95 keep their colour.
  const char* expected[] = {
      ".........A........", ".....AAACCBAAA....", "....ACCCDDDBBBA...", "...BCC.DDDDDDBBA..",
      "......eff...DDDCA.", ".........ggg.DDCCA", "........fffgg.DDCA", ".........eefg.fDCA",
      "............f..eDC", "............f..e.C", "..................", ".................B",
      "..................", "....h.............", "....hh............", "......h...........",
      "..................", "..................",
  };
  ResetEffectRandomGenerators();
  EffectRandom::srand(13);
  auto flat = Flat(40, 40, 100);
  ApplyRainDrops(*flat, 1, 20);
  const std::string codes = "ABCDefgh";
  const int changes[] = {-80, -40, -30, -20, 20, 30, 40, 60};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      bool inside = y >= 3 && y < 21 && x >= 7 && x < 25;
      char code = inside ? expected[y - 3][x - 7] : '.';
      int change = code == '.' ? 0 : changes[codes.find(code)];
      ASSERT_EQ(PixelAt(*flat, x, y), RGB(100 + change, 100 + change, 100 + change)) << x << "," << y;
    }
  EXPECT_EQ(EffectRandom::rand(), 7374);  // three draws: size, row, column

  // The lens magnifies: target offsets (7, 2) and (6, 6) read source
  // offsets (5, 1) and (5, 5); the centre stays.
  ResetEffectRandomGenerators();
  EffectRandom::srand(13);
  auto picture = MakeTestBitmap(40, 40);
  ApplyRainDrops(*picture, 1, 20);
  EXPECT_EQ(PixelAt(*picture, 16, 12), RGB(28, 12, 16));
  EXPECT_EQ(PixelAt(*picture, 23, 14), RGB(34, 13, 21));
  EXPECT_EQ(PixelAt(*picture, 22, 18), RGB(38, 17, 21));

  // Count 0 draws nothing.
  ResetEffectRandomGenerators();
  auto unchanged = MakeTestBitmap(5, 4);
  ApplyRainDrops(*unchanged, 0, 20);
  EXPECT_TRUE(SameColors(*unchanged, *MakeTestBitmap(5, 4)));
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
  auto picture = MakeTestBitmap(10, 2);
  ApplyPuzzle(*picture, 4, 2);
  EXPECT_EQ(Table(*picture),
            "6,0 7,0 0,0 1,0 4,1 5,1 2,0 3,0 0,1 1,1\n4,0 5,0 2,1 3,1 6,1 7,1 0,0 1,0 0,0 0,0");
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1892955745);  // eight draws

  // An even division: the last entry (1,1) lands below the picture, so that
  // piece is missing and (0,0) shows twice.
  ResetEffectRandomGenerators();
  auto even = MakeTestBitmap(6, 4);
  ApplyPuzzle(*even, 3, 2);
  EXPECT_EQ(Table(*even), "0,0 1,0 0,0 1,0 4,2 5,2\n0,1 1,1 0,1 1,1 4,3 5,3\n"
                          "2,0 3,0 0,2 1,2 4,0 5,0\n2,1 3,1 0,3 1,3 4,1 5,1");

  // Counts are limited to the picture's size.
  ResetEffectRandomGenerators();
  auto limited = MakeTestBitmap(3, 2), exact = MakeTestBitmap(3, 2);
  ApplyPuzzle(*limited, 50, 60);
  ResetEffectRandomGenerators();
  ApplyPuzzle(*exact, 3, 2);
  EXPECT_TRUE(SameColors(*limited, *exact));

  // One piece: two equal entries, one draw, no change. No pieces: no draw.
  ResetEffectRandomGenerators();
  auto one = MakeTestBitmap(3, 2);
  ApplyPuzzle(*one, 1, 1);
  EXPECT_TRUE(SameColors(*one, *MakeTestBitmap(3, 2)));
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 2014058232);
  ResetEffectRandomGenerators();
  const std::pair<int, int> none[] = {{0, 2}, {2, 0}, {-1, 3}};
  for (auto [across, down] : none) ApplyPuzzle(*one, across, down);
  EXPECT_TRUE(SameColors(*one, *MakeTestBitmap(3, 2)));
  EXPECT_EQ(EffectRandom::RandomShuffleGenerator(INT_MAX), 1813643221);
}

TEST(RandomDrivenEffects, TinyAndOddPictures) {
  // 1 x 1, 1 x N and N x 1 pictures, empty ones, and arguments outside the
  // dialogs' ranges: nothing is read or written outside the picture.
  ResetEffectRandomGenerators();
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 6}, {6, 1}, {0, 4}, {4, 0}};
  for (auto [w, h] : sizes) {
    auto picture = MakeTestBitmap(w, h);
    for (int degree : {1, 5, 250, -7, INT_MIN, INT_MAX})
      for (int type : {0, 1, 2}) ApplyNoise(*picture, degree, type);
    for (int size : {2, 20, 50, 1, 0, -40, INT_MAX, INT_MIN}) ApplyRainDrops(*picture, 3, size);
    for (int count : {1, 3, 7}) ApplyPuzzle(*picture, count, count);
    EXPECT_EQ(picture->Width(), w);
  }
  // A single pixel has nowhere to go.
  auto single = MakeTestBitmap(1, 1, 77);
  ApplyNoise(*single, 9, 0);
  ApplyRainDrops(*single, 10, 20);
  ApplyPuzzle(*single, 5, 5);
  EXPECT_TRUE(SameColors(*single, *MakeTestBitmap(1, 1, 77)));
}
