// Metafiles: the size rules, malformed files, and drawing of EMF and
// placeable WMF records (shapes, mapping, state, clipping, bitmaps, text).
#include "platform/metafile/metafile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <tuple>

#include "tests/platform/metafile/metafilebuild.h"
#include "tests/support/testsupport.h"

// Fontconfig, which Qt loads when the first metafile is drawn, keeps
// allocations without any pointer to them; a leak-checking build is told to
// leave those out (only those).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

using namespace mftest;

namespace {

void ExpectInvalid(const std::vector<uint8_t>& data) {
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { Load(data); }), "Metafile is not valid");
}

// A bottom-up 2 x 2 24-bit DIB (info header and pixels): the bottom row
// blue, green; the top row red, white.
std::vector<uint8_t> Dib2x2() {
  ByteWriter w;
  w.U32(40).I32(2).I32(2).U16(1).U16(24).U32(0).U32(16).I32(0).I32(0).U32(0).U32(0);
  w.U8(255).U8(0).U8(0).U8(0).U8(255).U8(0).U16(0);
  w.U8(0).U8(0).U8(255).U8(255).U8(255).U8(255).U16(0);
  return w.Data;
}

void ExpectQuadrants(TBitmap& b, int x, int y, int half) {
  EXPECT_EQ(Count(b, Bounds(x, y, half, half), clRed), half * half);
  EXPECT_EQ(Count(b, Bounds(x + half, y, half, half), clWhite), half * half);
  EXPECT_EQ(Count(b, Bounds(x, y + half, half, half), clBlue), half * half);
  EXPECT_EQ(Count(b, Bounds(x + half, y + half, half, half), clLime), half * half);
}

}  // namespace

TEST(MetafileLoad, SizeFromTheHeader) {
  auto size = [](const std::vector<uint8_t>& data) {
    auto m = Load(data);
    return std::tuple(m->Enhanced(), m->Width(), m->Height());
  };
  EXPECT_EQ(size(Emf(0, 0, 2540, 1270).Finish()), std::tuple(true, 96, 48));
  // Rounded to nearest: 2553 * 96 / 2540 = 96.49, 2554 -> 96.53; reversed frames count positive.
  EXPECT_EQ(size(Emf(0, 0, 2553, 2554).Finish()), std::tuple(true, 96, 97));
  EXPECT_EQ(size(Emf(2540, 0, 0, 100).Finish()), std::tuple(true, 96, 4));
  EXPECT_EQ(size(Wmf(0, 0, 1440, 720, 1440).Finish()), std::tuple(false, 96, 48));
  EXPECT_EQ(size(Wmf(100, 0, 0, 300, 100).Finish()), std::tuple(false, 96, 288));

  // An empty picture is valid and draws nothing.
  auto empty = Emf(0, 0, 0, 0).RedFill().Rect(0, 0, 10, 10).Finish();
  EXPECT_EQ(Load(empty)->Width(), 0);
  EXPECT_EQ(Count(*Render(empty, 8, 8), Rect(0, 0, 8, 8), clWhite), 64);

  // 32767 pixels is the limit.
  EXPECT_EQ(Load(Emf(0, 0, 866970, 10).Finish())->Width(), 32767);
  ExpectInvalid(Emf(0, 0, 866990, 10).Finish());
  ExpectInvalid(Emf(-2000000000, 0, 2000000000, 10).Finish());
  ExpectInvalid(Wmf(0, 0, 30000, 10, 1).Finish());
}

TEST(MetafileLoad, MalformedDataIsInvalid) {
  ExpectInvalid({});  // junk: see the signature tests

  auto patched = [](std::vector<uint8_t> data, size_t at, int byte) {
    data.at(at) = static_cast<uint8_t>(byte);
    return data;
  };
  const std::vector<uint8_t> wmf = Wmf(0, 0, 100, 100, 96).Finish();
  const std::vector<uint8_t> rect = Wmf(0, 0, 100, 100, 96).Rec(META_RECTANGLE, {0, 0, 10, 10}).Finish();
  ExpectInvalid(std::vector<uint8_t>(wmf.begin() + 22, wmf.end()));  // standard header without the placeable
  ExpectInvalid(patched(wmf, 20, wmf[20] ^ 1));                      // checksum
  ExpectInvalid(patched(wmf, 26, 0x02));                             // version 0x0302
  ExpectInvalid(Wmf(0, 0, 100, 100, 0).Finish());                    // no units per inch
  // The record list must reach the end record within the data.
  ExpectInvalid(std::vector<uint8_t>(wmf.begin(), wmf.end() - 6));
  ExpectInvalid(patched(rect, 40, 200));  // the rectangle claims 200 words

  const std::vector<uint8_t> emf = Emf().RedFill().Rect(0, 0, 10, 10).Finish();
  ExpectInvalid(std::vector<uint8_t>(emf.begin(), emf.end() - 20));  // no EOF record
  ExpectInvalid(patched(emf, 88 + 4, 0xF0));  // the first record claims more bytes than remain
  ExpectInvalid(patched(emf, 88 + 4, 22));    // not a multiple of 4
  ExpectInvalid(patched(emf, 0, 2));          // the first record is not a header
  ExpectInvalid(patched(emf, 80, 0));         // no reference size in millimetres
}

