// The player's tables through what each row draws: binary and ternary
// raster operations, hatch styles, pen styles, end caps and joins, map
// modes, world transform modes, clip region modes, text alignment and
// options, font families and pattern brushes.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "tests/platform/metafile/metafilebuild.h"

using namespace mftest;

namespace {

constexpr TColor kGround = 0x5A0FF0;  // bits of every kind against the colours drawn
constexpr TColor kInk = 0x33CC55;
constexpr TColor kSource = 0x6C36A9;

// A raster operation from its truth table: bit (p << 2 | s << 1 | d) of
// table for the bits p of the pattern, s of the source and d of the target.
TColor ByTruthTable(uint32_t table, TColor p, TColor s, TColor d) {
  TColor result = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int index = ((p >> bit) & 1) << 2 | ((s >> bit) & 1) << 1 | ((d >> bit) & 1);
    result |= TColor((table >> index) & 1) << bit;
  }
  return result;
}

// A binary raster operation (R2_*): the code less one is its truth
// table, bit (p << 1 | d) for the bits p of the pen and d of the target.
TColor ByRop2(int rop2, TColor p, TColor d) {
  TColor result = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int index = ((p >> bit) & 1) << 1 | ((d >> bit) & 1);
    result |= TColor(((rop2 - 1) >> index) & 1) << bit;
  }
  return result;
}

// A dash pattern (on, off, ...) repeated over length pixels, as runs.
std::vector<int> Expand(const std::vector<int>& pattern, int length) {
  std::vector<int> runs;
  for (size_t i = 0; length > 0; ++i) {
    runs.push_back(std::min(pattern[i % pattern.size()], length));
    length -= runs.back();
  }
  return runs;
}

// A 1 x 1 24-bit DIB of one colour: info header and pixel.
std::vector<uint8_t> Dib1x1(TColor c) {
  ByteWriter w;
  w.U32(40).I32(1).I32(1).U16(1).U16(24).U32(0).U32(4).I32(0).I32(0).U32(0).U32(0);
  w.U8(GetBValue(c)).U8(GetGValue(c)).U8(GetRValue(c)).U8(0);
  return w.Data;
}

// The lengths of the runs of equal colour along row y from x0 to x1.
std::vector<int> Runs(TBitmap& b, int y, int x0, int x1) {
  std::vector<int> runs;
  for (int x = x0; x < x1; ++x) {
    if (x == x0 || PixelAt(b, x, y) != PixelAt(b, x - 1, y))
      runs.push_back(1);
    else
      ++runs.back();
  }
  return runs;
}

int32_t F(float v) { return std::bit_cast<int32_t>(v); }

}  // namespace

TEST(MetafileTables, BinaryRasterOperations) {
  // Every R2_ code fills and strokes by its truth table (the code less one,
  // indexed by pen and target bits), in both kinds of metafile.
  for (int rop2 = 1; rop2 <= 16; ++rop2) {
    SCOPED_TRACE(rop2);
    TColor want = ByRop2(rop2, kInk, kGround);
    Emf e;
    e.SolidBrush(1, kInk).Select(1).Select(kNullPen).Pen(2, 0, 1, kInk).Rec(EMR_SETROP2, {rop2});
    e.Rect(10, 10, 30, 30).Select(2).Line(40, 5, 80, 5);
    auto b = Render(e.Finish(), 96, 96, kGround);
    EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), want), 400) << "fill";
    EXPECT_EQ(Count(*b, Rect(40, 5, 80, 6), want), 40) << "line";
    EXPECT_EQ(PixelAt(*b, 35, 35), kGround);

    Wmf w;
    w.Brush(0, kInk).Pen(5, 0, 0).Select(0).Select(1).Rec(META_SETROP2, {int16_t(rop2)}).Rect(10, 10, 30, 30);
    b = Render(w.Finish(), 96, 96, kGround);
    EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), want), 400) << "WMF fill";

    // The null brush and pen draw nothing, whatever the operation.
    Emf none;
    none.Select(int32_t(0x80000005)).Select(kNullPen).Rec(EMR_SETROP2, {rop2});
    none.Rect(10, 10, 30, 30).Line(40, 5, 80, 5);
    EXPECT_EQ(Count(*Render(none.Finish(), 96, 96, kGround), Rect(0, 0, 96, 96), kGround), 96 * 96);
  }
}

