// Stock objects and the default objects of the device context: every stock
// pen, brush and font an enhanced metafile can select draws as that object,
// whichever drawing record uses it; a placeable Windows metafile, which has
// no stock objects, gets the same pens and brushes from its own records and
// starts with the default ones.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/metafile/metafilebuild.h"

using namespace mftest;

namespace {

constexpr TColor kGround = RGB(30, 160, 90);  // the target, unlike any stock colour
constexpr TColor kBrushBefore = clBlue;       // the created objects selected first
constexpr TColor kPenBefore = clRed;
constexpr int kPenBeforeWidth = 5;

enum TKind { kBrush, kPen, kFont, kNone };

// The stock objects by their documented meaning; a null object draws nothing.
struct TStock {
  uint32_t Index;
  const char* Name;
  TKind Kind;
  TColor Color;
  bool Null;
  bool FixedPitch;
};
const TStock kStock[] = {
    {0, "WHITE_BRUSH", kBrush, 0xFFFFFF, false, false},
    {1, "LTGRAY_BRUSH", kBrush, 0xC0C0C0, false, false},
    {2, "GRAY_BRUSH", kBrush, 0x808080, false, false},
    {3, "DKGRAY_BRUSH", kBrush, 0x404040, false, false},
    {4, "BLACK_BRUSH", kBrush, 0x000000, false, false},
    {5, "NULL_BRUSH", kBrush, 0, true, false},
    {6, "WHITE_PEN", kPen, 0xFFFFFF, false, false},
    {7, "BLACK_PEN", kPen, 0x000000, false, false},
    {8, "NULL_PEN", kPen, 0, true, false},
    {9, "(no object)", kNone, 0, false, false},
    {10, "OEM_FIXED_FONT", kFont, 0, false, true},
    {11, "ANSI_FIXED_FONT", kFont, 0, false, true},
    {12, "ANSI_VAR_FONT", kFont, 0, false, false},
    {13, "SYSTEM_FONT", kFont, 0, false, false},
    {14, "DEVICE_DEFAULT_FONT", kFont, 0, false, false},
    {15, "DEFAULT_PALETTE", kNone, 0, false, false},
    {16, "SYSTEM_FIXED_FONT", kFont, 0, false, true},
    {17, "DEFAULT_GUI_FONT", kFont, 0, false, false},
    {18, "DC_BRUSH", kBrush, 0xFFFFFF, false, false},  // the DC brush colour starts white
    {19, "DC_PEN", kPen, 0x000000, false, false},      // the DC pen colour starts black
    {20, "(beyond the table)", kNone, 0, false, false},
};

int32_t StockIndex(uint32_t n) { return int32_t(0x80000000u | n); }

// What a pen and a brush drew: the brush fills a box and block transfers,
// the pen outlines the box and draws a line.
struct TDrawn {
  TColor Fill, Outline, InsideOutline, OutsideOutline, Line, AboveLine, BelowLine, PatBlt, PaintRgn;
};

// The shapes every case draws: a box at (10, 10, 40, 40), a line along
// y = 5 from x = 50 to 90, a pattern block at (50, 20, 80, 30) and a painted
// region at (50, 40, 80, 50).
template <class M>
void DrawShapes(M& m) {
  m.Rect(10, 10, 40, 40).Line(50, 5, 90, 5);
}

TDrawn Drawn(TBitmap& b) {
  return {PixelAt(b, 25, 25), PixelAt(b, 25, 10), PixelAt(b, 25, 12), PixelAt(b, 25, 9), PixelAt(b, 70, 5),
          PixelAt(b, 70, 4),   PixelAt(b, 70, 7),  PixelAt(b, 65, 25), PixelAt(b, 65, 45)};
}

// What the row's object draws after the created blue brush and red pen of
// width 5 were selected.
TDrawn Expected(const TStock& s) {
  TColor brush = kBrushBefore, pen = kPenBefore;
  bool wide = true;
  if (s.Kind == kBrush) brush = s.Null ? kGround : s.Color;
  if (s.Kind == kPen) {
    pen = s.Null ? kGround : s.Color;
    wide = false;  // every stock pen is one pixel wide
  }
  TDrawn d;
  d.Fill = brush;
  d.Outline = pen == kGround ? brush : pen;  // a null pen leaves the box filled to its edge
  d.InsideOutline = wide ? pen : brush;
  d.OutsideOutline = wide ? pen : kGround;
  d.Line = pen;
  d.AboveLine = d.BelowLine = wide ? pen : kGround;
  d.PatBlt = d.PaintRgn = brush;
  return d;
}

void ExpectDrawn(const TDrawn& got, const TDrawn& want) {
  EXPECT_EQ(got.Fill, want.Fill) << "fill";
  EXPECT_EQ(got.Outline, want.Outline) << "outline";
  EXPECT_EQ(got.InsideOutline, want.InsideOutline) << "inside the outline (pen width)";
  EXPECT_EQ(got.OutsideOutline, want.OutsideOutline) << "outside the outline (pen width)";
  EXPECT_EQ(got.Line, want.Line) << "line";
  EXPECT_EQ(got.AboveLine, want.AboveLine) << "beside the line (pen width)";
  EXPECT_EQ(got.BelowLine, want.BelowLine) << "beside the line (pen width)";
  EXPECT_EQ(got.PatBlt, want.PatBlt) << "pattern block";
  EXPECT_EQ(got.PaintRgn, want.PaintRgn) << "painted region";
}

}  // namespace

