// Colour reduction: the lookups' rules, the palettes of every method, the
// octree quantizer and the ditherers.
#include "gif/gifreduce.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/gif/gifsupport.h"

namespace {

struct Entry {
  int Index, R, G, B;
  bool operator==(const Entry&) const = default;
};

Entry Look(TColorLookup& lookup, int red, int green, int blue) {
  uint8_t r, g, b;
  int index = lookup.Lookup(uint8_t(red), uint8_t(green), uint8_t(blue), r, g, b);
  return {index, r, g, b};
}

std::vector<PALETTEENTRY> Entries(HPALETTE palette) {
  std::vector<PALETTEENTRY> entries(GetPaletteEntries(palette, 0, 0, nullptr));
  GetPaletteEntries(palette, 0, unsigned(entries.size()), entries.data());
  return entries;
}

TEST(GifReduce, LookupsFollowTheirRules) {
  TNetscapeColorLookup web;
  EXPECT_EQ(Look(web, 47, 48, 98), (Entry{0 + 6 + 1, 0, 51, 51}));
  EXPECT_EQ(Look(web, 99, 252, 255), (Entry{72 + 30 + 5, 102, 255, 255}));

  TGrayScaleLookup grey;
  EXPECT_EQ(Look(grey, 100, 50, 200), (Entry{82, 82, 82, 82}));  // (7700 + 7500 + 5800) shr 8

  TMonochromeLookup mono;
  EXPECT_EQ(Look(mono, 0, 192, 128), (Entry{0, 0, 0, 0}));  // exactly 32512
  EXPECT_EQ(Look(mono, 0, 192, 129), (Entry{1, 255, 255, 255}));

  // The first entry of a 5-5-5 cell answers for the whole cell, even when a
  // later entry matches exactly; other cells take the nearest by the sum of
  // channel differences, the lowest index of a tie.
  PALETTEENTRY entries[] = {{8, 8, 8, 0}, {9, 9, 9, 0}, {100, 0, 0, 0}, {0, 100, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 4);
  TFastColorLookup fast(palette);
  EXPECT_EQ(Look(fast, 9, 9, 9), (Entry{0, 8, 8, 8}));
  EXPECT_EQ(Look(fast, 70, 10, 0), (Entry{2, 100, 0, 0}));
  EXPECT_EQ(Look(fast, 50, 60, 0).Index, 3);
  EXPECT_EQ(Look(fast, 0, 50, 50).Index, 1);
  DeleteObject(palette);
}

TEST(GifReduce, EveryMethodGivesItsPalette) {
  // An 8-bit result whose colour table holds the method's palette, black to
  // white, then black up to 256 entries; every pixel within the palette.
  const std::pair<TColorReduction, size_t> methods[] = {
      {rmWindows20, 20},  {rmWindows256, 256}, {rmWindowsGray, 4},      {rmMonochrome, 2},
      {rmGrayScale, 256}, {rmNetscape, 216},   {rmQuantizeWindows, 256}};
  auto source = MakeTestBitmap(40, 30);
  for (auto [reduction, entries] : methods) {
    SCOPED_TRACE(int(reduction));
    std::unique_ptr<TBitmap> result = ReduceColors(*source, reduction, dmFloydSteinberg, 8, nullptr);
    ASSERT_EQ(result->PixelFormat(), pf8bit);
    const std::vector<RGBQUAD>& table = result->ColorTable();
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[0], RGBQUAD{});
    EXPECT_EQ(table[entries - 1], (RGBQUAD{255, 255, 255, 0}));
    EXPECT_EQ(table[std::min<size_t>(entries, 255)], entries < 256 ? RGBQUAD{} : (RGBQUAD{255, 255, 255, 0}));
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_LT(result->ScanLine(y)[x], entries);
  }
  // rmQuantize with 3 bits: at most 8 colours.
  source = MakeNoiseBitmap(50, 50, 7);
  auto result = ReduceColors(*source, rmQuantize, dmNearest, 3, nullptr);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_LT(result->ScanLine(y)[x], 8);

  // rmNone: a 24-bit copy; rmPalette: the palette given, or nothing.
  source->SetPixelFormat(pf32bit);
  result = ReduceColors(*source, rmNone, dmStucki, 8, nullptr);
  EXPECT_EQ(result->PixelFormat(), pf24bit);
  EXPECT_TRUE(SameColors(*result, *source));
  PALETTEENTRY two[] = {{255, 0, 0, 0}, {0, 0, 255, 0}};
  HPALETTE palette = CreatePalette(two, 2);
  result = ReduceColors(*MakeFlatBitmap(1, 1, clBlue), rmPalette, dmNearest, 8, palette);
  EXPECT_EQ(result->ScanLine(0)[0], 1);
  EXPECT_EQ(result->ColorTable()[1], ColorToQuad(clBlue));
  DeleteObject(palette);
  EXPECT_TRUE(ReduceColors(*MakeFlatBitmap(2, 2, clBlue), rmPalette, dmNearest, 8, nullptr)->Empty());
}

TEST(GifReduce, QuantizerKeepsFewColoursExactlyAndMergesTheNewestFirst) {
  // 256 colours in distinct 5-5-5 cells come back exactly.
  std::vector<TColor> colors;
  for (int i = 0; i < 256; ++i) colors.push_back(RGB((i & 7) * 32 + i % 5, (i >> 3 & 7) * 32 + 3, (i >> 6) * 64 + 7));
  auto source = MakeColorBitmap(16, colors);
  auto result = ReduceColors(*source, rmQuantize, dmFloydSteinberg, 8, nullptr);
  EXPECT_TRUE(SameColors(*result, *source));

  // Of two equally deep pairs the pair made last is merged.
  TColorQuantizer quantizer(3, 8);
  for (TColor c : {RGB(0, 0, 0), RGB(0, 0, 1), RGB(255, 255, 254), RGB(255, 255, 255)})
    quantizer.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
  EXPECT_EQ(quantizer.LeafCount(), 4);
  // ProcessImage prunes after each pixel; here pruning is left to a
  // one-pixel picture of a colour already present.
  auto pixel = MakeFlatBitmap(1, 1, RGB(0, 0, 0));
  quantizer.ProcessImage(TDIBReader(*pixel, pf24bit));
  std::vector<RGBQUAD> table = quantizer.ColorTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(QuadToColor(table[0]), RGB(0, 0, 0));
  EXPECT_EQ(QuadToColor(table[1]), RGB(0, 0, 1));
  EXPECT_EQ(QuadToColor(table[2]), RGB(255, 255, 254));

  // The channel sums of a large picture do not overflow.
  TColorQuantizer big(2, 8);
  for (int i = 0; i < 9'000'000; ++i) big.AddColor(255, 254, 253);
  EXPECT_EQ(QuadToColor(big.ColorTable().at(0)), RGB(255, 254, 253));

  // The palette with the system colours: ten, 236 fitted, ten.
  HPALETTE palette = CreateOptimizedPaletteFromManyBitmaps({source.get()}, 256, 8, true);
  std::vector<PALETTEENTRY> entries = Entries(palette);
  ASSERT_EQ(entries.size(), 256u);
  EXPECT_EQ(entries[1], (PALETTEENTRY{128, 0, 0, 0}));
  DeleteObject(palette);
  EXPECT_EQ(RaisedMessage<GIFException>([] { CreateOptimizedPaletteFromManyBitmaps({}, 16, 8, false); }),
            sInvalidBitmapList);
}

// Answers black for everything and notes what it was asked.
class TRecordingLookup : public TColorLookup {
 public:
  TRecordingLookup() { FColors = 1; }
  uint8_t Lookup(uint8_t red, uint8_t, uint8_t, uint8_t& r, uint8_t& g, uint8_t& b) override {
    Asked.push_back(red);
    r = g = b = 0;
    return 0;
  }
  std::vector<int> Asked;
};

TEST(GifDither, FloydSteinbergSpreadsEachErrorOnceToItsNeighbours) {
  // A 3 x 3 grey 40 picture mapped to black: the values the lookup sees
  // follow the textbook kernel walked serpentine.
  TRecordingLookup lookup;
  TFloydSteinbergDitherer ditherer(3, lookup);
  for (int y = 0; y < 3; ++y) {
    uint8_t r, g, b;
    while (ditherer.Column() >= 0 && ditherer.Column() < 3) ditherer.Dither(40, 40, 40, r, g, b);
    ditherer.NextLine();
  }
  EXPECT_EQ(lookup.Asked, std::vector<int>({40, 58, 65, 64, 101, 108, 80, 131, 136}));
}

TEST(GifDither, DitherersKeepTheMeanOfAGradient) {
  // Four greys over a ramp: nearest colour leaves bands whose 8 x 8 block
  // means miss the ramp's; every ditherer keeps them close.
  std::vector<TColor> ramp;
  for (int i = 0; i < 256 * 8; ++i) ramp.push_back(RGB(i % 256, i % 256, i % 256));
  auto source = MakeColorBitmap(256, ramp);
  auto blockError = [&](TDitherMode mode) {
    auto reduced = ReduceColors(*source, rmWindowsGray, mode, 8, nullptr);
    double total = 0;
    for (int bx = 0; bx < 256; bx += 8) {
      int difference = 0;
      for (int i = 0; i < 64; ++i) difference += GetRValue(PixelAt(*reduced, bx + i % 8, i / 8)) - (bx + i % 8);
      total += std::abs(difference) / 64.0;
    }
    return total / 32;
  };
  const double nearest = blockError(dmNearest);
  EXPECT_GT(nearest, 10);
  for (TDitherMode mode : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes})
    EXPECT_LT(blockError(mode), nearest / 5) << int(mode);
}

TEST(GifDither, ExactPalettesAndNarrowPicturesNeedNoDiffusion) {
  // Every colour in the palette: all ditherers agree with nearest colour.
  auto source = MakeColorBitmap(7, {clRed, clLime, clBlue, clWhite, clBlack, clYellow, clAqua, clFuchsia, clRed, clBlue,
                                    clBlack, clWhite, clLime, clAqua});
  auto nearest = ReduceColors(*source, rmNetscape, dmNearest, 8, nullptr);
  for (int mode = dmFloydSteinberg; mode <= dmBurkes; ++mode) {
    EXPECT_TRUE(SameColors(*ReduceColors(*source, rmNetscape, TDitherMode(mode), 8, nullptr), *nearest)) << mode;
    // A picture one pixel wide keeps its errors in the margins.
    auto column = MakeNoiseBitmap(1, 9, unsigned(mode));
    EXPECT_EQ(ReduceColors(*column, rmMonochrome, TDitherMode(mode), 8, nullptr)->Height(), 9);
  }
}

}  // namespace
