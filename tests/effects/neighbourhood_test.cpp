// Neighbourhood filters: Gauss and antialias blurs, radial blur, oil paint,
// the 3 x 3 convolutions behind the kernel effects and the large Laplacian.
#include "effects/neighbourhood.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "effects/effectbase.h"
#include "tests/support/testsupport.h"

namespace {

// A grey picture: every channel of pixel (x, y) holds values[y * width + x].
std::unique_ptr<TBitmap> Grey(int width, int height, const std::vector<int>& values) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  for (int i = 0; i < width * height; ++i)
    std::fill_n(b->ScanLine(i / width) + 3 * (i % width), 3, values[i]);
  return b;
}
std::unique_ptr<TBitmap> Flat(int width, int height, int v) {
  return Grey(width, height, std::vector<int>(width * height, v));
}
// The blue channel of every pixel, row by row.
std::vector<int> Blues(TBitmap& b) {
  std::vector<int> out;
  for (int i = 0; i < b.Width() * b.Height(); ++i)
    out.push_back(b.ScanLine(i / b.Width())[3 * (i % b.Width())]);
  return out;
}
std::unique_ptr<TBitmap> Noise(int width, int height, unsigned seed) {
  auto b = Flat(width, height, 0);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) b->ScanLine(y)[x] = static_cast<uint8_t>(random());
  return b;
}

}  // namespace

TEST(NeighbourhoodBlur, GaussAndAntialiasWorkInPlace) {
  // One row (or column): each pixel is the mean of its partners at distance
  // 3, itself where one is missing; pixel 3 reads pixel 0's new value.
  const std::vector<int> line = {0, 10, 20, 30, 40, 50, 60}, expected = {15, 25, 35, 37, 32, 42, 48};
  auto row = Grey(7, 1, line), column = Grey(1, 7, line);
  ApplyGauss(*row, 1);
  ApplyGauss(*column, 1);
  EXPECT_EQ(Blues(*row), expected);
  EXPECT_EQ(Blues(*column), expected);
  auto noise = Noise(9, 8, 1), mirrored = CopyPicture(*noise), before = CopyPicture(*noise);
  ApplyGauss(*noise, 0);
  BlurCorners(*noise, 0);
  ApplyAntialias(*noise, 0);
  EXPECT_TRUE(SameColors(*noise, *before));
  BlurCorners(*noise, 2);
  BlurCorners(*mirrored, -2);
  EXPECT_TRUE(SameColors(*noise, *mirrored));

  // 4 x 3: (1,1) = (1 + 9 + 4 + 6) >> 2, then (2,1) takes the new (1,1).
  auto b = Grey(4, 3, {0, 1, 2, 3, 4, 0, 6, 7, 8, 9, 10, 11});
  ApplyAntialias(*b, 1);
  EXPECT_EQ(Blues(*b),
            (std::vector<int>{0, 1, 2, 3, 4, (1 + 9 + 4 + 6) >> 2, (2 + 10 + 5 + 7) >> 2, 7, 8, 9, 10, 11}));
  noise = Noise(9, 9, 2);
  before = CopyPicture(*noise);
  ApplyAntialias(*noise, 3);
  for (int i = 0; i < 9; ++i)
    for (auto [x, y] : {std::pair{i, 0}, {i, 8}, {0, i}, {8, i}})
      EXPECT_EQ(PixelAt(*noise, x, y), PixelAt(*before, x, y));
}

TEST(NeighbourhoodBlur, RadialAngleOneAveragesTwoRotations) {
  // 141 x 141: R = trunc(sqrt(71^2 + 71^2)) = 100, angle 1 gives n = 2.
  auto b = Noise(141, 141, 3), before = CopyPicture(*b);
  ApplyBlurRadial(*b, 1);
  auto mean = [&](int x0, int y0, int x1, int y1) {
    return (before->ScanLine(y0)[3 * x0 + 1] + before->ScanLine(y1)[3 * x1 + 1]) / 2;
  };
  EXPECT_EQ(PixelAt(*b, 70, 70), PixelAt(*before, 70, 70));
  EXPECT_EQ(b->ScanLine(70)[3 * 140 + 1], mean(139, 69, 139, 70));
  EXPECT_EQ(b->ScanLine(0)[3 * 70 + 1], mean(69, 0, 70, 0));
  EXPECT_EQ(b->ScanLine(70)[3 * 80 + 1], mean(79, 69, 79, 70));  // stride R / r = 10, limited to n - 1

  // Angle -1 leaves one sample angle: a division by zero before any change.
  before = CopyPicture(*b);
  EXPECT_THROW(ApplyBlurRadial(*b, -1), EZeroDivide);
  EXPECT_THROW(ApplyBlurRadial(*b, 2147483647), EOutOfMemory);
  ApplyBlurRadial(*b, -90);  // no sample angle at all
  EXPECT_TRUE(SameColors(*b, *before));
}

