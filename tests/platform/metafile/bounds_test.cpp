// The bounds of a drawing: what would cost the painter far more than its
// bytes stop the drawing with its failure before the work is done; a
// large clip is handed to the painter in bands that paint exactly the
// clip's pixels; a region selected again is not built again; ordinary
// drawings stay far below every bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/platform/metafile/metafilebuild.h"

using namespace mftest;

namespace {

// Ends the test program should a drawing hang.
struct TAlarm {
  TAlarm() { alarm(120); }
  ~TAlarm() { alarm(0); }
};

constexpr int64_t kRegionRects = int64_t(1) << 18, kHeldRects = int64_t(1) << 20, kDashes = int64_t(1) << 15;

}  // namespace

TEST(MetafileBounds, CostlyDrawingsStopWithTheirFailure) {
  TAlarm alarm;
  enum TBound { bWork, bRegionRects, bHeldRects, bDashes, bOutline };
  struct TRow {
    const char* Name;
    std::vector<uint8_t> Data;
    TBound Bound;
  };
  const TRow rows[] = {
      {"a clip of rows xor-ed with columns", ClipGrid(400, 800), bRegionRects},
      {"strips cut out of the clip", ExcludedStrips(1100, 1100), bRegionRects},
      {"saved states each keeping a grid", SavedGridClips(20, 230, 460), bHeldRects},
      {"a zigzag of one-unit dashes", DashedZigzag(2000, 400), bDashes},
      {"the zigzag under a clip of four pixels", DashedZigzag(2000, 400, true), bDashes},
      {"the page inverted over and over", PagePatBlts(2000, 256), bWork},
      {"a region selected under a window that moves", ReselectedRegion(48, 48, 4000, true, 96), bWork},
      {"capitals in the largest font, piled", LargeTexts(1, 4000, 1000, true), bWork},
      {"a zigzag path filled", Zigzags(zzPath, 1, 16000, 256), bWork},
      {"a zigzag polygon", Zigzags(zzPolygon, 1, 16000, 256), bWork},
      {"a zigzag of a wide pen", Zigzags(zzWideLine, 3, 2000, 256), bWork},
      {"a zigzag path made the clip", Zigzags(zzClipPath, 1, 2000, 400), bRegionRects},
      {"large text under a clip handed over in parts", BandedText(2000, 260, 100, 12), bWork},
      {"a zigzag of a pen too wide for its points",
       SquareEmf(400).Pen(1, 0, 300, clBlue).Select(1).Points16(EMR_POLYLINE16, Zigzag(4000, 400)).Finish(), bOutline},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_LT(row.Data.size(), 100000u);
    const int side = Load(row.Data)->Width();
    EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { Render(row.Data, side, side); }),
              "Metafile is too complex to draw");
    // The bound that stopped it, before it was passed.
    std::optional<TMetafileDrawUse> use = MetafileDrawUse(row.Data.data(), row.Data.size(), side, side);
    ASSERT_TRUE(use);
    EXPECT_TRUE(use->Stopped);
    EXPECT_LE(use->Work, use->WorkLimit);
    EXPECT_EQ(use->RegionRects > kRegionRects, row.Bound == bRegionRects);
    EXPECT_EQ(use->HeldRegionRects > kHeldRects, row.Bound == bHeldRects);
    EXPECT_EQ(use->StrokeDashes > kDashes, row.Bound == bDashes);
    EXPECT_EQ(use->OutlineBytes > use->OutlineLimit, row.Bound == bOutline);
  }
}

TEST(MetafileBounds, OnlyWhatDrawsBuysWorkAndNoFrameBuysMoreThanTheCeiling) {
  // Stretches of a small picture, alone, behind a comment, between records
  // that only set a value, or each padded inside its record: all have the
  // work of the stretches alone.
  auto limit = [](const std::vector<uint8_t>& data, int side) {
    return MetafileDrawUse(data.data(), data.size(), side, side)->WorkLimit;
  };
  const std::vector<uint8_t> one = PageStretches(1, 256, 0);
  std::vector<uint8_t> body(one.begin() + 88 + 8, one.end() - 20);  // the stretch record's parameters and picture
  Emf between = SquareEmf(256), padded = SquareEmf(256);
  for (int i = 0; i < 10; ++i) {
    for (int k = 0; k < 500; ++k) between.Rec(EMR_SETBKMODE, {1});
    between.Raw(EMR_STRETCHDIBITS, body);
  }
  body.resize(body.size() + 4000);
  for (int i = 0; i < 10; ++i) padded.Raw(EMR_STRETCHDIBITS, body);
  const double alone = limit(PageStretches(10, 256, 0), 256);
  EXPECT_EQ(limit(PageStretches(10, 256, 60000), 256), alone);
  EXPECT_EQ(limit(between.Finish(), 256), alone);
  EXPECT_EQ(limit(padded.Finish(), 256), alone);
  // A frame past a million pixels has the ceiling's work, and no more.
  EXPECT_EQ(limit(PageStretches(1, 2100, 0), 2100), double(int64_t(1) << 32));
}

