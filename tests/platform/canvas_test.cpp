// TCanvas over a bitmap: pixels, filling, outlines, lines, drawing and
// CopyRect with its copy modes and mirrored rectangles.
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace {

// The picture as text, one letter per pixel: W white, K black, R red, G
// lime, B blue, ? anything else.
std::string Picture(TBitmap& b) {
  std::string text;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      TColor c = PixelAt(b, x, y);
      text += c == clWhite ? 'W'
              : c == clBlack ? 'K'
              : c == clRed   ? 'R'
              : c == clLime  ? 'G'
              : c == clBlue  ? 'B'
                             : '?';
    }
    text += '\n';
  }
  return text;
}

std::unique_ptr<TBitmap> White(int w, int h, TPixelFormat format = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  return b;
}

}  // namespace

TEST(Canvas, GetAndSetPixel) {
  for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
    auto b = White(3, 2, format);
    TCanvas& c = *b->Canvas();
    EXPECT_EQ(c.GetPixel(-1, 0), static_cast<TColor>(CLR_INVALID));
    EXPECT_EQ(c.GetPixel(3, 0), static_cast<TColor>(CLR_INVALID));
    EXPECT_EQ(c.GetPixel(0, 2), static_cast<TColor>(CLR_INVALID));
    c.SetPixel(-1, -1, clBlack);  // ignored
    c.SetPixel(3, 1, clBlack);
    c.SetPixel(0, 0, clWindowText);  // system colour: black
    c.SetPixel(1, 0, clNone);
    c.SetPixel(2, 0, clDefault);
    c.SetPixel(0, 1, 0x02000000);  // a palette reference is not drawn
    c.SetPixel(1, 1, 0x01000000);
    EXPECT_EQ(Picture(*b), "KWW\nWWW\n") << format;
  }
  TCanvas detached;
  EXPECT_EQ(detached.GetPixel(0, 0), static_cast<TColor>(CLR_INVALID));
  detached.SetPixel(0, 0, clRed);
  detached.FillRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(detached.ClipRect(), TRect());
}

TEST(Canvas, FillFrameRectangleAndLines) {
  auto b = White(6, 5);
  TCanvas& c = *b->Canvas();
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 6, 5));
  c.Brush.Color = clRed;
  c.FillRect(Rect(1, 1, 3, 3));
  c.FillRect(Rect(5, 5, 4, 4));  // empty
  c.Brush.Style = bsClear;
  c.FillRect(Rect(0, 0, 6, 5));
  c.FrameRect(Rect(0, 0, 6, 5));
  EXPECT_EQ(Picture(*b), "WWWWWW\nWRRWWW\nWRRWWW\nWWWWWW\nWWWWWW\n");
  c.Brush.Style = bsSolid;
  c.Brush.Color = clBlue;
  c.FrameRect(Rect(2, 0, 6, 4));
  EXPECT_EQ(Picture(*b), "WWBBBB\nWRBWWB\nWRBWWB\nWWBBBB\nWWWWWW\n");

  auto r = White(5, 4);
  TCanvas& rc = *r->Canvas();
  rc.Pen.Color = clBlack;
  rc.Brush.Color = clLime;
  rc.Rectangle(4, 4, 0, 0);  // corners in any order
  EXPECT_EQ(Picture(*r), "KKKKW\nKGGKW\nKGGKW\nKKKKW\n");
  EXPECT_EQ(rc.Brush.Color, clLime);
  rc.Brush.Style = bsClear;
  rc.Pen.Color = clRed;
  rc.Rectangle(1, 1, 5, 4);
  EXPECT_EQ(Picture(*r), "KKKKW\nKRRRR\nKRGKR\nKRRRR\n");
  rc.Pen.Style = psClear;
  rc.Brush.Style = bsSolid;
  rc.Brush.Color = clBlue;
  rc.Rectangle(0, 0, 3, 3);
  EXPECT_EQ(Picture(*r), "KKKKW\nKBRRR\nKRGKR\nKRRRR\n");

  auto l = White(5, 4);
  TCanvas& lc = *l->Canvas();
  lc.MoveTo(0, 0);
  lc.LineTo(4, 0);  // end point not drawn
  EXPECT_EQ(lc.PenPos, Point(4, 0));
  lc.Pen.Color = clRed;
  lc.LineTo(4, 3);
  lc.Pen.Color = clBlue;
  lc.LineTo(1, 0);
  lc.Pen.Color = clNone;
  lc.LineTo(0, 3);
  lc.Pen.Color = clLime;
  lc.MoveTo(-5, 3);
  lc.LineTo(2, 3);
  EXPECT_EQ(Picture(*l), "KKKKR\nWWBWR\nWWWBR\nGGWWB\n");
}

