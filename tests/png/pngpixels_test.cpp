// Pixel access and the transparency changes of the PNG picture, checked
// against libpng's reading of what the codec writes.
#include <gtest/gtest.h>

#include "png/pngimage.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// Bits per pixel of the bitmap that holds a grey or palette picture.
int HeldBits(int depth) { return depth == 2 ? 4 : depth == 16 ? 8 : depth; }

int Distance(TColor a, TColor b) {
  int dr = GetRValue(a) - GetRValue(b), dg = GetGValue(a) - GetGValue(b), db = GetBValue(a) - GetBValue(b);
  return dr * dr + dg * dg + db * db;
}

// The first of the colours nearest to c.
int Nearest(const std::vector<TColor>& colors, TColor c) {
  int best = 0;
  for (int i = 1; i < int(colors.size()); ++i)
    if (Distance(colors[size_t(i)], c) < Distance(colors[size_t(best)], c)) best = i;
  return best;
}

// What a grey or palette picture can show: the grey ramp through the gamma
// table, or the palette through it.
std::vector<TColor> Shades(const TSamplePicture& picture) {
  std::vector<uint8_t> gamma = GammaTable(picture.Gamma);
  std::vector<TColor> shades;
  if (picture.ColorType == 3) {
    for (size_t i = 0; i + 2 < picture.Palette.size(); i += 3)
      shades.push_back(RGB(gamma[picture.Palette[i]], gamma[picture.Palette[i + 1]], gamma[picture.Palette[i + 2]]));
  } else {
    int n = 1 << HeldBits(picture.BitDepth);
    for (int i = 0; i < n; ++i) {
      uint8_t v = gamma[size_t(i * 255 / (n - 1))];
      shades.push_back(RGB(v, v, v));
    }
  }
  return shades;
}

std::vector<TColor> AllPixels(const TPNGObject& png) {
  std::vector<TColor> colors;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) colors.push_back(png.GetPixels(x, y));
  return colors;
}

// A sample picture of the kind; grey and palette ones with a gAMA chunk.
TSamplePicture Sample(const TKind& kind, int seed) {
  TSamplePicture picture = MakeSamplePicture(kind.ColorType, kind.BitDepth, 9, 5, false, seed);
  if (kind.ColorType == 0 || kind.ColorType == 3) picture.Gamma = 100000;
  return picture;
}

}  // namespace

TEST(PngPixels, ReadingShowsWhatThePictureDraws) {
  // Grey, RGB and palette pictures draw their pixels as GetPixels gives them
  // (gamma applied once).
  for (const TKind& kind : kKinds) {
    if (kind.ColorType == 4 || kind.ColorType == 6) continue;
    TSamplePicture picture = Sample(kind, 1);
    std::vector<uint8_t> file = WriteWithLibpng(picture);
    auto png = LoadPng(file);
    auto bitmap = LoadWorkingBitmap(file);
    for (int y = 0; y < picture.Height; ++y)
      for (int x = 0; x < picture.Width; ++x)
        ASSERT_EQ(png->GetPixels(x, y), PixelAt(*bitmap, x, y)) << picture.Name() << " at " << x << "," << y;
  }
  // Pictures with alpha give their colour without the alpha.
  TSamplePicture rgba = MakeSamplePicture(6, 16, 4, 3, false, 2), greyAlpha = MakeSamplePicture(4, 8, 4, 3, false, 2);
  auto png = LoadPng(WriteWithLibpng(rgba));
  EXPECT_EQ(png->GetPixels(3, 2), RGB(rgba.GetSample(3, 2, 0) >> 8, rgba.GetSample(3, 2, 1) >> 8, rgba.GetSample(3, 2, 2) >> 8));
  png = LoadPng(WriteWithLibpng(greyAlpha));
  int g = greyAlpha.GetSample(1, 2, 0);
  EXPECT_EQ(png->GetPixels(1, 2), RGB(g, g, g));
}