TEST(MetafileTables, BlockTransferRasterOperations) {
  // The operations with a source picture, and those without one, by their
  // truth tables; the pattern is the selected brush.
  // SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY, NOTSRCERASE,
  // MERGEPAINT, and the target left as it is.
  for (uint32_t rop : std::initializer_list<uint32_t>{SRCCOPY, 0xEE0086u, 0x8800C6u, 0x660046u, 0x440328u,
                                                      NOTSRCCOPY, 0x1100A6u, 0xBB0226u, 0xAA0029u}) {
    SCOPED_TRACE(rop);
    ByteWriter body;
    body.I32(0).I32(0).I32(0).I32(0).I32(10).I32(10).I32(0).I32(0).I32(1).I32(1);
    body.U32(80).U32(40).U32(120).U32(4).U32(0).U32(rop).I32(20).I32(20).Bytes(Dib1x1(kSource));
    Emf e;
    e.SolidBrush(1, kInk).Select(1).Raw(EMR_STRETCHDIBITS, body.Data);
    auto b = Render(e.Finish(), 96, 96, kGround);
    EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), ByTruthTable(rop >> 16, kInk, kSource, kGround)), 400);
    EXPECT_EQ(PixelAt(*b, 35, 35), kGround);
  }
  for (uint32_t rop : std::initializer_list<uint32_t>{PATCOPY, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS, 0xAA0029u}) {
    SCOPED_TRACE(rop);
    TColor want = ByTruthTable(rop >> 16, kInk, 0, kGround);
    Emf e;
    e.SolidBrush(1, kInk).Select(1).PatBlt(10, 10, 20, 20, rop);
    auto b = Render(e.Finish(), 96, 96, kGround);
    EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), want), 400);
    Wmf w;
    w.Brush(0, kInk).Select(0).Rec(META_PATBLT, {int16_t(rop & 0xFFFF), int16_t(rop >> 16), 20, 20, 10, 10});
    b = Render(w.Finish(), 96, 96, kGround);
    EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), want), 400) << "WMF";
  }
}

TEST(MetafileTables, HatchStyles) {
  // The hatch lines repeat every 8 pixels: which shifts leave the pattern
  // as it is tells the style. An unknown style fills solid.
  struct TRow {
    int Hatch;
    bool Across, Down, FallingDiagonal, RisingDiagonal, FullRowAndColumn;
  };
  const TRow rows[] = {
      {0, true, false, false, false, false},   // HS_HORIZONTAL
      {1, false, true, false, false, false},   // HS_VERTICAL
      {2, false, false, true, false, false},   // HS_FDIAGONAL, lines down to the right
      {3, false, false, false, true, false},   // HS_BDIAGONAL, lines up to the right
      {4, false, false, false, false, true},   // HS_CROSS
      {5, false, false, false, false, false},  // HS_DIAGCROSS
      {6, true, true, true, true, true},       // not a hatch style
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Hatch);
    for (bool wmf : {false, true}) {
      std::vector<uint8_t> data;
      if (wmf) {
        data = Wmf().Rec(META_SETBKMODE, {1}).Brush(2, clBlack, row.Hatch).Pen(5, 0, 0).Select(0).Select(1)
                   .Rect(0, 0, 64, 64).Finish();
      } else {
        data = Emf().Rec(EMR_SETBKMODE, {1}).Rec(EMR_CREATEBRUSHINDIRECT, {1, 2, clBlack, row.Hatch}).Select(1)
                   .Select(kNullPen).Rect(0, 0, 64, 64).Finish();
      }
      auto b = Render(data, 96, 96, clWhite);
      auto ink = [&](int x, int y) { return PixelAt(*b, x, y) == clBlack; };
      auto keeps = [&](int dx, int dy) {
        for (int y = 8; y < 56; ++y)
          for (int x = 8; x < 56; ++x)
            if (ink(x, y) != ink(x + dx, y + dy)) return false;
        return true;
      };
      EXPECT_TRUE(keeps(8, 0) && keeps(0, 8));
      EXPECT_EQ(keeps(1, 0), row.Across);
      EXPECT_EQ(keeps(0, 1), row.Down);
      EXPECT_EQ(keeps(1, 1), row.FallingDiagonal);
      EXPECT_EQ(keeps(1, -1), row.RisingDiagonal);
      bool fullRow = false, fullColumn = false;
      for (int i = 0; i < 64; ++i) {
        fullRow = fullRow || Count(*b, Rect(0, i, 64, i + 1), clBlack) == 64;
        fullColumn = fullColumn || Count(*b, Rect(i, 0, i + 1, 64), clBlack) == 64;
      }
      EXPECT_EQ(fullRow && fullColumn, row.FullRowAndColumn);
      if (row.Hatch < 6) {  // thin lines
        EXPECT_GE(Count(*b, Rect(0, 0, 64, 64), clBlack), 64 * 64 / 8);
        EXPECT_LE(Count(*b, Rect(0, 0, 64, 64), clBlack), 64 * 64 / 4);
      }
      EXPECT_EQ(Count(*b, Rect(64, 0, 96, 96), clWhite), 32 * 96);
    }
  }
}

