// Encoding: the working bitmap and pictures of every kind written by the
// codec and read back by libpng, the chunks it writes and IDAT splitting.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include "png/pngcodec.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

void ExpectPixelsOf(TBitmap& bitmap, const TRgbaPicture& rgba) {
  ASSERT_EQ(rgba.Width, bitmap.Width());
  ASSERT_EQ(rgba.Height, bitmap.Height());
  for (int y = 0; y < rgba.Height; ++y)
    for (int x = 0; x < rgba.Width; ++x) {
      const uint8_t* p = rgba.At(x, y);
      ASSERT_EQ(RGB(p[0], p[1], p[2]), PixelAt(bitmap, x, y)) << x << "," << y;
      ASSERT_EQ(p[3], 255);
    }
}

// The filter type of every row of a non-interlaced picture.
std::vector<int> RowFilters(const std::vector<uint8_t>& file, size_t lineBytes) {
  std::vector<uint8_t> compressed, header = ChunkData(file, "IHDR");
  for (const auto& [name, data] : ListChunks(file))
    if (name == "IDAT") compressed.insert(compressed.end(), data.begin(), data.end());
  size_t height = size_t(header[4]) << 24 | header[5] << 16 | header[6] << 8 | header[7];
  std::vector<uint8_t> rows(height * (lineBytes + 1));
  uLongf size = uLongf(rows.size());
  EXPECT_EQ(uncompress(rows.data(), &size, compressed.data(), uLong(compressed.size())), Z_OK);
  EXPECT_EQ(size, rows.size());
  std::vector<int> filters;
  for (size_t at = 0; at < rows.size(); at += lineBytes + 1) filters.push_back(rows[at]);
  return filters;
}

std::vector<uint8_t> WriteBitmap(TBitmap& bitmap, int level = 6, TInterlaceMethod interlace = imNone) {
  TPNGObject png;
  png.CompressionLevel = level;
  png.InterlaceMethod = interlace;
  png.Assign(&bitmap);
  return SavedBytes(png);
}

}  // namespace

TEST(PngEncoding, TheWorkingBitmapComesBackFromLibpng) {
  // Every level, and zlib's default (-1, taken as 6).
  auto bitmap = MakeTestBitmap(67, 41, 5);
  for (int level : {-1, 0, 1, 9})
    for (TInterlaceMethod interlace : {imNone, imAdam7}) {
      std::vector<uint8_t> file = WriteBitmap(*bitmap, level, interlace);
      ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
      auto chunks = ListChunks(file);
      EXPECT_EQ(chunks.front(), (std::pair<std::string, std::vector<uint8_t>>{
                                    "IHDR", {0, 0, 0, 67, 0, 0, 0, 41, 8, 2, 0, 0, uint8_t(interlace)}}));
      EXPECT_EQ(chunks.back().first, "IEND");
    }
  // Every row of the default settings is filtered with Sub.
  EXPECT_EQ(RowFilters(WriteBitmap(*bitmap), 67 * 3), std::vector<int>(41, 1));
}

TEST(PngEncoding, IndexedBitmapsBecomePalettePictures) {
  // 1-, 4- and 8-bit bitmaps with their full palette; deeper ones 8-bit RGB.
  auto bitmap = MakeTestBitmap(10, 7);
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    bitmap->SetPixelFormat(format);
    std::vector<uint8_t> file = WriteBitmap(*bitmap);
    int bits = PixelFormatBits(format);
    std::vector<uint8_t> header = ChunkData(file, "IHDR");
    EXPECT_EQ(header[8], std::min(bits, 8));
    EXPECT_EQ(header[9], bits <= 8 ? 3 : 2);
    EXPECT_EQ(ChunkData(file, "PLTE").size(), bits <= 8 ? 3u << bits : 0u);
    ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
  }
}

TEST(PngEncoding, TransparentColourMakesATransparencyChunk) {
  auto bitmap = MakeTestBitmap(6, 5);
  TPNGObject png;
  png.SetTransparentColor(clRed);  // no picture yet: nothing happens
  png.Assign(bitmap.get());
  EXPECT_EQ(png.ChunkList().FindChunk<TChunktRNS>(), nullptr);
  TColor color = PixelAt(*bitmap, 2, 3);
  png.SetTransparentColor(color);
  std::vector<uint8_t> file = SavedBytes(png);
  EXPECT_EQ(ChunkData(file, "tRNS"),
            (std::vector<uint8_t>{0, GetRValue(color), 0, GetGValue(color), 0, GetBValue(color)}));
  TRgbaPicture rgba = ReadWithLibpng(file);
  EXPECT_EQ(rgba.At(2, 3)[3], 0);
  EXPECT_EQ(rgba.At(3, 3)[3], 255);
}