TEST(MetafileLoad, KindByContentSaveAndAssign) {
  std::vector<uint8_t> emf = Emf(0, 0, 1270, 1270).RedFill().Rect(0, 0, 10, 10).Finish();
  TempDir dir;
  WriteFile(dir.File("picture.wmf"), emf);
  TMetafile m;
  m.LoadFromFile(dir.File("picture.wmf"));
  EXPECT_TRUE(m.Enhanced());
  EXPECT_EQ(m.Width(), 48);

  EXPECT_EQ(SavedBytes(m), emf);

  TMetafile copy;
  copy.Assign(&m);
  EXPECT_EQ(copy.MMHeight(), 1270);
  // A failed load leaves the picture as it was.
  EXPECT_THROW(copy.LoadFromMemory(emf.data(), 10), EInvalidGraphic);
  EXPECT_EQ(copy.Width(), 48);
}

TEST(MetafileDraw, RectanglesLeaveOutRightAndBottomEdges) {
  auto b = Render(Emf().RedFill().Rect(10, 10, 20, 30).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(10, 10, 20, 30));
  EXPECT_EQ(Count(*b, Rect(0, 0, 96, 96), clRed), 200);
  // A one-pixel pen outlines the same pixels; the brush fills the inside.
  b = Render(Emf().SolidBrush(1, clRed).Select(1).Rec(EMR_CREATEPEN, {2, 0, 1, 0, clBlue}).Select(2)
                 .Rect(10, 10, 20, 30).Finish());
  EXPECT_EQ(Extent(*b, clBlue), Rect(10, 10, 20, 30));
  EXPECT_EQ(Extent(*b, clRed), Rect(11, 11, 19, 29));

  // Lines leave out their end point, in either direction.
  b = Render(Emf().Rec(EMR_MOVETOEX, {10, 5}).Rec(EMR_LINETO, {20, 5}).Rec(EMR_MOVETOEX, {20, 7})
                 .Rec(EMR_LINETO, {10, 7}).Finish());
  EXPECT_EQ(Extent(*b, clBlack, Rect(0, 0, 96, 6)), Rect(10, 5, 20, 6));
  EXPECT_EQ(Extent(*b, clBlack, Rect(0, 6, 96, 96)), Rect(11, 7, 21, 8));
  EXPECT_EQ(Count(*b, Rect(0, 0, 96, 96), clBlack), 20);
}

TEST(MetafileDraw, MappingScalesIntoTheRectangle) {
  // Twice the size: the picture's units double.
  auto b = Render(Emf().RedFill().Rect(10, 10, 20, 30).Finish(), 192, 192);
  EXPECT_EQ(Extent(*b, clRed), Rect(20, 20, 40, 60));

  // An anisotropic window of 1000 units over 96 pixels.
  b = Render(Emf().Rec(EMR_SETMAPMODE, {8}).Rec(EMR_SETWINDOWEXTEX, {1000, 1000}).Rec(EMR_SETVIEWPORTEXTEX, {96, 96})
                 .Rec(EMR_SETWINDOWORGEX, {-500, 0}).RedFill().Rect(-500, 0, 0, 500).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 48, 48));

  // Tenths of a millimetre with y going up: 254 units are an inch.
  b = Render(Emf().Rec(EMR_SETMAPMODE, {2}).RedFill().Rect(0, 0, 127, -254).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 48, 96));

  // World transform: scale by 2, move by (10, 5), then a left multiplied
  // translation by (5, 0) in logical units.
  auto f = [](float v) { return std::bit_cast<int32_t>(v); };
  b = Render(Emf().Rec(EMR_SETWORLDTRANSFORM, {f(2), 0, 0, f(2), f(10), f(5)})
                 .Rec(EMR_MODIFYWORLDTRANSFORM, {f(1), 0, 0, f(1), f(5), 0, 2}).RedFill().Rect(0, 0, 10, 10).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(20, 5, 40, 25));

  // A frame that does not start at 0 moves the picture.
  b = Render(Emf(1270, 0, 3810, 2540).RedFill().Rect(48, 0, 58, 10).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 10, 10));
}

