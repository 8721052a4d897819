// The resize step shared by the run and the resize dialog: the size it
// works out before any pixel is made is the size it makes, the side it
// derives is the one the resize functions derive, and it resizes in place
// or into a second picture alike.
#include <gtest/gtest.h>

#include "effects/function.h"
#include "engine/resizestep.h"
#include "tests/support/testsupport.h"

namespace {

TResizeValues Kept(int scaleType, int width, int height, int percent = 100) {
  return {true, scaleType, width, height, percent};
}

}  // namespace

TEST(ResizeStep, DerivedSideTakesTheRatioInSinglePrecisionAndNeedNotFitAnInt) {
  const struct {
    int Width, Height;
    TResizeValues Values;
    int64_t NewWidth, NewHeight;
  } cases[] = {
      {1000, 750, Kept(0, 333, 0), 333, 249},  // 1000 / 333 held as a float, 750 divided by it in double
      {128, 480, Kept(0, 76, 0), 76, 284},     // the float ratio is a hair above the true one: not 285
      {1000, 750, Kept(1, 0, 249), 331, 249},  // back from the height 249: not 333
      {1001, 751, Kept(2, 0, 0, 50), 500, 375},
      {1000, 1, Kept(0, 10, 0), 10, 0},  // a side that truncates to nothing shows as 0
      {10, 10, {false, 0, 99999, 99999, 100}, 99999, 99999},  // a free size far past any bitmap
  };
  for (const auto& c : cases) {
    TResizedSize size = ResizedSize(c.Width, c.Height, c.Values);
    EXPECT_EQ(size.Width, c.NewWidth) << c.Width << "x" << c.Height;
    EXPECT_EQ(size.Height, c.NewHeight) << c.Width << "x" << c.Height;
  }
  // Very wide and thin by the largest percentage a field holds: no overflow.
  EXPECT_GT(ResizedSize(300000000, 1, Kept(2, 0, 0, 9999)).Width, int64_t(2147483647));
  EXPECT_GT(ResizedSize(1, 100000, Kept(0, 99999, 0)).Height, int64_t(2147483647));
}

TEST(ResizeStep, MakesTheSizeItForetellsInPlaceOrNot) {
  const TResizeValues cases[] = {Kept(0, 11, 0),    Kept(0, 80, 0),     Kept(1, 0, 9),          Kept(1, 0, 50),
                                 Kept(2, 0, 0, 33), Kept(2, 0, 0, 250), {false, 0, 5, 40, 100}, {false, 1, 60, 3, 100}};
  for (const TResizeValues& values : cases) {
    SCOPED_TRACE(std::to_string(values.ScaleType) + (values.PreserveAspect ? " kept" : " free"));
    auto source = MakeTestBitmap(37, 23, 5);
    TBitmap result;
    ResizePicture(*source, result, values);
    TResizedSize size = ResizedSize(37, 23, values);
    EXPECT_EQ(result.Width(), size.Width);
    EXPECT_EQ(result.Height(), size.Height);
    EXPECT_EQ(result.PixelFormat(), pf24bit);
    // The source of a separate result is left as it was; in place gives the
    // same picture.
    EXPECT_TRUE(SameColors(*source, *MakeTestBitmap(37, 23, 5)));
    EXPECT_EQ(&ResizePicture(*source, *source, values), source.get());
    EXPECT_TRUE(SameColors(result, *source));
  }
}

TEST(ResizeStep, StretchedIsACopyingStretchSmoothedOnce) {
  auto source = MakeTestBitmap(20, 12, 3);
  TBitmap expected;
  expected.SetPixelFormat(pf24bit);
  expected.SetSize(9, 30);
  SetStretchBltMode(expected.Canvas()->Handle(), COLORONCOLOR);
  StretchBlt(expected.Canvas()->Handle(), 0, 0, 9, 30, source->Canvas()->Handle(), 0, 0, 20, 12, SRCCOPY);
  ApplyAntialias(expected, 1);
  TBitmap result;
  ResizePicture(*source, result, {false, 2, 9, 30, 50});
  EXPECT_TRUE(SameColors(expected, result));
}

TEST(ResizeStep, AShrinkKeepsThePicturesColours) {
  // Red and lime columns: a stretch that combined the columns it drops
  // would make them black.
  TBitmap stripes;
  stripes.SetPixelFormat(pf24bit);
  stripes.SetSize(40, 10);
  for (int x = 0; x < 40; ++x) {
    stripes.Canvas()->Brush.Color = x % 2 ? clLime : clRed;
    stripes.Canvas()->FillRect(Rect(x, 0, x + 1, 10));
  }
  TBitmap result;
  ResizePicture(stripes, result, {false, 0, 20, 10, 100});
  for (int x = 0; x < 20; ++x) EXPECT_EQ(PixelAt(result, x, 5), clRed) << x;
}
