// BMP files: every header version, indexed, bit-field and run-length
// layouts, writing, malformed files and the stored fuzz findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/testsupport.h"

namespace {

enum : uint32_t { kRgb, kRle8, kRle4, kBitFields, kJpeg, kPng, kAlphaBitFields };

// A hand-made BMP file. Masks go inside V2 and later headers and after the
// 40- and 64-byte ones.
struct TBmp {
  int32_t Width = 2, Height = 2;
  uint16_t Bits = 24;
  uint32_t Compression = kRgb, HeaderSize = 40, ColorsUsed = 0;
  std::vector<uint32_t> Masks = {};
  std::vector<TColor> Table = {};
  std::vector<uint8_t> Pixels = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};

  std::vector<uint8_t> File() const {
    const bool core = HeaderSize == 12, masksAfter = HeaderSize == 40 || HeaderSize == 64;
    const uint32_t offBits = static_cast<uint32_t>(14 + HeaderSize + (masksAfter ? 4 * Masks.size() : 0) +
                                                   Table.size() * (core ? 3 : 4));
    ByteWriter w;
    w.Text("BM").U32(offBits + static_cast<uint32_t>(Pixels.size())).U32(0).U32(offBits).U32(HeaderSize);
    if (core) w.U16(static_cast<uint16_t>(Width)).U16(static_cast<uint16_t>(Height)).U16(1).U16(Bits);
    else w.I32(Width).I32(Height).U16(1).U16(Bits).U32(Compression).Zeros(12).U32(ColorsUsed).U32(0);
    if (!masksAfter)
      for (uint32_t m : Masks) w.U32(m);
    w.Zeros(14 + HeaderSize - w.Size());
    if (masksAfter)
      for (uint32_t m : Masks) w.U32(m);
    for (TColor c : Table) {
      w.U8(GetBValue(c)).U8(GetGValue(c)).U8(GetRValue(c));
      if (!core) w.U8(0);
    }
    w.Bytes(Pixels);
    return w.Data;
  }
  std::unique_ptr<TBitmap> Load() const { return LoadGraphic<TBitmap>(File()); }
};

// Table entries whose blue is their index, so PixelTable(b, 1) shows indices.
std::vector<TColor> IndexTable(int n) {
  std::vector<TColor> table;
  for (int i = 0; i < n; ++i) table.push_back(RGB(0, 100, i));
  return table;
}

const char* const kPicture2x2 = "255,0,0 255,255,255\n0,0,255 0,255,0";  // blue, white / red, green

}  // namespace

TEST(BmpRead, EveryHeaderVersionAndRowOrder) {
  for (uint32_t headerSize : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    auto b = TBmp{.HeaderSize = headerSize}.Load();
    EXPECT_EQ(b->PixelFormat(), pf24bit);
    EXPECT_EQ(PixelTable(*b), kPicture2x2) << headerSize;
  }
  TBmp topDown{.Height = -2};
  std::rotate(topDown.Pixels.begin(), topDown.Pixels.begin() + 8, topDown.Pixels.end());
  EXPECT_EQ(PixelTable(*topDown.Load()), kPicture2x2);
  std::vector<uint8_t> file = topDown.File();
  file.resize(file.size() - 2);  // the last row's padding may be missing
  EXPECT_EQ(PixelTable(*LoadGraphic<TBitmap>(file)), kPicture2x2);
}

TEST(BmpRead, IndexedFilesKeepTheirFormatAndTable) {
  // 1 bit, 10 wide: bits past the first byte; the table's own colours.
  auto b = TBmp{.Width = 10, .Height = 1, .Bits = 1, .Table = {clRed, clBlue}, .Pixels = {0xA0, 0x40, 0, 0}}
               .Load();
  EXPECT_EQ(b->PixelFormat(), pf1bit);
  EXPECT_EQ(PixelTable(*b, 1), "255 0 255 0 0 0 0 0 0 255");
  // 4 bits with three colours used: the table keeps three, index 5 reads black.
  b = TBmp{.Width = 3, .Height = 1, .Bits = 4, .ColorsUsed = 3, .Table = IndexTable(3),
           .Pixels = {0x21, 0x50, 0, 0}}
          .Load();
  EXPECT_EQ(b->PixelFormat(), pf4bit);
  EXPECT_EQ(b->ColorTable().size(), 3u);
  EXPECT_EQ(PixelTable(*b, 2), "2,100 1,100 0,0");
  // More entries than 2^bits.
  b = TBmp{.Width = 2, .Height = 1, .Bits = 4, .ColorsUsed = 18, .Table = IndexTable(18),
           .Pixels = {0xF1, 0, 0, 0}}
          .Load();
  EXPECT_EQ(b->ColorTable().size(), 16u);
  EXPECT_EQ(PixelTable(*b, 1), "15 1");
  // A table cut short by where the pixels start keeps the entries before them.
  b = TBmp{.Width = 2, .Height = 1, .Bits = 8, .Table = IndexTable(4), .Pixels = {200, 3, 0, 0}}.Load();
  EXPECT_EQ(b->ColorTable().size(), 4u);
  EXPECT_EQ(PixelTable(*b, 2), "0,0 3,100");
}