TEST(MetafileBounds, ALargeClipPaintsExactlyItsPixels) {
  // A grid of 150 one-pixel rows xor-ed with 150 columns over 600 x 600
  // has so many rectangles times rows that it reaches the painter in
  // bands. Whatever is drawn under it (fills, hatches, an inversion, lines
  // of both kinds of pen, text on its background, a picture) shows in the
  // clip exactly as drawn without it, and nowhere else.
  auto draw = [](bool clipped) {
    Emf e = SquareEmf(600);
    if (clipped) GridClip(e, 150, 600);
    e.Rec(EMR_CREATEBRUSHINDIRECT, {1, 2, int32_t(clBlue), 5}).Select(1).Select(kNullPen).Rect(10, 10, 590, 300);
    e.SolidBrush(2, clLime).Select(2).Rec(EMR_SETROP2, {7}).Rect(200, 100, 500, 500).Rec(EMR_SETROP2, {13});
    e.Pen(3, 0, 1, clRed).Select(3).Line(0, 599, 599, 0).ExtPen(4, kGeometricPen | 1, 7, clFuchsia).Select(4);
    e.Points16(EMR_POLYLINE16, Zigzag(9, 600)).Font(5, -60).Select(5).Rec(EMR_SETBKCOLOR, {int32_t(clYellow)});
    e.TextOut(20, 400, u"Brightmill", 2, {20, 400, 580, 470});
    ByteWriter blit;  // the 2 x 2 picture stretched over a quarter of the frame
    for (int32_t v : {0, 0, 0, 0, 300, 300, 0, 0, 2, 2, 80, 40, 120, 16, 0, int32_t(SRCCOPY), 300, 300}) blit.I32(v);
    blit.Bytes(DibHeader(2, 2, 24, 0).U8(255).U8(0).U8(0).U8(0).U8(255).U8(0).U16(0).U8(0).U8(0).U8(255).Zeros(5).Data);
    return Render(e.Raw(EMR_STRETCHDIBITS, blit.Data).Finish(), 600, 600);
  };
  auto whole = draw(false), clipped = draw(true);
  int inside = 0, mismatched = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 600; ++x) {
      const bool in = (y % 4 == 0) != (x % 4 == 0);
      inside += in;
      mismatched += PixelAt(*clipped, x, y) != (in ? PixelAt(*whole, x, y) : clWhite);
    }
  EXPECT_EQ(inside, 2 * 150 * 450);
  EXPECT_EQ(mismatched, 0);
  EXPECT_GT(Count(*clipped, Rect(0, 0, 600, 600), clWhite), 600 * 600 - inside);  // not all drawn over
}

