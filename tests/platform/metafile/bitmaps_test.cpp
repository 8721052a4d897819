// Metafile bitmaps: the bound on the pixels one drawing decodes, and pattern
// brushes tiled whole (what a drawing holds is measured in tests/memory).
#include <gtest/gtest.h>

#include "platform/metafile/metafile.h"
#include "tests/platform/metafile/metafilebuild.h"
#include "tests/support/testsupport.h"

using namespace mftest;

TEST(MetafileBitmaps, ADrawingDecodesAtMostTheBoundInAll) {
  // Twenty 8192 x 8192 RLE patterns of a few bytes each fill a 5 x 4 grid,
  // then a red box. The first takes the whole bound (2^26 pixels): the others
  // fill nothing, the box is drawn, and a second drawing has the bound afresh.
  Wmf w;
  for (int k = 0; k < 20; ++k) w.PatternBrush(RleDib(8192, 8192, clBlue));
  w.Pen(5, 0, 0).Select(20);  // null pen
  auto cell = [](int k) { return Bounds(2 + 19 * (k % 5), 2 + 19 * (k / 5), 16, 16); };
  for (int k = 0; k < 20; ++k) w.Select(k).Rect(cell(k).Left, cell(k).Top, cell(k).Right, cell(k).Bottom);
  const std::vector<uint8_t> data = w.Brush(0, clRed).Select(21).Rect(10, 82, 90, 94).Finish();
  EXPECT_LT(data.size(), 2000u);
  auto metafile = Load(data);
  for (int drawing = 0; drawing < 2; ++drawing) {
    auto b = MakeFlatBitmap(96, 96, clWhite);
    b->Canvas()->Draw(0, 0, metafile.get());
    for (int k = 0; k < 20; ++k) EXPECT_EQ(Count(*b, cell(k), k ? clWhite : clBlue), 256) << drawing << ": " << k;
    EXPECT_EQ(Extent(*b, clRed), Rect(10, 82, 90, 94)) << drawing;
  }
}

TEST(MetafileBitmaps, PatternBrushesTileTheirWholePicture) {
  // 100 x 80 of 8 bits, white but for red, lime, blue and yellow corners.
  ByteWriter dib = DibHeader(100, 80, 8, 0, {clWhite, clRed, clLime, clBlue, clYellow});
  std::vector<uint8_t> pixels(100 * 80, 0);  // rows from the bottom
  pixels[79 * 100] = 1, pixels[79 * 100 + 99] = 2, pixels[0] = 3, pixels[99] = 4;
  auto b = Render(Wmf(0, 0, 200, 160, 96).PatternBrush(dib.Bytes(pixels).Data).Pen(5, 0, 0).Select(0).Select(1)
                      .Rect(0, 0, 200, 160).Finish(), 200, 160, clBlack);
  const TColor corners[2][2] = {{clRed, clLime}, {clBlue, clYellow}};
  for (int y : {0, 79, 80, 159})
    for (int x : {0, 99, 100, 199}) EXPECT_EQ(PixelAt(*b, x, y), corners[y % 80 != 0][x % 100 != 0]) << x << "," << y;
  EXPECT_EQ(Count(*b, Rect(0, 0, 200, 160), clWhite), 200 * 160 - 16);
}