TEST(StockObjects, EveryStockPenAndBrushOfAnEmfDrawsInItsColour) {
  for (const TStock& s : kStock) {
    SCOPED_TRACE(s.Name);
    Emf e;
    e.SolidBrush(1, kBrushBefore).Pen(2, 0, kPenBeforeWidth, kPenBefore).Select(1).Select(2);
    e.Select(StockIndex(s.Index));
    DrawShapes(e);
    e.PatBlt(50, 20, 30, 10, PATCOPY).PaintRgn(50, 40, 80, 50);
    // FillRgn names its brush; a stock brush is named by its stock index.
    e.FillRgn(StockIndex(s.Index), 50, 60, 80, 70);
    auto b = Render(e.Finish(), 96, 96, kGround);
    ExpectDrawn(Drawn(*b), Expected(s));
    TColor fillRgn = s.Kind == kBrush && !s.Null ? s.Color : kGround;
    EXPECT_EQ(Count(*b, Rect(50, 60, 80, 70), fillRgn), 300) << "filled region";
    EXPECT_EQ(Count(*b, Rect(0, 50, 96, 96), kGround), 96 * 46 - (fillRgn == kGround ? 0 : 300));
  }
}

TEST(StockObjects, WmfPensAndBrushesOfTheStockDefinitionsDrawInTheirColours) {
  // A Windows metafile records a stock object as a created one of the same
  // definition; the default objects are there before any is selected.
  for (const TStock& s : kStock) {
    if (s.Kind != kBrush && s.Kind != kPen) continue;
    SCOPED_TRACE(s.Name);
    Wmf w;
    w.Brush(0, kBrushBefore).Pen(0, kPenBeforeWidth, kPenBefore).Select(0).Select(1);
    if (s.Kind == kBrush)
      w.Brush(s.Null ? 1 : 0, s.Color);
    else
      w.Pen(s.Null ? 5 : 0, 0, s.Color);
    w.Select(2);
    DrawShapes(w);
    w.Rec(META_PATBLT, {0x21, 0xF0, 10, 30, 20, 50});  // PATCOPY at (50, 20), 30 x 10
    // META_PAINTREGION with a region object (slot 3) of (50, 40, 80, 50).
    w.Rec(META_CREATEREGION, {0, 0, 0, 0, 0, 1, 0, 50, 40, 80, 50, 2, 40, 50, 50, 80, 2});
    w.Rec(META_PAINTREGION, {3});
    // META_FILLREGION names its brush.
    w.Rec(META_CREATEREGION, {0, 0, 0, 0, 0, 1, 0, 50, 60, 80, 70, 2, 60, 70, 50, 80, 2});
    w.Rec(META_FILLREGION, {4, 2});
    auto b = Render(w.Finish(), 96, 96, kGround);
    ExpectDrawn(Drawn(*b), Expected(s));
    TColor fillRgn = s.Kind == kBrush ? (s.Null ? kGround : s.Color) : kGround;
    EXPECT_EQ(Count(*b, Rect(50, 60, 80, 70), fillRgn), 300) << "filled region";
  }
}

TEST(StockObjects, AFreshDeviceContextHasTheDefaultObjects) {
  // White brush, one-pixel black pen, black text on an opaque white ground.
  const TDrawn defaults{clWhite, clBlack, clWhite, kGround, clBlack, kGround, kGround, clWhite, clWhite};
  Emf e;
  DrawShapes(e);
  e.PatBlt(50, 20, 30, 10, PATCOPY).PaintRgn(50, 40, 80, 50).TextOut(10, 60, u"HH");
  auto b = Render(e.Finish(), 96, 96, kGround);
  ExpectDrawn(Drawn(*b), defaults);
  EXPECT_GT(Count(*b, Rect(10, 60, 50, 90), clBlack), 10);
  EXPECT_GT(Count(*b, Rect(10, 60, 50, 90), clWhite), 10);
  EXPECT_EQ(Count(*b, Rect(10, 60, 50, 90), kGround) + Count(*b, Rect(10, 60, 50, 90), clBlack) +
                Count(*b, Rect(10, 60, 50, 90), clWhite),
            40 * 30);

  Wmf w;
  DrawShapes(w);
  w.Rec(META_PATBLT, {0x21, 0xF0, 10, 30, 20, 50});
  w.Rec(META_CREATEREGION, {0, 0, 0, 0, 0, 1, 0, 50, 40, 80, 50, 2, 40, 50, 50, 80, 2});
  w.Rec(META_PAINTREGION, {0});
  w.Rec(META_TEXTOUT, {2, 'H' | ('H' << 8), 60, 10});
  // FillRegion naming an empty slot fills nothing.
  w.Rec(META_CREATEREGION, {0, 0, 0, 0, 0, 1, 0, 60, 60, 90, 70, 2, 60, 70, 60, 90, 2});
  w.Rec(META_FILLREGION, {1, 7});
  b = Render(w.Finish(), 96, 96, kGround);
  ExpectDrawn(Drawn(*b), defaults);
  EXPECT_EQ(Count(*b, Rect(60, 60, 90, 70), kGround), 300);
  EXPECT_GT(Count(*b, Rect(10, 60, 50, 90), clBlack), 10);
  EXPECT_GT(Count(*b, Rect(10, 60, 50, 90), clWhite), 10);
}