TEST(MetafileDraw, SaveAndRestoreState) {
  Emf e;
  e.SolidBrush(1, clRed).SolidBrush(2, clBlue).Select(1).Select(kNullPen).Rec(EMR_SAVEDC, {});
  e.Select(2).Rec(EMR_SETWINDOWORGEX, {-50, 0}).Rect(0, 0, 10, 10);
  e.Rec(EMR_RESTOREDC, {-1}).Rect(0, 0, 10, 10);
  auto b = Render(e.Finish());
  EXPECT_EQ(Extent(*b, clBlue), Rect(50, 0, 60, 10));
  EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 10, 10));
}

TEST(MetafileDraw, BrushesAndFillModes) {
  // A hatched brush: with a transparent background the target shows
  // between the lines; with an opaque one the background colour does.
  for (int mode : {1, 2}) {
    Emf e;
    e.Rec(EMR_SETBKMODE, {mode}).Rec(EMR_SETBKCOLOR, {clYellow});
    e.Rec(EMR_CREATEBRUSHINDIRECT, {1, 2, clBlack, 4}).Select(1).Select(kNullPen).Rect(0, 0, 32, 32);
    auto b = Render(e.Finish(), 96, 96, clLime);
    TRect inside = Rect(0, 0, 32, 32);
    int black = Count(*b, inside, clBlack);
    EXPECT_GT(black, 32 * 2);
    EXPECT_LT(black, 32 * 32 / 2);
    EXPECT_EQ(Count(*b, inside, mode == 1 ? clLime : clYellow), 32 * 32 - black);
    EXPECT_EQ(PixelAt(*b, 40, 40), clLime);
  }

  // Two squares drawn the same way round: alternate leaves the inner one
  // empty, winding fills it.
  for (int mode : {1, 2}) {
    Emf e;
    e.RedFill().Rec(EMR_SETPOLYFILLMODE, {mode});
    e.Rec(EMR_POLYPOLYGON,
          {0, 0, 0, 0, 2, 8, 4, 4, 0, 0, 40, 0, 40, 40, 0, 40, 10, 10, 30, 10, 30, 30, 10, 30});
    auto b = Render(e.Finish());
    EXPECT_EQ(PixelAt(*b, 5, 5), clRed);
    EXPECT_EQ(PixelAt(*b, 20, 20), mode == 1 ? clWhite : clRed);
    EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 40, 40));
  }

  // Raster operations: R2_NOT inverts whatever the brush is.
  auto b = Render(Emf().RedFill().Rec(EMR_SETROP2, {6}).Rect(0, 0, 10, 10).Finish(), 96, 96, clLime);
  EXPECT_EQ(PixelAt(*b, 5, 5), clFuchsia);
  EXPECT_EQ(PixelAt(*b, 15, 5), clLime);
}

TEST(MetafileDraw, ClipRegions) {
  auto b = Render(Emf().RedFill().Rec(EMR_INTERSECTCLIPRECT, {0, 0, 20, 20}).Rect(0, 0, 96, 96).Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(0, 0, 20, 20));

  b = Render(Emf().RedFill().Rec(EMR_EXCLUDECLIPRECT, {10, 10, 20, 20}).Rect(0, 0, 30, 30).Finish());
  EXPECT_EQ(Count(*b, Rect(0, 0, 30, 30), clRed), 900 - 100);
  EXPECT_EQ(PixelAt(*b, 15, 15), clWhite);

  // A region of two rectangles, then a reset.
  b = Render(Emf().RedFill().Rec(EMR_EXTSELECTCLIPRGN, {64, 5, 32, 1, 2, 32, 0, 0, 40, 10, 0, 0, 10, 10, 30, 0, 40, 10})
                 .Rect(0, 0, 96, 20).Rec(EMR_EXTSELECTCLIPRGN, {0, 5}).Rect(0, 50, 10, 60).Finish());
  EXPECT_EQ(Count(*b, Rect(0, 0, 96, 20), clRed), 200);
  EXPECT_EQ(PixelAt(*b, 15, 5), clWhite);
  EXPECT_EQ(PixelAt(*b, 35, 5), clRed);
  EXPECT_EQ(Count(*b, Rect(0, 50, 10, 60), clRed), 100);
}

