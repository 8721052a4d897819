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
  // Drawn records: a 24-bit picture; an RLE4 one after an RLE8 pattern,
  // which stays; a monochrome pattern filled in two pairs of colours; an
  // EMF picture of 16-bit pixels apart from its header; and one pattern of
  // the whole bound, whose memory takes huge pages.
  const auto flat = DibHeader(700, 500, 24, 0).Zeros(2100 * 500).Data;
  Wmf pattern;
  pattern.PatternBrush(RleDib(1500, 1000, clRed)).Select(0).Rect(0, 0, 50, 50);
  pattern.StretchDib(0, 0, 90, 90, 1200, 900, DibHeader(1200, 900, 4, 2, {clLime}).U8(0).U8(1).Data);
  ByteWriter mono = DibHeader(2000, 1000, 1, 0, {clBlack, clWhite});
  mono.Bytes(std::vector<uint8_t>(252 * 1000, 0x5A));
  Wmf monoFill;
  monoFill.Raw(META_DIBCREATEPATTERNBRUSH, ByteWriter().U16(3).U16(0).Bytes(mono.Data).Data).Select(0);
  monoFill.Rect(0, 0, 90, 90).Rec(0x0209, {0x00FF, 0}).Rect(10, 10, 80, 80);  // SetTextColor red
  ByteWriter apart;  // bounds, dest, source, offBmi, cbBmi, offBits, cbBits, usage, rop, dest size
  apart.I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(600).I32(400);
  apart.U32(80).U32(52).U32(132 + 8).U32(1200 * 400).U32(0).U32(SRCCOPY).I32(96).I32(96);
  apart.Bytes(DibHeader(600, 400, 16, 3).U32(0xF800).U32(0x07E0).U32(0x001F).Data).Zeros(8);
  apart.Bytes(std::vector<uint8_t>(1200 * 400, 0x3C));
  const std::vector<std::vector<uint8_t>> files = {
      Wmf().StretchDib(0, 0, 90, 90, 700, 500, flat).Finish(),
      pattern.Finish(),
      monoFill.Finish(),
      Emf().Raw(EMR_STRETCHDIBITS, apart.Data).Finish(),
      Wmf().PatternBrush(RleDib(8192, 8192, clBlue)).Select(0).Rect(0, 0, 90, 90).Finish(),
  };

  // What a drawing takes without bitmaps (the painter, its state), after a
  // first drawing has made what stays for the process.
  auto target = MakeFlatBitmap(96, 96, clWhite);
  const auto plain = Load(Wmf().Brush(0, clRed).Select(0).Rect(0, 0, 90, 90).Finish());
  target->Canvas()->Draw(0, 0, plain.get());
  const int64_t painter = MeasureAllocations([&] { target->Canvas()->Draw(0, 0, plain.get()); }).Peak;

  auto drawingPeak = [&](const std::vector<uint8_t>& data) {
    const auto metafile = Load(data);
    return MeasureAllocations([&] { target->Canvas()->Draw(0, 0, metafile.get()); }).Peak;
  };
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    const int64_t bytes = MetafileBitmapBytes(files[i].data(), files[i].size());
    const int64_t peak = drawingPeak(files[i]);
    EXPECT_LE(peak, bytes + painter);
    // 16-bit pixels are counted as if widened to 24 bits.
    EXPECT_GE(peak, bytes - bytes / 5);
  }

  // Many small patterns, all kept: beyond what as many solid brushes take,
  // within what the headers say, which counts each block of the heap with
  // the allocator's own words.
  Wmf small, solid;
  for (int i = 0; i < 1000; ++i) {
    small.PatternBrush(Dib24(8, 8, [&](int x, int y) { return RGB(x * 30, y * 30, i); })).Select(i);
    solid.Brush(0, RGB(0, 0, i)).Select(i);
    small.Rect(0, 0, 90, 90);
    solid.Rect(0, 0, 90, 90);
  }
  const std::vector<uint8_t> patterns = small.Finish();
  const int64_t bytes = MetafileBitmapBytes(patterns.data(), patterns.size());
  const int64_t beyond = drawingPeak(patterns) - drawingPeak(solid.Finish());
  EXPECT_LE(beyond, bytes);
  EXPECT_GE(beyond, bytes / 2);
}
