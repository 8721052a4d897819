// What drawing a metafile holds for its bitmaps, counted at the heap: at its
// peak it stays within what MetafileBitmapBytes reads from the records'
// headers, which is not far above it.
#include <gtest/gtest.h>

#include "platform/metafile/metafile.h"
#include "tests/memory/allocationcount.h"
#include "tests/platform/metafile/metafilebuild.h"

using namespace mftest;

TEST(MetafileMemory, ADrawingHoldsWithinWhatTheHeadersSay) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  // Two 24-bit pictures drawn in turn; an RLE8 pattern, which stays, then an
  // RLE4 picture; a monochrome pattern filled in two pairs of colours; EMF
  // 16-bit pixels apart from their header; two patterns of the whole bound
  // (the second left out); two 1-bit pictures standing in their records that
  // are more than the bound together, the larger second (both drawn); a
  // thousand small ones, beside as many solid brushes.
  const auto flat = DibHeader(700, 500, 24, 0).Zeros(2100 * 500).Data;
  const auto huge = RleDib(8192, 8192, clBlue);
  ByteWriter apart;  // bounds, dest, source, offBmi, cbBmi, offBits, cbBits, usage, rop, dest size
  for (int32_t v : {0, 0, 0, 0, 0, 0, 0, 0, 600, 400, 80, 52, 140, 480000, 0, int32_t(SRCCOPY), 96, 96}) apart.I32(v);
  apart.Bytes(DibHeader(600, 400, 16, 3).U32(0xF800).U32(0x07E0).U32(0x001F).Zeros(8).Data).Zeros(1200 * 400);
  Wmf small, solid;
  for (int i = 0; i < 1000; ++i) {
    small.PatternBrush(DibHeader(8, 8, 24, 0).Zeros(8 * 24).Data).Select(i).Rect(0, 0, 90, 90);
    solid.Brush(0, RGB(0, 0, i)).Select(i).Rect(0, 0, 90, 90);
  }
  const auto one = Wmf().Brush(0, clRed).Select(0).Rect(0, 0, 90, 90).Finish();
  const std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> files = {
      {Wmf().StretchDib(0, 0, 90, 90, 700, 500, flat).StretchDib(0, 0, 90, 90, 700, 500, flat).Finish(), one},
      {Wmf().PatternBrush(RleDib(1500, 1000, clRed)).Select(0).Rect(0, 0, 50, 50)
           .StretchDib(0, 0, 90, 90, 1200, 900, DibHeader(1200, 900, 4, 2, {clLime}).U8(0).U8(1).Data).Finish(), one},
      {Wmf().PatternBrush(DibHeader(2000, 1000, 1, 0, {clBlack, clWhite}).Zeros(252 * 1000).Data, 3).Select(0)
           .Rect(0, 0, 90, 90).Rec(0x0209, {0x00FF, 0}).Rect(10, 10, 80, 80).Finish(), one},  // text colour red
      {Emf().Raw(EMR_STRETCHDIBITS, apart.Data).Finish(), one},
      {Wmf().PatternBrush(huge).Select(0).Rect(0, 0, 90, 90).PatternBrush(huge).Select(1).Finish(), one},
      {Wmf().StretchDib(0, 0, 90, 90, 8192, 4097, DibHeader(8192, 4097, 1, 0, {clRed}).Zeros(1024 * 4097).Data)
           .StretchDib(0, 0, 90, 90, 8192, 6000, DibHeader(8192, 6000, 1, 0, {clRed}).Zeros(1024 * 6000).Data).Finish(),
       one},
      {small.Finish(), solid.Finish()},
  };

  // A first drawing makes what stays for the process. The drawings are
  // made here, as the helper program makes them, where the heap is counted.
  auto target = MakeFlatBitmap(96, 96, clWhite);
  auto drawingPeak = [&](const std::vector<uint8_t>& data) {
    return MeasureAllocations([&] {
             DrawMetafileFrame(data.data(), data.size(), target->ScanLine(0), 96, 96, BytesPerScanLine(96, 24), 0, 0,
                               96, 96);
           })
        .Peak;
  };
  drawingPeak(one);
  for (size_t i = 0; i < files.size(); ++i) {
    const int64_t bytes = MetafileBitmapBytes(files[i].first.data(), files[i].first.size());
    const int64_t beyond = drawingPeak(files[i].first) - drawingPeak(files[i].second);
    EXPECT_LE(beyond, bytes) << i;
    // 16-bit pixels count widened to 24 bits; small blocks, the allocator's most words.
    EXPECT_GE(beyond, i + 1 < files.size() ? bytes - bytes / 5 : bytes / 2) << i;
  }
}

TEST(MetafileMemory, APaintingHoldsWithinWhatItsPathsPointsAllow) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  // Paths of a hundred thousand points stroked with round pens 2 and 5
  // pixels wide, with a round pen 80 pixels wide over fewer points, with
  // geometric pens of mitred or dashed outlines, and a map of polygons
  // filled and outlined: each painting holds within what the file's
  // largest path allows, and the narrowest round pen, the costliest for
  // its points, near it.
  const std::vector<std::vector<uint8_t>> files = {
      WanderingTrace(100000, 1000, 600, 2),
      WanderingTrace(100000, 1000, 600, 5),
      SquareEmf(600).Pen(1, 0, 80, clBlue).Select(1).Points16(EMR_POLYLINE16, Zigzag(300, 600)).Finish(),
      WanderingTrace(30000, 1000, 600, 4, kFlatCaps | kMitreJoins),
      WanderingTrace(30000, 1000, 600, 3, 1),  // dashed, round caps and joins
      PolygonMap(5000, 1000, 600, 2),
  };
  auto drawingPeak = [](const std::vector<uint8_t>& data) {
    auto metafile = Load(data);
    const int w = metafile->Width(), h = metafile->Height();
    auto target = MakeFlatBitmap(w, h, clWhite);
    return MeasureAllocations([&] {
             DrawMetafileFrame(data.data(), data.size(), target->ScanLine(0), w, h, BytesPerScanLine(w, 24), 0, 0, w, h);
           })
        .Peak;
  };
  drawingPeak(files[0]);  // what stays for the process
  for (size_t i = 0; i < files.size(); ++i) {
    const int64_t allowed = MetafileOutlineBytes(files[i].data(), files[i].size());
    const int64_t peak = drawingPeak(files[i]);
    EXPECT_LE(peak, allowed) << i;
    if (i == 0) {
      EXPECT_GE(peak, allowed / 4);
    }
  }
}