TEST(MetafileBitmaps, PicturesStandingInTheirRecordsAreNotCountedToTheBound) {
  // A PNG picture the reader does not decode, claiming 8192 x 8192; two
  // 1-bit pictures of 8192 x 4097, each more than half the bound, whose
  // pixels stand in their records; then run-length pictures of 2^25 pixels
  // and of 2^25 + 8192, which their few bytes expand to. The first three
  // are drawn; the last, which would take the drawing past the bound,
  // is left out.
  const auto flat = [](TColor color) { return DibHeader(8192, 4097, 1, 0, {color, color}).Zeros(1024 * 4097).Data; };
  Wmf w;
  w.StretchDib(0, 0, 48, 48, 8192, 8192, DibHeader(8192, 8192, 0, 5).Zeros(16).Data);
  w.StretchDib(0, 0, 48, 48, 8192, 4097, flat(clBlue)).StretchDib(48, 0, 96, 48, 8192, 4097, flat(clLime));
  w.StretchDib(0, 48, 48, 96, 8192, 4096, RleDib(8192, 4096, clRed));
  w.StretchDib(48, 48, 96, 96, 8192, 4097, RleDib(8192, 4097, clYellow));
  auto b = Render(w.Finish());
  EXPECT_EQ(Count(*b, Rect(0, 0, 48, 48), clBlue), 48 * 48);
  EXPECT_EQ(Count(*b, Rect(48, 0, 96, 48), clLime), 48 * 48);
  EXPECT_EQ(Count(*b, Rect(0, 48, 48, 96), clRed), 48 * 48);
  EXPECT_EQ(Count(*b, Rect(48, 48, 96, 96), clWhite), 48 * 48);
}

TEST(MetafileBitmaps, TheBoundCountsTheBitmapsTheReaderDecodesAndNoOthers) {
  // A black 3 x 2 DIB of every header size, compression and bit count, its
  // pixels whole or cut short, stretched over a white picture: the drawing
  // counts its memory, and draws it, exactly where the bitmap reader reads
  // it.
  const int width = 3, height = 2;
  const std::vector<uint8_t> empty = Wmf().Finish();
  const int64_t none = MetafileBitmapBytes(empty.data(), empty.size());
  for (uint32_t header : {11u, 12u, 16u, 39u, 40u, 41u, 52u, 56u, 60u, 64u, 100u, 108u, 124u, 128u})
    for (uint32_t compression = 0; compression <= 7; ++compression)
      for (int bits : {0, 1, 2, 4, 8, 15, 16, 24, 32, 48})
        for (bool whole : {true, false}) {
          if (header == 12 && compression != 0) continue;  // a core header has no compression
          ByteWriter dib;
          if (header == 12) {
            dib.U32(12).U16(width).U16(height).U16(1).U16(uint16_t(bits));
          } else {
            ByteWriter info;
            info.U32(header).I32(width).I32(height).U16(1).U16(uint16_t(bits)).U32(compression).Zeros(20);
            for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu, 0u}) info.U32(bits == 16 ? mask : mask << 8);
            info.Zeros(128);
            // An info header of 40 bytes has its masks after it; a later
            // one holds them.
            const bool masksAfter = header == 40 && (compression == 3 || compression == 6);
            dib.Bytes(info.Data.data(), header + (masksAfter ? (compression == 6 ? 16 : 12) : 0));
          }
          if (bits >= 1 && bits <= 8)
            for (int i = 0; i < (1 << bits); ++i) header == 12 ? dib.U8(0).U8(0).U8(0) : dib.U32(0);
          const size_t stride = (size_t(width) * size_t(std::max(bits, 1)) + 31) / 32 * 4;
          if (compression == 1 || compression == 2) {
            if (whole) dib.U8(0).U8(1);
          } else {
            dib.Zeros(whole ? stride * height : stride);
          }
          if (dib.Size() % 2) dib.U8(0);
          bool read = true;
          try {
            ReadDib(dib.Data.data(), dib.Size(), 0, false);
          } catch (const Exception&) {
            read = false;
          }
          const std::vector<uint8_t> data = Wmf().StretchDib(0, 0, 96, 96, width, height, dib.Data).Finish();
          const std::string what = "header " + std::to_string(header) + ", compression " +
                                   std::to_string(compression) + ", " + std::to_string(bits) + " bits, " +
                                   (whole ? "whole" : "cut short");
          EXPECT_EQ(MetafileBitmapBytes(data.data(), data.size()) > none, read) << what;
          EXPECT_EQ(Count(*Render(data), Rect(0, 0, 96, 96), clBlack) == 96 * 96, read) << what;
        }
}