TEST(PngPixels, SetPixelsComesBackFromGetPixelsAndTheFile) {
  const TColor colors[] = {RGB(200, 30, 90), clBlack, clWhite, RGB(17, 17, 17), RGB(90, 180, 40)};
  for (const TKind& kind : kKinds) {
    TSamplePicture picture = Sample(kind, 4);
    auto png = LoadPng(WriteWithLibpng(picture));
    std::vector<TColor> expected = AllPixels(*png), shades = Shades(picture);
    std::vector<int> written;  // the index or grey level set at each point
    for (int i = 0; i < 5; ++i) {
      int x = (2 * i + 1) % picture.Width, y = i % picture.Height;
      TColor c = colors[i];
      png->SetPixels(x, y, c);
      TColor want = c;
      if (kind.ColorType == 0 || kind.ColorType == 3) {
        written.push_back(Nearest(shades, c));
        want = shades[size_t(written.back())];
      } else if (kind.ColorType == 4) {
        want = RGB(GetRValue(c), GetRValue(c), GetRValue(c));
      }
      expected[size_t(y * picture.Width + x)] = want;
      ASSERT_EQ(png->GetPixels(x, y), want) << picture.Name() << " colour " << i;
    }
    // No other pixel changed.
    ASSERT_EQ(AllPixels(*png), expected) << picture.Name();

    // The file holds the samples set; 16-bit ones in both bytes.
    TSamplePicture saved = ReadSamplesWithLibpng(SavedBytes(*png));
    for (int i = 0; i < 5; ++i) {
      int x = (2 * i + 1) % picture.Width, y = i % picture.Height;
      TColor c = colors[i];
      int scale = kind.BitDepth == 16 ? 257 : 1;
      std::vector<int> want;
      if (kind.ColorType == 0 || kind.ColorType == 3)
        want = {written[size_t(i)] * scale};
      else if (kind.ColorType == 4)
        want = {GetRValue(c) * scale};
      else
        want = {GetRValue(c) * scale, GetGValue(c) * scale, GetBValue(c) * scale};
      // The alpha stays (16-bit alpha is written as its high byte and 0).
      if (kind.ColorType == 4 || kind.ColorType == 6)
        want.push_back(picture.GetSample(x, y, picture.Channels() - 1) & (kind.BitDepth == 16 ? 0xFF00 : 0xFF));
      for (int k = 0; k < int(want.size()); ++k)
        ASSERT_EQ(saved.GetSample(x, y, k), want[size_t(k)]) << picture.Name() << " colour " << i << " channel " << k;
    }
  }
}

TEST(PngPixels, OutsideThePictureNothingIsReadOrChanged) {
  for (const TKind& kind : kKinds) {
    auto png = LoadPng(WriteWithLibpng(Sample(kind, 5)));
    std::vector<uint8_t> before = SavedBytes(*png);
    int w = png->Width(), h = png->Height();
    for (auto [x, y] : {std::pair{-1, 0}, {w, 0}, {0, -1}, {0, h}, {w, h}, {-1, -1}}) {
      EXPECT_EQ(png->GetPixels(x, y), 0);
      png->SetPixels(x, y, clWhite);
    }
    EXPECT_EQ(SavedBytes(*png), before) << kind.ColorType << "/" << kind.BitDepth;
  }
  TPNGObject empty;
  EXPECT_EQ(empty.GetPixels(0, 0), 0);
  empty.SetPixels(0, 0, clWhite);
  EXPECT_TRUE(empty.Empty());
}