TEST(MetafileTables, PenStyles) {
  // One-pixel lines: the dash pattern of each style, from the line's start.
  struct TRow {
    uint32_t Style;
    bool Extended;
    std::vector<int> Pattern;  // on, off, ...; empty draws nothing
  };
  const TRow rows[] = {
      {0, false, {80}},                // PS_SOLID
      {1, false, {18, 6}},             // PS_DASH
      {2, false, {3, 3}},              // PS_DOT
      {3, false, {9, 6, 3, 6}},        // PS_DASHDOT
      {4, false, {9, 3, 3, 3, 3, 3}},  // PS_DASHDOTDOT
      {5, false, {}},                  // PS_NULL
      {6, false, {80}},                // PS_INSIDEFRAME
      {7, true, {5, 2, 1, 2}},         // PS_USERSTYLE, the pen's own
      {8, true, {1, 1}},               // PS_ALTERNATE
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Style);
    Emf e;
    if (row.Extended)
      e.ExtPen(1, row.Style, 1, clBlack, row.Style == 7 ? std::vector<int32_t>{5, 2, 1, 2} : std::vector<int32_t>{});
    else
      e.Pen(1, int(row.Style), 1, clBlack);
    e.Select(1).Line(10, 20, 90, 20);
    auto b = Render(e.Finish());
    std::vector<int> runs = Runs(*b, 20, 10, 90);
    if (row.Pattern.empty()) {
      EXPECT_EQ(Count(*b, Rect(0, 0, 96, 96), clWhite), 96 * 96);
      continue;
    }
    EXPECT_EQ(runs, Expand(row.Pattern, 80));
    EXPECT_EQ(PixelAt(*b, 10, 20), clBlack);
    EXPECT_EQ(Count(*b, Rect(0, 0, 96, 20), clWhite) + Count(*b, Rect(0, 21, 96, 96), clWhite), 95 * 96);
  }

  // A wide pen of CreatePen draws solid whatever its style; an inside-frame
  // pen keeps a box's outline inside the box, a solid one centres it on
  // the box's edge.
  auto b = Render(Emf().Pen(1, 1, 5, clBlack).Select(1).Line(10, 20, 90, 20).Finish());
  EXPECT_EQ(Runs(*b, 20, 10, 90), std::vector<int>{80});
  b = Render(Emf().Pen(1, 6, 7, clBlack).Select(1).Rect(10, 10, 50, 50).Finish());
  EXPECT_EQ(Extent(*b, clBlack), Rect(10, 10, 50, 50));
  b = Render(Emf().Pen(1, 0, 7, clBlack).Select(1).Rect(10, 10, 50, 50).Finish());
  EXPECT_EQ(Extent(*b, clBlack), Rect(7, 7, 53, 53));
}