TEST(BmpRead, BitFieldLayouts) {
  struct TCase {
    uint16_t Bits;
    uint32_t Compression, HeaderSize;
    std::vector<uint32_t> Masks;
    std::vector<uint8_t> Pixels;
    TPixelFormat Format;
    const char* Colors;
  } cases[] = {
      {16, kRgb, 40, {}, {0x00, 0x7C, 0xE0, 0x03}, pf15bit, "0,0,255 0,255,0"},
      {16, kBitFields, 40, {0x7C00, 0x03E0, 0x001F}, {0x00, 0x7C, 0xE0, 0x03}, pf15bit, "0,0,255 0,255,0"},
      {16, kBitFields, 40, {0xF800, 0x07E0, 0x001F}, {0x00, 0xF8, 0xE0, 0x07}, pf16bit, "0,0,255 0,255,0"},
      // 4-4-4 with an alpha mask: converted to 24 bits, each channel scaled.
      {16, kAlphaBitFields, 40, {0xF00, 0xF0, 0xF, 0xF000}, {0x83, 0xFF, 0x0F, 0}, pf24bit,
       "51,136,255 255,0,0"},
      {32, kRgb, 40, {}, {10, 20, 30, 40, 1, 2, 3, 4}, pf32bit, "10,20,30 1,2,3"},
      {32, kBitFields, 40, {0xFF, 0xFF00, 0xFF0000}, {10, 20, 30, 40, 1, 2, 3, 4}, pf32bit, "30,20,10 3,2,1"},
      // Ten bits per channel in a V4 header.
      {32, kBitFields, 108, {0x3FF00000, 0xFFC00, 0x3FF}, {0, 0, 0xF8, 0x3F, 0xFF, 3, 0, 0}, pf32bit,
       "0,128,255 255,0,0"},
  };
  for (const TCase& c : cases) {
    auto b = TBmp{.Width = 2, .Height = 1, .Bits = c.Bits, .Compression = c.Compression,
                  .HeaderSize = c.HeaderSize, .Masks = c.Masks, .Pixels = c.Pixels}
                 .Load();
    EXPECT_EQ(b->PixelFormat(), c.Format) << c.Colors;
    EXPECT_EQ(PixelTable(*b), c.Colors);
    // The fourth byte stays when the layout is kept and is 0 after a conversion.
    if (c.Bits == 32) {
      EXPECT_EQ(b->ScanLine(0)[3], c.Masks.empty() || c.Masks[0] == 0xFF0000 ? 40 : 0);
    }
  }
}

TEST(BmpRead, RunLengthEncodings) {
  struct TCase {
    int32_t Width, Height;
    uint32_t Compression;
    std::vector<uint8_t> Data;
    const char* Indices;
  } cases[] = {
      // Run, absolute run with padding, end of line; delta; clipped run, delta down; end of bitmap.
      {6, 4, kRle8, {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 7, 0, 0, 8, 4, 0, 2, 0, 1, 0, 1, 9, 9},
       "0 0 0 0 0 0\n4 4 4 4 4 4\n0 0 7 7 0 0\n5 5 5 1 2 3"},
      // An absolute run past the row's end is clipped and its padding still skipped.
      {6, 1, kRle8, {0, 7, 1, 2, 3, 4, 5, 6, 8, 0, 2, 9, 0, 1}, "1 2 3 4 5 6"},
      // Data that stops early, even inside an absolute run, ends the picture.
      {3, 2, kRle8, {2, 5, 0, 0, 0, 4, 8, 9}, "8 9 0\n5 5 0"},
      {3, 2, kRle8, {}, "0 0 0\n0 0 0"},
      // Five nibbles in three bytes plus padding, alternating run, clipped run; delta.
      {7, 2, kRle4, {0, 5, 0x12, 0x34, 0x50, 0, 3, 0x67, 4, 0x88, 0, 0, 0, 2, 3, 0, 2, 0x6F, 0, 1},
       "0 0 0 6 15 0 0\n1 2 3 4 5 6 7"},
      {3, -2, kRle4, {2, 0x9A, 0, 1}, "9 10 0\n0 0 0"},  // top-down
  };
  for (const TCase& c : cases) {
    bool rle8 = c.Compression == kRle8;
    auto b = TBmp{.Width = c.Width, .Height = c.Height, .Bits = uint16_t(rle8 ? 8 : 4),
                  .Compression = c.Compression, .Table = IndexTable(rle8 ? 10 : 16), .Pixels = c.Data}
                 .Load();
    EXPECT_EQ(b->PixelFormat(), rle8 ? pf8bit : pf4bit);
    EXPECT_EQ(PixelTable(*b, 1), c.Indices);
  }
}