TEST(MetafileBounds, ClosedFiguresOutlinedOneByOnePaintWhatTheWholeOutlinePaints) {
  // Closed figures outlined in white and copied reach the painter one by
  // one; ORed into a black ground the pen paints the same colour, as one
  // outline. Both paint the same pixels, one by one holding less: a filled
  // map of cells sharing their corners, polygons, spikes, points among them
  // (no outline) or alone (lines with caps), under pens of every cap and
  // join (Pen 0: CreatePen's), clipped by a rectangle, by a few, or by a
  // grid, where the figures meeting the clip one by one cost more.
  struct TRow { int Kind, Width, Clip; uint32_t Pen; bool OneByOne; };
  const TRow rows[] = {{0, 3, 0, 0, true}, {0, 5, 1, kGeometricPen | kFlatCaps | kMitreJoins, true},
                       {1, 4, 2, kGeometricPen | 0x100 | 0x1000, true}, {2, 6, 0, kGeometricPen, true},
                       {3, 4, 0, kGeometricPen | 0x100, true}, {4, 4, 0, kGeometricPen | 0x100, false},
                       {0, 3, 3, 0, false}};
  auto next = [seed = 7u](int n) mutable { return int(((seed = seed * 1103515245u + 12345u) >> 8) % uint32_t(n)); };
  for (const TRow& row : rows) {
    SCOPED_TRACE(&row - rows);
    std::vector<std::vector<std::pair<int, int>>> figures(24);
    for (int f = 0; f < 24; ++f) {
      const bool point = row.Kind == 4 || (row.Kind == 3 && f % 3);
      const int x = 4 + 16 * (f % 6), y = 4 + 22 * (f / 6);
      for (int i = 0, c; i < (row.Kind == 0 ? 4 : point ? 2 : 3 + next(7)); ++i) {
        c = f % 2 ? 3 - i : i;  // cells of either turn
        figures[f].push_back(row.Kind == 0   ? std::pair(x + 16 * (c == 1 || c == 2), y + 22 * (c >= 2))
                             : row.Kind == 1 ? std::pair(next(96), next(96))
                             : row.Kind == 2 ? std::pair(x + (i % 2 ? 6 : next(9)), y + 3 * i)
                             : point         ? std::pair(x, y)
                                             : std::pair(x + 9 * (i % 2), y + next(9)));
      }
    }
    std::vector<uint8_t> drawn[2];
    for (int rop : {13, 15}) {
      Emf e = SquareEmf(96);
      if (row.Clip == 3) GridClip(e, 24, 96);
      else if (row.Clip) e.Rec(row.Clip == 1 ? EMR_INTERSECTCLIPRECT : EMR_EXCLUDECLIPRECT, {20, 10, 70, 60});
      (row.Pen ? e.ExtPen(2, row.Pen, row.Width, clWhite) : e.Pen(2, 0, row.Width, clWhite)).Select(2);
      drawn[rop == 15] = e.SolidBrush(1, clNavy).Select(1).Rec(EMR_SETROP2, {rop}).PolyPolygon16(figures).Finish();
    }
    auto copied = Render(drawn[0], 96, 96, clBlack), ored = Render(drawn[1], 96, 96, clBlack);
    EXPECT_TRUE(SameColors(*copied, *ored));
    EXPECT_GT(Count(*copied, Rect(0, 0, 96, 96), clWhite), 300);
    auto held = [](const std::vector<uint8_t>& d) { return MetafileDrawUse(d.data(), d.size(), 96, 96)->OutlineBytes; };
    EXPECT_EQ(held(drawn[0]) < held(drawn[1]), row.OneByOne);
  }
}

TEST(MetafileBounds, ARegionSelectedAgainIsNotBuiltAgain) {
  // 48 x 48 one-pixel dots selected 7000 times under the same mapping:
  // built once, the drawing fills the dots well within its work.
  const std::vector<uint8_t> data = ReselectedRegion(48, 48, 7000, false, 96);
  EXPECT_EQ(Count(*Render(data), Rect(0, 0, 96, 96), clRed), 48 * 48);
  std::optional<TMetafileDrawUse> use = MetafileDrawUse(data.data(), data.size(), 96, 96);
  ASSERT_TRUE(use);
  EXPECT_LT(use->Work, use->WorkLimit / 20);
}

TEST(MetafileBounds, OrdinaryDrawingsStayFarBelowEveryBound) {
  // A chart, a floor plan, a page of text, a clip-art scene and a framed
  // photo at their own size, and the fuzzer's seeds.
  std::vector<TOrdinaryDrawing> drawings = OrdinaryDrawings();
  for (const auto& entry : std::filesystem::directory_iterator(std::string(BRIGHTMILL_SOURCE_DIR) + "/fuzz/corpus/fuzz_metafile"))
    drawings.push_back({entry.path().filename().string(), ReadFile(entry.path().string())});
  for (const TOrdinaryDrawing& drawing : drawings) {
    SCOPED_TRACE(drawing.Name);
    auto metafile = Load(drawing.Data);
    std::optional<TMetafileDrawUse> use =
        MetafileDrawUse(drawing.Data.data(), drawing.Data.size(), metafile->Width(), metafile->Height());
    ASSERT_TRUE(use);
    EXPECT_FALSE(use->Stopped);
    EXPECT_LT(use->Work, use->WorkLimit / 4);
    EXPECT_LT(use->RegionRects, kRegionRects / 64);
    EXPECT_LT(use->HeldRegionRects, kHeldRects / 64);
    EXPECT_LT(use->StrokeDashes, kDashes / 64);
    EXPECT_LT(use->BitmapPixels, (int64_t(1) << 26) / 64);
  }
}