TEST(MetafileTables, EndCapsAndJoins) {
  // A line 10 wide from x 30 to 60: flat ends stop at the points, square
  // and round ones reach half the width beyond them, round ones without
  // corners. CreatePen's wide pens are round.
  const uint32_t kGeometric = 0x10000;
  struct TCap {
    uint32_t Style;
    bool Created;  // by CreatePen
    TRect Extent;
    bool Corner;
  };
  for (const TCap& cap : {TCap{0x200, false, Rect(30, 25, 60, 35), true},
                          TCap{0x100, false, Rect(25, 25, 65, 35), true},
                          TCap{0x000, false, Rect(25, 25, 65, 35), false},
                          TCap{0, true, Rect(25, 25, 65, 35), false}}) {
    SCOPED_TRACE(cap.Style);
    SCOPED_TRACE(cap.Created);
    Emf e;
    if (!cap.Created)
      e.ExtPen(1, kGeometric | cap.Style, 10, clBlack);
    else
      e.Pen(1, 0, 10, clBlack);
    auto b = Render(e.Select(1).Line(30, 30, 60, 30).Finish());
    EXPECT_EQ(Extent(*b, clBlack), cap.Extent);
    EXPECT_EQ(PixelAt(*b, cap.Extent.Left, 25) == clBlack, cap.Corner);
  }

  // A join of about 20 degrees: a mitre reaches far out (within the
  // default limit of ten widths from the inner to the outer corner), a
  // bevel and a round join stay near the corner, the round one covering
  // more. At about 5 degrees the mitre would pass the limit and is bevelled.
  struct TJoin {
    uint32_t Join;
    int Dy;
    bool Far;
  };
  int inkRound = 0, inkBevel = 0;
  for (const TJoin& join : {TJoin{0x2000, 18, true}, TJoin{0x2000, 4, false}, TJoin{0x1000, 18, false},
                            TJoin{0x0000, 18, false}}) {
    SCOPED_TRACE(join.Join);
    SCOPED_TRACE(join.Dy);
    Emf e;
    e.ExtPen(1, kGeometric | 0x200 | join.Join, 10, clBlack).Select(1);
    e.Rec(EMR_POLYLINE, {0, 0, 0, 0, 3, 10, 50, 60, 50, 10, 50 + join.Dy});
    auto b = Render(e.Finish());
    TRect ink = Extent(*b, clBlack);
    if (join.Far) {
      EXPECT_GT(ink.Right, 84);
    } else {
      EXPECT_LE(ink.Right, 66);
    }
    if (join.Join == 0x1000) inkBevel = Count(*b, Rect(55, 40, 96, 60), clBlack);
    if (join.Join == 0x0000) inkRound = Count(*b, Rect(55, 40, 96, 60), clBlack);
  }
  EXPECT_GT(inkRound, inkBevel);
}

TEST(MetafileTables, MapModes) {
  // One inch in each fixed mode's units (y going up), 96 pixels; the two
  // scalable modes map a window of 100 units onto a viewport of 96 x 48,
  // the isotropic one at the smaller scale on both axes.
  struct TRow {
    int Mode, Inch;
    TRect Want;
  };
  const TRow rows[] = {
      {1, 96, Rect(0, 0, 96, 96)}, {2, 254, Rect(0, 0, 96, 96)},  {3, 2540, Rect(0, 0, 96, 96)},
      {4, 100, Rect(0, 0, 96, 96)}, {5, 1000, Rect(0, 0, 96, 96)}, {6, 1440, Rect(0, 0, 96, 96)},
      {7, 100, Rect(0, 0, 48, 48)}, {8, 100, Rect(0, 0, 96, 48)},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Mode);
    Emf e(0, 0, 3175, 3175);  // 120 x 120
    e.Rec(EMR_SETMAPMODE, {row.Mode}).Rec(EMR_SETWINDOWEXTEX, {100, 100}).Rec(EMR_SETVIEWPORTEXTEX, {96, 48});
    int y = row.Mode >= 2 && row.Mode <= 6 ? -row.Inch : row.Inch;
    auto b = Render(e.RedFill().Rect(0, 0, row.Inch, y).Finish(), 120, 120);
    EXPECT_EQ(Extent(*b, clRed), row.Want);
  }
}

