// Encoding: the working bitmap and pictures of every kind written by the
// codec and read back by libpng, the chunks it writes, filters and IDAT
// splitting.
#include <gtest/gtest.h>

#include "png/pnglang.h"
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
  std::vector<uint8_t> data = ImageDataOf(file);
  std::vector<int> filters;
  for (size_t at = 0; at < data.size(); at += lineBytes + 1) filters.push_back(data[at]);
  return filters;
}

std::vector<uint8_t> WriteBitmap(TBitmap& bitmap,
                                 const std::function<void(TPNGObject&)>& settings = nullptr) {
  TPNGObject png;
  if (settings) settings(png);
  png.Assign(&bitmap);
  return SavePng(png);
}

}  // namespace

TEST(PngEncoding, TheWorkingBitmapComesBackFromLibpng) {
  auto bitmap = MakeTestBitmap(67, 41, 5);
  for (int level : {0, 1, 6, 9})
    for (TInterlaceMethod interlace : {imNone, imAdam7}) {
      std::vector<uint8_t> file = WriteBitmap(*bitmap, [&](TPNGObject& png) {
        png.CompressionLevel = level;
        png.InterlaceMethod = interlace;
      });
      ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
      auto chunks = ListChunks(file);
      ASSERT_EQ(chunks.front().first, "IHDR");
      EXPECT_EQ(chunks.front().second,
                (std::vector<uint8_t>{0, 0, 0, 67, 0, 0, 0, 41, 8, 2, 0, 0, uint8_t(interlace)}));
      EXPECT_EQ(chunks.back().first, "IEND");
    }
  // Every row of the default settings is filtered with Sub.
  std::vector<int> filters = RowFilters(WriteBitmap(*bitmap), 67 * 3);
  EXPECT_EQ(filters, std::vector<int>(41, 1));
}

TEST(PngEncoding, EveryKindRoundTrips) {
  // Read by the codec, written again, and read by libpng: the same pixels.
  for (auto [type, depth] : {std::pair{0, 1},
                             {0, 2},
                             {0, 4},
                             {0, 8},
                             {0, 16},
                             {2, 8},
                             {2, 16},
                             {3, 1},
                             {3, 2},
                             {3, 4},
                             {3, 8},
                             {4, 8},
                             {4, 16},
                             {6, 8},
                             {6, 16}})
    for (TInterlaceMethod interlace : {imNone, imAdam7}) {
      TSamplePicture picture = MakeSamplePicture(type, depth, 23, 13, interlace == imAdam7, 6);
      // Transparency of every kind; RGB pictures also carry a suggested
      // palette, which is written back as it was.
      if (type == 3) picture.PaletteAlpha = {0, 128};
      if (type == 0 || type == 2) {
        picture.HasTransparentSample = true;
        for (int c = 0; c < picture.Channels(); ++c)
          picture.TransparentSample[c] = uint16_t(picture.GetSample(1, 1, c));
      }
      if (type == 2) picture.Palette = {1, 2, 3, 4, 5, 6};
      std::vector<uint8_t> original = WriteWithLibpng(picture);
      TPNGObject png;
      LoadPng(png, original);
      png.InterlaceMethod = interlace;
      png.Filters =
          FilterSet(pfNone) | FilterSet(pfSub) | FilterSet(pfUp) | FilterSet(pfAverage) | FilterSet(pfPaeth);
      std::vector<uint8_t> written = SavePng(png);
      TRgbaPicture before = ReadWithLibpng(original), after = ReadWithLibpng(written);
      EXPECT_EQ(before.Pixels, after.Pixels) << type << " " << depth << " " << int(interlace);
      // 2-bit pictures are written as 4-bit ones.
      EXPECT_EQ(ListChunks(written).front().second[8], depth == 2 ? 4 : depth);
      if (type == 0 || type == 2) {
        EXPECT_EQ(after.At(1, 1)[3], 0);
      }
      if (type == 2) {
        EXPECT_EQ(ListChunks(written)[1], ListChunks(original)[1]);
      }
    }
}

TEST(PngEncoding, IndexedBitmapsBecomePalettePictures) {
  auto bitmap = MakeTestBitmap(10, 7);
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    bitmap->SetPixelFormat(format);
    std::vector<uint8_t> file = WriteBitmap(*bitmap);
    auto chunks = ListChunks(file);
    ASSERT_EQ(chunks[1].first, "PLTE");
    int bits = PixelFormatBits(format);
    EXPECT_EQ(chunks[1].second.size(), 3u << bits);
    EXPECT_EQ(chunks[0].second[8], bits);
    EXPECT_EQ(chunks[0].second[9], 3);
    ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
  }
  // Deeper formats become 8-bit RGB.
  bitmap->SetPixelFormat(pf16bit);
  std::vector<uint8_t> file = WriteBitmap(*bitmap);
  EXPECT_EQ(ListChunks(file)[0].second[9], 2);
  ExpectPixelsOf(*bitmap, ReadWithLibpng(file));
}

