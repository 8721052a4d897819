// Decoding: every colour type, bit depth, filter and interlace method against
// libpng, transparency roads, gamma, and short or odd image data.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>

#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// The codec's working bitmap shows what libpng decodes, after the codec's
// gamma and blending over the fresh white bitmap.
void ExpectSameAsLibpng(const TSamplePicture& picture) {
  std::vector<uint8_t> file = WriteWithLibpng(picture);
  std::unique_ptr<TBitmap> bitmap = LoadWorkingBitmap(file);
  std::vector<TColor> expected = ExpectedColors(ReadWithLibpng(file), picture.ColorType, picture.Gamma);
  ASSERT_EQ(bitmap->Width(), picture.Width) << picture.Name();
  ASSERT_EQ(bitmap->Height(), picture.Height) << picture.Name();
  int wrong = 0;
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) {
      TColor want = expected[size_t(y) * picture.Width + x];
      if (PixelAt(*bitmap, x, y) != want && wrong++ < 3)
        ADD_FAILURE() << picture.Name() << " at " << x << "," << y << ": " << std::hex
                      << PixelAt(*bitmap, x, y) << " instead of " << want;
    }
}

}  // namespace

TEST(PngDecoding, EveryKindAndFilterAgreesWithLibpng) {
  // Sizes below and across the Adam7 passes, with libpng's choice of filters.
  const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {37, 21}};
  for (const TKind& kind : kKinds)
    for (bool interlaced : {false, true})
      for (const auto& size : sizes)
        ExpectSameAsLibpng(MakeSamplePicture(kind.ColorType, kind.BitDepth, size[0], size[1], interlaced, 3));
  // Each filter type alone, at sub-byte, 8- and 16-bit sample sizes.
  for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH})
    for (const TKind& kind : {TKind{0, 2}, TKind{2, 8}, TKind{6, 16}})
      for (bool interlaced : {false, true}) {
        TSamplePicture p = MakeSamplePicture(kind.ColorType, kind.BitDepth, 19, 7, interlaced, filter);
        p.Filters = filter;
        ExpectSameAsLibpng(p);
      }
}

TEST(PngDecoding, GammaChunkChangesTheColours) {
  for (const TKind& kind : {TKind{0, 4}, TKind{2, 16}, TKind{3, 8}, TKind{4, 8}, TKind{6, 8}})
    for (uint32_t gamma : {100000u, 220000u}) {
      TSamplePicture p = MakeSamplePicture(kind.ColorType, kind.BitDepth, 11, 5, false, 1);
      p.Gamma = gamma;
      ExpectSameAsLibpng(p);
    }
  // Grey samples 64 and 128 with gamma 1/2.2 (100000), 0 (ignored) and a
  // chunk of the wrong length (ignored, not taken as gamma 1).
  auto grey = [](const std::vector<uint8_t>& gama) {
    return PixelTable(*LoadWorkingBitmap(TChunkStream()
                                             .Header(2, 1, 8, 0)
                                             .Chunk("gAMA", gama)
                                             .Chunk("IDAT", Deflate({0, 64, 128}))
                                             .End()
                                             .Bytes));
  };
  EXPECT_EQ(grey({0, 1, 0x86, 0xA0}), "136,136,136 186,186,186");
  EXPECT_EQ(grey({0, 0, 0, 0}), "64,64,64 128,128,128");
  EXPECT_EQ(grey({0, 1, 0x86}), "64,64,64 128,128,128");
}

TEST(PngDecoding, TransparencyTakesItsRoad) {
  // Palette alphas of only 0 and 255 (entries left out are opaque) take the
  // bit road: a 24-bit bitmap whose transparent colour is the first clear
  // entry's. Every entry opaque: an opaque black entry stays black. Any other
  // alpha: the partial road, blended.
  TSamplePicture palette = MakeSamplePicture(3, 8, 23, 9, false, 5);
  palette.Palette[0] = palette.Palette[1] = palette.Palette[2] = 0;
  struct Case {
    std::vector<uint8_t> Alphas;
    TPNGTransparencyMode Mode;
    bool Transparent;  // the bitmap made from it
  };
  for (const Case& c : {Case{{255, 0, 255, 0, 0}, ptmBit, true}, Case{{255, 255}, ptmBit, false},
                        Case{{255, 128, 0, 7, 200, 255, 1}, ptmPartial, false}}) {
    palette.PaletteAlpha = c.Alphas;
    ExpectSameAsLibpng(palette);
    std::unique_ptr<TPNGObject> png = LoadPng(WriteWithLibpng(palette));
    EXPECT_EQ(png->TransparencyMode(), c.Mode);
    TBitmap fresh;
    fresh.Assign(png.get());
    EXPECT_EQ(fresh.Transparent(), c.Transparent);
    if (c.Transparent) {
      EXPECT_EQ(fresh.PixelFormat(), pf24bit);
      EXPECT_EQ(fresh.TransparentColor(), RGB(37 + 11, 91 + 3, 255 - 53));
    }
  }
  // Grey and RGB samples of the transparent value show white.
  for (const TKind& kind : kKinds)
    for (bool interlaced : {false, true}) {
      if (kind.ColorType != 0 && kind.ColorType != 2) continue;
      TSamplePicture p = MakeSamplePicture(kind.ColorType, kind.BitDepth, 17, 9, interlaced, 2);
      p.MakeTransparent(3, 4);
      ExpectSameAsLibpng(p);
      EXPECT_EQ(PixelAt(*LoadWorkingBitmap(WriteWithLibpng(p)), 3, 4), clWhite) << p.Name();
    }
}