TEST(MetafileDraw, BitmapRecords) {
  ByteWriter body;
  body.I32(0).I32(0).I32(0).I32(0);               // bounds
  body.I32(0).I32(0).I32(0).I32(0).I32(2).I32(2);  // dest x, y; source x, y, w, h
  body.U32(80).U32(40).U32(120).U32(16).U32(0).U32(SRCCOPY).I32(96).I32(96).Bytes(Dib2x2());
  auto b = Render(Emf().Raw(EMR_STRETCHDIBITS, body.Data).Finish(), 96, 96, clBlack);
  ExpectQuadrants(*b, 0, 0, 48);

  // The same picture from WMF records: StretchDIB (rop, usage, source
  // height, width, y, x, target height, width, y, x) and DIBBitBlt at size.
  ByteWriter stretch;
  stretch.U32(SRCCOPY).I16(0).I16(2).I16(2).I16(0).I16(0).I16(32).I16(32).I16(0).I16(0).Bytes(Dib2x2());
  ByteWriter blt;
  blt.U32(SRCCOPY).I16(0).I16(0).I16(2).I16(2).I16(40).I16(40).Bytes(Dib2x2());
  Wmf w(0, 0, 96, 96, 96);
  w.Raw(META_STRETCHDIB, stretch.Data).Raw(META_DIBBITBLT, blt.Data);
  w.Rec(META_CREATEBRUSHINDIRECT, {0, 0, 0xFF, 0}).Rec(META_SELECTOBJECT, {0});  // blue
  w.Rec(META_PATBLT, {0x21, 0xF0, 5, 5, 60, 60});  // PATCOPY 5 x 5 at (60, 60)
  b = Render(w.Finish(), 96, 96, clBlack);
  ExpectQuadrants(*b, 0, 0, 16);
  ExpectQuadrants(*b, 40, 40, 1);
  EXPECT_EQ(Extent(*b, clBlue), Rect(0, 16, 65, 65));
  EXPECT_EQ(Count(*b, Rect(60, 60, 65, 65), clBlue), 25);
}

TEST(MetafileDraw, ArcsAndPaths) {
  // Counterclockwise from 3 to 9 o'clock is the top half; clockwise the bottom one.
  auto b = Render(Emf().Rec(EMR_ARC, {10, 10, 90, 50, 90, 30, 10, 30}).Rec(EMR_SETARCDIRECTION, {2})
                      .Rec(EMR_ARC, {10, 50, 90, 90, 90, 70, 10, 70}).Finish());
  EXPECT_GT(Count(*b, Rect(0, 0, 96, 25), clBlack), 40);
  EXPECT_EQ(Count(*b, Rect(0, 32, 96, 68), clBlack), 0);
  EXPECT_GT(Count(*b, Rect(0, 75, 96, 96), clBlack), 40);

  // A path is filled when asked; an aborted one draws nothing; a clip path
  // limits later drawing.
  Emf path;
  path.RedFill().Rec(EMR_BEGINPATH, {}).Rec(EMR_MOVETOEX, {10, 10}).Rec(EMR_LINETO, {30, 10});
  path.Rec(EMR_LINETO, {30, 30}).Rec(EMR_LINETO, {10, 30}).Rec(EMR_CLOSEFIGURE, {}).Rec(EMR_ENDPATH, {});
  path.Rec(EMR_FILLPATH, {0, 0, 0, 0});
  path.Rec(EMR_BEGINPATH, {}).Rect(40, 0, 50, 10).Rec(EMR_ABORTPATH, {});
  path.Rec(EMR_BEGINPATH, {}).Rect(60, 60, 70, 70).Rec(EMR_ENDPATH, {}).Rec(EMR_SELECTCLIPPATH, {5});
  path.Rect(50, 50, 96, 96);
  b = Render(path.Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(10, 10, 70, 70));
  EXPECT_EQ(Count(*b, Rect(10, 10, 30, 30), clRed), 400);
  EXPECT_EQ(Count(*b, Rect(40, 0, 50, 10), clRed), 0);
  EXPECT_EQ(Count(*b, Rect(50, 50, 96, 96), clRed), Count(*b, Rect(60, 60, 70, 70), clRed));
}