TEST(BmpWrite, RoundTripsAndLayout) {
  TempDir dir;
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto source = MakeTestBitmap(13, 5, 40);
    source->SetPixelFormat(format);
    source->SaveToFile(dir.File("a.bmp"));
    TBitmap back;
    back.LoadFromFile(dir.File("a.bmp"));
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_TRUE(SameColors(*source, back)) << format;
    EXPECT_EQ(back.ColorTable(), source->ColorTable());
  }
  // A device monochrome bitmap is written as black, white.
  auto mono = MakeColorBitmap(2, {clRed, clWhite});
  mono->SetMonochrome(true);
  EXPECT_EQ(ColorLetters(*LoadGraphic<TBitmap>(SavedBytes(*mono))), "KW");
}

TEST(BmpRead, MalformedFilesRaise) {
  const std::vector<uint8_t> valid = TBmp{}.File();
  auto cut = [](std::vector<uint8_t> file, size_t size) {
    file.resize(size);
    return file;
  };
  auto patched = [&](size_t at, uint32_t value) {
    ByteWriter w{valid};
    w.PatchU32(at, value);
    return w.Data;
  };
  for (const std::vector<uint8_t>& file : {
           cut(valid, 0), cut(valid, 13), patched(0, 0),  // no header, not "BM"
           cut(valid, 14 + 20), patched(14, 20),          // header cut short, unknown header
           cut(valid, valid.size() - 5),                  // pixels missing
           patched(10, 100000), patched(10, 20),          // pixels beyond the end, in the header
           TBmp{.Width = 0}.File(), TBmp{.Width = -2}.File(), TBmp{.Height = 0}.File(),
           TBmp{.Height = INT32_MIN}.File(), TBmp{.Width = 0x7FFFFFFF, .Height = 0x7FFFFFFF}.File(),
           TBmp{.Bits = 2}.File(), TBmp{.Compression = kJpeg}.File(), TBmp{.Compression = kPng}.File(),
           TBmp{.Compression = 7}.File(), TBmp{.Compression = kRle8}.File(),
           TBmp{.Compression = kBitFields}.File(),
           // Masks and table cut short.
           TBmp{.Bits = 16, .Compression = kBitFields, .Masks = {1, 2}, .Pixels = {}}.File(),
           cut(TBmp{.Bits = 8, .Table = IndexTable(256)}.File(), 14 + 40 + 100),
       })
    EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { LoadGraphic<TBitmap>(file); }),
              "Bitmap image is not valid");
  // Without a pixel offset the pixels would follow a table of 2^32 - 1 entries.
  std::vector<uint8_t> endless = TBmp{.Bits = 8, .ColorsUsed = 0xFFFFFFFF}.File();
  EXPECT_THROW(ReadDib(endless.data() + 14, endless.size() - 14, 0, false), EInvalidGraphic);
  // A huge RLE picture is refused by the bitmap size limit, not allocated.
  TBmp huge{.Width = 100000, .Height = 100000, .Bits = 8, .Compression = kRle8, .Pixels = {0, 1}};
  EXPECT_THROW(huge.Load(), EOutOfMemory);
}

TEST(BmpRegressions, ReplayFuzzFindings) {
  // As the fuzzer: load, and convert and save what is at most 2^24 pixels.
  ReplayRegressionInputs(
      "fuzz_bmp",
      [](const std::vector<uint8_t>& data) {
        auto bitmap = LoadGraphic<TBitmap>(data);
        if (int64_t(bitmap->Width()) * bitmap->Height() > (int64_t(1) << 24)) return;
        bitmap->SetPixelFormat(pf24bit);
        SavedBytes(*bitmap);
      },
      "Bitmap image is not valid");
}