TEST(StockObjects, SaveDcKeepsTheSelectedObjects) {
  // Stock objects saved, created ones selected over them, saved again, and
  // deleted while a stock object is selected: each restore brings back
  // what was selected when the state was saved.
  Emf e;
  e.Select(StockIndex(1)).Select(StockIndex(6)).Rec(EMR_SAVEDC, {});
  e.SolidBrush(1, clRed).Pen(2, 0, 1, clBlue).Select(1).Select(2).Rec(EMR_SAVEDC, {});
  e.Select(StockIndex(5)).Select(StockIndex(8)).Rec(EMR_DELETEOBJECT, {1}).Rec(EMR_DELETEOBJECT, {2});
  e.Rect(0, 0, 10, 10);
  e.Rec(EMR_RESTOREDC, {-1}).Rect(20, 0, 30, 10);
  e.Rec(EMR_RESTOREDC, {-1}).Rect(40, 0, 50, 10);
  // A created object of the deleted one's index is a new object.
  e.SolidBrush(1, clYellow).Select(1).Rect(60, 0, 70, 10);
  auto b = Render(e.Finish(), 96, 96, kGround);
  EXPECT_EQ(Count(*b, Rect(0, 0, 10, 10), kGround), 100);
  EXPECT_EQ(PixelAt(*b, 20, 5), clBlue);
  EXPECT_EQ(Count(*b, Rect(21, 1, 29, 9), clRed), 64);
  EXPECT_EQ(PixelAt(*b, 40, 5), clWhite);
  EXPECT_EQ(Count(*b, Rect(41, 1, 49, 9), clSilver), 64);
  EXPECT_EQ(PixelAt(*b, 60, 5), clWhite);
  EXPECT_EQ(Count(*b, Rect(61, 1, 69, 9), clYellow), 64);

  // In a Windows metafile the restore brings back the default objects; an
  // object deleted while selected stays in use until another is selected.
  Wmf w;
  w.Rec(META_SAVEDC, {}).Brush(0, clRed).Pen(0, 1, clBlue).Select(0).Select(1).Rect(0, 0, 10, 10);
  w.Rec(META_DELETEOBJECT, {0}).Rec(META_DELETEOBJECT, {1}).Rect(20, 0, 30, 10);
  w.Rec(META_RESTOREDC, {-1}).Rect(40, 0, 50, 10);
  b = Render(w.Finish(), 96, 96, kGround);
  for (int x : {0, 20}) {
    EXPECT_EQ(PixelAt(*b, x, 5), clBlue);
    EXPECT_EQ(Count(*b, Rect(x + 1, 1, x + 9, 9), clRed), 64);
  }
  EXPECT_EQ(PixelAt(*b, 40, 5), clBlack);
  EXPECT_EQ(Count(*b, Rect(41, 1, 49, 9), clWhite), 64);
}

TEST(StockObjects, EveryStockFontOfAnEmfDrawsAtTheDefaultSize) {
  // After a created font 40 pixels high, a stock font brings back the
  // default size; the fixed ones give every character the same width.
  auto inkWidth = [](TBitmap& b, int top) { return InkExtent(b, kGround, Rect(0, top, 600, top + 60)); };
  for (const TStock& s : kStock) {
    SCOPED_TRACE(s.Name);
    Emf e(0, 0, 15875, 5292);  // 600 x 200
    e.Rec(EMR_SETBKMODE, {1});
    e.Font(1, -40).Select(1).Select(StockIndex(s.Index));
    e.TextOut(10, 10, u"HHHH").TextOut(10, 70, u"iiiiiiii").TextOut(10, 130, u"MMMMMMMM");
    auto b = Render(e.Finish(), 600, 200, kGround);
    TRect h = inkWidth(*b, 0);
    if (s.Kind == kFont) {
      EXPECT_LT(h.Bottom - h.Top, 20);
    } else {
      EXPECT_GT(h.Bottom - h.Top, 25);
    }
    if (s.Kind != kFont) continue;
    double narrow = inkWidth(*b, 60).Right - inkWidth(*b, 60).Left;
    double wide = inkWidth(*b, 120).Right - inkWidth(*b, 120).Left;
    if (s.FixedPitch) {
      EXPECT_GT(narrow / wide, 0.8);
    } else {
      EXPECT_LT(narrow / wide, 0.6);
    }
  }
}