TEST(MetafileTables, WorldTransformModes) {
  // Over a scale by 2, a move by 10: the identity drops both, a left
  // multiplication moves before scaling, a right one after, a set replaces.
  const std::pair<int, TRect> rows[] = {
      {1, Rect(0, 0, 10, 10)}, {2, Rect(20, 0, 40, 20)}, {3, Rect(10, 0, 30, 20)}, {4, Rect(10, 0, 20, 10)}};
  for (const auto& [mode, want] : rows) {
    SCOPED_TRACE(mode);
    Emf e;
    e.Rec(EMR_SETWORLDTRANSFORM, {F(2), 0, 0, F(2), 0, 0});
    e.Rec(EMR_MODIFYWORLDTRANSFORM, {F(1), 0, 0, F(1), F(10), 0, mode});
    EXPECT_EQ(Extent(*Render(e.RedFill().Rect(0, 0, 10, 10).Finish()), clRed), want);
  }
}

TEST(MetafileTables, ClipRegionModes) {
  // A clip of (0, 0, 40, 40) combined with a region of (20, 20, 60, 60).
  struct TRow {
    int Mode;
    bool OnlyFirst, Both, OnlySecond;
  };
  const TRow rows[] = {{1, false, true, false}, {2, true, true, true}, {3, true, false, true},
                       {4, true, false, false}, {5, false, true, true}};
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Mode);
    Emf e;
    e.RedFill().Rec(EMR_INTERSECTCLIPRECT, {0, 0, 40, 40});
    e.Rec(EMR_EXTSELECTCLIPRGN, {48, row.Mode, 32, 1, 1, 16, 20, 20, 60, 60, 20, 20, 60, 60});
    auto b = Render(e.Rect(0, 0, 96, 96).Finish());
    EXPECT_EQ(Count(*b, Rect(0, 0, 20, 40), clRed) == 800, row.OnlyFirst);
    EXPECT_EQ(Count(*b, Rect(20, 20, 40, 40), clRed) == 400, row.Both);
    EXPECT_EQ(Count(*b, Rect(40, 20, 60, 60), clRed) == 800, row.OnlySecond);
    EXPECT_EQ(Count(*b, Rect(0, 0, 20, 40), clRed) % 800 + Count(*b, Rect(20, 20, 40, 40), clRed) % 400, 0);
    EXPECT_EQ(Count(*b, Rect(60, 0, 96, 96), clRed) + Count(*b, Rect(0, 60, 60, 96), clRed), 0);
  }
}

TEST(MetafileTables, TextAlignment) {
  // "HH" has no descenders: its ink ends on the baseline.
  const int x = 100, y = 50;
  struct TRow {
    uint32_t Align;
    int Horizontal;  // -1 ink left of x, 0 across x, 1 right of x
    int Vertical;    // -1 above the cell bottom, 0 on the baseline, 1 below y
  };
  const TRow rows[] = {{0, 1, 1},   {2, -1, 1},   {6, 0, 1},  {8, 1, -1}, {10, -1, -1},
                       {14, 0, -1}, {24, 1, 0}, {26, -1, 0}, {30, 0, 0}};
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Align);
    Emf e(0, 0, 5292, 2646);  // 200 x 100
    e.Rec(EMR_SETBKMODE, {1}).Rec(EMR_SETTEXTALIGN, {int32_t(row.Align)}).TextOut(x, y, u"HH");
    auto b = Render(e.Finish(), 200, 100);
    TRect ink = InkExtent(*b, clWhite);
    ASSERT_GT(ink.Right, 0);
    switch (row.Horizontal) {
      case 1: EXPECT_TRUE(ink.Left >= x && ink.Left <= x + 3) << ink.Left; break;
      case -1: EXPECT_TRUE(ink.Right <= x && ink.Right >= x - 3) << ink.Right; break;
      default: EXPECT_LE(std::abs(ink.Left + ink.Right - 2 * x), 3) << ink.Left << " " << ink.Right;
    }
    switch (row.Vertical) {
      case 1: EXPECT_TRUE(ink.Top > y && ink.Top < y + 8) << ink.Top; break;
      case 0: EXPECT_TRUE(ink.Bottom >= y - 1 && ink.Bottom <= y + 1) << ink.Bottom; break;
      default: EXPECT_TRUE(ink.Bottom < y - 1 && ink.Bottom > y - 8) << ink.Bottom;
    }
  }

  // With TA_UPDATECP the text starts at the current position, ignores the
  // record's point and moves the position on (to the left for TA_RIGHT).
  Emf e(0, 0, 5292, 2646);
  e.Rec(EMR_SETBKMODE, {1}).Rec(EMR_SETTEXTALIGN, {1}).Rec(EMR_MOVETOEX, {20, 10});
  e.TextOut(150, 80, u"HH").TextOut(150, 80, u"HH");
  e.Rec(EMR_SETTEXTALIGN, {3}).Rec(EMR_MOVETOEX, {180, 50}).TextOut(0, 0, u"HH").TextOut(0, 0, u"HH");
  auto b = Render(e.Finish(), 200, 100);
  TRect first = InkExtent(*b, clWhite, Rect(0, 0, 200, 40)), second = InkExtent(*b, clWhite, Rect(0, 40, 200, 100));
  TRect single = InkExtent(*Render(Emf(0, 0, 5292, 2646).Rec(EMR_SETBKMODE, {1}).TextOut(20, 10, u"HH").Finish(),
                                   200, 100),
                           clWhite);
  int width = single.Right - single.Left;
  EXPECT_EQ(first.Left, single.Left);
  EXPECT_GT(first.Right - first.Left, 2 * width);
  EXPECT_LE(second.Right, 180);
  EXPECT_LT(second.Left, 180 - 2 * width);
  EXPECT_EQ(InkExtent(*b, clWhite, Rect(0, 70, 200, 100)), TRect{});
}

