// Metafile bitmaps: the bound on the pixels one drawing decodes, pattern
// brushes tiled whole, and what a drawing holds for its bitmaps.
#include <gtest/gtest.h>

#include "platform/metafile/metafile.h"
#include "tests/platform/metafile/metafilebuild.h"
#include "tests/support/testsupport.h"

using namespace mftest;

namespace {

int64_t BitmapBytes(const std::vector<uint8_t>& data) { return MetafileBitmapBytes(data.data(), data.size()); }

// Twenty pattern brushes of 8192 x 8192 pixels in a few bytes each, each
// filling a cell of a 5 x 4 grid, and a red box and a line below them.
std::vector<uint8_t> TwentyHugePatterns(int patterns = 20) {
  Wmf w(0, 0, 96, 96, 96);
  for (int k = 0; k < patterns; ++k) w.PatternBrush(RleDib(8192, 8192, RGB(12 * k, 100, 200)));
  w.Pen(5, 0, 0).Select(patterns);  // null pen
  for (int k = 0; k < patterns; ++k) {
    const int x = 2 + 19 * (k % 5), y = 2 + 19 * (k / 5);
    w.Select(k).Rect(x, y, x + 16, y + 16);
  }
  w.Brush(0, clRed).Select(patterns + 1).Rect(10, 82, 90, 94);
  w.Pen(0, 1, clBlack).Select(patterns + 2).Line(0, 79, 96, 79);
  return w.Finish();
}

}  // namespace

TEST(MetafileBitmaps, ADrawingDecodesAtMostTheBoundInAll) {
  // The first pattern takes the whole bound (2^26 pixels): the other
  // nineteen are left out and fill nothing; the rest is drawn. Each drawing
  // has its bound: a second one draws the same.
  const std::vector<uint8_t> data = TwentyHugePatterns();
  EXPECT_LT(data.size(), 2000u);
  auto metafile = Load(data);
  for (int drawing = 0; drawing < 2; ++drawing) {
    SCOPED_TRACE(drawing);
    auto b = MakeFlatBitmap(96, 96, clWhite);
    b->Canvas()->Draw(0, 0, metafile.get());
    EXPECT_EQ(Count(*b, Bounds(2, 2, 16, 16), RGB(0, 100, 200)), 256);
    for (int k = 1; k < 20; ++k)
      EXPECT_EQ(Count(*b, Bounds(2 + 19 * (k % 5), 2 + 19 * (k / 5), 16, 16), clWhite), 256) << k;
    EXPECT_EQ(Extent(*b, clRed), Rect(10, 82, 90, 94));
    EXPECT_EQ(Extent(*b, clBlack), Rect(0, 79, 96, 80));
  }
  // What the drawing holds is what the first pattern takes.
  EXPECT_EQ(BitmapBytes(data), BitmapBytes(TwentyHugePatterns(1)));
}

TEST(MetafileBitmaps, PatternBrushesTileTheirWholePicture) {
  // 100 x 80 with red, lime, blue and yellow corners on white.
  auto corner = [](int x, int y) {
    if (x == 0 && y == 0) return clRed;
    if (x == 99 && y == 0) return clLime;
    if (x == 0 && y == 79) return clBlue;
    if (x == 99 && y == 79) return clYellow;
    return clWhite;
  };
  Wmf w(0, 0, 200, 160, 96);
  w.PatternBrush(Dib24(100, 80, corner)).Pen(5, 0, 0).Select(0).Select(1).Rect(0, 0, 200, 160);
  auto b = Render(w.Finish(), 200, 160, clBlack);
  for (int y : {0, 79, 80, 159})
    for (int x : {0, 99, 100, 199}) EXPECT_EQ(PixelAt(*b, x, y), corner(x % 100, y % 80)) << x << "," << y;
  EXPECT_EQ(Count(*b, Rect(0, 0, 200, 160), clWhite), 200 * 160 - 16);
}

TEST(MetafileBitmaps, BytesHeldForTheBitmapsFromTheHeaders) {
  // Nothing for data that is not a metafile, or one without bitmaps.
  EXPECT_EQ(MetafileBitmapBytes(nullptr, 0), 0);
  EXPECT_EQ(BitmapBytes(std::vector<uint8_t>(100, 0x55)), 0);
  const std::vector<uint8_t> plain = Wmf().Rect(0, 0, 10, 10).Finish();
  EXPECT_EQ(BitmapBytes(std::vector<uint8_t>(plain.begin() + 22, plain.end())), 0);  // no placeable header
  EXPECT_EQ(BitmapBytes(plain), 0);
  EXPECT_EQ(BitmapBytes(Emf().Rect(0, 0, 10, 10).Finish()), 0);

  // A drawn picture is held only while its record plays: of two, the
  // larger counts (what a drawing holds is measured in the memory tests).
  const auto a = RleDib(1000, 600, clRed);
  const auto b = DibHeader(300, 500, 24, 0).Zeros(900 * 500).Data;
  const int64_t drawnA = BitmapBytes(Wmf().StretchDib(0, 0, 10, 10, 1000, 600, a).Finish());
  const int64_t drawnB = BitmapBytes(Wmf().StretchDib(0, 0, 10, 10, 300, 500, b).Finish());
  EXPECT_GT(drawnA, drawnB);
  EXPECT_GT(drawnB, 0);
  EXPECT_EQ(BitmapBytes(Wmf().StretchDib(0, 0, 10, 10, 300, 500, b).StretchDib(0, 0, 10, 10, 1000, 600, a).Finish()),
            drawnA);
}
