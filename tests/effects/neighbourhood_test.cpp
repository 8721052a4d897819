// Neighbourhood filters: Gauss and antialias blurs, radial blur, oil paint,
// the 3 x 3 convolutions behind the kernel effects and the large Laplacian.
#include "effects/neighbourhood.h"

#include <algorithm>

#include "effects/effectbase.h"
#include "tests/effects/effecttest.h"

namespace {

// A grey picture `width` pixels wide holding the values row by row.
std::unique_ptr<TBitmap> Grey(int width, const std::vector<int>& values) {
  std::vector<TColor> colors;
  for (int v : values) colors.push_back(RGB(v, v, v));
  return MakeColorBitmap(width, colors);
}
// The blue channel of every pixel, row by row.
std::vector<int> Blues(TBitmap& b) {
  std::vector<int> out;
  for (int i = 0; i < b.Width() * b.Height(); ++i)
    out.push_back(GetBValue(PixelAt(b, i % b.Width(), i / b.Width())));
  return out;
}

}  // namespace

TEST(NeighbourhoodBlur, GaussAndAntialiasWorkInPlace) {
  // One row (or column): each pixel is the mean of its partners at distance
  // 3, itself where one is missing; pixel 3 reads pixel 0's new value.
  const std::vector<int> line = {0, 10, 20, 30, 40, 50, 60}, expected = {15, 25, 35, 37, 32, 42, 48};
  auto row = Grey(7, line), column = Grey(1, line);
  ApplyGauss(*row, 1);
  ApplyGauss(*column, 1);
  EXPECT_EQ(Blues(*row), expected);
  EXPECT_EQ(Blues(*column), expected);
  EXPECT_TRUE(LeavesUnchanged(9, 8, [](TBitmap& b) {
    ApplyGauss(b, 0);
    BlurCorners(b, 0);
    ApplyAntialias(b, 0);
  }));

  // 4 x 3: (1,1) = (1 + 9 + 4 + 6) >> 2, then (2,1) takes the new (1,1); the
  // outermost rows and columns never change, so two rows stay as they are.
  auto b = Grey(4, {0, 1, 2, 3, 4, 0, 6, 7, 8, 9, 10, 11});
  ApplyAntialias(*b, 1);
  EXPECT_EQ(Blues(*b),
            (std::vector<int>{0, 1, 2, 3, 4, (1 + 9 + 4 + 6) >> 2, (2 + 10 + 5 + 7) >> 2, 7, 8, 9, 10, 11}));
  EXPECT_TRUE(LeavesUnchanged(9, 2, [](TBitmap& b) { ApplyAntialias(b, 3); }));
}

TEST(NeighbourhoodBlur, RadialAngleOneAveragesTwoRotations) {
  // 141 x 141: R = trunc(sqrt(71^2 + 71^2)) = 100, angle 1 gives n = 2.
  auto b = MakeNoiseBitmap(141, 141, 3), before = MakeNoiseBitmap(141, 141, 3);
  ApplyBlurRadial(*b, 1);
  auto mean = [&](int x0, int y0, int x1, int y1) {
    return (GetGValue(PixelAt(*before, x0, y0)) + GetGValue(PixelAt(*before, x1, y1))) / 2;
  };
  EXPECT_EQ(PixelAt(*b, 70, 70), PixelAt(*before, 70, 70));
  EXPECT_EQ(GetGValue(PixelAt(*b, 140, 70)), mean(139, 69, 139, 70));
  EXPECT_EQ(GetGValue(PixelAt(*b, 80, 70)), mean(79, 69, 79, 70));  // stride R / r = 10, limited to n - 1

  // Angle -1 leaves one sample angle: a division by zero before any change.
  ExpectRefused<EZeroDivide>(9, 9, [](TBitmap& b) { ApplyBlurRadial(b, -1); });
  ExpectRefused<EOutOfMemory>(9, 9, [](TBitmap& b) { ApplyBlurRadial(b, 2147483647); });
  EXPECT_TRUE(LeavesUnchanged(9, 9, [](TBitmap& b) { ApplyBlurRadial(b, -90); }));  // no sample angle at all
}

TEST(NeighbourhoodOilPaint, TakesMeanOfFullestBin) {
  // Levels 1: white is bin 1, everything else bin 0. The centre's window
  // holds five white pixels; the corner's 2 x 2 window ties and takes the
  // dark ones.
  auto b = Grey(3, {255, 10, 255, 11, 255, 14, 255, 15, 255});
  ApplyOilPaint(*b, 1, 1);
  EXPECT_EQ(Blues(*b)[4], 255);
  EXPECT_EQ(Blues(*b)[0], (10 + 11) / 2);
  // Radius 2 at (1,1) of a 3 x 3 picture: x - 2 < 0 and x + 2 = W, so the
  // window is columns and rows 1..2 only.
  b = Grey(3, {0, 0, 0, 0, 90, 90, 0, 90, 30});
  ApplyOilPaint(*b, 0, 2);
  EXPECT_EQ(Blues(*b)[4], (90 + 90 + 90 + 30) / 4);
  EXPECT_TRUE(LeavesUnchanged(9, 7, [](TBitmap& b) {
    ApplyOilPaint(b, 10, 0);
    ApplyOilPaint(b, 10, -3);
  }));

}