TEST(PngDecoding, PaletteColoursReachTheBitmapExactly) {
  // Colours far from every standard table colour survive in the indexed
  // bitmap.
  for (int depth : {1, 2, 4, 8}) {
    TSamplePicture p = MakeSamplePicture(3, depth, 16, 4, false, 9);
    TBitmap indexed;
    indexed.Assign(LoadPng(WriteWithLibpng(p)).get());
    EXPECT_EQ(indexed.PixelFormat(), depth == 1 ? pf1bit : depth == 8 ? pf8bit : pf4bit);
    for (int x = 0; x < 16; ++x) {
      const uint8_t* rgb = p.Palette.data() + 3 * p.GetSample(x, 2, 0);
      EXPECT_EQ(PixelAt(indexed, x, 2), RGB(rgb[0], rgb[1], rgb[2])) << depth;
    }
  }
}

TEST(PngDecoding, ShortOrOddImageDataIsHandled) {
  // Compressed data that ends before the last rows: those rows stay black.
  std::vector<uint8_t> rows = {0, 10, 20, 30, 0, 40, 50, 60};
  auto picture =
      LoadWorkingBitmap(TChunkStream().Header(1, 3, 8, 2).Chunk("IDAT", Deflate(rows)).End().Bytes);
  EXPECT_EQ(PixelTable(*picture), "30,20,10\n60,50,40\n0,0,0");
  // A filter type above 4 leaves its row as it is.
  picture =
      LoadWorkingBitmap(TChunkStream().Header(2, 1, 8, 0).Chunk("IDAT", Deflate({7, 9, 11})).End().Bytes);
  EXPECT_EQ(PixelTable(*picture, 1), "9 11");
}

// Both gamma tables, every entry: the sample to display value of the gAMA
// value, and back for writing (the last sample that gives a value wins;
// values no sample gives stay as they are). Of two gAMA chunks the tables
// are the last one's, as though it were the only one.
TEST(PngDecoding, GammaTablesFromTheGammaChunk) {
  std::vector<uint8_t> grey = {0}, rgb = {0};
  for (int i = 0; i < 256; ++i) grey.push_back(uint8_t(i)), rgb.insert(rgb.end(), 3, uint8_t(i));
  for (uint32_t gamma : {100000u, 45455u, 220000u, 1u}) {
    std::array<uint8_t, 256> table, inverse;
    for (int i = 0; i < 256; ++i) inverse[size_t(i)] = uint8_t(i);
    for (int i = 0; i < 256; ++i) {
      table[size_t(i)] = uint8_t(std::nearbyint(std::pow(i / 255.0, 100000.0 / (gamma * 2.2)) * 255));
      inverse[table[size_t(i)]] = uint8_t(i);
    }
    std::vector<uint8_t> gama = {uint8_t(gamma >> 24), uint8_t(gamma >> 16), uint8_t(gamma >> 8), uint8_t(gamma)};
    auto file = [&](int colorType, const std::vector<uint8_t>& rows) {
      return TChunkStream().Header(256, 1, 8, colorType).Chunk("gAMA", gama).Chunk("IDAT", Deflate(rows)).End().Bytes;
    };
    std::unique_ptr<TPNGObject> png = LoadPng(file(0, grey));
    EXPECT_EQ(png->GammaLookup, table) << gamma;
    EXPECT_EQ(png->InverseGammaLookup, inverse) << gamma;
    png = LoadPng(TChunkStream()
                      .Header(256, 1, 8, 0)
                      .Chunk("gAMA", {0, 0, 0x11, 0x70})
                      .Chunk("gAMA", gama)
                      .Chunk("IDAT", Deflate(grey))
                      .End()
                      .Bytes);
    EXPECT_EQ(png->InverseGammaLookup, inverse) << gamma;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(png->GetPixels(i, 0), RGB(table[i], table[i], table[i])) << gamma;
    // RGB samples are held through the table and written back through the
    // inverse one.
    png = LoadPng(file(2, rgb));
    TRgbaPicture written = ReadWithLibpng(SavedBytes(*png));
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(png->GetPixels(i, 0), RGB(table[i], table[i], table[i])) << gamma;
      ASSERT_EQ(written.At(i, 0)[0], inverse[table[i]]) << gamma << " " << i;
    }
  }
}