TEST(PngEncoding, TransparentColourMakesATransparencyChunk) {
  auto bitmap = MakeTestBitmap(6, 5);
  TPNGObject png;
  png.SetTransparentColor(clRed);  // no picture yet: nothing happens
  png.Assign(bitmap.get());
  EXPECT_EQ(png.Chunks().FindChunk<TChunktRNS>(), nullptr);
  TColor color = PixelAt(*bitmap, 2, 3);
  png.SetTransparentColor(color);
  auto chunks = ListChunks(SavePng(png));
  ASSERT_EQ(chunks[1].first, "tRNS");
  EXPECT_EQ(chunks[1].second,
            (std::vector<uint8_t>{0, GetRValue(color), 0, GetGValue(color), 0, GetBValue(color)}));
  TRgbaPicture rgba = ReadWithLibpng(SavePng(png));
  EXPECT_EQ(rgba.At(2, 3)[3], 0);
  EXPECT_EQ(rgba.At(3, 3)[3], 255);
  // A transparent bitmap hands on its colour.
  bitmap->SetTransparentColor(color);
  bitmap->SetTransparent(true);
  TPNGObject fromTransparent;
  fromTransparent.Assign(bitmap.get());
  EXPECT_EQ(fromTransparent.TransparentColor(), color);

  TPNGObject rgba16(COLOR_RGBALPHA, 16, 4, 4);
  try {
    rgba16.SetTransparentColor(clRed);
    FAIL();
  } catch (const EPNGCannotChangeTransparent& e) {
    EXPECT_EQ(e.Message, pnglang::EPNGCannotChangeTransparentText);
  }
}

TEST(PngEncoding, FiltersAreChosenByTheirSet) {
  TPNGObject grey(COLOR_GRAYSCALE, 8, 16, 3);
  for (int y = 0; y < 3; ++y) std::fill_n(grey.Scanline(y), 16, uint8_t(40 + y));
  grey.Filters = FilterSet(pfUp);
  EXPECT_EQ(RowFilters(SavePng(grey), 16), (std::vector<int>{2, 2, 2}));
  // All five: uniform rows score the same under every filter and keep None;
  // rows that differ from the one above by a constant go to Up.
  grey.Filters = 0x1F;
  EXPECT_EQ(RowFilters(SavePng(grey), 16), (std::vector<int>{0, 0, 0}));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 16; ++x) grey.Scanline(y)[x] = uint8_t(x * x * 7 + y * 3);
  EXPECT_EQ(RowFilters(SavePng(grey), 16), (std::vector<int>{0, 2, 2}));
  // Rows of two bytes score nothing: None even when it is not in the set.
  TPNGObject narrow(COLOR_GRAYSCALE, 8, 2, 2);
  narrow.Filters = FilterSet(pfSub) | FilterSet(pfPaeth);
  EXPECT_EQ(RowFilters(SavePng(narrow), 2), (std::vector<int>{0, 0}));
}

TEST(PngEncoding, ImageDataIsSplitIntoChunks) {
  // Noise does not compress: level 0 gives more than 65535 bytes.
  auto noise = std::make_unique<TBitmap>();
  noise->SetPixelFormat(pf24bit);
  noise->SetSize(200, 200);
  uint32_t seed = 1;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 600; ++x) noise->ScanLine(y)[x] = uint8_t((seed = seed * 1103515245 + 12345) >> 24);
  TPNGObject png;
  png.CompressionLevel = 0;
  png.SetMaxIdatSize(1000);
  EXPECT_EQ(png.MaxIdatSize(), 65535u);
  png.Assign(noise.get());
  std::vector<uint8_t> file = SavePng(png);
  std::vector<size_t> sizes;
  for (const auto& [name, data] : ListChunks(file))
    if (name == "IDAT") sizes.push_back(data.size());
  ASSERT_GE(sizes.size(), 2u);
  for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 65535u);
  EXPECT_LE(sizes.back(), 65535u);
  ExpectPixelsOf(*noise, ReadWithLibpng(file));
  // A compression level zlib does not know is refused, not looped on.
  png.CompressionLevel = 12;
  EXPECT_THROW(SavePng(png), EPNGZLIBError);
}

TEST(PngEncoding, NewPicturesFollowTheirKind) {
  TPNGObject palette(COLOR_PALETTE, 2, 5, 3);
  std::vector<std::string> names;
  for (int i = 0; i < palette.Chunks().Count(); ++i) names.push_back(palette.Chunks().Item(i)->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
  EXPECT_EQ(palette.Header().HeaderData.BitDepth, 4);
  for (auto [type, depth] : {std::pair{1, 8}, {7, 8}, {3, 16}, {2, 4}, {4, 2}, {0, 3}}) {
    try {
      TPNGObject bad(type, depth, 4, 4);
      ADD_FAILURE() << type << " " << depth;
    } catch (const EPNGInvalidSpec& e) {
      EXPECT_EQ(e.Message, pnglang::EInvalidSpec);
    }
  }
  EXPECT_THROW(TPNGObject(COLOR_RGB, 8, 0, 4), EPNGInvalidSpec);
  // Resizing keeps the old pixels at the top left and fills with 0.
  TPNGObject rgb(COLOR_RGBALPHA, 8, 2, 2);
  std::fill_n(rgb.Scanline(1), 6, uint8_t(9));
  rgb.AlphaScanline(1)[1] = 77;
  rgb.Resize(3, 4);
  EXPECT_EQ(rgb.Width(), 3);
  EXPECT_EQ(rgb.Scanline(1)[5], 9);
  EXPECT_EQ(rgb.Scanline(1)[6], 0);
  EXPECT_EQ(rgb.AlphaScanline(1)[1], 77);
  EXPECT_EQ(rgb.Scanline(3)[0], 0);
  EXPECT_THROW(rgb.Resize(0, 3), EPNGInvalidNewSize);
  EXPECT_EQ(ReadWithLibpng(SavePng(rgb)).At(1, 1)[3], 77);
}
