// Pixel access and the transparency changes of the PNG picture, checked
// against libpng's reading of what the codec writes.
#include <gtest/gtest.h>

#include "png/pngimage.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

std::vector<TColor> AllPixels(const TPNGObject& png) {
  std::vector<TColor> colors;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) colors.push_back(png.GetPixels(x, y));
  return colors;
}

TRgbaPicture Opaque(TRgbaPicture rgba) {
  for (size_t i = 3; i < rgba.Pixels.size(); i += 4) rgba.Pixels[i] = 255;
  return rgba;
}

// What GetPixels must give for the file: libpng's colours without alpha,
// grey and palette ones through the gamma table once.
std::vector<TColor> FileColors(const std::vector<uint8_t>& file, int colorType, uint32_t gamma) {
  return ExpectedColors(Opaque(ReadWithLibpng(file)), colorType, gamma);
}

}  // namespace

TEST(PngPixels, ReadAndSetAgreeWithTheFile) {
  for (const TKind& kind : kKinds) {
    // Grey and palette pictures with a gAMA chunk.
    TSamplePicture picture = MakeSamplePicture(kind.ColorType, kind.BitDepth, 9, 5, false, 4);
    if (kind.ColorType == 0 || kind.ColorType == 3) picture.Gamma = 100000;
    std::vector<uint8_t> file = WriteWithLibpng(picture);
    auto png = LoadPng(file);
    std::vector<TColor> expected = AllPixels(*png);
    ASSERT_EQ(expected, FileColors(file, kind.ColorType, picture.Gamma)) << picture.Name();

    // Pixel (2i, i) takes a colour the picture shows elsewhere (grey + alpha
    // pictures take the red of the colour given).
    for (int i = 0; i < 5; ++i) {
      int x = 2 * i, y = i, bytes = kind.ColorType == 2 || kind.ColorType == 6 ? 3 : 1;
      TColor old = png->GetPixels(x, y), c = *std::find_if(expected.begin(), expected.end(), [&](TColor e) { return e != old; });
      png->SetPixels(x, y, kind.ColorType == 4 ? c ^ 0xFF00 : c);
      expected[size_t(y * picture.Width + x)] = c;
      // 16-bit samples take the value in their low byte too.
      if (kind.BitDepth == 16) {
        EXPECT_TRUE(std::equal(png->Scanline(y) + bytes * x, png->Scanline(y) + bytes * (x + 1),
                               png->ExtraScanline(y) + bytes * x)) << picture.Name() << " " << i;
      }
    }
    EXPECT_EQ(AllPixels(*png), expected) << picture.Name();
    EXPECT_EQ(FileColors(SavedBytes(*png), kind.ColorType, picture.Gamma), expected) << picture.Name();
  }
}

TEST(PngPixels, OutsideThePictureNothingIsReadOrChanged) {
  // Rows without padding: a pixel past either end of row 1 would be one of
  // rows 0 or 2.
  TPNGObject png(COLOR_RGB, 8, 4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) png.SetPixels(x, y, clWhite);
  std::vector<uint8_t> before = SavedBytes(png);
  for (auto [x, y] : {std::pair{-1, 1}, {4, 1}, {0, -1}, {0, 3}}) {
    EXPECT_EQ(png.GetPixels(x, y), 0) << x << "," << y;
    png.SetPixels(x, y, clRed);
  }
  EXPECT_EQ(SavedBytes(png), before);
  TPNGObject empty;
  EXPECT_EQ(empty.GetPixels(0, 0), 0);
  empty.SetPixels(0, 0, clWhite);
}

TEST(PngTransparency, CreateAlphaKeepsTheLookRemoveTransparencyMakesItOpaque) {
  for (const TKind& kind : kKinds) {
    // Transparent through a tRNS sample, palette alphas or an alpha channel.
    TSamplePicture picture = MakeSamplePicture(kind.ColorType, kind.BitDepth, 7, 4, false, 3);
    if (kind.ColorType == 0 || kind.ColorType == 2) picture.MakeTransparent(2, 1);
    if (kind.ColorType == 3) picture.PaletteAlpha = {0, 128};
    std::vector<uint8_t> file = WriteWithLibpng(picture);
    TRgbaPicture look = ReadWithLibpng(file), opaque = Opaque(look);
    std::string name = picture.Name();
    ASSERT_NE(look.Pixels, opaque.Pixels) << name;

    // An alpha of its own, and the picture looks as before.
    auto png = LoadPng(file);
    png->CreateAlpha();
    EXPECT_EQ(png->TransparencyMode(), ptmPartial) << name;
    EXPECT_EQ(png->ChunkList().FindChunk<TChunktRNS>() != nullptr, kind.ColorType == 3) << name;
    EXPECT_EQ(ReadWithLibpng(SavedBytes(*png)).Pixels, look.Pixels) << name;

    // Without transparency every pixel is opaque in the colours it had; an
    // alpha again keeps it so.
    png = LoadPng(file);
    png->RemoveTransparency();
    EXPECT_EQ(png->TransparencyMode(), ptmNone) << name;
    EXPECT_EQ(ReadWithLibpng(SavedBytes(*png)).Pixels, opaque.Pixels) << name;
    png->CreateAlpha();
    EXPECT_EQ(ReadWithLibpng(SavedBytes(*png)).Pixels, opaque.Pixels) << name;
  }
}