TEST(PngTransparency, RemovedThenCreatedAgainPerKind) {
  for (const TKind& kind : kKinds) {
    TSamplePicture picture = MakeSamplePicture(kind.ColorType, kind.BitDepth, 7, 4, false, 3);
    if (kind.ColorType == 0 || kind.ColorType == 2) picture.MakeTransparent(2, 1);
    if (kind.ColorType == 3) picture.PaletteAlpha = {0, 128};
    std::vector<uint8_t> file = WriteWithLibpng(picture);
    std::string name = picture.Name();

    // Without transparency: every pixel opaque, the colours as they were.
    auto png = LoadPng(file);
    png->RemoveTransparency();
    EXPECT_EQ(png->TransparencyMode(), ptmNone) << name;
    EXPECT_EQ(png->Chunks().FindChunk<TChunktRNS>(), nullptr) << name;
    std::vector<uint8_t> opaqueFile = SavedBytes(*png);
    TSamplePicture opaque = ReadSamplesWithLibpng(opaqueFile);
    int plainType = kind.ColorType == 4 ? 0 : kind.ColorType == 6 ? 2 : kind.ColorType;
    EXPECT_EQ(opaque.ColorType, plainType) << name;
    EXPECT_TRUE(opaque.PaletteAlpha.empty() && !opaque.HasTransparentSample) << name;
    int colorChannels = plainType == 2 ? 3 : 1;
    for (int y = 0; y < picture.Height; ++y)
      for (int x = 0; x < picture.Width; ++x)
        for (int c = 0; c < colorChannels; ++c)
          ASSERT_EQ(opaque.GetSample(x, y, c), picture.GetSample(x, y, c) * (plainType == 0 && picture.BitDepth == 2 ? 5 : 1))
              << name << " at " << x << "," << y;
    TRgbaPicture opaqueRgba = ReadWithLibpng(opaqueFile);
    for (size_t i = 3; i < opaqueRgba.Pixels.size(); i += 4) ASSERT_EQ(opaqueRgba.Pixels[i], 255) << name;

    // An alpha of its own again, all opaque, showing the same.
    png->CreateAlpha();
    EXPECT_EQ(png->TransparencyMode(), ptmPartial) << name;
    std::vector<uint8_t> alphaFile = SavedBytes(*png);
    TSamplePicture withAlpha = ReadSamplesWithLibpng(alphaFile);
    EXPECT_EQ(withAlpha.ColorType, plainType == 0 ? 4 : plainType == 2 ? 6 : 3) << name;
    EXPECT_EQ(withAlpha.BitDepth, plainType == 0 ? std::max(8, kind.BitDepth) : opaque.BitDepth) << name;
    if (plainType == 3) {
      EXPECT_EQ(withAlpha.PaletteAlpha, std::vector<uint8_t>(withAlpha.Palette.size() / 3, 255)) << name;
    }
    EXPECT_EQ(ReadWithLibpng(alphaFile).Pixels, opaqueRgba.Pixels) << name;
  }
}

TEST(PngTransparency, CreateAlphaKeepsWhatWasTransparent) {
  // A tRNS sample becomes alpha 0 and palette alphas stay: the picture
  // looks as before, and the file is one libpng reads.
  for (const TKind& kind : kKinds) {
    if (kind.ColorType == 4 || kind.ColorType == 6) continue;
    TSamplePicture picture = MakeSamplePicture(kind.ColorType, kind.BitDepth, 6, 5, false, 8);
    if (kind.ColorType == 3)
      picture.PaletteAlpha = {255, 0};
    else
      picture.MakeTransparent(4, 3);
    std::vector<uint8_t> file = WriteWithLibpng(picture);
    auto png = LoadPng(file);
    png->CreateAlpha();
    std::vector<uint8_t> alphaFile = SavedBytes(*png);
    TRgbaPicture before = ReadWithLibpng(file), after = ReadWithLibpng(alphaFile);
    EXPECT_EQ(after.Pixels, before.Pixels) << picture.Name();
    EXPECT_EQ(before.At(4, 3)[3] == 0, kind.ColorType != 3) << picture.Name();
    TSamplePicture saved = ReadSamplesWithLibpng(alphaFile);
    EXPECT_FALSE(saved.HasTransparentSample) << picture.Name();
    if (kind.ColorType == 3) {
      std::vector<uint8_t> alphas(size_t(1) << kind.BitDepth, 255);
      alphas[1] = 0;
      EXPECT_EQ(saved.PaletteAlpha, alphas) << picture.Name();
    }
  }
  // A palette picture made transparent by colour keeps that colour clear.
  TPNGObject png(COLOR_PALETTE, 4, 3, 1);
  png.SetPixels(1, 0, png.GetPixels(0, 0) ^ 0xFFFFFF);
  TColor clear = png.GetPixels(1, 0);
  png.SetTransparentColor(clear);
  png.CreateAlpha();
  TRgbaPicture rgba = ReadWithLibpng(SavedBytes(png));
  EXPECT_EQ(rgba.At(1, 0)[3], 0);
  EXPECT_EQ(rgba.At(0, 0)[3], 255);
}