TEST(NeighbourhoodOilPaint, TakesMeanOfFullestBin) {
  // Levels 1: white is bin 1, everything else bin 0. The centre's window
  // holds five white pixels; the corner's 2 x 2 window ties and takes the
  // dark ones.
  auto b = Grey(3, 3, {255, 10, 255, 11, 255, 14, 255, 15, 255});
  ApplyOilPaint(*b, 1, 1);
  EXPECT_EQ(b->ScanLine(1)[3], 255);
  EXPECT_EQ(b->ScanLine(0)[0], (10 + 11) / 2);
  // Radius 2 at (1,1) of a 3 x 3 picture: x - 2 < 0 and x + 2 = W, so the
  // window is columns and rows 1..2 only.
  b = Grey(3, 3, {0, 0, 0, 0, 90, 90, 0, 90, 30});
  ApplyOilPaint(*b, 0, 2);
  EXPECT_EQ(b->ScanLine(1)[3], (90 + 90 + 90 + 30) / 4);

  auto noise = Noise(9, 7, 4), before = CopyPicture(*noise);
  ApplyOilPaint(*noise, 10, 0);
  ApplyOilPaint(*noise, 10, -3);
  EXPECT_TRUE(SameColors(*noise, *before));
}

TEST(NeighbourhoodOilPaint, MatchesDirectHistogram) {
  for (auto [levels, radius] : {std::pair{10, 2}, {255, 1}, {3, 5}, {300, 2}}) {
    auto b = Noise(13, 11, levels), source = CopyPicture(*b);
    ApplyOilPaint(*b, levels, radius);
    const double f = (levels & 255) / 255.0;
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 13; ++x) {
        std::vector<long> count(levels + 1), sum(3 * (levels + 1));
        for (int wy = y - radius < 0 ? y : y - radius; wy <= std::min(y + radius > 11 ? y : y + radius, 10);
             ++wy)
          for (int wx = x - radius < 0 ? x : x - radius; wx <= std::min(x + radius > 13 ? x : x + radius, 12);
               ++wx) {
            const uint8_t* p = source->ScanLine(wy) + 3 * wx;
            const int bin =
                static_cast<int>(static_cast<uint8_t>(0.3 * p[2] + 0.59 * p[1] + 0.11 * p[0]) * f);
            ++count[bin];
            for (int c = 0; c < 3; ++c) sum[3 * bin + c] += p[c];
          }
        const int best = static_cast<int>(std::max_element(count.begin(), count.end()) - count.begin());
        for (int c = 0; c < 3; ++c) ASSERT_EQ(b->ScanLine(y)[3 * x + c], sum[3 * best + c] / count[best]);
      }
  }
}