TEST(MetafileTables, TextOptions) {
  // ETO_OPAQUE fills its rectangle with the background colour, ETO_CLIPPED
  // keeps the text inside it; neither takes the rectangle without the flag.
  const TRect box = Rect(10, 10, 60, 40);
  for (uint32_t options : {0u, 2u, 4u, 6u}) {
    SCOPED_TRACE(options);
    Emf e;
    e.Rec(EMR_SETBKMODE, {1}).Rec(EMR_SETBKCOLOR, {clYellow}).TextOut(30, 20, u"HHHHHH", options, box);
    auto b = Render(e.Finish());
    TRect ink = Extent(*b, clBlack);
    EXPECT_TRUE(ink.Left >= 30 && ink.Left <= 33) << ink.Left;
    if (options & 4) {
      EXPECT_TRUE(ink.Right <= 60 && ink.Right >= 55) << ink.Right;
    } else {
      EXPECT_GT(ink.Right, 65);
    }
    int yellow = Count(*b, box, clYellow), black = Count(*b, box, clBlack);
    if (options & 2) {
      EXPECT_EQ(yellow + black, 50 * 30);
    } else {
      EXPECT_EQ(yellow, 0);
    }
  }

  // Glyph indices name glyphs of a font this player does not have: only
  // the opaque rectangle is drawn.
  auto b = Render(Emf().Rec(EMR_SETBKCOLOR, {clYellow}).TextOut(30, 20, u"HHHHHH", 0x12, box).Finish());
  EXPECT_EQ(Count(*b, box, clYellow), 50 * 30);
  EXPECT_EQ(Count(*b, Rect(0, 0, 96, 96), clWhite), 96 * 96 - 50 * 30);

  // The advances put each character at its place; with ETO_PDY they come
  // in pairs of x and y.
  const std::vector<int32_t> dx{20, 0, 20, 0, 0, 0};
  for (uint32_t options : {0u, 0x2000u}) {
    SCOPED_TRACE(options);
    b = Render(Emf().Rec(EMR_SETBKMODE, {1}).TextOut(10, 20, u"HHH", options, {0, 0, -1, -1}, dx).Finish());
    TRect ink = Extent(*b, clBlack);
    TRect one = Extent(*Render(Emf().Rec(EMR_SETBKMODE, {1}).TextOut(10, 20, u"H").Finish()), clBlack);
    EXPECT_EQ(ink.Left, one.Left);
    EXPECT_EQ(ink.Right, one.Right + (options ? 40 : 20));
    EXPECT_EQ(Count(*b, Rect(0, 0, 96, 96), clBlack), Count(*b, Rect(0, one.Top, 96, one.Bottom), clBlack));
  }
}

