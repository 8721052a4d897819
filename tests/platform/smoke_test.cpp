#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

TEST(BitmapBasics, NewlySizedBitmapIsWhite) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 2);
  EXPECT_EQ(PixelAt(b, 2, 1), clWhite);
}