TEST(NeighbourhoodOilPaint, EveryChannelFromTheFullestBinAtDefaultAndOtherSettings) {
  // The bins are intensities 0.3 red + 0.59 green + 0.11 blue; each channel
  // becomes that channel's mean over the fullest bin. Levels 10 with radius
  // 2 are the job's defaults.
  auto painted = [](int levels, int radius) {
    return [=](TPixels& p) {
      const TPixels before = p;
      const double f = (levels & 0xFF) * (1.0 / 255);
      for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x) {
          std::vector<int> count(levels + 1);
          std::vector<TRGB> sum(levels + 1);
          const int x1 = x + radius > p.Width ? x : x + radius, y1 = y + radius > p.Height ? y : y + radius;
          for (int wy = y - radius < 0 ? y : y - radius; wy <= y1; ++wy)
            for (int wx = x - radius < 0 ? x : x - radius; wx <= x1; ++wx) {
              if (wx >= p.Width || wy >= p.Height) continue;
              const TRGB& c = before.Colors[wy * p.Width + wx];
              const int bin = static_cast<int>((static_cast<int>(0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]) & 0xFF) * f);
              ++count[bin];
              for (int i = 0; i < 3; ++i) sum[bin][i] += c[i];
            }
          const int fullest = static_cast<int>(std::max_element(count.begin(), count.end()) - count.begin());
          for (int i = 0; i < 3; ++i) p(x, y)[i] = sum[fullest][i] / count[fullest];
        }
    };
  };
  for (auto [levels, radius] : {std::pair{10, 2}, {40, 2}, {10, 1}})
    EXPECT_TRUE(GivesPixels([=](TBitmap& b) { ApplyOilPaint(b, levels, radius); }, MakeChannelBitmap(32, 20),
                            painted(levels, radius)))
        << "levels " << levels << ", radius " << radius;
}

TEST(NeighbourhoodConvolve, IntegerKernelReplicatesEdges) {
  EXPECT_TRUE(LeavesUnchanged(6, 5, [](TBitmap& b) { Convolve3x3Int({0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, b); }));
  // Taking the upper-left neighbour shifts the picture, edges repeated.
  const TIntKernel upperLeft = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(SourcesAfter(3, 2, [&](TBitmap& b) { Convolve3x3Int(upperLeft, 1, b); }),
            "0,0 0,0 1,0\n0,0 0,0 1,0");
  auto grey = Grey(3, {5, 100, 200});
  Convolve3x3Int({0, 0, 0, 0, 3, 0, 0, 0, 0}, 2, *grey);
  EXPECT_EQ(Blues(*grey), (std::vector<int>{7, 150, 255}));
  Convolve3x3Int({0, 0, 0, 0, -1, 0, 0, 0, 0}, 1, *grey);
  EXPECT_EQ(Blues(*grey), (std::vector<int>{0, 0, 0}));
  ExpectRefused<EDivByZero>(3, 3, [](TBitmap& b) { Convolve3x3Int({0, 0, 0, 0, 1, 0, 0, 0, 0}, 0, b); });
}

TEST(NeighbourhoodConvolve, KernelEffectsByType) {
  // 3 x 3 with distinct values: the float kernels change only the centre,
  // the integer ones see a replicated border.
  const std::vector<int> v = {10, 20, 30, 40, 50, 60, 70, 80, 45};
  const int ring = 10 + 20 + 30 + 40 + 60 + 70 + 80 + 45;
  auto run = [&](auto effect, int level, int type) {
    auto b = Grey(3, v);
    effect(*b, level, type);
    return Blues(*b);
  };
  EXPECT_EQ(run(ApplySoftened, 25, 0)[4], 2 * ring / 16);
  EXPECT_EQ(run(ApplySoftened, 7, 3), (std::vector<int>{10, 20, 30, 40, (10 + 45) / 2 + 7, 60, 70, 80, 45}));
  EXPECT_EQ(run(ApplySharpness, 10, 1)[4], 5 * 50 - 20 - 40 - 60 - 80);
  EXPECT_EQ(run(ApplyEmboss, 40, 0)[4], 10 + 30 + 70 - 2 * 45);
  EXPECT_EQ(run(ApplyEmboss, 250, 2)[4], 250 + 10 + 40 + 30 - 70 - 160 - 45);
  EXPECT_EQ(run(ApplyDetectEdge, 0, 2)[4], 39 * 50 - 5 * ring);
  // A type outside the table changes nothing.
  for (auto effect : {ApplySoftened, ApplySharpness, ApplyEmboss, ApplyDetectEdge})
    for (int type : {-1, 6}) EXPECT_EQ(run(effect, 40, type), v);

  // Interior, first and last pixel of a flat grey 100 picture: the float
  // kernels that sum to 1 or 0 add the level inside and keep the border; the
  // large Laplacian is 0 but for the last row and column.
  auto flat = [](auto effect, int level, int type) {
    auto b = MakeFlatBitmap(5, 4, RGB(100, 100, 100));
    effect(*b, level, type);
    return std::vector<int>{Blues(*b)[7], Blues(*b)[0], Blues(*b)[19]};
  };
  EXPECT_EQ(flat(ApplySoftened, 30, 3), (std::vector<int>{130, 100, 100}));
  EXPECT_EQ(flat(ApplyDetectEdge, 40, 0), (std::vector<int>{0, 0, 100}));
}

TEST(NeighbourhoodLaplace, MatchesDirectSum) {
  auto b = Grey(2, {10, 20, 30, 40});
  DetectEdgeLaplace(*b, 1);
  EXPECT_EQ(Blues(*b), (std::vector<int>{5 * 40 - 10 - 2 * 20 - 2 * 30, 20, 30, 40}));
  // The running sums give the window sums; radii are limited to 1..10.
  const int w = 17, h = 13;
  for (int radius : {2, 14}) {
    auto picture = MakeNoiseBitmap(w, h, radius), source = MakeNoiseBitmap(w, h, radius);
    DetectEdgeLaplace(*picture, radius);
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
      ASSERT_EQ(picture->ScanLine(y)[3 * x + c], std::clamp(expected, 0, 255)) << " r" << radius;
    }
  }
}