TEST(PngEncoding, ImageDataIsSplitIntoChunks) {
  // Noise does not compress: level 0 gives more than 65535 bytes, in chunks
  // of at most 65535 bytes (the least MaxIdatSize takes), also past the limit
  // where the rows go through zlib's stream instead of one libdeflate call.
  // A level zlib does not know is refused, not looped on.
  struct TLimit {
    size_t Saved = pngcodec::DeflateWholeBufferLimit;
    ~TLimit() { pngcodec::DeflateWholeBufferLimit = Saved; }
  } restore;
  auto noise = MakeNoiseBitmap(200, 200, 1), bitmap = MakeTestBitmap(67, 41, 5);
  for (size_t limit : {restore.Saved, size_t{100}}) {
    pngcodec::DeflateWholeBufferLimit = limit;
    TPNGObject png;
    png.CompressionLevel = 0;
    png.SetMaxIdatSize(1000);
    EXPECT_EQ(png.MaxIdatSize(), 65535u);
    png.Assign(noise.get());
    std::vector<uint8_t> file = SavedBytes(png);
    std::vector<size_t> sizes;
    for (const auto& [name, data] : ListChunks(file))
      if (name == "IDAT") sizes.push_back(data.size());
    ASSERT_GE(sizes.size(), 2u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 65535u);
    EXPECT_LE(sizes.back(), 65535u);
    ExpectPixelsOf(*noise, ReadWithLibpng(file));
    ExpectPixelsOf(*bitmap, ReadWithLibpng(WriteBitmap(*bitmap, 6, imAdam7)));
    for (int level : {12, -2}) {
      png.CompressionLevel = level;
      EXPECT_THROW(SavedBytes(png), EPNGZLIBError) << level;
    }
  }
}

// Each filter alone writes every row with it; among several, the one whose
// bytes repeat most (ties to the lower type, and None where nothing
// repeats, even when None is not among them).
TEST(PngEncoding, EachFilterAloneAndTheChoiceAmongSeveral) {
  auto bitmap = MakeTestBitmap(23, 9, 3);
  for (TFilter f : {pfNone, pfSub, pfUp, pfAverage, pfPaeth}) {
    TPNGObject png;
    png.Filters = FilterSet(f);
    png.Assign(bitmap.get());
    std::vector<uint8_t> file = SavedBytes(png);
    EXPECT_EQ(RowFilters(file, 23 * 3), std::vector<int>(9, f)) << f;
    ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
  }
  // 8-bit grey rows: a uniform first row scores alike for every filter; a
  // ramp repeats only after Sub (and Paeth, which is Sub against a row of
  // zeros), Average or Up; the noise row after it repeats under none; rows
  // of 2 bytes score nothing.
  auto filters = [](int width, TFilters set, const std::vector<std::vector<uint8_t>>& rows) {
    TPNGObject png(COLOR_GRAYSCALE, 8, width, int(rows.size()));
    png.Filters = set;
    for (size_t y = 0; y < rows.size(); ++y) std::copy(rows[y].begin(), rows[y].end(), png.Scanline(int(y)));
    std::vector<uint8_t> file = SavedBytes(png);
    return RowFilters(file, size_t(width));
  };
  const TFilters all = FilterSet(pfNone) | FilterSet(pfSub) | FilterSet(pfUp) | FilterSet(pfAverage) | FilterSet(pfPaeth);
  std::vector<uint8_t> uniform(8, 77), ramp = {0, 1, 2, 3, 4, 5, 6, 7}, steps = {68, 32, 130, 60, 253, 230, 241, 194};
  EXPECT_EQ(filters(8, all, {uniform, ramp, steps}), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(filters(8, FilterSet(pfUp) | FilterSet(pfAverage), {ramp, ramp}), (std::vector<int>{3, 2}));
  EXPECT_EQ(filters(8, FilterSet(pfUp) | FilterSet(pfPaeth), {ramp, steps}), (std::vector<int>{4, 0}));
  EXPECT_EQ(filters(2, FilterSet(pfSub) | FilterSet(pfUp), {{1, 1}, {1, 1}}), (std::vector<int>{0, 0}));
  EXPECT_EQ(filters(2, FilterSet(pfUp), {{1, 1}, {1, 1}}), (std::vector<int>{2, 2}));
  EXPECT_EQ(filters(8, 0, {ramp}), std::vector<int>{0});
}

// Compression levels 0..9 (and zlib's default, -1, as 6) map onto
// libdeflate's levels 0, 1, 1, 2, 3, 4, 5, 6, 7, 12.
TEST(PngEncoding, EachLevelDeflatesAtItsLibdeflateLevel) {
  const std::pair<int, int> rows[] = {{-1, 5}, {0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3},
                                      {5, 4},  {6, 5}, {7, 6}, {8, 7}, {9, 12}};
  auto bitmap = MakeTestBitmap(120, 90, 6);
  for (const auto& [level, deflateLevel] : rows) {
    std::vector<uint8_t> file = WriteBitmap(*bitmap, level), data, rows(90 * (120 * 3 + 1));
    for (const auto& [name, chunk] : ListChunks(file))
      if (name == "IDAT") data.insert(data.end(), chunk.begin(), chunk.end());
    uLongf size = uLongf(rows.size());
    ASSERT_EQ(uncompress(rows.data(), &size, data.data(), uLong(data.size())), Z_OK);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(deflateLevel);
    std::vector<uint8_t> expected(libdeflate_zlib_compress_bound(compressor, rows.size()));
    expected.resize(libdeflate_zlib_compress(compressor, rows.data(), rows.size(), expected.data(), expected.size()));
    libdeflate_free_compressor(compressor);
    EXPECT_EQ(data, expected) << level;
  }
}
