// TCanvas over a bitmap: pixels, filling, outlines, lines and CopyRect with
// its copy mode and mirrored rectangles.
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

TEST(Canvas, GetAndSetPixel) {
  for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
    auto b = MakeFlatBitmap(3, 2, clWhite, format);
    TCanvas& c = *b->Canvas();
    EXPECT_EQ(c.GetPixel(-1, 0), static_cast<TColor>(CLR_INVALID));
    c.SetPixel(-1, -1, clBlack);  // ignored
    c.SetPixel(3, 1, clBlack);
    c.SetPixel(0, 0, clWindowText);  // system colour: black
    c.SetPixel(1, 0, clNone);
    c.SetPixel(2, 0, clDefault);
    c.SetPixel(0, 1, 0x02000000);  // a palette reference is not drawn
    EXPECT_EQ(ColorLetters(*b), "KWW\nWWW") << format;
  }
  TCanvas detached;  // no bitmap: nothing happens
  EXPECT_EQ(detached.GetPixel(0, 0), static_cast<TColor>(CLR_INVALID));
  detached.SetPixel(0, 0, clRed);
  detached.FillRect(Rect(0, 0, 1, 1));
}

TEST(Canvas, FillFrameRectangleAndLines) {
  auto b = MakeFlatBitmap(6, 5, clWhite);
  TCanvas& c = *b->Canvas();
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 6, 5));
  c.Brush.Color = clRed;
  c.FillRect(Rect(1, 1, 3, 3));
  c.FillRect(Rect(5, 5, 4, 4));  // empty
  c.Brush.Style = bsClear;
  c.FillRect(Rect(0, 0, 6, 5));
  c.FrameRect(Rect(0, 0, 6, 5));
  c.Brush.Style = bsSolid;
  c.Brush.Color = clBlue;
  c.FrameRect(Rect(2, 0, 6, 4));
  EXPECT_EQ(ColorLetters(*b), "WWBBBB\nWRBWWB\nWRBWWB\nWWBBBB\nWWWWWW");

  auto r = MakeFlatBitmap(5, 4, clWhite);
  TCanvas& rc = *r->Canvas();
  rc.Pen.Color = clBlack;
  rc.Brush.Color = clLime;
  rc.Rectangle(4, 4, 0, 0);  // corners in any order
  EXPECT_EQ(ColorLetters(*r), "KKKKW\nKGGKW\nKGGKW\nKKKKW");
  rc.Brush.Style = bsClear;
  rc.Pen.Color = clRed;
  rc.Rectangle(1, 1, 5, 4);
  rc.Pen.Style = psClear;
  rc.Brush.Style = bsSolid;
  rc.Brush.Color = clBlue;
  rc.Rectangle(0, 0, 3, 3);
  EXPECT_EQ(ColorLetters(*r), "KKKKW\nKBRRR\nKRGKR\nKRRRR");

  auto l = MakeFlatBitmap(5, 4, clWhite);
  TCanvas& lc = *l->Canvas();
  lc.MoveTo(0, 0);
  lc.LineTo(4, 0);  // end point not drawn
  lc.Pen.Color = clRed;
  lc.LineTo(4, 3);
  lc.Pen.Color = clBlue;
  lc.LineTo(1, 0);
  lc.Pen.Color = clLime;
  lc.MoveTo(-5, 3);
  lc.LineTo(2, 3);
  EXPECT_EQ(ColorLetters(*l), "KKKKR\nWWBWR\nWWWBR\nGGWWB");
}

TEST(Canvas, CopyRectModesAndMirrors) {
  const int W = 5, H = 4;
  auto src = MakeTestBitmap(W, H, 40);
  // Mirroring the target rectangle on both axes, or the source one, turns
  // the picture round.
  for (bool mirrorSource : {false, true}) {
    auto dst = MakeFlatBitmap(W, H, clWhite);
    TRect whole = Rect(0, 0, W, H), mirrored = Rect(W - 1, H - 1, -1, -1);
    dst->Canvas()->CopyRect(mirrorSource ? whole : mirrored, *src->Canvas(), mirrorSource ? mirrored : whole);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        ASSERT_EQ(PixelAt(*dst, W - 1 - x, H - 1 - y), PixelAt(*src, x, y)) << mirrorSource << x << "," << y;
  }
  // The copy mode and a stretched copy.
  auto red = MakeFlatBitmap(2, 2, clRed);
  auto target = MakeFlatBitmap(4, 2, clWhite);
  target->Canvas()->CopyMode = NOTSRCCOPY;
  target->Canvas()->CopyRect(Rect(0, 0, 4, 2), *red->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(ColorLetters(*target), "AAAA\nAAAA");
}