TEST(Canvas, CopyRectModesAndMirrors) {
  auto src = MakeTestBitmap(5, 4, 40);
  const int W = 5, H = 4;
  struct Case {
    TRect dest;
    bool mirrorX, mirrorY;
  } cases[] = {
      {Rect(0, 0, W, H), false, false},
      {Rect(W - 1, 0, -1, H), true, false},
      {Rect(0, H - 1, W, -1), false, true},
      {Rect(W - 1, H - 1, -1, -1), true, true},
  };
  for (const Case& c : cases) {
    auto dst = White(W, H);
    dst->Canvas()->CopyRect(c.dest, *src->Canvas(), Rect(0, 0, W, H));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        ASSERT_EQ(PixelAt(*dst, c.mirrorX ? W - 1 - x : x, c.mirrorY ? H - 1 - y : y), PixelAt(*src, x, y))
            << c.mirrorX << c.mirrorY << " at " << x << "," << y;
  }
  // Mirroring the source rectangle instead gives the same picture.
  auto dst = White(W, H);
  dst->Canvas()->CopyRect(Rect(0, 0, W, H), *src->Canvas(), Rect(W - 1, H - 1, -1, -1));
  EXPECT_EQ(PixelAt(*dst, 0, 0), PixelAt(*src, W - 1, H - 1));
  // Flipping a bitmap onto itself.
  auto self = MakeTestBitmap(W, H, 40);
  self->Canvas()->CopyRect(Rect(W - 1, H - 1, -1, -1), *self->Canvas(), Rect(0, 0, W, H));
  EXPECT_EQ(PixelAt(*self, 0, 0), PixelAt(*src, W - 1, H - 1));
  EXPECT_EQ(PixelAt(*self, W - 1, H - 1), PixelAt(*src, 0, 0));
  // The copy mode and a stretched copy.
  auto red = White(2, 2);
  red->Canvas()->Brush.Color = clRed;
  red->Canvas()->FillRect(Rect(0, 0, 2, 2));
  auto target = White(4, 2);
  target->Canvas()->CopyMode = NOTSRCCOPY;
  target->Canvas()->CopyRect(Rect(0, 0, 4, 2), *red->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Picture(*target), "????\n????\n");
  EXPECT_EQ(PixelAt(*target, 3, 1), RGB(0, 255, 255));
  target->Canvas()->CopyMode = SRCPAINT;
  target->Canvas()->CopyRect(Rect(0, 0, 1, 1), *red->Canvas(), Rect(0, 0, 1, 1));
  EXPECT_EQ(PixelAt(*target, 0, 0), clWhite);
}

TEST(Canvas, DrawAndStretchDraw) {
  auto src = MakeTestBitmap(3, 2);
  auto dst = White(8, 6, pf32bit);
  dst->Canvas()->Draw(-1, 5, src.get());  // partly outside
  EXPECT_EQ(PixelAt(*dst, 0, 5), PixelAt(*src, 1, 0));
  EXPECT_EQ(PixelAt(*dst, 2, 4), clWhite);
  dst->Canvas()->StretchDraw(Rect(2, 0, 8, 4), src.get());  // doubled
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(PixelAt(*dst, 2 + x, y), PixelAt(*src, x / 2, y / 2));
  dst->Canvas()->StretchDraw(Rect(0, 0, 0, 0), src.get());
  dst->Canvas()->StretchDraw(Rect(0, 0, 3, 3), nullptr);
}