TEST(MetafileTables, FontFamiliesAndPitch) {
  // A font without a face name takes the family its pitch and family byte
  // asks for: roman draws otherwise than swiss (the default), modern and
  // fixed pitch draw every character as wide.
  struct TRow {
    int PitchAndFamily;
    bool Fixed, Roman;
  };
  const TRow rows[] = {{0x00, false, false}, {0x10, false, true}, {0x20, false, false}, {0x22, false, false},
                       {0x30, true, false},  {0x01, true, false}, {0x21, true, false}};
  auto draw = [](int pitchAndFamily) {
    Emf e(0, 0, 15875, 5292);  // 600 x 200
    e.Font(1, -24, pitchAndFamily).Select(1).Rec(EMR_SETBKMODE, {1});
    e.TextOut(10, 10, u"iiiiiiii").TextOut(10, 60, u"MMMMMMMM").TextOut(10, 110, u"Rag");
    return Render(e.Finish(), 600, 200);
  };
  auto word = [](TBitmap& b) {
    std::string text;
    for (int y = 100; y < 150; ++y)
      for (int x = 0; x < 100; ++x) text += PixelAt(b, x, y) == clWhite ? '.' : '#';
    return text;
  };
  const std::string swiss = word(*draw(0x20));
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.PitchAndFamily);
    auto b = draw(row.PitchAndFamily);
    TRect narrow = InkExtent(*b, clWhite, Rect(0, 0, 600, 50)), wide = InkExtent(*b, clWhite, Rect(0, 50, 600, 100));
    double ratio = double(narrow.Right - narrow.Left) / (wide.Right - wide.Left);
    if (row.Fixed) {
      EXPECT_GT(ratio, 0.8);
    } else {
      EXPECT_LT(ratio, 0.6);
      EXPECT_EQ(word(*b) == swiss, !row.Roman);
    }
  }
}

TEST(MetafileTables, PatternBrushes) {
  // A monochrome pattern draws its 0 bits in the text colour and its 1 bits
  // in the background colour; a colour pattern in its own colours. Both
  // repeat over the fill.
  ByteWriter mono;  // 2 x 2: top row 0 1, bottom row 1 0 (stored bottom up)
  mono.U32(40).I32(2).I32(2).U16(1).U16(1).U32(0).U32(8).I32(0).I32(0).U32(2).U32(0);
  mono.U32(0x000000).U32(0xFFFFFF).U8(0x80).Zeros(3).U8(0x40).Zeros(3);
  ByteWriter body;
  body.U32(1).U32(0).U32(32).U32(48).U32(80).U32(8).Bytes(mono.Data);
  Emf e;
  e.Rec(EMR_SETTEXTCOLOR, {clRed}).Rec(EMR_SETBKCOLOR, {clBlue}).Raw(93, body.Data).Select(1).Select(kNullPen);
  auto b = Render(e.Rect(0, 0, 8, 8).Finish());
  EXPECT_EQ(PixelAt(*b, 0, 0), clRed);
  EXPECT_EQ(Count(*b, Rect(0, 0, 8, 8), clRed), 32);
  EXPECT_EQ(Count(*b, Rect(0, 0, 8, 8), clBlue), 32);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelAt(*b, x, y), PixelAt(*b, x + 1, y + 1));

  // The same picture in a WMF: as a bitmap pattern (BS_PATTERN, from
  // CreatePatternBrush) in the text and background colours, as a DIB
  // pattern in its own colours, black and white.
  for (int style : {3, 5}) {
    SCOPED_TRACE(style);
    ByteWriter params;
    params.U16(uint16_t(style)).U16(0).Bytes(mono.Data);
    Wmf w;
    w.Rec(0x0209, {int16_t(clRed & 0xFFFF), int16_t(clRed >> 16)});    // SetTextColor
    w.Rec(META_SETBKCOLOR, {int16_t(clBlue & 0xFFFF), int16_t(clBlue >> 16)});
    w.Raw(0x0142, params.Data).Pen(5, 0, 0).Select(0).Select(1).Rect(0, 0, 8, 8);
    b = Render(w.Finish());
    TColor zero = style == 3 ? clRed : clBlack, one = style == 3 ? clBlue : clWhite;
    EXPECT_EQ(PixelAt(*b, 0, 0), zero);
    EXPECT_EQ(Count(*b, Rect(0, 0, 8, 8), zero), 32);
    EXPECT_EQ(Count(*b, Rect(0, 0, 8, 8), one), 32);
  }
}