TEST(NeighbourhoodConvolve, IntegerKernelReplicatesEdges) {
  auto b = Noise(6, 5, 5), before = CopyPicture(*b);
  Convolve3x3Int({0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, *b);
  EXPECT_TRUE(SameColors(*b, *before));
  // Taking the upper-left neighbour shifts the picture, edges repeated.
  Convolve3x3Int({1, 0, 0, 0, 0, 0, 0, 0, 0}, 1, *b);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(PixelAt(*b, x, y), PixelAt(*before, std::max(x - 1, 0), std::max(y - 1, 0)));
  auto grey = Grey(3, 1, {5, 100, 200});
  Convolve3x3Int({0, 0, 0, 0, 3, 0, 0, 0, 0}, 2, *grey);
  EXPECT_EQ(Blues(*grey), (std::vector<int>{7, 150, 255}));
  EXPECT_THROW(Convolve3x3Int({0, 0, 0, 0, 1, 0, 0, 0, 0}, 0, *grey), EDivByZero);
  Convolve3x3Int({0, 0, 0, 0, -1, 0, 0, 0, 0}, 1, *grey);
  EXPECT_EQ(Blues(*grey), (std::vector<int>{0, 0, 0}));
}

TEST(NeighbourhoodConvolve, KernelEffectsByType) {
  // 3 x 3 with distinct values: the float kernels change only the centre,
  // the integer ones see a replicated border.
  const std::vector<int> v = {10, 20, 30, 40, 50, 60, 70, 80, 45};
  const int ring = 10 + 20 + 30 + 40 + 60 + 70 + 80 + 45;
  auto run = [&](auto effect, int level, int type) {
    auto b = Grey(3, 3, v);
    effect(*b, level, type);
    return Blues(*b);
  };
  EXPECT_EQ(run(ApplySoftened, 25, 0)[4], 2 * ring / 16);
  EXPECT_EQ(run(ApplySoftened, 7, 3), (std::vector<int>{10, 20, 30, 40, (10 + 45) / 2 + 7, 60, 70, 80, 45}));
  EXPECT_EQ(run(ApplySharpness, 10, 1)[4], 5 * 50 - 20 - 40 - 60 - 80);
  EXPECT_EQ(run(ApplyEmboss, 40, 0)[4], 10 + 30 + 70 - 2 * 45);
  EXPECT_EQ(run(ApplyEmboss, 40, 0)[8], 50 + 60 + 80 - 2 * 45);
  EXPECT_EQ(run(ApplyEmboss, 250, 2)[4], 250 + 10 + 40 + 30 - 70 - 160 - 45);
  EXPECT_EQ(run(ApplyDetectEdge, 0, 2)[4], 39 * 50 - 5 * ring);
  // A type outside the table changes nothing.
  for (auto effect : {ApplySoftened, ApplySharpness, ApplyEmboss, ApplyDetectEdge})
    for (int type : {-1, 6}) EXPECT_EQ(run(effect, 40, type), v);
}

TEST(NeighbourhoodConvolve, FlatPictures) {
  struct Case {
    void (*effect)(TBitmap&, int, int);
    int level, type, inside, first, last;
  };
  // Interior, first and last pixel of a flat grey 100 picture.
  const Case cases[] = {{ApplySoftened, 25, 0, 100, 100, 100},  {ApplySoftened, 25, 2, 100, 100, 100},
                        {ApplySoftened, 30, 3, 130, 100, 100},  {ApplySoftened, 30, 5, 130, 100, 100},
                        {ApplySharpness, 10, 0, 100, 100, 100}, {ApplySharpness, 20, 2, 120, 100, 100},
                        {ApplySharpness, 20, 3, 120, 100, 100}, {ApplyEmboss, 40, 0, 100, 100, 100},
                        {ApplyEmboss, 40, 1, 0, 0, 0},          {ApplyEmboss, 128, 2, 128, 100, 100},
                        {ApplyEmboss, 300, 5, 255, 100, 100},   {ApplyDetectEdge, 40, 3, 40, 100, 100},
                        {ApplyDetectEdge, 40, 1, 40, 100, 100}, {ApplyDetectEdge, 40, 0, 0, 0, 100}};
  for (const Case& c : cases) {
    auto b = Flat(5, 4, 100);
    c.effect(*b, c.level, c.type);
    EXPECT_EQ(Blues(*b)[12], c.inside) << c.level << " " << c.type;
    EXPECT_EQ(Blues(*b)[0], c.first) << c.level << " " << c.type;
    EXPECT_EQ(Blues(*b)[19], c.last) << c.level << " " << c.type;
  }
}

TEST(NeighbourhoodLaplace, MatchesDirectSum) {
  auto b = Grey(2, 2, {10, 20, 30, 40});
  DetectEdgeLaplace(*b, 1);
  EXPECT_EQ(Blues(*b), (std::vector<int>{5 * 40 - 10 - 2 * 20 - 2 * 30, 20, 30, 40}));
  for (auto [w, h] : {std::pair{17, 13}, {3, 1}, {1, 3}, {30, 2}})
    for (int radius : {-5, 0, 2, 14}) {
      auto pic = Noise(w, h, radius + 20), source = CopyPicture(*pic);
      DetectEdgeLaplace(*pic, radius);
      const int r = std::clamp(radius, 1, 10), n = 2 * r + 1;
      auto at = [&](int x, int y, int c) {
        return int{source->ScanLine(std::min(y, h - 1))[3 * std::min(x, w - 1) + c]};
      };
      for (int i = 0; i < 3 * w * h; ++i) {
        const int x = i / 3 % w, y = i / 3 / w, c = i % 3;
        int expected = at(x, y, c);
        if (x < w - 1 && y < h - 1) {
          expected = n * n * at(x + r, y + r, c);
          for (int k = 0; k < n * n; ++k) expected -= at(x + k % n, y + k / n, c);
        }
        ASSERT_EQ(pic->ScanLine(y)[3 * x + c], std::clamp(expected, 0, 255))
            << w << "x" << h << " r" << radius;
      }
    }
}

TEST(NeighbourhoodEdges, TinyAndEmptyPictures) {
  auto all = [](TBitmap& b, int p) {
    ApplyGauss(b, p);
    ApplyAntialias(b, p);
    ApplyBlurRadial(b, 90);
    ApplyOilPaint(b, p * 60 - 10, p);
    for (int type = 0; type < 6; ++type) {
      ApplySoftened(b, 120 * p, type);
      ApplySharpness(b, 50 * p, type);
      ApplyEmboss(b, 255 * p, type);
      ApplyDetectEdge(b, 255 * p, type);
    }
  };
  for (auto [w, h] : {std::pair{1, 1}, {1, 5}, {5, 1}, {2, 2}, {2, 7}, {7, 2}})
    for (int p : {-1, 1, 3}) {
      auto noise = Noise(w, h, 6);
      all(*noise, p);
      // Flat stays flat; with no interior Emboss changes nothing.
      auto flat = Flat(w, h, 77);
      ApplyGauss(*flat, 2);
      ApplyBlurRadial(*flat, 45);
      ApplyOilPaint(*flat, 10, p);
      ApplyEmboss(*flat, 200, 2);
      EXPECT_EQ(Blues(*flat), std::vector<int>(w * h, 77)) << w << "x" << h;
    }
  for (auto [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}}) {
    auto empty = Flat(w, h, 0);
    all(*empty, 1);
    ApplyBlurRadial(*empty, -1);
    Convolve3x3Int({}, 0, *empty);
  }
}