TEST(MetafileDraw, TextWithAnOpaqueBackgroundFillsItsCell) {
  Wmf w(0, 0, 96, 96, 96);
  w.Rec(META_CREATEFONTINDIRECT, {-16, 0, 0, 0, 400, 0, 0, 0, 0}).Rec(META_SELECTOBJECT, {0});
  w.Rec(0x0201, {int16_t(clYellow & 0xFFFF), int16_t(clYellow >> 16)});  // SetBkColor
  w.Rec(META_TEXTOUT, {2, 'H' | ('i' << 8), 20, 10});
  auto b = Render(w.Finish());
  EXPECT_GT(Count(*b, Rect(10, 20, 40, 45), clYellow), 0);
  EXPECT_GT(Count(*b, Rect(10, 20, 40, 45), clBlack), 0);
}

TEST(MetafileDraw, PlaceableWmfMapsItsWindow) {
  Wmf w(0, 0, 96, 96, 96);
  w.Rec(META_CREATEBRUSHINDIRECT, {0, int16_t(clRed), 0, 0}).Rec(META_SELECTOBJECT, {0});
  w.Rec(META_RECTANGLE, {30, 20, 10, 10});  // bottom, right, top, left: the pen outlines it in black
  auto b = Render(w.Finish());
  EXPECT_EQ(Extent(*b, clBlack), Rect(10, 10, 20, 30));
  EXPECT_EQ(Extent(*b, clRed), Rect(11, 11, 19, 29));

  // A deleted object's slot is the next one filled.
  Wmf slots(0, 0, 96, 96, 96);
  slots.Rec(META_CREATEBRUSHINDIRECT, {0, int16_t(clRed), 0, 0});
  slots.Rec(META_CREATEBRUSHINDIRECT, {0, int16_t(clLime & 0xFFFF), 0, 0});
  slots.Rec(META_DELETEOBJECT, {0}).Rec(META_CREATEBRUSHINDIRECT, {0, 0, int16_t(clBlue >> 16), 0});
  slots.Rec(META_SELECTOBJECT, {0}).Rec(META_RECTANGLE, {10, 10, 0, 0});
  b = Render(slots.Finish());
  EXPECT_EQ(Extent(*b, clBlue), Rect(1, 1, 9, 9));
}

TEST(MetafileDraw, InconsistentRecordsAreSkipped) {
  Emf e;
  e.RedFill().Rec(EMR_POLYGON, {0, 0, 0, 0, 1000, 0, 0, 50, 0, 50, 50});  // 1000 points claimed
  e.Rec(EMR_POLYPOLYGON, {0, 0, 0, 0, 1, 3, 4, 0, 0, 50, 0, 50, 50});     // counts above the total
  e.Rec(EMR_EXTSELECTCLIPRGN, {64, 5, 32, 1, 9, 32, 0, 0, 1, 1});         // 9 rectangles claimed
  e.Rec(EMR_RECTANGLE, {1, 2});                                            // too short
  e.Rect(60, 60, 70, 70);
  auto b = Render(e.Finish());
  EXPECT_EQ(Extent(*b, clRed), Rect(60, 60, 70, 70));
}

TEST(MetafileDraw, StoredRegressionInputs) {
  // As the fuzzer: drawn at its own size up to 2048 x 2048, else onto the
  // largest frame of its shape within that. A drawing may stop at its
  // bounds; the data is valid then. The pixels it decodes are work.
  ReplayRegressionInputs(
      "fuzz_metafile",
      [](const std::vector<uint8_t>& data) {
        auto m = Load(data);
        const double scale = std::min(1.0, std::sqrt(double(1 << 22) / (double(m->Width()) * m->Height())));
        const int width = std::max(1, int(m->Width() * scale)), height = std::max(1, int(m->Height() * scale));
        const std::string stop = RaisedMessage<EInvalidGraphic>([&] {
          MakeFlatBitmap(width, height, clWhite)->Canvas()->StretchDraw(Rect(0, 0, width, height), m.get());
        });
        EXPECT_TRUE(stop == "(nothing raised)" || stop == "Metafile is too complex to draw") << stop;
        const std::optional<TMetafileDrawUse> use = MetafileDrawUse(data.data(), data.size(), width, height);
        ASSERT_TRUE(use);
        EXPECT_GE(use->Work, double(use->BitmapPixels));
      },
      "Metafile is not valid");
}
